// Any list: mean and mode fail only at the first item that is not a number, and otherwise
// agree with an exact reckoning in GMP's rationals: the mean is the sum over the count rounded
// to the nearest 15-digit number, ties to even; the mode is the earliest of the most frequent
// values, with its true count.

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "stats/exactsum.h"
#include "tests/fuzz/digits.h"
#include "stats/numbers.h"
#include "stats/statistics.h"
#include "tests/testhelpers.h"

#include <gmpxx.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

namespace {

mpq_class powerOfTen(std::int64_t exponent)
{
    mpz_class power;
    mpz_ui_pow_ui(power.get_mpz_t(), 10, static_cast<unsigned long>(exponent < 0 ? -exponent : exponent));
    return exponent < 0 ? mpq_class(mpz_class(1), power) : mpq_class(power);
}

mpq_class exactValue(bool negative, const mpz_class &digits, std::int64_t exponent)
{
    const mpq_class value = mpq_class(digits) * powerOfTen(exponent);
    return negative ? mpq_class(-value) : value;
}
mpq_class exactValue(const ParsedNumber &number)
{
    return exactValue(number.negative, digitsOf(number), number.exponent);
}
mpq_class exactValue(const ShownNumber &number)
{
    return exactValue(number.negative, mpz_class(static_cast<unsigned long>(number.digits)), number.exponent);
}

// The value rounded to 15 significant digits, half to even, found by comparing with powers of ten.
mpq_class rounded(const mpq_class &value)
{
    if (value == 0)
        return 0;
    const mpq_class magnitude = abs(value);
    // 10^order <= magnitude < 10^(order + 1), from a guess that is off by a place or two
    auto order = std::int64_t(mpz_sizeinbase(magnitude.get_num_mpz_t(), 10))
                 - std::int64_t(mpz_sizeinbase(magnitude.get_den_mpz_t(), 10));
    while (powerOfTen(order + 1) <= magnitude)
        ++order;
    while (powerOfTen(order) > magnitude)
        --order;
    const mpq_class unit = powerOfTen(order - 14);
    const mpq_class units = magnitude / unit;
    mpz_class whole = units.get_num() / units.get_den();
    const mpq_class rest = units - whole;
    if (rest > mpq_class(1, 2) || (rest == mpq_class(1, 2) && mpz_odd_p(whole.get_mpz_t())))
        ++whole;
    const mpq_class result = mpq_class(whole) * unit;
    return value < 0 ? mpq_class(-result) : result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Lines items = Lines::fromUtf8(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    qsizetype firstBad = -1;
    std::vector<mpq_class> values;
    for (qsizetype i = 0; i < items.size() && firstBad < 0; ++i) {
        const QByteArrayView text = items.utf8(i);
        const ParsedNumber number = parseNumber(std::string_view(text.data(), size_t(text.size())));
        if (number.problem != NumberProblem::none)
            firstBad = i;
        else
            values.push_back(exactValue(number));
    }

    // What the statistics must be, when every item is a number.
    const bool fails = firstBad >= 0 || values.empty();
    mpq_class mean, best;
    qsizetype bestCount = 0;
    if (!fails) {
        mpq_class sum;
        std::map<mpq_class, qsizetype> counts;
        for (const mpq_class &value : values) {
            sum += value;
            ++counts[value];
        }
        mean = rounded(sum / mpq_class(static_cast<unsigned long>(values.size())));
        for (const mpq_class &value : values) {
            if (counts[value] > bestCount) {
                bestCount = counts[value];
                best = value;
            }
        }
        best = rounded(best);
    }

    // Both as the program works them out, and again with its work cut small, on three threads:
    // then a few items reach several ranges, chunks and partitions, and the hand-off between them.
    const PassSettings small{.checkItems = 2, .minimumRange = 1, .chunkItems = 64, .directLimit = 2, .arrayItems = 0};
    for (const auto &[settings, threads] : {std::pair(PassSettings(), 0), std::pair(small, 3)}) {
        Task task(threads);
        const Statistics both = computeStatistics(items, task, settings);
        if (fails) {
            // Both fail: at the first item that is not a number, or on an empty list.
            for (const auto &error : {errorOf([&] { return valueOf(both.mean); }), errorOf([&] { return valueOf(both.mode); })}) {
                const bool expected = error && (error->kind() == RuntimeError::Kind::emptyList ? items.isEmpty()
                                                : error->kind() == RuntimeError::Kind::conversionFailed && error->position() == firstBad);
                if (!expected)
                    std::abort();
            }
            continue;
        }
        // Otherwise neither fails: an exception from here on ends the run as a crash.
        const Mode &mode = valueOf(both.mode);
        if (exactValue(valueOf(both.mean)) != mean || mode.count != bestCount || exactValue(mode.value) != best)
            std::abort();
    }
    return 0;
}
