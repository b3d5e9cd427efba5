#pragma once

#include <QString>

#include <string_view>

// How the statistics read an item's text as a number, and how they write a result.

enum class NumberProblem {
    none,
    empty,      // nothing but spaces and tabs
    notANumber, // anything that is not a plain decimal number
    outOfRange, // a number beyond the range of a double, such as 1e400
};

struct ParsedNumber
{
    double value = 0;
    NumberProblem problem = NumberProblem::none;
};

// Reads the whole text as a decimal number: spaces and tabs around it, an optional sign, digits
// with an optional fraction (".5" and "5." count), an optional exponent; "." is the decimal point
// in every locale. Hex, "inf", "nan" and digit groupings ("1,5", "1 000") are not numbers. A number
// too small for a double (1e-400) is one all the same, rounded to the nearest double as IEEE does.
[[nodiscard]] ParsedNumber parseNumber(std::string_view text) noexcept;

// Writes at most 15 significant digits, without trailing zeros, without a decimal point for a
// whole value, with an exponent only when the value needs one (1e+20), and never as "-0".
[[nodiscard]] QString formatNumber(double value);
