#include "runtime/core/lines.h"

#include "runtime/core/hugepages.h"
#include "runtime/core/listfile.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/words.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
// How much text is read or split between two looks at whether the load was cancelled.
constexpr qsizetype checkBytes = qsizetype(1) << 24;
// The least text worth a thread of its own.
constexpr qsizetype pieceBytes = qsizetype(1) << 20;

// Runs work(begin, end) for the consecutive pieces of [0, size) on the task's threads, each
// piece cut into blocks of about checkBytes between looks at the task; counts each block's
// bytes as progress when counted. The pieces and blocks begin where cut(at) says, from the
// offsets of an even split: so the work on either side of a cut agrees on where it is, and
// the result is the same whatever the number of threads.
template<typename Cut, typename Work>
void forEachBlock(Task &task, qsizetype size, bool counted, Cut &&cut, Work &&work)
{
    const qsizetype pieces = std::clamp(size / pieceBytes, qsizetype(1), qsizetype(task.threads()));
    const auto pieceBegin = [&](qsizetype piece) { return piece == 0 ? 0 : piece == pieces ? size : cut(size * piece / pieces); };
    forEachRange(task, pieces, 1, [&](const Range &range) {
        for (qsizetype piece = range.begin; piece < range.end; ++piece) {
            const qsizetype end = pieceBegin(piece + 1);
            for (qsizetype at = pieceBegin(piece); at < end;) {
                const qsizetype stop = end - at <= checkBytes ? end : std::min(end, cut(at + checkBytes));
                work(piece, at, stop);
                if (!range.carryOn(counted ? stop - at : 0))
                    return;
                at = stop;
            }
        }
    });
}

// Whether text[at] follows a CR: an LF there ends a CR LF, not a line of its own.
bool afterCr(const char *text, qsizetype at)
{
    return at != 0 && text[at - 1] == '\r';
}

// Whether a line end begins at text[at]: every CR does, and an LF that does not end a CR LF.
bool endsLine(const char *text, qsizetype at)
{
    return text[at] == '\r' || (text[at] == '\n' && !afterCr(text, at));
}

// An uninitialised buffer of size bytes for a list's text, in huge pages, with room for
// Lines::readablePast bytes after it: made so, the text need not be copied into the lines.
QByteArray textBuffer(qsizetype size)
{
    QByteArray buffer;
    buffer.reserve(size + Lines::readablePast);
    adviseHugePages(buffer.data(), size_t(buffer.capacity()));
    buffer.resize(size); // not written
    return buffer;
}

// Sizes a vector for the items of a list, in huge pages, without writing it: several threads
// then fill it at once.
template<typename Vector>
void resizeUnwritten(Vector &vector, size_t size)
{
    vector.reserve(size);
    adviseHugePages(vector.data(), size * sizeof(typename Vector::value_type));
    vector.resize(size, boost::container::default_init);
}

// The line ends among the 64 bytes at text[at], as endsLine tells them, one bit each: LF, CR
// LF and a lone CR alike, so that files from Windows are split as fast as any.
std::uint64_t lineEndsAt(const char *text, qsizetype at)
{
    const std::uint64_t lfs = bitsOf(text + at, '\n'), crs = bitsOf(text + at, '\r');
    return crs | (lfs & ~(crs << 1 | std::uint64_t(afterCr(text, at))));
}

// Calls use(at, ends) for text[from, to) 64 bytes at a time, ends holding their line ends
// from at, one bit each: over three times as fast as looking at each byte. The last, shorter
// step is looked at a byte at a time.
template<typename Use>
void forEachLineEnds(const char *text, qsizetype from, qsizetype to, Use &&use)
{
    qsizetype at = from;
    for (; to - at >= 64; at += 64)
        use(at, lineEndsAt(text, at));
    std::uint64_t ends = 0;
    for (qsizetype i = at; i < to; ++i)
        ends |= std::uint64_t(endsLine(text, i)) << (i - at);
    use(at, ends);
}

struct LineEnds
{
    qsizetype count = 0;
    qsizetype last = -1; // where the last one begins
};

LineEnds countLineEnds(const char *text, qsizetype from, qsizetype to)
{
    LineEnds found;
    forEachLineEnds(text, from, to, [&found](qsizetype at, std::uint64_t ends) {
        found.count += std::popcount(ends);
        if (ends != 0)
            found.last = at + 63 - std::countl_zero(ends);
    });
    return found;
}

} // namespace

