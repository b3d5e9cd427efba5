#include "runtime/core/listfile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <mutex>

// With QFile alone, a file has one position, so reads at an offset take turns; and a read
// blocks until its bytes come or the stream ends, so a cancel is seen only between reads. A
// pipe that stays silent, or that nobody opens to write to, then holds its load until it speaks
// or the program ends; the window never waits for a cancelled load, so it stays responsive.
struct ListFile::Open
{
    QFile file;
    std::mutex turn;
};

namespace {

// QFile tells only that it could not open a file: the cause, as an errno value, is asked of
// the file system again.
int openError(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() ? ENOENT : !info.isReadable() ? EACCES : EIO;
}

// A stream read blocks until all its bytes come: asked for little at a time, it returns what
// came sooner, and a cancel is seen sooner while input flows.
constexpr qsizetype streamReadBytes = qsizetype(1) << 16;

} // namespace

ListFile::ListFile(const QString &path, bool streams)
{
    // Looked at before it is opened: opening a pipe waits for a writer.
    const QFileInfo info(path);
    if (!info.exists()) {
        m_error = ENOENT;
        return;
    }
    m_kind = info.isDir() ? Kind::folder : info.isFile() ? Kind::regular : Kind::stream;
    if (m_kind == Kind::folder || (m_kind == Kind::stream && !streams))
        return;
    m_open = std::make_unique<Open>();
    m_open->file.setFileName(path);
    if (!m_open->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_error = openError(path);
        return;
    }
    m_size = m_kind == Kind::regular ? m_open->file.size() : 0;
}

ListFile::ListFile(StandardInput) : m_open(std::make_unique<Open>())
{
    // Descriptor 0 is standard input wherever Qt runs; read without the C library's buffer.
    if (!m_open->file.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        m_error = EBADF;
}

ListFile::~ListFile() = default;

qsizetype ListFile::readAt(char *buffer, qsizetype size, qint64 offset)
{
    const std::lock_guard lock(m_open->turn);
    if (!m_open->file.seek(offset))
        return -EIO;
    const qint64 got = m_open->file.read(buffer, size);
    return got < 0 ? -EIO : qsizetype(got);
}

int ListFile::seek(qint64 offset)
{
    const std::lock_guard lock(m_open->turn);
    return m_open->file.seek(offset) ? 0 : EIO;
}

qsizetype ListFile::read(char *buffer, qsizetype size, Task &task)
{
    task.check();
    const std::lock_guard lock(m_open->turn);
    const qint64 got = m_open->file.read(buffer, m_open->file.isSequential() ? std::min(size, streamReadBytes) : size);
    return got < 0 ? -EIO : qsizetype(got);
}

bool ListFile::standardInputIsTerminal()
{
    // Neither standard C++ nor Qt can tell: taken for a pipe, so the hint to type the list and
    // end it with Ctrl+D is not shown, and the load's progress takes the keyboard.
    return false;
}
