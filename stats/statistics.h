#pragma once

#include "stats/numbers.h"

#include <QtGlobal>

class Lines;

// The two statistics over the list's items. Each reads every item as a number (parseNumber)
// and throws RuntimeError on an empty list or at the first item that is not a number, naming
// its position. Both take time linear in the number of items.

// The exact mean of the items' values, rounded once to 15 significant digits, ties to even.
[[nodiscard]] ShownNumber mean(const Lines &items);

struct Mode
{
    ShownNumber value; // rounded as the mean is
    qsizetype count = 0; // how many items in the whole list have this value
};

// The most frequent value; of values equally frequent, the one that occurs first. Values are
// compared exactly: "2" and "2.0" are one value, and so are "-0" and "0", but
// "9007199254740993" and "9007199254740992" are two.
[[nodiscard]] Mode mode(const Lines &items);
