#pragma once

// What several tests share: lists made of items and read back as texts, the statistics as a
// click gives them, the error a call reports and the messages that report an item, files
// written whole, tables tagged by their values, and list files that cannot be read.

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "stats/numbers.h"
#include "stats/statistics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/stat.h>

// A list of these items, as the program loads it.
inline Lines linesOf(const QStringList &texts)
{
    QByteArray text;
    for (const QString &item : texts)
        text += item.toUtf8() + '\n';
    return Lines::fromUtf8(text);
}

// The items' texts, in order.
inline QStringList texts(const Lines &lines)
{
    QStringList result;
    for (qsizetype i = 0; i < lines.size(); ++i)
        result.append(lines.text(i));
    return result;
}

// The numbers from 0 to count - 1, a line each.
inline QByteArray numberLines(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(i) + '\n';
    return text;
}

// The mean and the mode as a click shows them, on the given number of threads (0: every core);
// each throws the error a click would report.
inline ShownNumber meanOf(const Lines &items, int threads = 0)
{
    Task task(threads);
    return valueOf(computeStatistics(items, task).mean);
}
inline Mode modeOf(const Lines &items, int threads = 0)
{
    Task task(threads);
    return valueOf(computeStatistics(items, task).mode);
}

// The mode as the label words it, without "Mode: " and " ocurrances".
inline QString modeText(const Mode &mode)
{
    return formatNumber(mode.value) + QStringLiteral(" with ") + QString::number(mode.count);
}

// The error that f reports, or none when it returns.
template<typename F>
std::optional<RuntimeError> errorOf(F &&f)
{
    try {
        (void)f();
    } catch (const RuntimeError &error) {
        return error;
    }
    return std::nullopt;
}

// An item's text as an error message quotes it: isolated from the sentence's direction.
inline QString isolated(const QString &text)
{
    return u'\u2068' + text + u'\u2069';
}

// The messages that report the item on a line (counted from 1).
inline QString notANumber(qsizetype line, const QString &text)
{
    return QStringLiteral("Line %1 is not a number: \"%2\".").arg(QString::number(line), isolated(text));
}
inline QString tooLarge(qsizetype line, const QString &text)
{
    return QStringLiteral("Line %1 holds a number too large to compute with (1e+%2 or more): \"%3\".")
        .arg(QString::number(line), QString::number(ParsedNumber::maxOrder + 1), isolated(text));
}
inline QString blank(qsizetype line)
{
    return QStringLiteral("Line %1 is blank; it should hold a number.").arg(line);
}

// Makes the file at path hold these bytes; false when it could not.
[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A table of one column of strings, each row tagged with its own value.
inline void addTaggedRows(const char *column, const QStringList &values)
{
    QTest::addColumn<QString>(column);
    for (const QString &value : values)
        QTest::newRow(qPrintable(value)) << value;
}

// The columns and rows of a table of list files that cannot be read: each file's kind (for
// makeUnreadable) and what the message says of it, in the language the program speaks.
inline void addUnreadableRows()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("missing") << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("it is a folder");
    QTest::newRow("pipe with no writer") << QStringLiteral("fifo") << QStringLiteral("not a regular file");
    QTest::newRow("endless device") << QStringLiteral("device") << QStringLiteral("not a regular file");
}

// Makes path one of those kinds of file; false when it could not.
[[nodiscard]] inline bool makeUnreadable(const QString &kind, const QString &path)
{
    if (kind == u"folder")
        return QDir(QFileInfo(path).path()).mkdir(QFileInfo(path).fileName());
    if (kind == u"fifo")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == u"device")
        return QFile::link(QStringLiteral("/dev/zero"), path);
    return kind == u"missing";
}
