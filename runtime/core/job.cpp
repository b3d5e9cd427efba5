#include "runtime/core/job.h"

#include <QThreadPool>

QThreadPool *jobPool()
{
    // A job waits only for its ranges (forEachRange), which have a pool of their own where
    // ranges wait for nothing, so no job waits for a job's thread and nothing can deadlock (a
    // new pass's ranges may queue a moment behind a cancelled one's). Room for the few jobs
    // there are at a time, and for cancelled ones still running out.
    static QThreadPool *const pool = [] {
        auto *const threads = new QThreadPool;
        threads->setMaxThreadCount(16);
        // Threads made once are kept, since making one can fail when memory runs short, and
        // QThreadPool then keeps the job for a thread that never runs.
        threads->setExpiryTimeout(-1);
        return threads;
    }();
    return pool;
}
