#pragma once

#include "runtime/core/memoryreserve.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrentRun>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class QThreadPool;

// The threads that run jobs. The program's own, never destroyed: at exit nothing waits for a
// cancelled job that is still running out (a table that grows cannot look at its task).
[[nodiscard]] QThreadPool *jobPool();

// Runs work(task) off the calling thread and returns at once. When the work ends, done(outcome)
// is called on context's thread with its result or the RuntimeError it threw (any other
// exception is reported as running out of memory), unless the task has been cancelled by
// then: a cancelled job's result is dropped however late it comes, so whoever cancels never
// waits for it. Nothing is called once context is gone.
template<typename Work, typename Done>
void startJob(QObject *context, std::shared_ptr<Task> task, Work work, Done done)
{
    using Result = std::invoke_result_t<Work &, Task &>;
    using Ending = std::optional<Outcome<Result>>; // nothing when cancelled
    auto *const watcher = new QFutureWatcher<Ending>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, task, done = std::move(done)] {
        renewMemoryReserve(); // what the job held is free now
        watcher->deleteLater();
        if (task->isCancelled())
            return;
        if (std::optional<Outcome<Result>> ending = watcher->future().takeResult())
            done(std::move(*ending));
    });
    watcher->setFuture(QtConcurrent::run(jobPool(), [task, work = std::move(work)]() mutable -> Ending {
        try {
            return Outcome<Result>(std::in_place_index<0>, work(*task));
        } catch (const RuntimeError &error) {
            return Outcome<Result>(std::in_place_index<1>, error);
        } catch (const Cancelled &) {
            return std::nullopt;
        } catch (...) {
            // Running out of memory, whatever type the library that ran out throws it as
            // (std::bad_alloc, std::length_error, std::system_error for a thread): never an
            // exception left to end the program.
            return Outcome<Result>(std::in_place_index<1>, RuntimeError::outOfMemory(RuntimeError::Reason::none));
        }
    }));
}
