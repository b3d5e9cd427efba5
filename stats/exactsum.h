#pragma once

#include <array>
#include <cstdint>

// The exact sum of up to 2^31 - 1 finite doubles, and their mean rounded once.
//
// Every finite double is a whole multiple of 2^-1074 below 2^1024, so the sum is an integer of
// about 2130 bits in those units. It is kept in 32-bit digits, each in an int64 that absorbs the
// carries of 2^31 additions, so adding is a few integer operations and never loses a bit. MPFR
// then divides by the count and rounds to the nearest double, subnormals included.
class ExactSum final
{
public:
    static constexpr std::int64_t maxCount = 0x7FFF'FFFF;

    void add(double value) noexcept;
    // The mean of the count values added so far, correctly rounded. count is 1 to maxCount.
    [[nodiscard]] double mean(std::int64_t count) const;

private:
    static constexpr int digitBits = 32;
    // 2098 bits for any one double, 31 more for the carries of maxCount of them.
    static constexpr int digitCount = (2098 + 31) / digitBits + 1;

    std::array<std::int64_t, digitCount> m_digits{};
};
