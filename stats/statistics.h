#pragma once

#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "stats/numbers.h"

#include <QtGlobal>

class Lines;

// The two statistics over the list's items, each read as a number (parseNumber).
//
// The mean: the exact mean of the items' values, rounded once to 15 significant digits, ties
// to even. The mode: the most frequent value, with how many items hold it; of values equally
// frequent, the one that occurs first. Values are compared exactly: "2" and "2.0" are one
// value, and so are "-0" and "0", but "9007199254740993" and "9007199254740992" are two.
struct Mode
{
    ShownNumber value; // rounded as the mean is
    qsizetype count = 0; // how many items in the whole list have this value
};

// Both statistics of a list that no longer changes, worked out together in one pass that
// reads each item once, on the task's threads, in time linear in the number of items: what a
// click on either shows. On an empty list, or one with an item that is not a number, both are
// that error (the first such item's). When counting for the mode runs out of memory, the mean
// is still worked out, and the mode is that error. The results do not depend on the number of
// threads. Counts the items read and counted as the task's progress, and throws Cancelled when
// it is cancelled.
struct Statistics
{
    Outcome<ShownNumber> mean;
    Outcome<Mode> mode;
};

// When the mode's values are many, they are scattered among partitions as they are read, and
// the partitions are counted after every chunkItems items. Their records take up to 13 bytes an
// item, so a list of up to 16 M items is counted in one go; tests make chunks small.
inline constexpr qsizetype countedAtOnce = qsizetype(1) << 24;
[[nodiscard]] Statistics computeStatistics(const Lines &items, Task &task, qsizetype chunkItems = countedAtOnce);
