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

// How the pass shares out its work. The defaults are the program's; the fuzz targets and tests
// make them small, so that a few items reach every path: several ranges, chunks, partitions and
// the hand-off between them. How many threads it runs on is the task's (Task::threads()).
struct PassSettings
{
    // How many items a thread reads between two looks at its task, and the fewest worth a thread.
    qsizetype checkItems = 16384;
    qsizetype minimumRange = 4 * 16384;
    // When the mode's values are many, they are scattered among partitions as they are read, and
    // the partitions are counted after every chunkItems items. Their records take 8 or 12 bytes
    // an item, and 13 at most with room to spare (21 for a moment while a reader's records are
    // made wide), so a list of up to 16 M items is counted in one go.
    qsizetype chunkItems = qsizetype(1) << 24;
    // The most distinct values a reader counts directly, before it scatters: what its table
    // holds in 1 MiB (61,439 entries of 16 bytes, at most 7/8 full; one more value would double
    // it). A core's cache holds about that much: measured on a 2-core EPYC with 1 MB of L2 per
    // core, counting takes 6.5 ns an item at 65,536 distinct values, 12 ns at twice as many and
    // 30 ns at four times, where scattering and counting the partitions takes about 9. On 10 M
    // decimals, the first pass in a fresh process took 5% longer with a table of 2 MiB.
    qsizetype directLimit = 53'759;
    // The fewest items worth each thread's array of small integers: half a megabyte in a huge
    // page, and 65,536 entries each to look through at the end. A shorter list counts them in
    // the same table as its other values.
    qsizetype arrayItems = 10'001;
};
[[nodiscard]] Statistics computeStatistics(const Lines &items, Task &task, const PassSettings &settings = {});
