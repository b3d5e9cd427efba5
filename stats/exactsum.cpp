#include "stats/exactsum.h"

#include <cassert>
#include <string>

namespace {

mpz_class powerOfTen(std::int64_t exponent)
{
    mpz_class power;
    mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(exponent));
    return power;
}

mpz_class fromInt128(Int128 value)
{
    __extension__ typedef unsigned __int128 UInt128;
    const UInt128 magnitude = value < 0 ? -UInt128(value) : UInt128(value);
    mpz_class result = mpz_class(static_cast<unsigned long>(magnitude >> 64)) << 64;
    result += static_cast<unsigned long>(magnitude & ~std::uint64_t(0));
    return value < 0 ? mpz_class(-result) : result;
}

// numerator * 10^exponent / denominator (denominator > 0), rounded to the nearest number of
// ShownNumber::significantDigits significant digits, ties to even.
ShownNumber roundedQuotient(const mpz_class &numerator, std::int64_t exponent, const mpz_class &denominator)
{
    if (numerator == 0)
        return {};
    const mpz_class magnitude = abs(numerator);
    constexpr int digits = ShownNumber::significantDigits;
    const mpz_class lowest = powerOfTen(digits - 1), beyond = powerOfTen(digits);

    // The quotient's first digit is within one place of this guess; find the power of ten k
    // that leaves exactly `digits` digits before the point.
    auto order = std::int64_t(mpz_sizeinbase(magnitude.get_mpz_t(), 10)) + exponent
                 - std::int64_t(mpz_sizeinbase(denominator.get_mpz_t(), 10));
    mpz_class quotient, remainder, divisor;
    for (;;) {
        const std::int64_t shift = exponent - (order - (digits - 1));
        const mpz_class scaled = shift >= 0 ? mpz_class(magnitude * powerOfTen(shift)) : magnitude;
        divisor = shift >= 0 ? denominator : mpz_class(denominator * powerOfTen(-shift));
        mpz_tdiv_qr(quotient.get_mpz_t(), remainder.get_mpz_t(), scaled.get_mpz_t(), divisor.get_mpz_t());
        if (quotient >= beyond)
            ++order;
        else if (quotient < lowest)
            --order;
        else
            break;
    }
    const int half = cmp(mpz_class(remainder * 2), divisor);
    if (half > 0 || (half == 0 && mpz_odd_p(quotient.get_mpz_t())))
        ++quotient;
    std::int64_t power = order - (digits - 1);
    if (quotient == beyond) {
        quotient = lowest;
        ++power;
    }
    while (mpz_divisible_ui_p(quotient.get_mpz_t(), 10)) {
        quotient /= 10;
        ++power;
    }
    return {numerator < 0, quotient.get_ui(), power};
}

} // namespace

mpz_class digitsOf(const ParsedNumber &number)
{
    if (number.digitCount <= ParsedNumber::maxCoefficientDigits)
        return mpz_class(static_cast<unsigned long>(number.coefficient));
    std::string digits;
    digits.reserve(number.significand.size());
    for (const char c : number.significand) {
        if (c != '.')
            digits += c;
    }
    return mpz_class(digits, 10);
}

void ExactSum::addSlow(const ParsedNumber &number)
{
    mpz_class &sum = m_slow[number.exponent];
    if (number.negative)
        sum -= digitsOf(number);
    else
        sum += digitsOf(number);
}

void ExactSum::add(const ExactSum &other)
{
    for (size_t slot = 0; slot < m_fast.size(); ++slot)
        m_fast[slot] += other.m_fast[slot];
    for (const auto &[exponent, sum] : other.m_slow)
        m_slow[exponent] += sum;
}

ShownNumber ExactSum::mean(std::int64_t count) const
{
    assert(count >= 1 && count <= maxCount);

    // Every partial sum, by power of ten; then, from the highest power down, one integer
    // in units of the lowest.
    std::map<std::int64_t, mpz_class> sums = m_slow;
    for (std::int64_t slot = 0; slot < fastCount; ++slot) {
        if (m_fast[size_t(slot)] != 0)
            sums[slot + lowestFast] += fromInt128(m_fast[size_t(slot)]);
    }
    mpz_class total;
    std::int64_t power = 0;
    for (auto sum = sums.rbegin(); sum != sums.rend(); ++sum) {
        if (total != 0)
            total *= powerOfTen(power - sum->first);
        total += sum->second;
        power = sum->first;
    }
    return roundedQuotient(total, power, mpz_class(static_cast<unsigned long>(count)));
}

ShownNumber shown(const ParsedNumber &number)
{
    if (number.digitCount <= ShownNumber::significantDigits)
        return {number.negative, number.coefficient, number.exponent};
    const mpz_class digits = digitsOf(number);
    return roundedQuotient(number.negative ? mpz_class(-digits) : digits, number.exponent, 1);
}
