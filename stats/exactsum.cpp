#include "stats/exactsum.h"

#include <algorithm>
#include <cassert>

namespace {

__extension__ typedef unsigned __int128 UInt128;

// A wide sum's word holds 18 decimal places: an item's digits for one word fit in 64 bits, and
// 2^31 of them, with the carries, stay far within 128.
constexpr int wordDigits = 18;
constexpr Int128 base = 1'000'000'000'000'000'000;
// The place of a wide sum's first word, and how many words it has: the places of every digit
// an item may have, ten more for a sum of 2^31 of them, and a word for the sign's carry.
constexpr std::int64_t lowestPlace = -ParsedNumber::maxOrder;
constexpr size_t wideWords = size_t((2 * ParsedNumber::maxOrder + 1 + 10 + wordDigits - 1) / wordDigits) + 1;

constexpr UInt128 powerOfTen(int n)
{
    UInt128 power = 1;
    for (; n > 0; --n)
        power *= 10;
    return power;
}

// Adds magnitude * 10^digit (negated when negative) into words[0] and up, each word taking
// less than the base.
void addMagnitude(Int128 *words, int digit, UInt128 magnitude, bool negative)
{
    const UInt128 room = powerOfTen(wordDigits - digit);
    UInt128 chunk = magnitude % room * powerOfTen(digit);
    magnitude /= room;
    for (;;) {
        *words++ += negative ? -Int128(chunk) : Int128(chunk);
        if (magnitude == 0)
            return;
        chunk = magnitude % UInt128(base);
        magnitude /= UInt128(base);
    }
}

// Brings every word into [0, base), carrying the rest up; returns what carries out of the top
// (negative when the sum is).
Int128 normalise(std::vector<Int128> &words)
{
    Int128 carry = 0;
    for (Int128 &word : words) {
        const Int128 value = word + carry;
        Int128 quotient = value / base, remainder = value % base;
        if (remainder < 0) {
            remainder += base;
            --quotient;
        }
        word = remainder;
        carry = quotient;
    }
    return carry;
}

int digitsIn(Int128 word)
{
    int digits = 0;
    for (; word != 0; word /= 10)
        ++digits;
    return digits;
}

} // namespace

ExactSum::ExactSum() : m_wide(wideWords) { }

void ExactSum::addSlow(const ParsedNumber &number)
{
    // From the last digit up, a word's worth at a time.
    const std::int64_t place = number.exponent - lowestPlace; // never negative within maxOrder
    auto word = size_t(place / wordDigits);
    int digit = int(place % wordDigits);
    m_low = m_high == 0 ? word : std::min(m_low, word);
    std::int64_t chunk = 0, scale = std::int64_t(powerOfTen(digit));
    for (auto c = number.significand.rbegin(); c != number.significand.rend(); ++c) {
        if (*c == '.')
            continue;
        chunk += (*c - '0') * scale;
        scale *= 10;
        if (++digit == wordDigits) {
            m_wide[word++] += number.negative ? -chunk : chunk;
            chunk = 0;
            scale = 1;
            digit = 0;
        }
    }
    m_wide[word] += number.negative ? -chunk : chunk;
    m_high = std::max(m_high, word + 1);
}

void ExactSum::add(const ExactSum &other)
{
    for (size_t slot = 0; slot < m_fast.size(); ++slot)
        m_fast[slot] += other.m_fast[slot];
    if (other.m_high == 0)
        return;
    for (size_t word = other.m_low; word < other.m_high; ++word)
        m_wide[word] += other.m_wide[word];
    m_low = m_high == 0 ? other.m_low : std::min(m_low, other.m_low);
    m_high = std::max(m_high, other.m_high);
}

ShownNumber ExactSum::mean(std::int64_t count) const
{
    assert(count >= 1 && count <= maxCount);

    // The words in use, with the ordinary items' sums added in; two words more below, where
    // the quotient's digits go on (a mean can begin ten places below its sum), and more above,
    // where the fast sums' 39 digits and the carries go.
    const auto fastLow = size_t((lowestFast - lowestPlace) / wordDigits);
    const auto fastHigh = size_t((lowestFast + fastCount - 1 - lowestPlace) / wordDigits) + 4;
    const size_t low = m_high == 0 ? fastLow : std::min(m_low, fastLow);
    const size_t high = std::min(wideWords, std::max(m_high, fastHigh) + 2);
    const std::int64_t first = std::int64_t(low) - 2; // the local words' first, as a wide word
    std::vector<Int128> sum(high - low + 2);
    std::copy(m_wide.cbegin() + std::ptrdiff_t(low), m_wide.cbegin() + std::ptrdiff_t(std::max(low, m_high)), sum.begin() + 2);
    for (std::int64_t slot = 0; slot < fastCount; ++slot) {
        const Int128 value = m_fast[size_t(slot)];
        if (value == 0)
            continue;
        const std::int64_t place = slot + lowestFast - lowestPlace;
        addMagnitude(&sum[size_t(place / wordDigits - first)], int(place % wordDigits),
                     value < 0 ? -UInt128(value) : UInt128(value), value < 0);
    }

    const bool negative = normalise(sum) < 0;
    if (negative) {
        for (Int128 &word : sum)
            word = -word;
        normalise(sum); // now the magnitude
    }
    // Divided from the top word down; what remains tells only whether anything is left below.
    Int128 remainder = 0;
    for (size_t i = sum.size(); i-- > 0;) {
        const Int128 value = remainder * base + sum[i];
        sum[i] = value / count;
        remainder = value % count;
    }
    size_t top = sum.size();
    while (top > 0 && sum[top - 1] == 0)
        --top;
    if (top == 0)
        return {};
    --top; // the first word with a digit; the one below it exists, by the two words added

    // The first 15 digits of the top two words, rounded to nearest, ties to even, by what
    // follows them.
    constexpr int digits = ShownNumber::significantDigits;
    const UInt128 head = UInt128(sum[top]) * UInt128(base) + UInt128(sum[top - 1]);
    const int dropped = digitsIn(sum[top]) + wordDigits - digits;
    const UInt128 unit = powerOfTen(dropped), rest = head % unit;
    auto kept = std::uint64_t(head / unit);
    const bool more = remainder != 0 || std::any_of(sum.cbegin(), sum.cbegin() + std::ptrdiff_t(top - 1), [](Int128 word) { return word != 0; });
    if (rest > unit / 2 || (rest == unit / 2 && (more || kept % 2 != 0)))
        ++kept;
    std::int64_t power = lowestPlace + wordDigits * (first + std::int64_t(top) - 1) + dropped;
    if (kept == std::uint64_t(powerOfTen(digits))) {
        kept /= 10;
        ++power;
    }
    while (kept % 10 == 0) {
        kept /= 10;
        ++power;
    }
    return {negative, kept, power};
}

ShownNumber shown(const ParsedNumber &number)
{
    if (number.digitCount <= ShownNumber::significantDigits)
        return {number.negative, number.coefficient, number.exponent};
    ExactSum sum;
    sum.add(number);
    return sum.mean(1);
}
