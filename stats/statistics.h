#pragma once

#include <QtGlobal>

class Lines;

// The two statistics over the list's items. Each reads every item as a number (parseNumber)
// and throws RuntimeError on an empty list or at the first item that is not a number, naming
// its position. Both take time linear in the number of items.

// The exact mean of the items' values, rounded once to the nearest double.
[[nodiscard]] double mean(const Lines &items);

struct Mode
{
    double value = 0;
    qsizetype count = 0; // how many items in the whole list have this value
};

// The most frequent value; of values equally frequent, the one that occurs first. Values are
// compared as doubles: "2" and "2.0" are one value, and so are "-0" and "0".
[[nodiscard]] Mode mode(const Lines &items);
