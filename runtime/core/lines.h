#pragma once

#include "runtime/core/listsource.h"
#include "runtime/core/task.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <boost/container/vector.hpp>

#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// The list's items, stored compactly: the text as UTF-8 in one buffer, line terminators and
// all, and where each item ends, in about a byte per item. Ten million short items then cost
// little more than the file itself, where a QString apiece would cost several times it. The
// next item begins after the terminator at that end, which is LF, CR LF or a lone CR, and never
// part of an item: the buffer read from the file is the store as it is, and the threads that
// find the ends need not move any text.
class Lines final
{
public:
    // The list view counts its rows in int, and no text has more lines than bytes: this one
    // limit keeps both the row count and the 32-bit offsets in range.
    static constexpr qsizetype maxBytes = std::numeric_limits<int>::max();
    // How many bytes past the end of every item's text can be read (their values are unspecified),
    // so that a parser may read a whole word of it at once.
    static constexpr qsizetype readablePast = 32;

    Lines() = default;

    // Splits already decoded UTF-8 text of at most maxBytes into lines; a text without room for
    // readablePast more bytes is copied first. A line ends at LF, CR LF or a lone CR;
    // the terminator is dropped, nothing else is; a terminator at the very end adds no line.
    // Runs on the task's threads (without one, on every core), counts the bytes split as its
    // progress and throws Cancelled when it is cancelled.
    [[nodiscard]] static Lines fromUtf8(QByteArray text, Task *task = nullptr);

    [[nodiscard]] qsizetype size() const noexcept { return qsizetype(m_steps.size()); }
    [[nodiscard]] bool isEmpty() const noexcept { return m_steps.empty(); }
    // At most blockItems steps from the nearest stored end: cheap, but forEachUtf8 is cheaper
    // for a run of items.
    [[nodiscard]] QByteArrayView utf8(qsizetype i) const;
    [[nodiscard]] QString text(qsizetype i) const { return QString::fromUtf8(utf8(i)); }
    // Calls use(i, text) for the items i in [from, to), in order: what utf8(i) gives for each, but
    // cheaper, since each item begins just past the end of the one before it.
    template<typename Use>
    void forEachUtf8(qsizetype from, qsizetype to, Use &&use) const;

private:
    // Item i ends (at its terminator, or at the end of the text) m_steps[i] bytes after item
    // i - 1 does, item -1 "ending" at -1; a step of longStep or more is kept in m_longEnds, as
    // (item, end) in the order of the items. Every blockItems items, m_blockEnds keeps where
    // the item before the block ends, plus one. Filled by several threads at once, so sized
    // without being written first.
    static constexpr qsizetype blockItems = 64;
    static constexpr quint8 longStep = 255;
    [[nodiscard]] qsizetype endOf(qsizetype i) const; // -1 for i = -1
    [[nodiscard]] qsizetype endAfter(qsizetype i, qsizetype before) const // item i's, after i - 1's
    {
        const quint8 step = m_steps[size_t(i)];
        return step != longStep ? before + step : qsizetype(longEndFrom(i)->second);
    }
    [[nodiscard]] qsizetype startAfter(qsizetype end) const // where the item after the end begins
    {
        const char *const text = m_text.constData(); // NUL-terminated: text[size()] can be read
        return end < 0 ? 0 : end + 1 + (text[end] == '\r' && text[end + 1] == '\n' ? 1 : 0);
    }
    [[nodiscard]] std::vector<std::pair<quint32, quint32>>::const_iterator longEndFrom(qsizetype i) const;

    QByteArray m_text;
    boost::container::vector<quint8> m_steps;
    boost::container::vector<quint32> m_blockEnds;
    std::vector<std::pair<quint32, quint32>> m_longEnds;
};

template<typename Use>
void Lines::forEachUtf8(qsizetype from, qsizetype to, Use &&use) const
{
    if (from >= to)
        return;
    const char *const text = m_text.constData();
    qsizetype end = endOf(from - 1);
    qsizetype begin = startAfter(end);
    auto longEnd = longEndFrom(from);
    for (qsizetype i = from; i < to; ++i) {
        const quint8 step = m_steps[size_t(i)];
        end = step != longStep ? end + step : qsizetype((longEnd++)->second);
        use(i, std::string_view(text + begin, size_t(end - begin)));
        begin = startAfter(end);
    }
}

// Turns the bytes of a list file into UTF-8, losing none: UTF-16 (LE or BE) when the file starts
// with its byte order mark and decodes cleanly; UTF-8 when it starts with the UTF-8 byte order
// mark (which is dropped; a malformed sequence becomes U+FFFD and spoils only its own line) or
// is valid UTF-8; otherwise Windows-1252, the code page of text written on Windows, with its
// five undefined bytes as their Latin-1 code points, so that every byte is a character. Nothing
// when the text would be longer than Lines::maxBytes. Checks UTF-8 on the task's threads (without
// one, on every core) and throws Cancelled when it is cancelled.
[[nodiscard]] std::optional<QByteArray> decodeToUtf8(QByteArray bytes, Task *task = nullptr);

// Whether a file that is not a regular one (a pipe, a device) is refused, as List.txt is when
// nobody named it, or read to its end like standard input, as a file the user names is.
enum class Streams { refused, readToEnd };

// Reads a whole list file into lines. Throws RuntimeError when the path cannot be opened or
// read, is a folder, is not a regular file when streams are refused (a pipe or a device could
// otherwise block or never end), holds more than Lines::maxBytes (a regular file told from its
// size, before it is read), or does not fit in memory. The path is opened as given, and named
// in messages by its absolute form. The task follows the bytes read and split; when it is
// cancelled, throws Cancelled. Runs on the task's threads.
[[nodiscard]] Lines readLines(const QString &path, Task &task, Streams streams = Streams::refused);

// Reads standard input to its end into lines, as readLines reads a stream: a pipe, a file
// redirected to it, or a terminal until Ctrl+D. Its progress has no total until it has ended.
[[nodiscard]] Lines readStandardInput(Task &task);
// Whether standard input is a terminal, where the user types the list.
[[nodiscard]] bool standardInputIsTerminal();

// The lines of text the user pasted or dropped, named in messages by its source.
[[nodiscard]] Lines linesOfText(const QString &text, const ListSource &source, Task &task);
