#include "stats/statistics.h"

#include "runtime/hugepages.h"
#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/exactsum.h"
#include "stats/numbers.h"

#include <QTextBoundaryFinder>

#include <boost/unordered/unordered_flat_map.hpp>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// Enough of an item's text for the user to find it, whatever it holds: at most 40 characters,
// cut between whole graphemes; control characters as their visible symbols (NUL as U+2400);
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

    for (QChar &c : head) {
        const char16_t code = c.unicode();
        if (code < 0x20)
            c = QChar(char16_t(0x2400 + code));
        else if (code == 0x7F)
            c = QChar(u'\u2421');
        else if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            c = QChar(u'\uFFFD'); // a direction control would escape the isolation
    }
    return u'\u2068' + head + (shortened ? u"\u2026"_s : QString()) + u'\u2069';
}

double valueAt(const Lines &items, qsizetype position)
{
    const QByteArrayView text = items.utf8(position);
    const ParsedNumber number = parseNumber(std::string_view(text.data(), size_t(text.size())));
    switch (number.problem) {
    case NumberProblem::none:
        return number.value;
    case NumberProblem::empty:
        throw RuntimeError::conversionFailed(position, u"is blank; it should hold a number"_s);
    case NumberProblem::notANumber:
        throw RuntimeError::conversionFailed(position, u"is not a number: \"%1\""_s.arg(excerpt(text)));
    case NumberProblem::outOfRange:
        throw RuntimeError::conversionFailed(
            position, u"holds a number too large to compute with: \"%1\""_s.arg(excerpt(text)));
    }
    Q_UNREACHABLE();
}

} // namespace

double mean(const Lines &items)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();
    static_assert(Lines::maxBytes <= ExactSum::maxCount, "a list has no more items than bytes");
    ExactSum sum;
    for (qsizetype i = 0; i < items.size(); ++i)
        sum.add(valueAt(items, i));
    return sum.mean(items.size());
}

Mode mode(const Lines &items)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();

    // 32-bit fields keep an entry at 16 bytes: with millions of distinct values the table's
    // size is what the time goes into. A list never holds more than 2^31 - 1 items.
    struct Seen
    {
        quint32 count = 0;
        quint32 first = 0; // where the value first occurs
    };
    boost::unordered_flat_map<double, Seen, boost::hash<double>, std::equal_to<>,
                              HugePageAllocator<std::pair<const double, Seen>>>
        seen;
    Mode best;
    quint32 bestFirst = 0;
    // Values are read a batch at a time and then counted in a tight loop, where the processor
    // can wait for several of the table's cache misses at once.
    constexpr qsizetype batchSize = 64;
    std::array<double, batchSize> batch{};
    for (qsizetype start = 0; start < items.size(); start += batchSize) {
        const qsizetype size = std::min(batchSize, items.size() - start);
        for (qsizetype j = 0; j < size; ++j) {
            const double value = valueAt(items, start + j);
            batch[size_t(j)] = value == 0 ? 0 : value; // -0 equals 0 but would hash apart from it
        }
        for (qsizetype j = 0; j < size; ++j) {
            const double value = batch[size_t(j)];
            Seen &entry = seen.try_emplace(value, Seen{0, quint32(start + j)}).first->second;
            ++entry.count;
            if (entry.count > best.count || (entry.count == best.count && entry.first < bestFirst)) {
                best = {value, entry.count};
                bestFirst = entry.first;
            }
        }
    }
    return best;
}
