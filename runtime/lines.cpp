#include "runtime/lines.h"

#include "runtime/runtimeerror.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Lines Lines::fromUtf8(QByteArray text)
{
    Lines lines;
    char *const begin = text.data();
    const char *const end = begin + text.size();
    lines.m_ends.reserve(size_t(std::count(text.cbegin(), text.cend(), '\n')) + 1);

    // Close the gaps the terminators leave, in place: the buffer read from the file becomes
    // the store without a second copy.
    char *out = begin;
    for (const char *in = begin; in != end;) {
        const char *const stop = std::find_if(in, end, [](char c) { return c == '\n' || c == '\r'; });
        std::memmove(out, in, size_t(stop - in));
        out += stop - in;
        lines.m_ends.push_back(out - begin);
        if (stop == end)
            break; // the last line has no terminator; it is an item all the same
        in = stop + 1;
        if (*stop == '\r' && in != end && *in == '\n')
            ++in;
    }
    text.truncate(out - begin);
    lines.m_text = std::move(text);
    return lines;
}

QByteArrayView Lines::utf8(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size());
    const qsizetype begin = i == 0 ? 0 : m_ends[size_t(i - 1)];
    return QByteArrayView(m_text).sliced(begin, m_ends[size_t(i)] - begin);
}

void Lines::append(QStringView text)
{
    m_text.append(text.toUtf8());
    m_ends.push_back(m_text.size());
}

QByteArray decodeToUtf8(QByteArray bytes)
{
    const bool utf16le = bytes.startsWith("\xFF\xFE");
    if (utf16le || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(utf16le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = decoder.decode(bytes);
        // The decoder lets an odd last byte and unpaired surrogates pass; they are not UTF-16.
        if (bytes.size() % 2 == 0 && !decoder.hasError() && text.isValidUtf16())
            return text.toUtf8();
    }
    const bool utf8Bom = bytes.startsWith("\xEF\xBB\xBF");
    if (QByteArrayView(bytes).sliced(utf8Bom ? 3 : 0).isValidUtf8()) {
        if (utf8Bom)
            bytes.remove(0, 3);
        return bytes;
    }
    return QString::fromLatin1(bytes).toUtf8();
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

Lines readLines(const QString &path)
{
    // O_NONBLOCK: opening a pipe nobody writes to must not hang before we can look at what it is.
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw RuntimeError::fileAccessFailed(path, osReason(errno));

    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw RuntimeError::fileAccessFailed(path, osReason(errno));
    if (S_ISDIR(info.st_mode))
        throw RuntimeError::fileAccessFailed(path, u"it is a folder, not a file"_s);
    if (!S_ISREG(info.st_mode))
        throw RuntimeError::fileAccessFailed(path, u"it is not a regular file but a device, a pipe or a socket"_s);

    // Read to the end rather than trusting the size: the file may grow while we read it.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd.get(), bytes.data() + used, size_t(bytes.size() - used));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw RuntimeError::fileAccessFailed(path, osReason(errno));
        }
        used += got;
    }
    bytes.truncate(used);

    Lines lines = Lines::fromUtf8(decodeToUtf8(std::move(bytes)));
    // The list view counts its rows in int.
    if (lines.size() > std::numeric_limits<int>::max())
        throw RuntimeError::fileAccessFailed(
            path, u"it has %1 lines, more than the list can hold (%2)"_s.arg(lines.size()).arg(std::numeric_limits<int>::max()));
    return lines;
}
