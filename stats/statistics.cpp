#include "stats/statistics.h"

#include "runtime/task.h"
#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/exactsum.h"
#include "stats/numbers.h"
#include "stats/valuecounts.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Enough of an item's text for the user to find it, whatever it holds: at most 40 characters,
// cut between whole graphemes; control characters visible (NUL as U+2400, U+0085 as "[U+0085]");
// and isolated from the sentence around it, so that right-to-left text leaves it in order.
QString excerpt(QByteArrayView text)
{
    constexpr int shownGraphemes = 40;
    constexpr qsizetype readBytes = 400; // more than 40 graphemes of any ordinary text
    QString head = QString::fromUtf8(text.first(std::min(text.size(), readBytes)));
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, head);
    qsizetype end = 0;
    for (int count = 0; count < shownGraphemes && graphemes.toNextBoundary() != -1; ++count)
        end = graphemes.position();
    const bool shortened = end < head.size() || text.size() > readBytes;
    head.truncate(end);

    QString shown;
    shown.reserve(head.size());
    for (const QChar c : std::as_const(head)) {
        const char16_t code = c.unicode();
        if (code < 0x20)
            shown += QChar(char16_t(0x2400 + code));
        else if (code == 0x7F)
            shown += QChar(u'\u2421');
        else if (code >= 0x80 && code < 0xA0) // C1 controls have no visible symbols of their own
            shown += u"[U+%1]"_s.arg(int(code), 4, 16, QChar(u'0')).toUpper();
        else if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            shown += QChar(u'\uFFFD'); // a direction control would escape the isolation
        else
            shown += c;
    }
    return u'\u2068' + shown + (shortened ? u"\u2026"_s : QString()) + u'\u2069';
}

ParsedNumber numberAt(const Lines &items, qsizetype position)
{
    const QByteArrayView text = items.utf8(position);
    const ParsedNumber number = parseNumber(std::string_view(text.data(), size_t(text.size())));
    switch (number.problem) {
    case NumberProblem::none:
        return number;
    case NumberProblem::empty:
        throw RuntimeError::conversionFailed(position, u"is blank; it should hold a number"_s);
    case NumberProblem::notANumber:
        throw RuntimeError::conversionFailed(position, u"is not a number: \"%1\""_s.arg(excerpt(text)));
    case NumberProblem::tooLarge:
        throw RuntimeError::conversionFailed(
            position, u"holds a number too large to compute with (1e+100001 or more): \"%1\""_s.arg(excerpt(text)));
    case NumberProblem::tooSmall:
        throw RuntimeError::conversionFailed(
            position, u"holds a number too small to compute with (below 1e-100000): \"%1\""_s.arg(excerpt(text)));
    case NumberProblem::tooPrecise:
        throw RuntimeError::conversionFailed(
            position, u"holds a number with too many digits to compute with (a digit below 1e-100000): \"%1\""_s.arg(excerpt(text)));
    }
    Q_UNREACHABLE();
}

// How many items a thread reads between two looks at its task, and the fewest worth a thread.
constexpr qsizetype checkItems = 16384;
constexpr qsizetype minimumRange = 4 * checkItems;

// Calls use(position, number) for items offset + [range.begin, range.end), looking at the task
// every checkItems of them. False when the range was stopped.
template<typename Use>
bool readRange(const Lines &items, qsizetype offset, const Range &range, Use &&use)
{
    for (qsizetype i = offset + range.begin, end = offset + range.end; i < end;) {
        const qsizetype stop = std::min(end, i + checkItems);
        items.forEachUtf8(i, stop, [&use, &items](qsizetype at, std::string_view text) {
            const ParsedNumber number = parseNumber(text);
            if (number.problem != NumberProblem::none) [[unlikely]]
                numberAt(items, at); // reads it again, to throw the error that names the item
            use(at, number);
        });
        if (!range.carryOn(stop - i))
            return false;
        i = stop;
    }
    return true;
}

} // namespace

ShownNumber mean(const Lines &items, Task &task)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();
    static_assert(Lines::maxBytes <= ExactSum::maxCount, "a list has no more items than bytes");
    task.setTotal(items.size());
    std::vector<ExactSum> sums(size_t(task.threads()));
    forEachRange(task, items.size(), minimumRange, [&](const Range &range) {
        ExactSum sum;
        if (readRange(items, 0, range, [&sum](qsizetype, const ParsedNumber &number) { sum.add(number); }))
            sums[size_t(range.index)] = std::move(sum);
    });
    for (size_t i = 1; i < sums.size(); ++i)
        sums[0].add(sums[i]);
    return sums[0].mean(items.size());
}

namespace {

struct SumAndMode
{
    ExactSum sum;
    Mode mode;
};

// The one pass over a list that is not empty: the exact sum of the items and their mode. The
// items are read a chunk at a time, each thread summing and counting what it reads; after
// each chunk, the values that the threads scattered are counted.
SumAndMode sumAndMode(const Lines &items, Task &task)
{
    task.setTotal(2 * items.size()); // read, then counted
    std::vector<ExactSum> sums(size_t(task.threads()));
    ValueCounts counts(task.threads());
    for (qsizetype offset = 0; offset < items.size(); offset += ValueCounts::chunkItems) {
        const qsizetype chunk = std::min(ValueCounts::chunkItems, items.size() - offset);
        forEachRange(task, chunk, minimumRange, [&](const Range &range) {
            ExactSum &sum = sums[size_t(range.index)];
            readRange(items, offset, range, [&](qsizetype i, const ParsedNumber &number) {
                sum.add(number);
                counts.count(range.index, number, quint32(i));
            });
        });
        counts.countScattered(task, chunk);
    }
    for (size_t i = 1; i < sums.size(); ++i)
        sums[0].add(sums[i]);
    const ValueCounts::Best best = counts.best();
    return {std::move(sums[0]), {shown(numberAt(items, best.first)), best.count}};
}

} // namespace

Statistics computeStatistics(const Lines &items, Task &task)
{
    if (items.isEmpty()) {
        const RuntimeError empty = RuntimeError::emptyList();
        return {empty, empty};
    }
    try {
        const SumAndMode result = sumAndMode(items, task);
        return {result.sum.mean(items.size()), result.mode};
    } catch (const RuntimeError &error) {
        return {error, error}; // the first bad item
    } catch (const std::bad_alloc &) {
        // The mode's counts are gone with the exception; the mean needs none of them.
    }
    Outcome<ShownNumber> meanOnly = RuntimeError::outOfMemory(u"compute the mean"_s);
    try {
        meanOnly = mean(items, task);
    } catch (const RuntimeError &error) {
        meanOnly = error;
    } catch (const std::bad_alloc &) {
    }
    return {std::move(meanOnly), RuntimeError::outOfMemory(u"compute the mode"_s)};
}

Mode mode(const Lines &items, Task &task)
{
    return valueOf(computeStatistics(items, task).mode);
}
