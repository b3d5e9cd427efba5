#include "stats/statistics.h"

#include "runtime/hugepages.h"
#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/exactsum.h"
#include "stats/numbers.h"

#include <QTextBoundaryFinder>

#include <boost/unordered/unordered_flat_map.hpp>

#include <array>
#include <string>

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
    }
    Q_UNREACHABLE();
}

// An exact value as a hash key. The common one, with up to 56 bits of digits and a power of
// ten from -64 to 63, packs into 64 bits, which keeps its table's entries at 16 bytes: with
// millions of distinct values the table's size is what the time goes into. Others take 16
// bytes, or are written out.
constexpr int packedDigitBits = 56;
constexpr std::int64_t lowestPackedExponent = -64;
bool packs(const ParsedNumber &number)
{
    return number.digitCount <= ParsedNumber::maxCoefficientDigits && number.coefficient >> packedDigitBits == 0
           && number.exponent >= lowestPackedExponent && number.exponent < lowestPackedExponent + 128;
}
std::uint64_t packed(const ParsedNumber &number)
{
    return number.coefficient << 8 | std::uint64_t(number.exponent - lowestPackedExponent) << 1 | number.negative;
}
struct SmallValue
{
    std::uint64_t coefficient = 0;
    std::int64_t scale = 0; // the power of ten, times two, plus one when negative
    friend bool operator==(const SmallValue &, const SmallValue &) = default;
};
struct SmallValueHash
{
    size_t operator()(const SmallValue &value) const noexcept
    {
        return size_t(value.coefficient * 0x9E37'79B9'7F4A'7C15ULL ^ std::uint64_t(value.scale));
    }
};
std::string largeValue(const ParsedNumber &number)
{
    std::string text = number.negative ? "-" : "";
    for (const char c : number.significand) {
        if (c != '.')
            text += c;
    }
    return text + 'e' + std::to_string(number.exponent);
}

} // namespace

ShownNumber mean(const Lines &items)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();
    static_assert(Lines::maxBytes <= ExactSum::maxCount, "a list has no more items than bytes");
    ExactSum sum;
    for (qsizetype i = 0; i < items.size(); ++i)
        sum.add(numberAt(items, i));
    return sum.mean(items.size());
}

Mode mode(const Lines &items)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();

    // 32-bit fields keep an entry small. A list never holds more than 2^31 - 1 items.
    struct Seen
    {
        quint32 count = 0;
        quint32 first = 0; // where the value first occurs
    };
    boost::unordered_flat_map<std::uint64_t, Seen, boost::hash<std::uint64_t>, std::equal_to<>,
                              HugePageAllocator<std::pair<const std::uint64_t, Seen>>>
        common;
    boost::unordered_flat_map<SmallValue, Seen, SmallValueHash> small;
    boost::unordered_flat_map<std::string, Seen> large;
    quint32 bestCount = 0, bestFirst = 0;
    const auto count = [&bestCount, &bestFirst](Seen &entry) {
        ++entry.count;
        if (entry.count > bestCount || (entry.count == bestCount && entry.first < bestFirst)) {
            bestCount = entry.count;
            bestFirst = entry.first;
        }
    };
    // Items are read a batch at a time and the common values then counted in a tight loop,
    // where the processor can wait for several of the table's cache misses at once. The order
    // of counting does not change the result: the most frequent value, then the earliest.
    constexpr qsizetype batchSize = 64;
    std::array<std::uint64_t, batchSize> keys{};
    std::array<quint32, batchSize> positions{};
    for (qsizetype start = 0; start < items.size(); start += batchSize) {
        const qsizetype end = std::min(start + batchSize, items.size());
        size_t batched = 0;
        for (qsizetype i = start; i < end; ++i) {
            const ParsedNumber number = numberAt(items, i);
            const Seen initial{0, quint32(i)};
            if (packs(number)) {
                keys[batched] = packed(number);
                positions[batched++] = quint32(i);
            } else if (number.digitCount <= ParsedNumber::maxCoefficientDigits) {
                count(small.try_emplace(SmallValue{number.coefficient, number.exponent * 2 + number.negative}, initial).first->second);
            } else {
                count(large.try_emplace(largeValue(number), initial).first->second);
            }
        }
        for (size_t j = 0; j < batched; ++j)
            count(common.try_emplace(keys[j], Seen{0, positions[j]}).first->second);
    }
    return {shown(numberAt(items, bestFirst)), bestCount};
}
