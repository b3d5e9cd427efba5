#include "runtime/core/task.h"
#include "runtime/core/cpus.h"

#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace {

// The threads that run forEachRange's ranges, kept from one call to the next. Ranges never wait
// for anything, so the pool cannot deadlock, whatever its size. Never destroyed, like the job
// pool: at exit, nothing waits for the range of a cancelled job.
QThreadPool *rangePool()
{
    static QThreadPool *const pool = new QThreadPool;
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
    std::atomic<int> firstFailed = int(parts);
    std::vector<std::exception_ptr> failures(static_cast<size_t>(parts));
    const auto run = [&](qsizetype part) {
        try {
            body(Range(count * part / parts, count * (part + 1) / parts, int(part), task, firstFailed));
        } catch (...) {
            failures[size_t(part)] = std::current_exception();
            int seen = firstFailed.load();
            while (part < seen && !firstFailed.compare_exchange_weak(seen, int(part))) { }
        }
    };
    // Range 0 runs here; the others on the pool, which queues them while its threads are busy.
    QSemaphore finished;
    QThreadPool *const pool = rangePool();
    pool->setMaxThreadCount(std::max(pool->maxThreadCount(), int(parts) - 1));
    qsizetype started = 1;
    try {
        for (; started < parts; ++started) {
            pool->start([&run, &finished, part = started] {
                run(part);
                finished.release();
            });
        }
    } catch (const std::bad_alloc &) {
        // No room to queue the rest: they run here as well.
        for (qsizetype part = started; part < parts; ++part)
            run(part);
    }
    run(0);
    finished.acquire(int(started) - 1);
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}
