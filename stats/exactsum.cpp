#include "stats/exactsum.h"

#include <mpfr.h>

#include <bit>
#include <cassert>

void ExactSum::add(double value) noexcept
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biasedExponent = int((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t(1) << 52) - 1);
    if (biasedExponent != 0)
        mantissa |= std::uint64_t(1) << 52;
    // value = ±mantissa * 2^(position - 1074); subnormals share the lowest position.
    const int position = biasedExponent == 0 ? 0 : biasedExponent - 1;
    const int digit = position / digitBits;
    const int shift = position % digitBits;
    const std::uint64_t low = mantissa << shift;
    const std::uint64_t high = shift == 0 ? 0 : mantissa >> (64 - shift);
    const std::int64_t sign = (bits >> 63) != 0 ? -1 : 1;
    m_digits[size_t(digit)] += sign * std::int64_t(low & 0xFFFF'FFFF);
    m_digits[size_t(digit) + 1] += sign * std::int64_t(low >> 32);
    m_digits[size_t(digit) + 2] += sign * std::int64_t(high);
}

double ExactSum::mean(std::int64_t count) const
{
    assert(count >= 1 && count <= maxCount);

    // The digits, most significant first, into an MPFR number wide enough to hold them exactly.
    mpfr_t sum;
    mpfr_init2(sum, digitCount * digitBits + 64);
    mpfr_set_zero(sum, 1);
    for (auto digit = m_digits.rbegin(); digit != m_digits.rend(); ++digit) {
        mpfr_mul_2ui(sum, sum, digitBits, MPFR_RNDN);
        mpfr_add_si(sum, sum, long(*digit), MPFR_RNDN);
    }
    mpfr_div_2ui(sum, sum, 1074, MPFR_RNDN);

    // One rounding to 53 bits, then to the double's range: the sum may lie beyond it, so the
    // division runs in MPFR's wide range, and subnormalize uses the first rounding's direction
    // to round the result again without rounding twice.
    mpfr_t mean;
    mpfr_init2(mean, 53);
    int inexact = mpfr_div_ui(mean, sum, static_cast<unsigned long>(count), MPFR_RNDN);
    const mpfr_exp_t wideMin = mpfr_get_emin();
    const mpfr_exp_t wideMax = mpfr_get_emax();
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
    inexact = mpfr_check_range(mean, inexact, MPFR_RNDN);
    mpfr_subnormalize(mean, inexact, MPFR_RNDN);
    const double result = mpfr_get_d(mean, MPFR_RNDN);
    mpfr_set_emin(wideMin);
    mpfr_set_emax(wideMax);

    mpfr_clear(mean);
    mpfr_clear(sum);
    return result;
}
