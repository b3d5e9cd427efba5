// Writes a seeded list for the benchmarks: the same list for the same kind and size on every
// run and machine, since mt19937_64 is fully specified and the values are drawn from it by
// plain arithmetic (std::uniform_int_distribution may differ between libraries). Fast enough
// for 170 million lines (about 1 GB) in seconds, where Python takes minutes.
//   liststats-bench-makelist integers|decimals[-crlf] LINES PATH
// integers: -32768..32767; decimals: three fraction digits in -1400..1400 (2,800,001 values,
// about 2.7 million of them distinct in ten million lines). With "-crlf", the same lines end
// with CR LF, as files written on Windows do.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

namespace {

// A value in [0, range), from the top bits of a 64-bit draw: unbiased enough for a benchmark.
std::int64_t draw(std::mt19937_64 &random, std::uint64_t range)
{
    __extension__ typedef unsigned __int128 UInt128;
    return std::int64_t((UInt128(random()) * range) >> 64);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string_view kind = argc == 4 ? argv[1] : "";
    const bool crlf = kind.ends_with("-crlf");
    const std::string_view values = kind.substr(0, kind.size() - (crlf ? 5 : 0));
    if (values != "integers" && values != "decimals") {
        std::fputs("usage: liststats-bench-makelist integers|decimals[-crlf] LINES PATH\n", stderr);
        return 2;
    }
    const bool decimals = values == "decimals";
    const long long lines = std::atoll(argv[2]);
    std::FILE *const out = std::fopen(argv[3], "wb");
    if (!out || lines < 0) {
        std::perror(argv[3]);
        return 1;
    }
    std::mt19937_64 random(std::uint64_t(lines) * 2 + (decimals ? 1 : 0));
    std::vector<char> buffer(std::size_t(1) << 20);
    std::size_t used = 0;
    for (long long line = 0; line < lines; ++line) {
        if (buffer.size() - used < 32) {
            if (std::fwrite(buffer.data(), 1, used, out) != used)
                break;
            used = 0;
        }
        char *at = buffer.data() + used;
        if (decimals) {
            const std::int64_t thousandths = draw(random, 2'800'001) - 1'400'000;
            const std::int64_t magnitude = thousandths < 0 ? -thousandths : thousandths;
            if (thousandths < 0)
                *at++ = '-';
            at = std::to_chars(at, at + 8, magnitude / 1000).ptr;
            const auto fraction = int(magnitude % 1000);
            *at++ = '.';
            *at++ = char('0' + fraction / 100);
            *at++ = char('0' + fraction / 10 % 10);
            *at++ = char('0' + fraction % 10);
        } else {
            at = std::to_chars(at, at + 8, draw(random, 65'536) - 32'768).ptr;
        }
        if (crlf)
            *at++ = '\r';
        *at++ = '\n';
        used = std::size_t(at - buffer.data());
    }
    if (std::fwrite(buffer.data(), 1, used, out) != used || std::fclose(out) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    return 0;
}
