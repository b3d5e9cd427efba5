#include "runtime/core/task.h"
#include "runtime/core/cpus.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The threads that run forEachRange's ranges, kept from one call to the next. Ranges never wait
// for anything, so the threads cannot deadlock, however many there are. Made with the standard
// library's threads, lock and condition rather than QThreadPool: ThreadSanitizer sees every
// hand-off through them, where Debian's Qt is not built for it.
class RangeThreads final
{
public:
    // Runs job on a waiting thread, or on a new one; drops it when no thread can be made (short
    // of memory), or throws std::bad_alloc.
    void start(std::function<void()> job)
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (qsizetype(m_jobs.size()) <= m_idle) {
            m_wake.notify_one();
            return;
        }
        try {
            std::thread([this] { serve(); }).detach();
        } catch (...) {
            m_jobs.pop_back();
        }
    }

private:
    [[noreturn]] void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_wake.wait(lock, [this] { return !m_jobs.empty(); });
            --m_idle;
            const std::function<void()> job = std::move(m_jobs.back());
            m_jobs.pop_back();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::function<void()>> m_jobs; // in any order: each claims whatever range is left
    qsizetype m_idle = 0;
};

// Never destroyed, like the job pool: at exit, nothing waits for the range of a cancelled job,
// which may still be running out. In static storage, so that making it cannot fail.
RangeThreads &rangeThreads()
{
    alignas(RangeThreads) static unsigned char storage[sizeof(RangeThreads)];
    static auto *const threads = new (storage) RangeThreads;
    return *threads;
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
    // Each range is run by whoever claims it first: this thread or a range thread. A range
    // thread may start late, or never, when the system cannot make one (short of memory), so
    // this thread waits only for ranges under way. A range thread that starts after the call
    // has returned finds nothing left to claim: what it reads is shared.
    struct Shared
    {
        explicit Shared(qsizetype parts) : firstFailed(int(parts)), failures(size_t(parts)), finished(parts) { }
        std::atomic<qsizetype> next = 0;
        std::atomic<int> firstFailed;
        std::vector<std::exception_ptr> failures;
        std::latch finished; // counted down by each range that has run
    };
    const auto shared = std::make_shared<Shared>(parts);
    const auto claimAndRun = [&task, &body, count, parts](Shared &state) {
        for (qsizetype part; (part = state.next.fetch_add(1)) < parts; state.finished.count_down()) {
            try {
                body(Range(count * part / parts, count * (part + 1) / parts, int(part), task, state.firstFailed));
            } catch (...) {
                state.failures[size_t(part)] = std::current_exception();
                int seen = state.firstFailed.load();
                while (part < seen && !state.firstFailed.compare_exchange_weak(seen, int(part))) { }
            }
        }
    };
    try {
        for (qsizetype helper = 1; helper < parts; ++helper)
            rangeThreads().start([shared, claimAndRun] { claimAndRun(*shared); });
    } catch (const std::bad_alloc &) {
        // No room to queue more helpers: the ranges they would have claimed are run here.
    }
    claimAndRun(*shared);
    shared->finished.wait();
    for (const std::exception_ptr &failure : shared->failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}
