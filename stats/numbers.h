#pragma once

#include "runtime/core/words.h"

#include <QString>

#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

// How the statistics read an item's text as a number, and how they write a result.

enum class NumberProblem {
    none,
    empty,      // nothing but spaces and tabs
    notANumber, // anything that is not a plain decimal number
    tooLarge,   // a number of 10^(maxOrder + 1) or more, in magnitude (ParsedNumber::maxOrder)
    tooSmall,   // a number below 10^-maxOrder in magnitude, but not zero
    tooPrecise, // within those, but with a non-zero digit below 10^-maxOrder
};

// The exact value an item's text spells: (negative ? -1 : 1) * digits * 10^exponent, where
// digits are its significant digits, with neither leading nor trailing zeros. Zero has no
// digits and is never negative, so every value has exactly one such form.
struct ParsedNumber
{
    NumberProblem problem = NumberProblem::none;
    bool negative = false;
    std::int64_t exponent = 0;
    qsizetype digitCount = 0;
    // The part of the text from the first significant digit to the last; it holds the decimal
    // point when that lies between them.
    std::string_view significand;
    // The digits' value, when there are at most maxCoefficientDigits of them.
    std::uint64_t coefficient = 0;

    static constexpr qsizetype maxCoefficientDigits = 19;
    // Every digit of an accepted number, from its first to its last non-zero one, has a power of
    // ten within ±maxOrder, so that no item can make the work unbounded: one holds at most
    // 2 * maxOrder + 1 significant digits.
    static constexpr std::int64_t maxOrder = 100'000;
};

// Reads the whole text as a decimal number: spaces and tabs around it, an optional sign, digits
// with an optional fraction (".5" and "5." count), an optional exponent; "." is the decimal point
// in every locale. Hex, "inf", "nan" and digit groupings ("1,5", "1 000") are not numbers. The
// value is exact: "9007199254740993" is not "9007199254740992", and 1e400 and 1e-400 are numbers
// like any other, within the bound of maxOrder on the powers of ten of its first and last
// non-zero digits. Trailing zeros carry no value, however many: "1." and 200,000 zeros is 1.
[[nodiscard]] ParsedNumber parseNumber(std::string_view text) noexcept;

// The shortcuts below read a word at a time: up to this many bytes from the start of the text,
// whatever its length, so they must be readable (a Lines item's are).
inline constexpr size_t shortcutReadBytes = 24;

