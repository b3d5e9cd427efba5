#include "stats/valuecounts.h"

#include "runtime/core/hugepages.h"

#include <boost/unordered/unordered_flat_map.hpp>

#include <algorithm>
#include <memory_resource>
#include <new>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

namespace {

using Seen = ValueCounts::Best;

// Keeps in best the more frequent of the two; of two equally frequent, the earlier.
void keepBest(Seen &best, const Seen &seen)
{
    if (seen.count > best.count || (seen.count == best.count && seen.first < best.first))
        best = seen;
}

// An exact value as a hash key. The common one packs into 64 bits (ValueCounts::packedValue),
// which keeps its table's entries at 16 bytes: with millions of distinct values the table's
// size is what the time goes into. Others take 16 bytes, or are written out.
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

template<typename Key, typename Hash>
using CountTable = boost::unordered_flat_map<Key, Seen, Hash>;
using PackedTable = CountTable<std::uint64_t, boost::hash<std::uint64_t>>;

// Counts one occurrence of key at position.
template<typename Table>
const Seen &countIn(Table &table, const typename Table::key_type &key, quint32 position)
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

constexpr int partitionBits = 9;
constexpr size_t partitions = size_t(1) << partitionBits;
size_t partitionOf(std::uint64_t key)
{
    return size_t((key * 0x9E37'79B9'7F4A'7C15ULL) >> (64 - partitionBits));
}

// The number's value when it is an integer from -32768 to 32767, however it is spelled ("3e4",
// "30000.0"), so that each value is counted in one place.
std::optional<std::int32_t> smallInteger(const ParsedNumber &number)
{
    static constexpr std::uint64_t powersOfTen[] = {1, 10, 100, 1000, 10'000};
    if (number.exponent < 0 || number.exponent > 4 || number.digitCount > 5)
        return std::nullopt;
    const auto magnitude = std::int64_t(number.coefficient * powersOfTen[number.exponent]);
    if (magnitude > (number.negative ? 32768 : 32767))
        return std::nullopt;
    return std::int32_t(number.negative ? -magnitude : magnitude);
}

// A value scattered at its position. Most keys fit in 32 bits (digits below 2^24: any value of
// up to seven significant digits), and their records take 8 bytes, not 12:
// a chunk's records are most of the memory that counting many distinct values takes, and
// memory new to the process is slow to touch (10 M decimals on a virtual machine, taking turns
// with the reference: the first pass 216 ms against 291). Other keys take 12 bytes, not the 16
// that aligning the key would take.
struct NarrowRecord
{
    quint32 key;
    quint32 position;
};
#pragma pack(push, 4)
struct WideRecord
{
    std::uint64_t key;
    quint32 position;
};
#pragma pack(pop)
static_assert(sizeof(NarrowRecord) == 8 && sizeof(WideRecord) == 12);

// A reader's records of one width, by partition, in memory of their own. Each partition's list
// has room for `share` records at first, so that it seldom grows; one that outgrows it (one
// value far commoner than the rest) leaves the smaller blocks it outgrew to the memory until the
// pass ends: at most as much again.
template<typename Record>
struct Scattered
{
    // Tens of megabytes written at once: in 4 KiB pages, their first touch costs more than the
    // writing.
    std::unique_ptr<std::pmr::monotonic_buffer_resource> memory;
    std::vector<std::pmr::vector<Record>> byPartition;

    [[nodiscard]] bool isMade() const noexcept { return memory != nullptr; }
    void make(size_t share) // all or nothing, when memory runs out
    {
        auto made = std::make_unique<std::pmr::monotonic_buffer_resource>(std::max<size_t>(1, share * partitions * sizeof(Record)),
                                                                          hugePageMemory());
        std::vector<std::pmr::vector<Record>> lists;
        lists.reserve(partitions);
        for (size_t p = 0; p < partitions; ++p)
            lists.emplace_back(made.get()).reserve(share);
        memory = std::move(made);
        byPartition = std::move(lists);
    }
    void release() noexcept
    {
        byPartition = {}; // before the memory that they are in
        memory.reset();
    }
    [[nodiscard]] size_t size(size_t p) const noexcept { return isMade() ? byPartition[p].size() : 0; }
};

} // namespace

struct ValueCounts::Tables
{
    // What each reader reads: its own counts or its records, and the rarer values, which it
    // counts itself.
    struct Reader
    {
        PackedTable direct;
        // Its records, made once it scatters: narrow until a key needs 64 bits, then all wide.
        Scattered<NarrowRecord> narrow;
        Scattered<WideRecord> wide;
        CountTable<SmallValue, SmallValueHash> small;
        CountTable<std::string, boost::hash<std::string>> large;

        void scatter(std::uint64_t key, quint32 position, size_t room)
        {
            if (!wide.isMade()) [[likely]] {
                if (key >> 32 == 0) [[likely]] {
                    if (!narrow.isMade()) [[unlikely]]
                        narrow.make(room);
                    narrow.byPartition[partitionOf(key)].push_back({quint32(key), position});
                    return;
                }
                Scattered<WideRecord> widened; // taken over only once complete
                widened.make(room);
                for (size_t p = 0; narrow.isMade() && p < partitions; ++p) {
                    for (const NarrowRecord &record : narrow.byPartition[p])
                        widened.byPartition[p].push_back({record.key, record.position});
                }
                wide = std::move(widened);
                narrow.release();
            }
            wide.byPartition[partitionOf(key)].push_back({key, position});
        }
    };
    std::vector<Reader> readers;
    std::vector<PackedTable> partitioned = std::vector<PackedTable>(partitions);
    std::vector<Seen> bests = std::vector<Seen>(partitions); // the best of each partition
    bool scattering = false;                                 // once any reader has scattered
    // Records a reader's partition takes from a chunk, a little more than even.
    size_t share = 0;
    size_t directLimit = 0; // the most distinct values a reader counts directly

    // The readers' direct counts, once they scatter, sorted by partition: partition p's are
    // carried[carriedFrom[p], carriedFrom[p + 1]), counted in its turn before its records.
    // Moved into the partitions' tables at once instead, they made every table early and grew
    // it in fresh memory: a pass's first counting took a quarter longer.
    std::vector<std::pair<std::uint64_t, Seen>> carried;
    std::vector<size_t> carriedFrom = std::vector<size_t>(partitions + 1);

    void startScattering()
    {
        for (const Reader &reader : readers) {
            for (const auto &[key, seen] : reader.direct)
                ++carriedFrom[partitionOf(key) + 1];
        }
        std::partial_sum(carriedFrom.cbegin(), carriedFrom.cend(), carriedFrom.begin());
        carried.resize(carriedFrom.back());
        std::vector<size_t> next(carriedFrom.cbegin(), carriedFrom.cend() - 1);
        for (Reader &reader : readers) {
            for (const auto &[key, seen] : reader.direct)
                carried[next[partitionOf(key)]++] = {key, seen};
            reader.direct = {};
        }
        scattering = true;
    }
};

ValueCounts::ValueCounts(int readers, qsizetype chunkItems, qsizetype directLimit, bool smallIntegerArrays)
    : m_tables(std::make_unique<Tables>())
{
    m_tables->directLimit = size_t(directLimit);
    m_tables->share = size_t(chunkItems) / size_t(readers) / partitions * 17 / 16;
    m_tables->readers.resize(size_t(readers));
    if (!smallIntegerArrays)
        return;
    m_smallIntegers.reserve(size_t(readers)); // so that no array is lost to a throw
    for (int reader = 0; reader < readers; ++reader) {
        // In one huge page: hit all over, the array's 128 small pages would miss the TLB.
        Best *const counts = std::pmr::polymorphic_allocator<Best>(hugePageMemory()).allocate(smallIntegers);
        std::uninitialized_value_construct_n(counts, smallIntegers);
        m_smallIntegers.emplace_back(counts);
    }
}

ValueCounts::~ValueCounts() = default;

void ValueCounts::Free::operator()(Best *counts) const noexcept
{
    std::pmr::polymorphic_allocator<Best>(hugePageMemory()).deallocate(counts, smallIntegers);
}

bool ValueCounts::packs(const ParsedNumber &number)
{
    return number.digitCount <= ParsedNumber::maxCoefficientDigits && number.coefficient >> packedDigitBits == 0
           && number.exponent >= lowestPackedExponent && number.exponent < lowestPackedExponent + 128;
}

void ValueCounts::count(int readerIndex, const ParsedNumber &number, quint32 position)
{
    if (const std::optional<std::int32_t> integer = smallInteger(number)) {
        count(readerIndex, *integer, position);
        return;
    }
    if (!packs(number)) {
        Tables::Reader &reader = m_tables->readers[size_t(readerIndex)];
        if (number.digitCount <= ParsedNumber::maxCoefficientDigits)
            countIn(reader.small, SmallValue{number.coefficient, number.exponent * 2 + number.negative}, position);
        else
            countIn(reader.large, largeValue(number), position);
        return;
    }
    countPacked(readerIndex, packedValue(number.coefficient, number.exponent, number.negative), position);
}

void ValueCounts::countPacked(int readerIndex, std::uint64_t key, quint32 position)
{
    Tables::Reader &reader = m_tables->readers[size_t(readerIndex)];
    if (!m_tables->scattering && reader.direct.size() < m_tables->directLimit) {
        countIn(reader.direct, key, position);
        return;
    }
    reader.scatter(key, position, m_tables->share);
}

void ValueCounts::countScattered(Task &task, qsizetype read, bool last)
{
    Tables &tables = *m_tables;
    qsizetype scattered = 0;
    for (const Tables::Reader &reader : tables.readers) {
        for (size_t p = 0; p < partitions; ++p)
            scattered += qsizetype(reader.narrow.size(p) + reader.wide.size(p));
    }
    task.advance(read - scattered); // counted already
    if (scattered == 0)
        return;
    if (!tables.scattering)
        tables.startScattering();
    forEachRange(task, qsizetype(partitions), 1, [&tables, last](const Range &range) {
        for (auto p = size_t(range.begin); p < size_t(range.end); ++p) {
            qsizetype counted = 0;
            for (size_t i = tables.carriedFrom[p]; i < tables.carriedFrom[p + 1]; ++i) {
                const auto &[key, seen] = tables.carried[i];
                keepBest(tables.bests[p], mergeCount(tables.partitioned[p], key, seen));
            }
            const auto countRecords = [&](auto &records) {
                if (!records.isMade())
                    return;
                for (const auto &record : records.byPartition[p])
                    keepBest(tables.bests[p], countIn(tables.partitioned[p], std::uint64_t(record.key), record.position));
                counted += qsizetype(records.byPartition[p].size());
                records.byPartition[p].clear();
            };
            for (Tables::Reader &reader : tables.readers) {
                countRecords(reader.narrow);
                countRecords(reader.wide);
            }
            if (last) {
                // Its best is kept, and its table goes. The next partition takes the table over
                // when it is the larger, rather than growing its own from what it holds.
                PackedTable done = std::move(tables.partitioned[p]);
                if (p + 1 < size_t(range.end) && done.bucket_count() > tables.partitioned[p + 1].bucket_count()) {
                    PackedTable &next = tables.partitioned[p + 1];
                    done.clear();
                    done.insert(next.begin(), next.end());
                    next = std::move(done);
                }
            }
            if (!range.carryOn(counted))
                return;
        }
    });
    tables.carried = {}; // counted once
    std::fill(tables.carriedFrom.begin(), tables.carriedFrom.end(), 0);
}

ValueCounts::Best ValueCounts::best()
{
    Tables &tables = *m_tables;
    Seen best;
    for (const Seen &partitionBest : tables.bests)
        keepBest(best, partitionBest);
    Tables::Reader &first = tables.readers[0];
    for (size_t i = 1; i < tables.readers.size(); ++i) {
        mergeCounts(first.direct, tables.readers[i].direct);
        mergeCounts(first.small, tables.readers[i].small);
        mergeCounts(first.large, tables.readers[i].large);
    }
    for (const auto &[value, seen] : first.direct)
        keepBest(best, seen);
    const size_t arrayEntries = m_smallIntegers.empty() ? 0 : smallIntegers;
    for (size_t i = 0; i < arrayEntries; ++i) {
        Seen merged;
        for (const auto &integers : m_smallIntegers) {
            const Seen &seen = integers[i];
            if (seen.count == 0)
                continue;
            merged = merged.count == 0 ? seen : Seen{merged.count + seen.count, std::min(merged.first, seen.first)};
        }
        if (merged.count != 0)
            keepBest(best, merged);
    }
    for (const auto &[value, seen] : first.small)
        keepBest(best, seen);
    for (const auto &[value, seen] : first.large)
        keepBest(best, seen);
    return best;
}
