#pragma once

#include <QtGlobal>

#include <atomic>
#include <functional>

// Long work as its threads and the one who waits for it share it: how many threads it may use,
// how far it has got, and whether it should stop. No widgets: the window watches a Task from
// its own thread (see job.h and runtime/widgets/progress.h).
class Task final
{
public:
    // threads: how many the work may run on at once; 0 means one per CPU this process may use.
    explicit Task(int threads = 0);
    Q_DISABLE_COPY_MOVE(Task)

    [[nodiscard]] int threads() const noexcept { return m_threads; }

    void setTotal(qint64 units) noexcept { m_total.store(units, std::memory_order_relaxed); }
    // Work begun again from nothing: units more, of which none is done. Not while a thread
    // of the task advances.
    void restart(qint64 units) noexcept
    {
        m_done.store(0, std::memory_order_relaxed);
        setTotal(units);
    }
    void advance(qint64 units) noexcept { m_done.fetch_add(units, std::memory_order_relaxed); }
    [[nodiscard]] int percent() const noexcept; // 0 while there is no total
    [[nodiscard]] bool hasTotal() const noexcept { return m_total.load(std::memory_order_relaxed) > 0; }
    [[nodiscard]] qint64 done() const noexcept { return m_done.load(std::memory_order_relaxed); }

    // Asks the work to stop; it then throws Cancelled at its next check().
    void cancel() noexcept { m_cancelled.store(true, std::memory_order_relaxed); }
    [[nodiscard]] bool isCancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }
    void check() const;

private:
    const int m_threads;
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<bool> m_cancelled{false};
};

// Thrown out of work whose Task was cancelled.
struct Cancelled
{
};

// One of the consecutive ranges that forEachRange shares [0, count) into.
class Range final
{
public:
    qsizetype begin = 0;
    qsizetype end = 0;
    int index = 0; // 0 for the first range, and so on

    // To be called every so often: counts units of work done, throws Cancelled when the task was
    // cancelled, and returns false when an earlier range has failed, so that what this one
    // finds no longer matters.
    [[nodiscard]] bool carryOn(qint64 units) const;

private:
    friend void forEachRange(Task &, qsizetype, qsizetype, const std::function<void(const Range &)> &);
    Range(qsizetype first, qsizetype last, int part, Task &task, const std::atomic<int> &firstFailed)
        : begin(first), end(last), index(part), m_task(&task), m_firstFailed(&firstFailed) { }
    Task *m_task;
    const std::atomic<int> *m_firstFailed;
};

// Calls body once for each of up to task.threads() consecutive ranges of [0, count), at least
// minimumSize long, on as many threads at once (the calling one among them), and waits for
// all. When bodies throw, rethrows the exception of the earliest range, so that the first fault
// in the order of the items is the one reported.
void forEachRange(Task &task, qsizetype count, qsizetype minimumSize, const std::function<void(const Range &)> &body);
