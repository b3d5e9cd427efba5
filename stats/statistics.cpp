#include "stats/statistics.h"

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "stats/exactsum.h"
#include "stats/numbers.h"
#include "stats/valuecounts.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

ParsedNumber numberAt(const Lines &items, qsizetype position)
{
    const QByteArrayView text = items.utf8(position);
    const ParsedNumber number = parseNumber(std::string_view(text.data(), size_t(text.size())));
    if (number.problem == NumberProblem::none)
        return number;
    const auto reason = [problem = number.problem] {
        switch (problem) {
        case NumberProblem::none:
        case NumberProblem::notANumber:
            break;
        case NumberProblem::empty:
            return RuntimeError::Reason::blank;
        case NumberProblem::tooLarge:
            return RuntimeError::Reason::numberTooLarge;
        case NumberProblem::tooSmall:
            return RuntimeError::Reason::numberTooSmall;
        case NumberProblem::tooPrecise:
            return RuntimeError::Reason::tooManyDigits;
        }
        return RuntimeError::Reason::notANumber;
    }();
    throw RuntimeError::conversionFailed(position, text, reason);
}

static_assert(Lines::readablePast >= qsizetype(shortcutReadBytes), "the shortcuts read past an item's end");

// Calls use(position, text) for items offset + [range.begin, range.end), looking at the task
// every checkItems of them; stops early when an earlier range has failed, since what this one
// finds then no longer matters.
template<typename Use>
void readRange(const Lines &items, qsizetype offset, const Range &range, qsizetype checkItems, Use &&use)
{
    for (qsizetype i = offset + range.begin, end = offset + range.end; i < end;) {
        const qsizetype stop = std::min(end, i + checkItems);
        items.forEachUtf8(i, stop, use);
        if (!range.carryOn(stop - i))
            return;
        i = stop;
    }
}

// The item's number, or the error that names it.
ParsedNumber parsed(const Lines &items, qsizetype position, std::string_view text)
{
    const ParsedNumber number = parseNumber(text);
    if (number.problem != NumberProblem::none) [[unlikely]]
        numberAt(items, position); // reads it again, to throw
    return number;
}

} // namespace

namespace {

// The sum only: what the mean needs when counting for the mode has run out of memory.
ShownNumber mean(const Lines &items, Task &task, const PassSettings &settings)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();
    static_assert(Lines::maxBytes <= ExactSum::maxCount, "a list has no more items than bytes");
    task.restart(items.size()); // what the pass that ran out had counted is no longer done
    std::vector<ExactSum> sums(size_t(task.threads()));
    forEachRange(task, items.size(), settings.minimumRange, [&](const Range &range) {
        ExactSum &sum = sums[size_t(range.index)];
        readRange(items, 0, range, settings.checkItems, [&](qsizetype i, std::string_view text) { sum.add(parsed(items, i, text)); });
    });
    for (size_t i = 1; i < sums.size(); ++i)
        sums[0].add(sums[i]);
    return sums[0].mean(items.size());
}

struct SumAndMode
{
    ExactSum sum;
    Mode mode;
};

// The one pass over a list that is not empty: the exact sum of the items and their mode. The
// items are read a chunk at a time, each thread summing and counting what it reads; after
// each chunk, the values that the threads scattered are counted.
SumAndMode sumAndMode(const Lines &items, Task &task, const PassSettings &settings)
{
    const qsizetype chunkItems = settings.chunkItems;
    task.setTotal(2 * items.size()); // read, then counted
    std::vector<ExactSum> sums(size_t(task.threads()));
    ValueCounts counts(task.threads(), std::min(items.size(), chunkItems), settings.directLimit,
                       items.size() >= settings.arrayItems);
    for (qsizetype offset = 0; offset < items.size(); offset += chunkItems) {
        const qsizetype chunk = std::min(chunkItems, items.size() - offset);
        forEachRange(task, chunk, settings.minimumRange, [&](const Range &range) {
            ExactSum &sum = sums[size_t(range.index)];
            readRange(items, offset, range, settings.checkItems, [&](qsizetype i, std::string_view text) {
                if (const std::optional<std::int32_t> integer = parseSmallInteger(text)) {
                    sum.add(*integer);
                    counts.count(range.index, *integer, quint32(i));
                } else if (const std::optional<ShortDecimal> decimal = parseShortDecimal(text)) {
                    sum.add(*decimal);
                    counts.count(range.index, *decimal, quint32(i));
                } else {
                    const ParsedNumber number = parsed(items, i, text);
                    sum.add(number);
                    counts.count(range.index, number, quint32(i));
                }
            });
        });
        counts.countScattered(task, chunk, offset + chunk == items.size());
    }
    for (size_t i = 1; i < sums.size(); ++i)
        sums[0].add(sums[i]);
    const ValueCounts::Best best = counts.best();
    return {std::move(sums[0]), {shown(numberAt(items, best.first)), best.count}};
}

} // namespace

Statistics computeStatistics(const Lines &items, Task &task, const PassSettings &settings)
{
    if (items.isEmpty()) {
        const RuntimeError empty = RuntimeError::emptyList();
        return {empty, empty};
    }
    try {
        const SumAndMode result = sumAndMode(items, task, settings);
        return {result.sum.mean(items.size()), result.mode};
    } catch (const RuntimeError &error) {
        return {error, error}; // the first bad item
    } catch (const std::bad_alloc &) {
        // The mode's counts are gone with the exception; the mean needs none of them.
    }
    Outcome<ShownNumber> meanOnly = RuntimeError::outOfMemory(RuntimeError::Reason::computingMean);
    try {
        meanOnly = mean(items, task, settings);
    } catch (const RuntimeError &error) {
        if (error.kind() == RuntimeError::Kind::conversionFailed)
            return {error, error}; // a bad item comes before the memory the mode ran out of
        meanOnly = error;
    } catch (const std::bad_alloc &) {
    }
    return {std::move(meanOnly), RuntimeError::outOfMemory(RuntimeError::Reason::computingMode)};
}
