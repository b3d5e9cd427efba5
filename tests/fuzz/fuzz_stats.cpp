// Any list: mean and mode fail only at the first item that is not a number, and otherwise
// agree with a plain reckoning: the mean lies between the smallest and largest value, the mode
// is the earliest of the most frequent values, with its true count.

#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/numbers.h"
#include "stats/statistics.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Lines items = Lines::fromUtf8(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));

    qsizetype firstBad = -1;
    std::vector<double> values;
    for (qsizetype i = 0; i < items.size() && firstBad < 0; ++i) {
        const QByteArrayView text = items.utf8(i);
        const ParsedNumber number = parseNumber(std::string_view(text.data(), size_t(text.size())));
        if (number.problem != NumberProblem::none)
            firstBad = i;
        values.push_back(number.value == 0 ? 0 : number.value);
    }

    for (const bool ofMean : {true, false}) {
        try {
            if (ofMean) {
                const double m = mean(items);
                if (firstBad >= 0 || values.empty())
                    std::abort();
                const auto [low, high] = std::minmax_element(values.begin(), values.end());
                if (!(m >= *low && m <= *high))
                    std::abort();
            } else {
                const Mode result = mode(items);
                if (firstBad >= 0 || values.empty())
                    std::abort();
                qsizetype bestCount = 0;
                double best = 0;
                for (size_t i = 0; i < values.size(); ++i) {
                    const auto count = qsizetype(std::count(values.begin(), values.end(), values[i]));
                    if (count > bestCount) {
                        bestCount = count;
                        best = values[i];
                    }
                }
                if (result.count != bestCount || result.value != best)
                    std::abort();
            }
        } catch (const RuntimeError &error) {
            const bool expected = error.kind() == RuntimeError::Kind::emptyList ? items.isEmpty()
                                  : error.kind() == RuntimeError::Kind::conversionFailed && error.position() == firstBad;
            if (!expected)
                std::abort();
        }
    }
    return 0;
}