Lines Lines::fromUtf8(QByteArray text, Task *task)
{
    Q_ASSERT(text.size() <= maxBytes);
    std::optional<Task> everyCore; // made only when needed: counting the cores reads files
    Task &work = task ? *task : everyCore.emplace();
    text.reserve(text.size() + readablePast);
    const char *const begin = text.constData();
    const qsizetype size = text.size();
    const auto anywhere = [](qsizetype at) { return at; };

    // Where each piece's items begin in the list: the number of line ends in the pieces before
    // it. And the last end in each piece, which the next piece's first step is taken from.
    const auto pieces = size_t(work.threads());
    std::vector<qsizetype> firstItem(pieces + 1);
    std::vector<qsizetype> lastEnd(pieces, -1);
    forEachBlock(work, size, false, anywhere, [&](qsizetype piece, qsizetype from, qsizetype to) {
        const LineEnds ends = countLineEnds(begin, from, to);
        firstItem[size_t(piece) + 1] += ends.count;
        lastEnd[size_t(piece)] = std::max(lastEnd[size_t(piece)], ends.last);
    });
    std::partial_sum(firstItem.cbegin(), firstItem.cend(), firstItem.begin());
    // A last line without a terminator is an item all the same.
    const bool unterminated = size != 0 && begin[size - 1] != '\n' && begin[size - 1] != '\r';
    const auto count = size_t(firstItem.back() + (unterminated ? 1 : 0));

    Lines lines;
    resizeUnwritten(lines.m_steps, count);
    resizeUnwritten(lines.m_blockEnds, (count + blockItems - 1) / blockItems);
    // Each piece's next item, the end before it, and its long steps.
    struct Cursor
    {
        qsizetype item = 0;
        qsizetype end = -1;
        std::vector<std::pair<quint32, quint32>> longEnds;
    };
    std::vector<Cursor> cursors(pieces);
    for (size_t piece = 0; piece < pieces; ++piece) {
        cursors[piece].item = firstItem[piece];
        cursors[piece].end = piece == 0 ? -1 : std::max(cursors[piece - 1].end, lastEnd[piece - 1]);
    }
    // Ends items from a cursor's copy in locals, put back when done: through the cursor itself,
    // each byte stored would make the compiler read it again.
    const auto endItems = [&lines](Cursor &cursor, auto &&findEnds) {
        quint8 *const steps = lines.m_steps.data();
        quint32 *const blockEnds = lines.m_blockEnds.data();
        qsizetype item = cursor.item, before = cursor.end;
        findEnds([&](qsizetype end) {
            if (item % blockItems == 0)
                blockEnds[item / blockItems] = quint32(before + 1);
            const qsizetype step = end - before;
            steps[item] = quint8(std::min(step, qsizetype(longStep)));
            if (step >= longStep) [[unlikely]]
                cursor.longEnds.emplace_back(quint32(item), quint32(end));
            ++item;
            before = end;
        });
        cursor.item = item;
        cursor.end = before;
    };
    forEachBlock(work, size, true, anywhere, [&](qsizetype piece, qsizetype from, qsizetype to) {
        endItems(cursors[size_t(piece)], [&](auto &&endItem) {
            // One bit for each line end: taking a line or two per word instead, the loop's end
            // was mispredicted nearly every word.
            forEachLineEnds(begin, from, to, [&](qsizetype at, std::uint64_t ends) {
                for (; ends != 0; ends &= ends - 1)
                    endItem(at + std::countr_zero(ends));
            });
        });
    });
    if (unterminated) {
        Cursor &last = cursors.back();
        last.item = qsizetype(count) - 1;
        last.end = *std::max_element(lastEnd.cbegin(), lastEnd.cend());
        endItems(last, [size](auto &&endItem) { endItem(size); });
    }
    for (Cursor &cursor : cursors)
        lines.m_longEnds.insert(lines.m_longEnds.end(), cursor.longEnds.cbegin(), cursor.longEnds.cend());
    lines.m_text = std::move(text);
    return lines;
}

qsizetype Lines::endOf(qsizetype i) const
{
    if (i < 0)
        return -1;
    const qsizetype first = i - i % blockItems;
    qsizetype end = qsizetype(m_blockEnds[size_t(i / blockItems)]) - 1;
    for (qsizetype j = first; j <= i; ++j)
        end = endAfter(j, end);
    return end;
}

std::vector<std::pair<quint32, quint32>>::const_iterator Lines::longEndFrom(qsizetype i) const
{
    return std::lower_bound(m_longEnds.cbegin(), m_longEnds.cend(), quint32(i),
                            [](const std::pair<quint32, quint32> &long_, quint32 item) { return long_.first < item; });
}

QByteArrayView Lines::utf8(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size());
    const qsizetype before = endOf(i - 1);
    const qsizetype begin = startAfter(before);
    return QByteArrayView(m_text).sliced(begin, endAfter(i, before) - begin);
}

