#pragma once

#include "stats/numbers.h"

#include <gmpxx.h>

#include <array>
#include <cstdint>
#include <map>

// The exact sum of up to 2^31 - 1 numbers, and their mean rounded once for display.
//
// The sum is kept per power of ten. An ordinary item (at most 19 significant digits and a
// power of ten between -64 and 63) is added as a 64-bit integer into a 128-bit one, which
// holds 2^31 of them without overflow; any other goes into a GMP integer of its power of ten.
// Only the mean scales them to one power and divides.
__extension__ typedef __int128 Int128; // GCC's and clang's, where ISO C++ has none

class ExactSum final
{
public:
    static constexpr std::int64_t maxCount = 0x7FFF'FFFF;

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
    std::map<std::int64_t, mpz_class> m_slow;
};

// The number's value, rounded for display as the mean is.
[[nodiscard]] ShownNumber shown(const ParsedNumber &number);

// The digits of a number that parseNumber accepted, as a GMP integer.
[[nodiscard]] mpz_class digitsOf(const ParsedNumber &number);