// The value of the n digits in the lowest n bytes of word (n from 1 to 8), or nothing when any
// of them is not one. All at once: the bytes are checked together, then added up in pairs, fours
// and eights by three multiplications.
[[nodiscard]] inline std::optional<std::uint32_t> eightDigits(std::uint64_t word, size_t n) noexcept
{
    const unsigned shift = unsigned(8 - n) * 8;
    word <<= shift; // the n digits on top, zero bytes below, as if they were leading zeros
    const std::uint64_t zeros = 0x3030'3030'3030'3030ULL << shift, high = 0xF0F0'F0F0'F0F0'F0F0ULL;
    if ((word & high) != zeros || ((word + (0x0606'0606'0606'0606ULL << shift)) & high) != zeros)
        return std::nullopt; // a byte outside '0' to '9'
    std::uint64_t value = word & 0x0F0F'0F0F'0F0F'0F0FULL;
    value = value * 10 + (value >> 8);
    value = ((value & 0x0000'00FF'0000'00FFULL) * (100 + (1'000'000ULL << 32))
             + (value >> 16 & 0x0000'00FF'0000'00FFULL) * (1 + (10'000ULL << 32)))
            >> 32;
    return std::uint32_t(value);
}
// The same for the n digits at text; reads the eight bytes at text.
[[nodiscard]] inline std::optional<std::uint32_t> eightDigits(const char *text, size_t n) noexcept
{
    return eightDigits(wordAt(text), n);
}

// The commonest item of all, read at its cheapest: an optional minus sign and one to five
// digits, of a value from -32768 to 32767 ("007" and "-0" too). Nothing for any other text,
// which parseNumber reads. Inline, since it runs once per item. Reads shortcutReadBytes.
[[nodiscard]] inline std::optional<std::int32_t> parseSmallInteger(std::string_view text) noexcept
{
    // The sign is taken without a branch, which a list of both signs at random mispredicts on
    // every other item; and the word is read at the text's start and shifted past the sign:
    // read after it, each item's digits waited for its test (10 M integers: 69 -> 56 ms a pass).
    const std::uint64_t word = wordAt(text.data());
    const bool negative = ((word & 0xFF) == '-') & !text.empty();
    const size_t digits = text.size() - negative;
    if (digits == 0 || digits > 5)
        return std::nullopt;
    const std::optional<std::uint32_t> value = eightDigits(word >> (8 * unsigned(negative)), digits);
    if (!value || *value > 32767U + unsigned(negative))
        return std::nullopt;
    return negative ? -std::int32_t(*value) : std::int32_t(*value);
}

// The commonest item after those: an optional minus sign, up to eight digits, a point, and one to
// eight digits of which the last is not 0, then maybe zeros, at most 17 bytes after the sign
// ("-12.5", "0.125", ".50"). Its value is exactly (negative ? -1 : 1) * digits * 10^exponent,
// digits without trailing zeros: what parseNumber reads as its coefficient and exponent.
// Nothing for any other text. Inline, as above; reads shortcutReadBytes.
struct ShortDecimal
{
    std::uint64_t digits = 0;
    std::int32_t exponent = 0; // -8 to -1
    bool negative = false;
};
[[nodiscard]] inline std::optional<ShortDecimal> parseShortDecimal(std::string_view text) noexcept
{
    const bool any = !text.empty();
    const bool negative = (text.data()[0] == '-') & any; // without a branch, as above
    text = {text.data() + negative, text.size() - negative};
    if (text.size() < 2 || text.size() > 17)
        return std::nullopt;
    // The point: the first of eight bytes without bit 4 set, which every digit has ('.' is
    // 0x2E), else the ninth. A byte with bit 4 that is no digit fails eightDigits below.
    const std::uint64_t first = wordAt(text.data());
    const std::uint64_t others = ~first & 0x1010'1010'1010'1010ULL;
    const size_t point = size_t(std::countr_zero(others)) / 8;
    if (point >= text.size() || text[point] != '.')
        return std::nullopt;
    if (text.size() <= 9 && point + 1 < text.size() && text.back() != '0') {
        // The commonest: at most eight digits, the last not 0. One word of them, those after
        // the point moved down a byte onto it. Stripping trailing zeros here too, by comparing
        // the word's bytes to '0', took nearly twice as long (bench/README.md).
        // The bits up to the point's bit 4, shifted down past it: the bytes before the point.
        const std::uint64_t beforePoint = (others ^ (others - 1)) >> 5;
        const std::uint64_t digits = (first & beforePoint) | (wordAt(text.data() + 1) & ~beforePoint);
        const std::optional<std::uint32_t> value = eightDigits(digits, text.size() - 1);
        if (!value)
            return std::nullopt;
        return ShortDecimal{*value, -std::int32_t(text.size() - 1 - point), negative};
    }
    size_t end = text.size(); // of the fraction, past its last digit that is not 0
    while (end > point + 1 && text[end - 1] == '0')
        --end;
    const size_t fractionDigits = end - point - 1;
    if (fractionDigits == 0 || fractionDigits > 8)
        return std::nullopt;
    const std::optional<std::uint32_t> integer = point == 0 ? 0U : eightDigits(text.data(), point);
    const std::optional<std::uint32_t> fraction = eightDigits(text.data() + point + 1, fractionDigits);
    if (!integer || !fraction)
        return std::nullopt;
    static constexpr std::uint64_t powersOfTen[] = {1, 10, 100, 1000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000};
    return ShortDecimal{*integer * powersOfTen[fractionDigits] + *fraction, -std::int32_t(fractionDigits), negative};
}

// A result as it is shown: (negative ? -1 : 1) * digits * 10^exponent, with at most 15
// significant digits and no trailing zeros in digits; zero is all zeros.
struct ShownNumber
{
    bool negative = false;
    std::uint64_t digits = 0;
    std::int64_t exponent = 0;

    static constexpr int significantDigits = 15;
    friend bool operator==(const ShownNumber &, const ShownNumber &) = default;
};

// Writes the number as printf's "%.15g" would: without a decimal point for a whole value, with
// an exponent (1e+20, 1e-05) only when the first digit's power of ten is below -4 or above 14.
[[nodiscard]] QString formatNumber(const ShownNumber &number);
