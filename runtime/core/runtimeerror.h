#pragma once

#include "runtime/core/listsource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <exception>
#include <variant>

// The program's one error type. Code that fails throws it with the facts of what went wrong:
// its kind, a reason where the kind alone does not say, and where (the file's path, or the
// item's position and text). No sentences: the error report builds the message the user sees
// from these facts, in one place (see errorreport.h).
class RuntimeError final : public std::exception
{
public:
    enum class Kind {
        fileAccessFailed,  // the list could not be opened or read
        controlCallFailed, // a list operation was given a position outside the list
        conversionFailed,  // an item is not a number the statistics can compute with
        emptyList,         // a statistic of no items
        outOfMemory,       // a task needed more memory than there was
    };
    enum class Reason {
        none,
        // Why the file could not be read.
        systemError,    // the system's own error, errorCode()
        folder,         // it is a folder
        notRegularFile, // a device, a pipe or a socket
        tooLarge,       // more text than the list holds (Lines::maxBytes)
        // What is wrong with an item.
        blank,
        notANumber,
        numberTooLarge, // past the bound of ParsedNumber::maxOrder (stats/numbers.h)
        numberTooSmall, // below it, but not zero
        tooManyDigits,  // a non-zero digit below it
        // What ran out of memory.
        readingFile,
        computingMean,
        computingMode,
    };
    // The most of an item's text that an error keeps: more than any message shows of it.
    static constexpr qsizetype keptTextBytes = 1024;

    [[nodiscard]] static RuntimeError fileAccessFailed(const ListSource &source, Reason reason, int errorCode = 0);
    [[nodiscard]] static RuntimeError positionOutOfRange(qsizetype position, qsizetype count);
    [[nodiscard]] static RuntimeError conversionFailed(qsizetype position, QByteArrayView text, Reason reason);
    [[nodiscard]] static RuntimeError emptyList();
    // doing: readingFile (with its source), computingMean, computingMode, or none.
    [[nodiscard]] static RuntimeError outOfMemory(Reason doing, const ListSource &source = {});

    [[nodiscard]] Kind kind() const noexcept { return m_kind; }
    [[nodiscard]] Reason reason() const noexcept { return m_reason; }
    // The position of the item at fault (or asked for), or -1 when no one item is.
    [[nodiscard]] qsizetype position() const noexcept { return m_position; }
    // The list's item count, for controlCallFailed.
    [[nodiscard]] qsizetype count() const noexcept { return m_count; }
    // Where the list was read from, for fileAccessFailed and readingFile; path() is a file's.
    [[nodiscard]] const ListSource &source() const noexcept { return m_source; }
    [[nodiscard]] const QString &path() const noexcept { return m_source.path; }
    // The item's text as UTF-8, cut after keptTextBytes, for conversionFailed.
    [[nodiscard]] const QByteArray &text() const noexcept { return m_text; }
    // errno, for systemError.
    [[nodiscard]] int errorCode() const noexcept { return m_errorCode; }
    // The kind's name, for a log.
    [[nodiscard]] const char *what() const noexcept override;

private:
    RuntimeError(Kind kind, Reason reason) : m_kind(kind), m_reason(reason) { }

    Kind m_kind;
    Reason m_reason;
    qsizetype m_position = -1;
    qsizetype m_count = 0;
    ListSource m_source;
    QByteArray m_text;
    int m_errorCode = 0;
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
