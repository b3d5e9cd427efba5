#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

// How the statistics read an item's text as a number, and how they write a result.

enum class NumberProblem {
    none,
    empty,      // nothing but spaces and tabs
    notANumber, // anything that is not a plain decimal number
    tooLarge,   // a number of 1e100001 or more, in magnitude
    tooSmall,   // a number below 1e-100000 in magnitude, but not zero
    tooPrecise, // within those, but with a non-zero digit below 1e-100000
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

// The commonest item of all, read at its cheapest: an optional minus sign and one to five
// digits, of a value from -32768 to 32767 ("007" and "-0" too). Nothing for any other text,
// which parseNumber reads. Inline, since it runs once per item.
[[nodiscard]] inline std::optional<std::int32_t> parseSmallInteger(std::string_view text) noexcept
{
    const bool negative = !text.empty() && text.front() == '-';
    text.remove_prefix(negative ? 1 : 0);
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    std::int32_t value = 0;
    for (const char c : text) {
        const unsigned digit = unsigned(c) - unsigned('0');
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + std::int32_t(digit);
    }
    if (value > (negative ? 32768 : 32767))
        return std::nullopt;
    return negative ? -value : value;
}

// The commonest item after those: an optional minus sign and at most 16 digits with a point
// among them, and a digit other than 0 after the point ("-12.5", "0.125", ".50"). Its value is
// exactly (negative ? -1 : 1) * digits * 10^exponent, digits without trailing zeros: what
// parseNumber reads as its coefficient and exponent. Nothing for any other text. Inline, as
// above.
struct ShortDecimal
{
    std::uint64_t digits = 0;
    std::int32_t exponent = 0; // -16 to -1
    bool negative = false;
};
[[nodiscard]] inline std::optional<ShortDecimal> parseShortDecimal(std::string_view text) noexcept
{
    const bool negative = !text.empty() && text.front() == '-';
    text.remove_prefix(negative ? 1 : 0);
    if (text.size() > 17)
        return std::nullopt;
    const size_t last = text.find_last_not_of('0'); // trailing zeros carry no value
    std::uint64_t digits = 0;
    size_t point = std::string_view::npos;
    for (size_t i = 0; i <= last && last != std::string_view::npos; ++i) {
        const unsigned digit = unsigned(text[i]) - unsigned('0');
        if (digit <= 9)
            digits = digits * 10 + digit;
        else if (text[i] == '.' && point == std::string_view::npos)
            point = i;
        else
            return std::nullopt;
    }
    if (point == std::string_view::npos || point == last) // no point, or only zeros after it
        return std::nullopt;
    return ShortDecimal{digits, std::int32_t(point) - std::int32_t(last), negative};
}

// parseNumber without its shortcut for the ordinary number (a few digits, a short exponent),
// which must give exactly what this gives; the fuzz target checks that they agree.
[[nodiscard]] ParsedNumber parseNumberInGeneral(std::string_view text) noexcept;

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
