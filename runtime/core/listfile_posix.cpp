#include "runtime/core/listfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

struct ListFile::Open
{
    int fd = -1;
    bool owned = true; // not standard input's
};

ListFile::ListFile(const QString &path, bool) : m_open(std::make_unique<Open>())
{
    // O_NONBLOCK: opening a pipe nobody writes to must not hang before we can look at what it
    // is. Streams not wanted are opened all the same, and closed unread.
    m_open->fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_open->fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info {};
    if (::fstat(m_open->fd, &info) != 0) {
        m_error = errno;
        return;
    }
    m_kind = S_ISDIR(info.st_mode) ? Kind::folder : S_ISREG(info.st_mode) ? Kind::regular : Kind::stream;
    m_size = m_kind == Kind::regular ? qint64(info.st_size) : 0;
}

ListFile::ListFile(StandardInput) : m_open(std::make_unique<Open>(Open{STDIN_FILENO, false})) { }

ListFile::~ListFile()
{
    if (m_open && m_open->owned && m_open->fd >= 0)
        ::close(m_open->fd);
}

qsizetype ListFile::readAt(char *buffer, qsizetype size, qint64 offset)
{
    for (;;) {
        const ssize_t got = ::pread(m_open->fd, buffer, size_t(size), off_t(offset));
        if (got >= 0)
            return qsizetype(got);
        if (errno != EINTR)
            return -errno;
    }
}

int ListFile::seek(qint64 offset)
{
    const off_t at = ::lseek(m_open->fd, off_t(offset), SEEK_SET);
    return at == off_t(offset) ? 0 : at < 0 ? errno : EIO;
}

qsizetype ListFile::read(char *buffer, qsizetype size, Task &task)
{
    // Waits for input a tenth of a second at a time, so that a cancel is seen while none comes.
    constexpr int waitMs = 100;
    for (;;) {
        task.check();
        pollfd ready{m_open->fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, waitMs);
        if (polled < 0 && errno != EINTR)
            return -errno;
        if (polled <= 0)
            continue;
        const ssize_t got = ::read(m_open->fd, buffer, size_t(size));
        if (got >= 0)
            return qsizetype(got);
        if (errno != EINTR && errno != EAGAIN)
            return -errno;
    }
}

bool ListFile::standardInputIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}
