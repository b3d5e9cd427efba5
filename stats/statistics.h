#pragma once

#include "runtime/runtimeerror.h"
#include "runtime/task.h"
#include "stats/numbers.h"

#include <QtGlobal>

class Lines;

// The two statistics over the list's items. Each reads every item as a number (parseNumber)
// and throws RuntimeError on an empty list or at the first item that is not a number, naming
// its position. Both take time linear in the number of items, run on the task's threads, count
// the items read as its progress, and throw Cancelled when it is cancelled. Their results do
// not depend on the number of threads.

// The exact mean of the items' values, rounded once to 15 significant digits, ties to even.
[[nodiscard]] ShownNumber mean(const Lines &items, Task &task);

struct Mode
{
    ShownNumber value; // rounded as the mean is
    qsizetype count = 0; // how many items in the whole list have this value
};

// The most frequent value; of values equally frequent, the one that occurs first. Values are
// compared exactly: "2" and "2.0" are one value, and so are "-0" and "0", but
// "9007199254740993" and "9007199254740992" are two.
[[nodiscard]] Mode mode(const Lines &items, Task &task);

// Both statistics of a list that no longer changes, worked out once, in one pass that reads
// each item once: what a click on either shows. On a list with a bad item, both are the error
// of the first one. When counting for the mode runs out of memory, the mean is still worked
// out, and the mode is that error. Throws Cancelled when the task is cancelled.
struct Statistics
{
    Outcome<ShownNumber> mean;
    Outcome<Mode> mode;
};
[[nodiscard]] Statistics computeStatistics(const Lines &items, Task &task);

// On every core, for callers with no one watching.
[[nodiscard]] inline ShownNumber mean(const Lines &items)
{
    Task task;
    return mean(items, task);
}
[[nodiscard]] inline Mode mode(const Lines &items)
{
    Task task;
    return mode(items, task);
}
