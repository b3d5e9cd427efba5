// Any text as a number: whatever parseNumber accepts, the C library reads the same way, and
// formatNumber writes it back within its 15 digits.

#include "stats/numbers.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <locale.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const ParsedNumber number = parseNumber(text);
    if (number.problem != NumberProblem::none && number.value != 0)
        std::abort();
    if (number.problem == NumberProblem::empty && text.find_first_not_of(" \t") != std::string::npos)
        std::abort();
    if (number.problem == NumberProblem::notANumber || number.problem == NumberProblem::empty)
        return 0;

    // What parseNumber accepted has no NUL and is a plain decimal number, which strtod reads
    // as well; in the C locale "." is its decimal point.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    errno = 0;
    char *end = nullptr;
    const double reference = strtod_l(text.c_str(), &end, c);
    const bool overflow = errno == ERANGE && std::isinf(reference);
    if ((number.problem == NumberProblem::outOfRange) != overflow)
        std::abort();
    if (number.problem == NumberProblem::outOfRange)
        return 0;
    if (!std::isfinite(number.value) || number.value != reference)
        std::abort();

    const QByteArray written = formatNumber(number.value).toLatin1();
    const ParsedNumber again = parseNumber(written.toStdString());
    // The largest doubles round up at 15 digits to a text beyond the largest double.
    if (again.problem == NumberProblem::outOfRange && std::abs(number.value) > 1.79769313486231e308)
        return 0;
    if (again.problem != NumberProblem::none || written == "-0" || written.size() > 22)
        std::abort();
    if (std::abs(again.value - number.value) > 1e-14 * std::abs(number.value) + 5e-324 * 2)
        std::abort();
    return 0;
}
