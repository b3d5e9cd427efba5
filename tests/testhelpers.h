#pragma once

// What several tests share: lists made of items, the statistics as a click gives them, and an
// item's text as a message quotes it.

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "stats/statistics.h"

#include <QStringList>

// A list of these items, as the program loads it.
inline Lines linesOf(const QStringList &texts)
{
    QByteArray text;
    for (const QString &item : texts)
        text += item.toUtf8() + '\n';
    return Lines::fromUtf8(text);
}

// The mean and the mode as a click shows them, on the given number of threads (0: every core);
// each throws the error a click would report.
inline ShownNumber meanOf(const Lines &items, int threads = 0)
{
    Task task(threads);
    return valueOf(computeStatistics(items, task).mean);
}
inline Mode modeOf(const Lines &items, int threads = 0)
{
    Task task(threads);
    return valueOf(computeStatistics(items, task).mode);
}

// An item's text as an error message quotes it: isolated from the sentence's direction.
inline QString isolated(const QString &text)
{
    return u'\u2068' + text + u'\u2069';
}