namespace {

// Windows-1252's characters for 0x80 to 0x9F; its five undefined bytes keep their Latin-1 code
// points. Every other byte is its Latin-1 code point.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : char16_t(byte);
}

// Byte by byte into UTF-8, sized first, with no UTF-16 text in between: a file as large as the
// list allows then needs no more than its UTF-8 form besides itself.
std::optional<QByteArray> windows1252ToUtf8(const QByteArray &bytes)
{
    qsizetype size = 0;
    for (const char c : bytes) {
        const char16_t code = windows1252((unsigned char)c);
        size += code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
    }
    if (size > Lines::maxBytes)
        return std::nullopt;
    QByteArray text = textBuffer(size);
    char *out = text.data();
    for (const char c : bytes) {
        const char16_t code = windows1252((unsigned char)c);
        if (code < 0x80) {
            *out++ = char(code);
        } else if (code < 0x800) {
            *out++ = char(0xC0 | code >> 6);
            *out++ = char(0x80 | (code & 0x3F));
        } else {
            *out++ = char(0xE0 | code >> 12);
            *out++ = char(0x80 | (code >> 6 & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::optional<QByteArray> withinLimit(QByteArray text)
{
    if (text.size() > Lines::maxBytes)
        return std::nullopt;
    return text;
}

// The UTF-8 check in pieces on the task's threads. Each piece begins where a character does
// (never at a continuation byte, unless four follow each other, which no valid text holds), so
// the text is valid exactly when every piece is.
bool isValidUtf8(QByteArrayView bytes, Task &task)
{
    const auto characterStart = [bytes](qsizetype at) {
        for (int step = 0; step < 3 && at < bytes.size() && (quint8(bytes[at]) & 0xC0) == 0x80; ++step)
            ++at;
        return at;
    };
    std::atomic<bool> valid = true;
    forEachBlock(task, bytes.size(), false, characterStart, [&](qsizetype, qsizetype from, qsizetype to) {
        if (valid.load(std::memory_order_relaxed) && !bytes.sliced(from, to - from).isValidUtf8())
            valid.store(false, std::memory_order_relaxed);
    });
    return valid;
}

} // namespace

std::optional<QByteArray> decodeToUtf8(QByteArray bytes, Task *task)
{
    std::optional<Task> everyCore; // made only when needed: counting the cores reads files
    Task &work = task ? *task : everyCore.emplace();
    const bool utf16le = bytes.startsWith("\xFF\xFE");
    if (utf16le || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(utf16le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = decoder.decode(bytes);
        // The decoder lets an odd last byte and unpaired surrogates pass; they are not UTF-16.
        if (bytes.size() % 2 == 0 && !decoder.hasError() && text.isValidUtf16())
            return withinLimit(text.toUtf8());
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
        if (isValidUtf8(bytes, work))
            return bytes;
        return withinLimit(QString::fromUtf8(bytes).toUtf8());
    }
    if (isValidUtf8(bytes, work))
        return bytes;
    return windows1252ToUtf8(bytes);
}

namespace {

// Whether the bytes are all ASCII, which is UTF-8 as it stands.
bool isAscii(const char *bytes, qsizetype size)
{
    std::uint64_t seen = 0;
    qsizetype at = 0;
    for (; at + 8 <= size; at += 8)
        seen |= wordAt(bytes + at);
    for (; at < size; ++at)
        seen |= std::uint8_t(bytes[at]);
    return (seen & 0x8080'8080'8080'8080ULL) == 0;
}

// Reads the first size bytes of the file into buffer, a block at a time on the task's threads:
// the copy, and the kernel's zeroing of the buffer's fresh pages (slow on a virtual machine),
// then run on every core. Blocks of a megabyte: the threads' shares differ by one at most,
// and each block is still in the cache when it is looked at for bytes that are not ASCII
// (ascii is set false when there are any). Returns how many bytes were read from the start,
// fewer when the file shrank meanwhile; or -errno when a read failed.
qsizetype readInParallel(ListFile &file, char *buffer, qsizetype size, Task &task, bool &ascii)
{
    constexpr qsizetype blockBytes = qsizetype(1) << 20;
    std::atomic<qsizetype> readTo = size;
    std::atomic<int> failure = 0;
    std::atomic<bool> allAscii = true;
    forEachRange(task, (size + blockBytes - 1) / blockBytes, 1, [&](const Range &range) {
        for (qsizetype block = range.begin; block < range.end; ++block) {
            const qsizetype from = block * blockBytes, to = std::min(size, from + blockBytes);
            for (qsizetype at = from; at < to;) {
                const qsizetype got = file.readAt(buffer + at, to - at, at);
                if (got <= 0) {
                    if (got < 0)
                        failure.store(int(-got));
                    qsizetype seen = readTo.load();
                    while (at < seen && !readTo.compare_exchange_weak(seen, at)) { }
                    return;
                }
                if (allAscii.load(std::memory_order_relaxed) && !isAscii(buffer + at, got))
                    allAscii.store(false, std::memory_order_relaxed);
                at += got;
            }
            if (!range.carryOn(to - from))
                return;
        }
    });
    ascii = allAscii.load();
    return failure.load() != 0 ? -failure.load() : readTo.load();
}

// Reads on from bytes[used] to the end of the file or stream, or to just past Lines::maxBytes:
// a regular file, read on since it may grow while it is read, or a pipe, a device, a terminal
// until Ctrl+D. Clears ascii when it reads a byte that is not. Returns how many bytes there are
// now, or -errno when a read failed.
qsizetype readToEnd(ListFile &file, QByteArray &bytes, qsizetype used, Task &task, bool &ascii)
{
    constexpr qsizetype readLimit = Lines::maxBytes + 1;
    while (used < readLimit) {
        task.check();
        if (used == bytes.size())
            bytes.resize(std::min(std::max(bytes.size() * 2, qsizetype(1) << 16), readLimit));
        const qsizetype got = file.read(bytes.data() + used, std::min(bytes.size() - used, checkBytes), task);
        if (got == 0)
            break;
        if (got < 0)
            return got;
        ascii = ascii && isAscii(bytes.data() + used, got);
        used += got;
        task.advance(got);
    }
    return used;
}

// Reads on to the end (readToEnd) after the bytes already read, unless that failed (used is
// -errno), and splits what came into lines, decoded unless they are all ASCII.
Lines readRestIntoLines(ListFile &file, QByteArray bytes, qsizetype used, bool ascii, const ListSource &source, Task &task)
{
    if (used >= 0)
        used = readToEnd(file, bytes, used, task, ascii);
    if (used < 0)
        throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::systemError, int(-used));
    if (used > Lines::maxBytes)
        throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::tooLarge);
    bytes.truncate(used);
    // Text that is all ASCII needs no decoding, nor the UTF-8 check's pass over it.
    std::optional<QByteArray> text = ascii ? std::optional(std::move(bytes)) : decodeToUtf8(std::move(bytes), &task);
    if (!text)
        throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::tooLarge);
    task.setTotal(used + text->size());
    return Lines::fromUtf8(std::move(*text), &task);
}

// What read() returns, with running out of memory reported as reading the source.
template<typename Read>
Lines readingFrom(const ListSource &source, Read &&read)
{
    try {
        return read();
    } catch (const std::bad_alloc &) {
        throw RuntimeError::outOfMemory(RuntimeError::Reason::readingFile, source);
    }
}

} // namespace

Lines readLines(const QString &path, Task &task, Streams streams)
{
    const ListSource source = ListSource::file(QFileInfo(path).absoluteFilePath());
    return readingFrom(source, [&] {
        ListFile file(path, streams == Streams::readToEnd);
        if (file.error() != 0)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::systemError, file.error());
        if (file.kind() == ListFile::Kind::folder)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::folder);
        const bool regular = file.kind() == ListFile::Kind::regular;
        if (!regular && streams == Streams::refused)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::notRegularFile);
        if (file.size() > Lines::maxBytes)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::tooLarge);
        const auto size = qsizetype(file.size()); // 0 for a stream
        task.setTotal(2 * qint64(size));          // read, then split into lines; unknown for a stream

        // The size the file had when opened is read in parallel; then on to the end rather than
        // trusting that size, since the file may grow while it is read.
        QByteArray bytes = textBuffer(size + 1);
        bool ascii = true;
        qsizetype used = readInParallel(file, bytes.data(), size, task, ascii);
        if (regular && used >= 0) {
            if (const int error = file.seek(used))
                used = -error;
        }
        return readRestIntoLines(file, std::move(bytes), used, ascii, source, task);
    });
}

Lines readStandardInput(Task &task)
{
    const ListSource source = ListSource::of(ListSource::Kind::standardInput);
    return readingFrom(source, [&] {
        ListFile input(ListFile::StandardInput{});
        if (input.error() != 0)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::systemError, input.error());
        return readRestIntoLines(input, QByteArray(), 0, true, source, task);
    });
}

bool standardInputIsTerminal()
{
    return ListFile::standardInputIsTerminal();
}

Lines linesOfText(const QString &text, const ListSource &source, Task &task)
{
    return readingFrom(source, [&] {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() > Lines::maxBytes)
            throw RuntimeError::fileAccessFailed(source, RuntimeError::Reason::tooLarge);
        task.setTotal(utf8.size());
        return Lines::fromUtf8(std::move(utf8), &task);
    });
}
