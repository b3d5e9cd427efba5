// Any text as a number: parseSmallInteger and parseShortDecimal find what parseNumber does;
// what it accepts, the C library reads as the same double; the digits and exponent it finds
// spell that value again; and what formatNumber writes of it reads back as the same shown
// value, within the rounding to 15 digits.

#include "stats/exactsum.h"
#include "tests/fuzz/digits.h"
#include "stats/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <locale.h>

namespace {

// The nearest double, as the C library reads a plain decimal number in the C locale; ±inf or 0
// past the double's range.
double strtodC(const std::string &text)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return strtod_l(text.c_str(), nullptr, c);
}

std::string canonical(const ParsedNumber &number)
{
    if (number.digitCount == 0)
        return "0";
    return (number.negative ? "-" : "") + digitsOf(number).get_str() + 'e' + std::to_string(number.exponent);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const ParsedNumber number = parseNumber(text);
    if (number.problem == NumberProblem::empty && text.find_first_not_of(" \t") != std::string::npos)
        std::abort();
    // The shortcuts read the value parseNumber reads, or leave the text to it. They read past
    // the text's end, no further than they say (AddressSanitizer sees the buffer's end), and
    // digits and points there change nothing.
    const auto padded = std::make_unique_for_overwrite<char[]>(size + shortcutReadBytes);
    std::copy_n(data, size, padded.get());
    for (size_t i = 0; i < shortcutReadBytes; ++i)
        padded[size + i] = "5.0"[i % 3];
    const std::string_view shortcutText(padded.get(), size);
    if (const std::optional<std::int32_t> integer = parseSmallInteger(shortcutText)) {
        if (number.problem != NumberProblem::none || canonical(number) != canonical(parseNumber(std::to_string(*integer))))
            std::abort();
    }
    if (const std::optional<ShortDecimal> decimal = parseShortDecimal(shortcutText)) {
        if (number.problem != NumberProblem::none || number.coefficient != decimal->digits
            || number.exponent != decimal->exponent || number.negative != decimal->negative || number.digitCount > 16
            || decimal->exponent < -8)
            std::abort();
    }
    if (number.problem != NumberProblem::none)
        return 0;

    // The significant digits: as many as counted, with no leading or trailing zero.
    if (number.digitCount > 0
        && (number.significand.front() == '0' || number.significand.back() == '0'
            || qsizetype(digitsOf(number).get_str().size()) != number.digitCount))
        std::abort();
    const std::string digits = canonical(number);
    // The C library reads the text and the canonical form to one double; and both are one value.
    if (text.find('\0') == std::string::npos && strtodC(text) != strtodC(digits))
        std::abort();
    const ParsedNumber again = parseNumber(digits);
    if (again.problem != NumberProblem::none || canonical(again) != digits)
        std::abort();

    // Written, then read and shown again: the same text. A shown value holds at most 15 digits.
    const ShownNumber value = shown(number);
    const QByteArray written = formatNumber(value).toLatin1();
    const ParsedNumber reread = parseNumber(written.toStdString());
    if (written == "-0" || reread.problem != NumberProblem::none || reread.digitCount > 15
        || formatNumber(shown(reread)).toLatin1() != written)
        std::abort();
    // Within a double's normal range, the C library agrees that it is the same number to 15 digits.
    const double near = strtodC(digits), writtenNear = strtodC(written.toStdString());
    if (std::abs(near) > 1e-300 && std::abs(near) < 1e300 && std::abs(writtenNear - near) > 5.3e-15 * std::abs(near))
        std::abort();
    return 0;
}
