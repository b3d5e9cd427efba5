#include "stats/statistics.h"

#include "runtime/task.h"
#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/exactsum.h"
#include "stats/numbers.h"

#include <QTextBoundaryFinder>

#include <boost/unordered/unordered_flat_map.hpp>

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
        const qsizetype from = i;
        for (; i < stop; ++i)
            use(i, numberAt(items, i));
        if (!range.carryOn(stop - from))
            return false;
    }
    return true;
}

// How often a value occurs, and where first. 32-bit fields keep a table entry at 16 bytes; a
// list never holds more than 2^31 - 1 items.
struct Seen
{
    quint32 count = 0;
    quint32 first = 0;
};

// Keeps in best the more frequent of the two; of two equally frequent, the earlier.
void keepBest(Seen &best, const Seen &seen)
{
    if (seen.count > best.count || (seen.count == best.count && seen.first < best.first))
        best = seen;
}

template<typename Key, typename Hash>
using CountTable = boost::unordered_flat_map<Key, Seen, Hash>;

// Counts one occurrence of key at position.
template<typename Table>
Seen &countIn(Table &table, const typename Table::key_type &key, quint32 position)
{
    Seen &seen = table.try_emplace(key, Seen{0, position}).first->second;
    ++seen.count;
    seen.first = std::min(seen.first, position);
    return seen;
}

// Adds counts of key to the table's: the sum of both, and the earlier first occurrence.
template<typename Table>
const Seen &mergeCount(Table &table, const typename Table::key_type &key, const Seen &seen)
{
    const auto [entry, inserted] = table.try_emplace(key, seen);
    if (!inserted)
        entry->second = {entry->second.count + seen.count, std::min(entry->second.first, seen.first)};
    return entry->second;
}
template<typename Table>
void mergeCounts(Table &into, const Table &from)
{
    for (const auto &[key, seen] : from)
        mergeCount(into, key, seen);
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

Mode mode(const Lines &items, Task &task)
{
    if (items.isEmpty())
        throw RuntimeError::emptyList();
    task.setTotal(2 * items.size()); // read, then counted

    // The common values are read a chunk of items at a time. While they are few, each thread
    // counts its own in a table that stays in the cache. With millions of distinct values one
    // table would miss the cache on nearly every item, so once a thread has seen more than
    // directLimit, it scatters the values it reads as records among partitions by hash; the
    // counts so far move into the partitions too, and each partition is counted in a table of
    // its own, small enough to stay in the cache. Counts merge exactly whatever their order:
    // their sum, and the earlier first position.
    constexpr int partitionBits = 9;
    constexpr size_t partitions = size_t(1) << partitionBits;
    constexpr qsizetype chunkItems = qsizetype(1) << 21;
    constexpr size_t directLimit = size_t(1) << 14;
    struct Record
    {
        std::uint64_t key;
        quint32 position;
    };
    const auto partitionOf = [](std::uint64_t key) {
        return size_t((key * 0x9E37'79B9'7F4A'7C15ULL) >> (64 - partitionBits));
    };
    using Table = CountTable<std::uint64_t, boost::hash<std::uint64_t>>;
    // What each thread reads: its own counts or its records, and the rarer values, which it
    // counts itself.
    struct Reader
    {
        Table direct;
        std::vector<std::vector<Record>> records = std::vector<std::vector<Record>>(partitions);
        CountTable<SmallValue, SmallValueHash> small;
        CountTable<std::string, boost::hash<std::string>> large;
    };
    std::vector<Reader> readers(size_t(task.threads()));
    std::vector<Table> tables(partitions);
    std::vector<Seen> bests(partitions);
    bool partitioned = false;
    const auto movePartitioned = [&] {
        for (Reader &reader : readers) {
            for (const auto &[key, seen] : reader.direct) {
                const size_t p = partitionOf(key);
                keepBest(bests[p], mergeCount(tables[p], key, seen));
            }
            reader.direct = {};
        }
        partitioned = true;
    };
    // Room for a little more than a thread's even share of a chunk, so that records seldom grow.
    const size_t share = size_t(chunkItems) / readers.size() / partitions * 9 / 8;
    const auto scatter = [&partitionOf, share](Reader &reader, std::uint64_t key, quint32 position) {
        if (reader.records[0].capacity() == 0) {
            for (std::vector<Record> &records : reader.records)
                records.reserve(share);
        }
        reader.records[partitionOf(key)].push_back({key, position});
    };

    for (qsizetype offset = 0; offset < items.size(); offset += chunkItems) {
        const qsizetype chunk = std::min(chunkItems, items.size() - offset);
        forEachRange(task, chunk, minimumRange, [&](const Range &range) {
            Reader &reader = readers[size_t(range.index)];
            readRange(items, offset, range, [&](qsizetype i, const ParsedNumber &number) {
                const auto position = quint32(i);
                if (packs(number)) {
                    const std::uint64_t key = packed(number);
                    if (partitioned || reader.direct.size() > directLimit)
                        scatter(reader, key, position);
                    else
                        countIn(reader.direct, key, position);
                } else if (number.digitCount <= ParsedNumber::maxCoefficientDigits) {
                    countIn(reader.small, SmallValue{number.coefficient, number.exponent * 2 + number.negative}, position);
                } else {
                    countIn(reader.large, largeValue(number), position);
                }
            });
        });
        qsizetype scattered = 0;
        for (const Reader &reader : readers) {
            for (const std::vector<Record> &records : reader.records)
                scattered += qsizetype(records.size());
        }
        task.advance(chunk - scattered); // counted already
        if (scattered == 0)
            continue;
        if (!partitioned)
            movePartitioned();
        forEachRange(task, qsizetype(partitions), 1, [&](const Range &range) {
            for (auto p = size_t(range.begin); p < size_t(range.end); ++p) {
                qsizetype counted = 0;
                for (Reader &reader : readers) {
                    for (const Record &record : reader.records[p])
                        keepBest(bests[p], countIn(tables[p], record.key, record.position));
                    counted += qsizetype(reader.records[p].size());
                    reader.records[p].clear();
                }
                if (!range.carryOn(counted))
                    return;
            }
        });
    }

    Seen best;
    for (const Seen &partitionBest : bests)
        keepBest(best, partitionBest);
    for (size_t i = 1; i < readers.size(); ++i) {
        mergeCounts(readers[0].direct, readers[i].direct);
        mergeCounts(readers[0].small, readers[i].small);
        mergeCounts(readers[0].large, readers[i].large);
    }
    for (const auto &[value, seen] : readers[0].direct)
        keepBest(best, seen);
    for (const auto &[value, seen] : readers[0].small)
        keepBest(best, seen);
    for (const auto &[value, seen] : readers[0].large)
        keepBest(best, seen);
    return {shown(numberAt(items, best.first)), best.count};
}
