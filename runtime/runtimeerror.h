#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's one error type. Code that fails throws it with what a message to the user needs;
// the window catches it at the boundary of each event and shows message() (see errorreport.h).
class RuntimeError final : public std::exception
{
public:
    enum class Kind {
        fileAccessFailed,  // List.txt could not be opened or read
        controlCallFailed, // a list operation was given a position outside the list
    };

    [[nodiscard]] static RuntimeError fileAccessFailed(const QString &path, const QString &reason);
    [[nodiscard]] static RuntimeError positionOutOfRange(qsizetype position, qsizetype count);

    [[nodiscard]] Kind kind() const noexcept { return m_kind; }
    // What went wrong and where, in a user's words.
    [[nodiscard]] const QString &message() const noexcept { return m_message; }
    [[nodiscard]] const char *what() const noexcept override { return m_what.constData(); }

private:
    RuntimeError(Kind kind, QString message);

    Kind m_kind;
    QString m_message;
    QByteArray m_what;
};
