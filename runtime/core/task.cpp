#include "runtime/core/task.h"
#include "runtime/core/cpus.h"

#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The threads that run forEachRange's ranges, kept from one call to the next. Ranges never wait
// for anything, so the pool cannot deadlock, whatever its size. Never destroyed, like the job
// pool: at exit, nothing waits for the range of a cancelled job.
QThreadPool *rangePool()
{
    static QThreadPool *const pool = [] {
        auto *const threads = new QThreadPool;
        threads->setExpiryTimeout(-1); // kept, like the job pool's (see jobPool())
        return threads;
    }();
    return pool;
}

} // namespace

Task::Task(int threads)
    : m_threads(threads > 0 ? threads : usableCpuCount())
{
}

int Task::percent() const noexcept
{
    const qint64 total = m_total.load(std::memory_order_relaxed);
    const qint64 done = m_done.load(std::memory_order_relaxed);
    return total <= 0 ? 0 : int(std::clamp(done * 100 / total, qint64(0), qint64(100)));
}

void Task::check() const
{
    if (isCancelled())
        throw Cancelled();
}

bool Range::carryOn(qint64 units) const
{
    m_task->advance(units);
    m_task->check();
    return m_firstFailed->load(std::memory_order_relaxed) > index;
}

void forEachRange(Task &task, qsizetype count, qsizetype minimumSize, const std::function<void(const Range &)> &body)
{
    const qsizetype parts = std::clamp(count / std::max(minimumSize, qsizetype(1)), qsizetype(1), qsizetype(task.threads()));
    // Each range is run by whoever claims it first: this thread or one of the pool's. A pool
    // thread may start late, or never, when the system cannot make one (short of memory, Qt
    // only warns), so this thread waits only for ranges under way. A pool thread that starts
    // after the call has returned finds nothing left to claim: what it reads is shared.
    struct Shared
    {
        std::atomic<qsizetype> next = 0;
        std::atomic<int> firstFailed;
        std::vector<std::exception_ptr> failures;
        QSemaphore finished; // once for each range that has run
    };
    const auto shared = std::make_shared<Shared>();
    shared->firstFailed = int(parts);
    shared->failures.resize(size_t(parts));
    const auto claimAndRun = [&task, &body, count, parts](Shared &state) {
        for (qsizetype part; (part = state.next.fetch_add(1)) < parts; state.finished.release()) {
            try {
                body(Range(count * part / parts, count * (part + 1) / parts, int(part), task, state.firstFailed));
            } catch (...) {
                state.failures[size_t(part)] = std::current_exception();
                int seen = state.firstFailed.load();
                while (part < seen && !state.firstFailed.compare_exchange_weak(seen, int(part))) { }
            }
        }
    };
    QThreadPool *const pool = rangePool();
    pool->setMaxThreadCount(std::max(pool->maxThreadCount(), int(parts) - 1));
    try {
        for (qsizetype helper = 1; helper < parts; ++helper)
            pool->start([shared, claimAndRun] { claimAndRun(*shared); });
    } catch (const std::bad_alloc &) {
        // No room to queue more helpers: the ranges they would have claimed are run here.
    }
    claimAndRun(*shared);
    shared->finished.acquire(int(parts));
    for (const std::exception_ptr &failure : shared->failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}
