// The plain reference, on every core (two on the benchmark's machine), that liststats is measured against: it reads List.txt, parses
// every line as a decimal of at most three fraction digits (what the benchmark's lists hold),
// and computes the exact mean and the mode, the earliest value winning a tie, as liststats
// would show them. It does on every core what liststats does, without its generality (any
// number, error reports, a window). Prints the two results and the time in ms as JSON.
//   liststats-bench-reference   (in the folder holding List.txt)

#include <boost/unordered/unordered_flat_map.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

__extension__ typedef __int128 Int128; // GCC's and clang's

namespace {

constexpr int partitionBits = 9;
constexpr std::size_t partitions = std::size_t(1) << partitionBits;

struct Record
{
    std::int64_t thousandths; // the value times 1000
    std::uint32_t offset;     // where its line starts: in the order of the lines
};
struct Seen
{
    std::uint32_t count = 0;
    std::uint32_t first = 0;
};

std::size_t partitionOf(std::int64_t key)
{
    return std::size_t((std::uint64_t(key) * 0x9E37'79B9'7F4A'7C15ULL) >> (64 - partitionBits));
}

std::int64_t parse(const char *begin, const char *end)
{
    const bool negative = begin != end && *begin == '-';
    std::int64_t whole = 0, fraction = 0;
    const auto [point, error] = std::from_chars(begin + negative, end, whole);
    int digits = 0;
    if (point != end && *point == '.') {
        for (const char *c = point + 1; c != end && digits < 3; ++c, ++digits)
            fraction = fraction * 10 + (*c - '0');
    }
    for (; digits < 3; ++digits)
        fraction *= 10;
    const std::int64_t magnitude = whole * 1000 + fraction;
    return negative ? -magnitude : magnitude;
}

std::string decimal(Int128 thousandths) // exact, without trailing zeros
{
    const auto magnitude = static_cast<unsigned long long>(thousandths < 0 ? -thousandths : thousandths);
    char text[48];
    int size = std::snprintf(text, sizeof text, "%s%llu.%03llu", thousandths < 0 ? "-" : "", magnitude / 1000, magnitude % 1000);
    while (text[size - 1] == '0')
        --size;
    if (text[size - 1] == '.')
        --size;
    return std::string(text, std::size_t(size));
}

} // namespace

int main()
{
    const auto start = std::chrono::steady_clock::now();
    std::ifstream file("List.txt", std::ios::binary | std::ios::ate);
    std::string text(std::size_t(file.tellg()), '\0');
    file.seekg(0).read(text.data(), std::streamsize(text.size()));

    const unsigned threads = std::max(1U, std::thread::hardware_concurrency());
    struct Part
    {
        Int128 sum = 0;
        std::uint64_t count = 0;
        std::vector<std::vector<Record>> records = std::vector<std::vector<Record>>(partitions);
        Seen best;
    };
    std::vector<Part> parts(threads);
    const auto lineStart = [&text](std::size_t at) { // the first line that starts at or after `at`
        while (at != 0 && at < text.size() && text[at - 1] != '\n')
            ++at;
        return std::min(at, text.size());
    };
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            Part &part = parts[t];
            const char *const data = text.data();
            for (std::size_t at = lineStart(text.size() * t / threads), end = lineStart(text.size() * (t + 1) / threads); at < end;) {
                const char *const line = data + at;
                const char *const stop = static_cast<const char *>(std::memchr(line, '\n', end - at));
                const char *const lineEnd = stop ? stop : data + end;
                const std::int64_t value = parse(line, lineEnd);
                part.sum += value;
                ++part.count;
                part.records[partitionOf(value)].push_back({value, std::uint32_t(at)});
                at = std::size_t(lineEnd - data) + 1;
            }
        });
    }
    workers.clear();
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            boost::unordered_flat_map<std::int64_t, Seen> table;
            Seen &best = parts[t].best;
            for (std::size_t p = partitions * t / threads; p < partitions * (t + 1) / threads; ++p) {
                table.clear();
                for (const Part &part : parts) {
                    for (const Record &record : part.records[p]) {
                        Seen &seen = table.try_emplace(record.thousandths, Seen{0, record.offset}).first->second;
                        if (++seen.count > best.count || (seen.count == best.count && seen.first < best.first))
                            best = seen;
                    }
                }
            }
        });
    }
    workers.clear();

    Int128 sum = 0;
    std::uint64_t count = 0;
    Seen best;
    for (const Part &part : parts) {
        sum += part.sum;
        count += part.count;
        if (part.best.count > best.count || (part.best.count == best.count && part.best.first < best.first))
            best = part.best;
    }
    // The mean to 15 significant digits: long double holds 19, enough for these lists.
    char mean[64];
    std::snprintf(mean, sizeof mean, "%.15Lg", static_cast<long double>(sum) / static_cast<long double>(count) / 1000);
    const char *const modeLine = text.data() + best.first;
    const char *const modeEnd = static_cast<const char *>(std::memchr(modeLine, '\n', text.size() - best.first));
    const std::string mode = decimal(parse(modeLine, modeEnd ? modeEnd : text.data() + text.size()));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("{\"label\": \"Mean: %s / Mode: %s with %u ocurrances\", \"ms\": %.2f}\n", mean, mode.c_str(), best.count, ms);
}
