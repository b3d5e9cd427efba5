#include "runtime/lines.h"

#include "runtime/hugepages.h"
#include "runtime/runtimeerror.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Lines Lines::fromUtf8(QByteArray text)
{
    Q_ASSERT(text.size() <= maxBytes);
    Lines lines;
    lines.m_ends.reserve(size_t(std::count(text.cbegin(), text.cend(), '\n')) + 1);
    adviseHugePages(lines.m_ends.data(), lines.m_ends.capacity() * sizeof(quint32));

    // Drop the terminators in place: the buffer read from the file becomes the store without
    // a second copy.
    char *const begin = text.data();
    const char *const end = begin + text.size();
    char *out = begin;
    for (const char *in = begin; in != end; ++in) {
        if (*in != '\n' && *in != '\r') {
            *out++ = *in;
            continue;
        }
        lines.m_ends.push_back(quint32(out - begin));
        if (*in == '\r' && in + 1 != end && in[1] == '\n')
            ++in;
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
    adviseHugePages(bytes.data(), size_t(bytes.size()));
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

    QByteArray text = decodeToUtf8(std::move(bytes));
    if (text.size() > Lines::maxBytes)
        throw RuntimeError::fileAccessFailed(path, u"it holds more text than the list can (2 GiB)"_s);
    return Lines::fromUtf8(std::move(text));
}
