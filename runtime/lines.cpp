#include "runtime/lines.h"

#include "runtime/hugepages.h"
#include "runtime/runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// How much text is read or split between two looks at whether the load was cancelled.
constexpr qsizetype checkBytes = qsizetype(1) << 24;
} // namespace

Lines Lines::fromUtf8(QByteArray text, Task *task)
{
    Q_ASSERT(text.size() <= maxBytes);
    Lines lines;
    char *const begin = text.data();
    const char *const end = begin + text.size();
    // Exactly one end per line: LF, lone CR and CR LF each end one. Most files have no CR.
    auto lineCount = size_t(std::count(text.cbegin(), text.cend(), '\n'));
    if (text.contains('\r')) {
        for (const char *c = begin; c != end; ++c)
            lineCount += *c == '\r' && (c + 1 == end || c[1] != '\n');
    }
    lines.m_ends.reserve(lineCount + 1);
    adviseHugePages(lines.m_ends.data(), lines.m_ends.capacity() * sizeof(quint32));

    // Drop the terminators in place, a block at a time between looks at the task: the buffer
    // read from the file becomes the store without a second copy.
    char *out = begin;
    for (const char *in = begin; in != end;) {
        const qsizetype block = std::min(checkBytes, qsizetype(end - in));
        if (task) {
            task->check();
            task->advance(block);
        }
        for (const char *const stop = in + block; in < stop; ++in) {
            if (*in != '\n' && *in != '\r') {
                *out++ = *in;
                continue;
            }
            lines.m_ends.push_back(quint32(out - begin));
            if (*in == '\r' && in + 1 != end && in[1] == '\n')
                ++in;
        }
    }
    // A last line without a terminator is an item all the same.
    if (begin != end && end[-1] != '\n' && end[-1] != '\r')
        lines.m_ends.push_back(quint32(out - begin));
    text.truncate(out - begin);
    lines.m_text = std::move(text);
    return lines;
}

QByteArrayView Lines::utf8(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size());
    const qsizetype begin = i == 0 ? 0 : qsizetype(m_ends[size_t(i - 1)]);
    return QByteArrayView(m_text).sliced(begin, qsizetype(m_ends[size_t(i)]) - begin);
}

void Lines::append(QStringView text)
{
    m_text.append(text.toUtf8());
    Q_ASSERT(m_text.size() <= maxBytes);
    m_ends.push_back(quint32(m_text.size()));
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
    QByteArray text(size, Qt::Uninitialized);
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

} // namespace

std::optional<QByteArray> decodeToUtf8(QByteArray bytes)
{
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
        if (QByteArrayView(bytes).isValidUtf8())
            return bytes;
        return withinLimit(QString::fromUtf8(bytes).toUtf8());
    }
    if (QByteArrayView(bytes).isValidUtf8())
        return bytes;
    return windows1252ToUtf8(bytes);
}

namespace {

QString osReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class FileDescriptor final
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(FileDescriptor)
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

Lines readLines(const QString &path, Task &task)
{
    const QString shownPath = QFileInfo(path).absoluteFilePath();
    const auto tooLarge = [&shownPath] {
        return RuntimeError::fileAccessFailed(shownPath, u"it holds more text than the list can (2 GiB)"_s);
    };
    // O_NONBLOCK: opening a pipe nobody writes to must not hang before we can look at what it is.
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw RuntimeError::fileAccessFailed(shownPath, osReason(errno));

    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw RuntimeError::fileAccessFailed(shownPath, osReason(errno));
    if (S_ISDIR(info.st_mode))
        throw RuntimeError::fileAccessFailed(shownPath, u"it is a folder, not a file"_s);
    if (!S_ISREG(info.st_mode))
        throw RuntimeError::fileAccessFailed(shownPath, u"it is not a regular file but a device, a pipe or a socket"_s);
    if (info.st_size > Lines::maxBytes)
        throw tooLarge();
    task.setTotal(2 * qint64(info.st_size)); // read, then split into lines

    try {
        // Read to the end rather than trusting the size, since the file may grow while it is
        // read; but never past the limit.
        constexpr qsizetype readLimit = Lines::maxBytes + 1;
        QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
        adviseHugePages(bytes.data(), size_t(bytes.size()));
        qsizetype used = 0;
        while (used < readLimit) {
            if (used == bytes.size())
                bytes.resize(std::min(bytes.size() * 2, readLimit));
            task.check();
            const ssize_t got = ::read(fd.get(), bytes.data() + used, size_t(std::min(bytes.size() - used, checkBytes)));
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw RuntimeError::fileAccessFailed(shownPath, osReason(errno));
            }
            used += got;
            task.advance(got);
        }
        if (used > Lines::maxBytes)
            throw tooLarge();
        bytes.truncate(used);

        std::optional<QByteArray> text = decodeToUtf8(std::move(bytes));
        if (!text)
            throw tooLarge();
        task.setTotal(used + text->size());
        return Lines::fromUtf8(std::move(*text), &task);
    } catch (const std::bad_alloc &) {
        throw RuntimeError::outOfMemory(u"read the list file \"%1\""_s.arg(shownPath));
    }
}
