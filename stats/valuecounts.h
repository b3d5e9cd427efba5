#pragma once

#include "runtime/core/task.h"
#include "stats/numbers.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// How often each value occurs among a list's items, and where first: what the mode is found
// from. Values are told apart exactly, as ParsedNumber spells them. Several threads count at
// once, each as a reader of its own; the counts merge exactly, in any order.
//
// Integers from -32768 to 32767 are counted by value in an array of each reader's own. The
// common other value (up to 56 bits of digits, a power of ten from -64 to 63) is counted by its
// 64-bit packed form. While a reader has seen few distinct ones, it counts them directly in a
// table of its own that stays in the cache. Past that, one table would miss the cache on
// nearly every item, so the reader scatters the values it reads as records among partitions
// by hash, and after each chunk of items the partitions are counted, each in a table of its
// own that is small enough to stay in the cache. Rarer values are counted by each reader
// directly.
class ValueCounts final
{
public:
    // Counts by `readers` threads, which read at most chunkItems items between two calls of
    // countScattered(), each counting up to directLimit distinct values directly; small integers
    // in arrays by value, or with the other values when there are too few items to be worth them.
    ValueCounts(int readers, qsizetype chunkItems, qsizetype directLimit, bool smallIntegerArrays);
    ~ValueCounts();
    Q_DISABLE_COPY_MOVE(ValueCounts)

    // Counts one item's value at its position, as reader (0 to readers - 1): one thread per
    // reader, which counts its items in the order of their positions.
    void count(int reader, const ParsedNumber &number, quint32 position);
    // The same for an integer from -32768 to 32767, as parseSmallInteger reads it. Inline, since
    // it is the commonest item of all.
    void count(int reader, std::int32_t smallInteger, quint32 position)
    {
        if (m_smallIntegers.empty()) [[unlikely]] {
            countPacked(reader, packedValue(std::uint64_t(std::abs(smallInteger)), 0, smallInteger < 0), position);
            return;
        }
        Best &seen = m_smallIntegers[size_t(reader)][size_t(smallInteger + smallIntegerBound)];
        if (seen.count++ == 0)
            seen.first = position;
    }
    // The same for a short decimal, as parseShortDecimal reads it.
    void count(int reader, const ShortDecimal &decimal, quint32 position)
    {
        countPacked(reader, packedValue(decimal.digits, decimal.exponent, decimal.negative), position);
    }
    // Counts what the readers have scattered since the last call, in which they read `read`
    // items, on the task's threads; the task's progress advances by those items as they are
    // counted. Not while a reader counts. After the last call, only best() is left to call.
    void countScattered(Task &task, qsizetype read, bool last);

    struct Best
    {
        quint32 count = 0;
        quint32 first = 0; // the position where the value first occurs
    };
    // The most frequent value; of values equally frequent, the one that occurs first.
    [[nodiscard]] Best best();

private:
    // The common value (up to 56 bits of digits, a power of ten from -64 to 63) as one key.
    static constexpr int packedDigitBits = 56;
    static constexpr std::int64_t lowestPackedExponent = -64;
    static bool packs(const ParsedNumber &number);
    static std::uint64_t packedValue(std::uint64_t digits, std::int64_t exponent, bool negative)
    {
        return digits << 8 | std::uint64_t(exponent - lowestPackedExponent) << 1 | std::uint64_t(negative);
    }
    void countPacked(int reader, std::uint64_t key, quint32 position);

    // Integers from -32768 to 32767 are counted in a plain array per reader, indexed by value:
    // 512 KB for all of them, which stays in a core's cache, where a hash table of them takes
    // 2 MB and misses it on nearly every item. No library container indexes by value more
    // cheaply than an array.
    static constexpr std::int32_t smallIntegerBound = 32768;
    static constexpr size_t smallIntegers = 2 * smallIntegerBound;
    struct Free // back to hugePageMemory()
    {
        void operator()(Best *counts) const noexcept;
    };
    std::vector<std::unique_ptr<Best[], Free>> m_smallIntegers; // by reader
    struct Tables;
    std::unique_ptr<Tables> m_tables;
};
