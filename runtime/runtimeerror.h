#pragma once

#include <QByteArray>
#include <QString>

#include <exception>
#include <variant>

// The program's one error type. Code that fails throws it with what a message to the user needs;
// the window catches it at the boundary of each event and shows message() (see errorreport.h).
class RuntimeError final : public std::exception
{
public:
    enum class Kind {
        fileAccessFailed,  // List.txt could not be opened or read
        controlCallFailed, // a list operation was given a position outside the list
        conversionFailed,  // an item is not a number
        emptyList,         // a statistic of no items
        outOfMemory,       // a task needed more memory than there was
    };

    [[nodiscard]] static RuntimeError fileAccessFailed(const QString &path, const QString &reason);
    [[nodiscard]] static RuntimeError positionOutOfRange(qsizetype position, qsizetype count);
    // what completes "Line N ...", as in "is not a number: \"1,5\"".
    [[nodiscard]] static RuntimeError conversionFailed(qsizetype position, const QString &what);
    [[nodiscard]] static RuntimeError emptyList();
    // task completes "Not enough memory to ...", as in "compute the mode".
    [[nodiscard]] static RuntimeError outOfMemory(const QString &task);

    [[nodiscard]] Kind kind() const noexcept { return m_kind; }
    // The position of the item at fault, or -1 when no one item is.
    [[nodiscard]] qsizetype position() const noexcept { return m_position; }
    // What went wrong and where, in a user's words.
    [[nodiscard]] const QString &message() const noexcept { return m_message; }
    [[nodiscard]] const char *what() const noexcept override { return m_what.constData(); }

private:
    RuntimeError(Kind kind, QString message, qsizetype position = -1);

    Kind m_kind;
    qsizetype m_position;
    QString m_message;
    QByteArray m_what;
};

// What work that can fail ends with: its result, or the error to report.
template<typename T>
using Outcome = std::variant<T, RuntimeError>;

// The result, or throws the error.
template<typename T>
[[nodiscard]] const T &valueOf(const Outcome<T> &outcome)
{
    if (const auto *const error = std::get_if<RuntimeError>(&outcome))
        throw *error;
    return std::get<T>(outcome);
}
