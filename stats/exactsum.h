#pragma once

#include "stats/numbers.h"

#include <array>
#include <cstdint>
#include <vector>

// The exact sum of up to 2^31 - 1 numbers, and their mean rounded once for display.
//
// An ordinary item (at most 19 significant digits and a power of ten between -64 and 63) is
// added as a 64-bit integer into a 128-bit one of its power of ten, which holds 2^31 of them
// without overflow. Any other is added digit by digit into a wide sum: a 128-bit word for each
// 18 decimal places from 10^-maxOrder up, enough for 2^31 items of the largest magnitude, sized
// when the sum is made. So adding never allocates, nor can it fail, however long the numbers:
// a GMP integer would grow while the pass runs, and GMP aborts when that growth fails.
__extension__ typedef __int128 Int128; // GCC's and clang's, where ISO C++ has none

class ExactSum final
{
public:
    static constexpr std::int64_t maxCount = 0x7FFF'FFFF;

    ExactSum(); // throws std::bad_alloc when the wide sum does not fit

    void add(const ParsedNumber &number)
    {
        // Inline: the common case, once per item.
        const std::int64_t slot = number.exponent - lowestFast;
        if (number.digitCount <= ParsedNumber::maxCoefficientDigits && slot >= 0 && slot < fastCount) [[likely]] {
            m_fast[size_t(slot)] += withSign(number.coefficient, number.negative);
            return;
        }
        addSlow(number);
    }
    void add(std::int32_t integer) { m_fast[size_t(-lowestFast)] += integer; }
    void add(const ShortDecimal &decimal)
    {
        m_fast[size_t(decimal.exponent - lowestFast)] += withSign(decimal.digits, decimal.negative);
    }
    void add(const ExactSum &other); // of numbers that, with these, are at most maxCount
    // The mean of the count numbers added so far, rounded once. count is 1 to maxCount.
    // Throws std::bad_alloc when memory runs out.
    [[nodiscard]] ShownNumber mean(std::int64_t count) const;

private:
    // The magnitude, negated when negative, without a branch: in a list of both signs at
    // random, one is mispredicted on every other item.
    static Int128 withSign(std::uint64_t magnitude, bool negative)
    {
        const Int128 mask = -Int128(negative);
        return (Int128(magnitude) ^ mask) - mask;
    }
    void addSlow(const ParsedNumber &number);

    static constexpr std::int64_t lowestFast = -64;
    static constexpr std::int64_t fastCount = 128;

    std::array<Int128, fastCount> m_fast{};
    // Word i holds places 10^(-maxOrder + 18 i) and up; only [m_low, m_high) has been written.
    std::vector<Int128> m_wide;
    size_t m_low = 0;
    size_t m_high = 0;
};

// The number's value, rounded for display as the mean is. Throws std::bad_alloc as mean() does.
[[nodiscard]] ShownNumber shown(const ParsedNumber &number);
