#include "runtime/task.h"
#include "runtime/cpus.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

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
    {
        std::vector<std::jthread> threads;
        try {
            for (qsizetype part = 1; part < parts; ++part)
                threads.emplace_back(run, part);
        } catch (const std::system_error &) {
            // No more threads to be had: the ranges left run on this one as well.
            for (qsizetype part = qsizetype(threads.size()) + 1; part < parts; ++part)
                run(part);
        }
        run(0);
    }
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}
