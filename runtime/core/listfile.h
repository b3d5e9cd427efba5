#pragma once

#include "runtime/core/task.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// The system's part of reading a list: a file or standard input opened, what kind of file it
// is, and its bytes. lines.cpp makes lines of them. Two builds of it: listfile_posix.cpp, with
// the system's own calls, reads a file on several threads at once and sees a cancel while a
// stream stays silent; listfile_portable.cpp, with QFile alone, reads on one thread at a time
// and sees a cancel only between reads. A failure is an errno value, as RuntimeError reports
// one.
class ListFile final
{
public:
    // stream: a pipe, a device, a socket or a terminal, read to its end.
    enum class Kind { regular, folder, stream };

    // Opens the file at path to read it. What kind it is, is found without waiting for a writer;
    // a folder, or a stream when streams are not wanted, is then never read. Where a cancel is
    // seen only between reads, opening a pipe that is wanted waits for a writer.
    ListFile(const QString &path, bool streams);
    // Standard input, as a stream; left open when done.
    struct StandardInput { };
    explicit ListFile(StandardInput);
    ~ListFile();
    Q_DISABLE_COPY_MOVE(ListFile)

    // Why the file could not be opened or looked at, or 0.
    [[nodiscard]] int error() const noexcept { return m_error; }
    [[nodiscard]] Kind kind() const noexcept { return m_kind; }
    // A regular file's size when it was opened; 0 for the other kinds.
    [[nodiscard]] qint64 size() const noexcept { return m_size; }

    // Reads up to size bytes from offset in a regular file into buffer; several threads may
    // call it at once. How many bytes were read (0 at the end of the file), or -errno.
    [[nodiscard]] qsizetype readAt(char *buffer, qsizetype size, qint64 offset);
    // Where read() goes on from in a regular file; 0 or an errno value.
    [[nodiscard]] int seek(qint64 offset);
    // Reads up to size bytes on from where the last read ended, waiting for at least one, or
    // for the end. How many bytes were read (0 at the end), or -errno. Throws Cancelled when
    // the task is cancelled while it waits, where it can tell.
    [[nodiscard]] qsizetype read(char *buffer, qsizetype size, Task &task);

    [[nodiscard]] static bool standardInputIsTerminal();

private:
    struct Open; // the open file, as each build keeps it
    std::unique_ptr<Open> m_open;
    int m_error = 0;
    Kind m_kind = Kind::stream;
    qint64 m_size = 0;
};
