// The reference that liststats is measured against: a program that does only what the
// benchmark's lists need, as fast as it can on every core. It reads List.txt, parses every line
// as a decimal of at most three fraction digits (what the lists hold), and computes the exact
// mean and the mode, the earliest value winning a tie, as liststats would show them; without
// liststats' generality (any number, error reports, a window). Prints the two results and its
// own time in ms (read, parse, mean and mode) as JSON.
//   liststats-bench-reference   (in the folder holding List.txt)
//
// One pass over the file: each thread reads its share with pread, in blocks that stay in the
// cache, and parses, sums and counts each line as it goes. It counts in a table of its own
// while that fits the cache; past that it scatters its values among partitions by hash, and
// each partition is then counted apart, in a table that fits the cache too. Counts merge
// exactly in any order: their sum, and the earlier first position.

#include <boost/unordered/unordered_flat_map.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

__extension__ typedef __int128 Int128; // GCC's and clang's

namespace {

constexpr int partitionBits = 8;
constexpr std::size_t partitions = std::size_t(1) << partitionBits;
// A thread counts in a table of its own while it holds at most this many values: the 65,536
// integers of 16 bits, in about 2 MB.
constexpr std::size_t directLimit = std::size_t(1) << 16;
constexpr std::size_t blockBytes = std::size_t(1) << 18;

struct Seen
{
    std::uint32_t count = 0;
    std::uint32_t first = 0; // where the value's first line starts: in the order of the lines
};
struct Record
{
    std::int64_t thousandths; // the value times 1000
    Seen seen;
};
using Table = boost::unordered_flat_map<std::int64_t, Seen>;

void keepBest(Seen &best, const Seen &seen)
{
    if (seen.count > best.count || (seen.count == best.count && seen.first < best.first))
        best = seen;
}

// Adds a count into the table's: the sum of both, and the earlier first position.
const Seen &merge(Table &table, std::int64_t key, const Seen &seen)
{
    const auto [entry, inserted] = table.try_emplace(key, seen);
    if (!inserted)
        entry->second = {entry->second.count + seen.count, std::min(entry->second.first, seen.first)};
    return entry->second;
}

std::size_t partitionOf(std::int64_t key)
{
    return std::size_t((std::uint64_t(key) * 0x9E37'79B9'7F4A'7C15ULL) >> (64 - partitionBits));
}

// A line such as "-1234.567", up to the byte that ends it, as thousandths; returns that byte.
const char *parse(const char *c, std::int64_t &thousandths)
{
    const bool negative = *c == '-';
    c += negative;
    std::int64_t value = 0;
    for (; unsigned(*c - '0') < 10; ++c)
        value = value * 10 + (*c - '0');
    int digits = 0;
    if (*c == '.') {
        for (++c; unsigned(*c - '0') < 10; ++c, ++digits)
            value = value * 10 + (*c - '0');
    }
    static constexpr std::int64_t scale[] = {1000, 100, 10, 1};
    value *= scale[digits];
    thousandths = negative ? -value : value;
    return c;
}

// Memory for records in 2 MiB pages: at a few KiB a page, the faults of a first touch cost
// more than the scatter itself.
struct HugeFree
{
    void operator()(Record *block) const { std::free(block); }
};
std::unique_ptr<Record[], HugeFree> hugeRecords(std::size_t count)
{
    constexpr std::size_t page = std::size_t(2) << 20;
    const std::size_t bytes = (count * sizeof(Record) + page - 1) / page * page;
    auto *const block = static_cast<Record *>(std::aligned_alloc(page, bytes));
    if (!block)
        throw std::bad_alloc();
    ::madvise(block, bytes, MADV_HUGEPAGE);
    return std::unique_ptr<Record[], HugeFree>(block);
}

// What one thread finds in its share of the lines, [begin, end) of the file.
struct Part
{
    std::uint64_t begin = 0, end = 0;
    Int128 sum = 0;
    std::uint64_t lines = 0;
    Table direct;
    // Once the table outgrew the cache: records by partition, each partition in its slice of
    // one block, sized for what is left to read, and in overflow past that.
    std::unique_ptr<Record[], HugeFree> block;
    std::size_t capacity = 0;
    std::vector<std::size_t> used;
    std::vector<std::vector<Record>> overflow;

    [[nodiscard]] bool scattering() const { return !used.empty(); }
    void count(std::int64_t value, std::uint32_t offset)
    {
        sum += value;
        ++lines;
        if (scattering()) {
            push({value, {1, offset}});
            return;
        }
        Seen &seen = direct.try_emplace(value, Seen{0, offset}).first->second;
        ++seen.count;
        if (direct.size() > directLimit)
            scatterTable(std::size_t(double(end - offset) / double(offset - begin + 1) * double(lines)));
    }
    void scatterTable(std::size_t linesLeft)
    {
        capacity = (linesLeft + direct.size()) / partitions * 5 / 4 + 64;
        block = hugeRecords(capacity * partitions);
        used.assign(partitions, 0);
        overflow.resize(partitions);
        for (const auto &[key, seen] : direct)
            push({key, seen});
        direct = {};
    }
    void push(const Record &record)
    {
        const std::size_t p = partitionOf(record.thousandths);
        if (used[p] < capacity) {
            block[p * capacity + used[p]++] = record;
            // The line after next, fetched for writing before the partition's end reaches it.
            __builtin_prefetch(reinterpret_cast<const char *>(block.get() + p * capacity + used[p]) + 128, 1);
        } else
            overflow[p].push_back(record);
    }
    template<typename Use>
    void forEachRecord(std::size_t p, Use &&use) const
    {
        std::for_each(block.get() + p * capacity, block.get() + p * capacity + used[p], use);
        std::for_each(overflow[p].begin(), overflow[p].end(), use);
    }
};

// Reads the part's lines, a block at a time; its begin and end are line starts.
void readPart(int fd, Part &part)
{
    const std::uint64_t end = part.end;
    std::vector<char> buffer(blockBytes + 1);
    std::uint64_t at = part.begin; // the file offset of buffer[0]
    std::size_t carried = 0;   // the start of a line cut by the last block, moved to the front
    while (at + carried < end) {
        const auto want = std::size_t(std::min<std::uint64_t>(blockBytes - carried, end - at - carried));
        const ssize_t got = ::pread(fd, buffer.data() + carried, want, off_t(at + carried));
        if (got <= 0) {
            std::perror("List.txt");
            std::exit(1);
        }
        std::size_t size = carried + std::size_t(got);
        const bool last = at + size == end;
        if (last && buffer[size - 1] != '\n')
            buffer[size++] = '\n';
        std::size_t whole = size; // up to the end of the block's last whole line
        while (whole != 0 && buffer[whole - 1] != '\n')
            --whole;
        if (whole == 0) {
            std::fputs("List.txt: a line longer than a block\n", stderr);
            std::exit(1);
        }
        for (const char *line = buffer.data(), *const stop = buffer.data() + whole; line != stop;) {
            std::int64_t value;
            const char *const lineEnd = parse(line, value);
            part.count(value, std::uint32_t(at + std::uint64_t(line - buffer.data())));
            line = lineEnd + (*lineEnd == '\r') + 1; // past LF or CR LF
        }
        carried = size - whole;
        std::memmove(buffer.data(), buffer.data() + whole, carried);
        at += whole;
    }
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
    const int fd = ::open("List.txt", O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        std::perror("List.txt");
        return 1;
    }
    const auto size = std::uint64_t(info.st_size);
    const auto lineStart = [fd, size](std::uint64_t at) { // the first line that starts at or after `at`
        char c;
        while (at != 0 && at < size && ::pread(fd, &c, 1, off_t(at - 1)) == 1 && c != '\n')
            ++at;
        return std::min(at, size);
    };

    const unsigned threads = std::max(1U, std::thread::hardware_concurrency());
    std::vector<Part> parts(threads);
    for (unsigned t = 0; t < threads; ++t) {
        parts[t].begin = lineStart(size * t / threads);
        parts[t].end = lineStart(size * (t + 1) / threads);
    }
    {
        std::vector<std::jthread> workers;
        for (Part &part : parts)
            workers.emplace_back([fd, &part] { readPart(fd, part); });
    }

    Int128 sum = 0;
    std::uint64_t lines = 0;
    for (const Part &part : parts) {
        sum += part.sum;
        lines += part.lines;
    }
    // The mode: the threads' own tables merged; or, when any outgrew the cache, every count
    // scattered by partition and each partition counted on its own.
    Seen best;
    if (std::none_of(parts.begin(), parts.end(), [](const Part &part) { return part.scattering(); })) {
        Table &table = parts[0].direct;
        for (std::size_t t = 1; t < parts.size(); ++t) {
            for (const auto &[key, seen] : parts[t].direct)
                merge(table, key, seen);
        }
        for (const auto &[key, seen] : table)
            keepBest(best, seen);
    } else {
        for (Part &part : parts) {
            if (!part.scattering())
                part.scatterTable(0);
        }
        std::vector<Seen> bests(threads);
        std::vector<std::jthread> workers;
        for (unsigned t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                Table table;
                for (std::size_t p = partitions * t / threads; p < partitions * (t + 1) / threads; ++p) {
                    table.clear();
                    for (const Part &part : parts) {
                        part.forEachRecord(p, [&](const Record &record) {
                            keepBest(bests[t], merge(table, record.thousandths, record.seen));
                        });
                    }
                }
            });
        }
        workers.clear();
        for (const Seen &threadBest : bests)
            keepBest(best, threadBest);
    }

    // The mean to 15 significant digits: long double holds 19, enough for these lists.
    char mean[64];
    std::snprintf(mean, sizeof mean, "%.15Lg", static_cast<long double>(sum) / static_cast<long double>(lines) / 1000);
    char modeLine[64] = {};
    (void)!::pread(fd, modeLine, sizeof modeLine - 1, off_t(best.first));
    std::int64_t modeValue;
    parse(modeLine, modeValue);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("{\"label\": \"Mean: %s / Mode: %s with %u ocurrances\", \"ms\": %.2f}\n", mean, decimal(modeValue).c_str(),
                best.count, ms);
}
