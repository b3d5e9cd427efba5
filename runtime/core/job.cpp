#include "runtime/core/job.h"

#include <QThreadPool>

QThreadPool *jobPool()
{
    // A job waits only for its ranges (forEachRange), which have a pool of their own, so a job
    // never waits for another job's thread. Room for the few jobs there are at a time, and for
    // cancelled ones still running out.
    static QThreadPool *const pool = [] {
        auto *const threads = new QThreadPool;
        threads->setMaxThreadCount(16);
        return threads;
    }();
    return pool;
}
