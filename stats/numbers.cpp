#include "stats/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The power of ten of the first significant digit of an unsigned decimal number that
// std::from_chars has already accepted: 2 for "123.4", -3 for "0.00123e0", 397 for "12e396".
// Only its sign matters, so the exponent saturates instead of overflowing.
long long decimalOrder(std::string_view number)
{
    const size_t mantissaEnd = std::min(number.find_first_of("eE"), number.size());
    const std::string_view mantissa = number.substr(0, mantissaEnd);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    long long order = first < point ? (long long)(point - first) - 1 : -(long long)(first - point);

    long long exponent = 0;
    std::string_view rest = number.substr(std::min(mantissaEnd + 1, number.size()));
    const bool negative = !rest.empty() && rest.front() == '-';
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+'))
        rest.remove_prefix(1);
    for (const char c : rest)
        exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000LL);
    return order + (negative ? -exponent : exponent);
}

} // namespace

ParsedNumber parseNumber(std::string_view text) noexcept
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return {0, NumberProblem::empty};

    const bool negative = text.front() == '-';
    if (negative || text.front() == '+')
        text.remove_prefix(1);
    // from_chars would also take "inf", "nan" and a second sign; a number starts with a digit or a point.
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.'))
        return {0, NumberProblem::notANumber};

    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                              std::chars_format::general);
    if (end != text.data() + text.size() || error == std::errc::invalid_argument)
        return {0, NumberProblem::notANumber};
    if (error == std::errc::result_out_of_range) {
        // from_chars says the same for a number too large and one that rounds to zero.
        if (decimalOrder(text) >= 0)
            return {0, NumberProblem::outOfRange};
        value = 0;
    }
    return {negative ? -value : value, NumberProblem::none};
}

QString formatNumber(double value)
{
    if (value == 0)
        value = 0; // -0 is written as 0
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}
