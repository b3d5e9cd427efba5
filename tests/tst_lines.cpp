#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/errorreport.h"
#include "memorylimit.h"
#include "testhelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(RuntimeError)

class TestLines : public QObject
{
    Q_OBJECT

private:
    // Checks that result(text, task) is the same on two threads as on one, with text placed across
    // the point where two threads split it, at each of its bytes in turn. The load gives a thread
    // no less than 1 MiB of text.
    template<typename Result>
    static void sameWhenSplit(const QByteArray &text, Result &&result)
    {
        constexpr qsizetype half = qsizetype(1) << 20;
        for (qsizetype shift = 0; shift <= text.size(); ++shift) {
            const QByteArray placed = QByteArray(half - shift, 'a') + text + QByteArray(half + shift - text.size(), 'b');
            Task one(1), two(2);
            QCOMPARE(result(placed, two), result(placed, one));
        }
    }

private Q_SLOTS:
    void splitsLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("empty text has no lines") << QByteArray() << QStringList();
        QTest::newRow("last line without terminator") << "1\n2"_ba << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("final LF adds no line") << "1\n2\n"_ba << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("CR LF") << "1\r\n2\r\n"_ba << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("lone CR") << "1\r2\r"_ba << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("mixed terminators") << "1\n2\r\n3\r4"_ba << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s};
        QTest::newRow("lone LF is one empty line") << "\n"_ba << QStringList{QString()};
        QTest::newRow("lone CR LF is one empty line") << "\r\n"_ba << QStringList{QString()};
        QTest::newRow("empty lines in the middle") << "1\n\n\n2"_ba << QStringList{u"1"_s, QString(), QString(), u"2"_s};
        QTest::newRow("CR then CR LF is two terminators") << "1\r\r\n2"_ba << QStringList{u"1"_s, QString(), u"2"_s};
        QTest::newRow("LF CR is two terminators") << "1\n\r2"_ba << QStringList{u"1"_s, QString(), u"2"_s};
        QTest::newRow("nothing is trimmed") << " 1 \t\n\t2  "_ba << QStringList{u" 1 \t"_s, u"\t2  "_s};
        QTest::newRow("NUL stays inside its line") << QByteArray("a\0b\nc", 5) << QStringList{QString(u"a\0b"_s), u"c"_s};
        QTest::newRow("300 empty lines") << QByteArray(300, '\n') << QStringList(300, QString());
        QTest::newRow("multi-byte characters") << "\xC3\xA9t\xC3\xA9\n\xE2\x82\xAC"_ba << QStringList{u"\u00E9t\u00E9"_s, u"\u20AC"_s};
    }
    void splitsLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, lines);
        QCOMPARE(texts(Lines::fromUtf8(text)), lines);
        sameWhenSplit(text, [](const QByteArray &placed, Task &task) { return texts(Lines::fromUtf8(placed, &task)); });
    }

    void decodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");

        QTest::newRow("ASCII") << "1\n-2.5\n"_ba << u"1\n-2.5\n"_s;
        QTest::newRow("UTF-8") << "\xC3\xA9\xE2\x82\xAC"_ba << u"\u00E9\u20AC"_s;
        QTest::newRow("UTF-8 BOM is dropped") << "\xEF\xBB\xBF" "1\n2"_ba << u"1\n2"_s;
        QTest::newRow("lone UTF-8 BOM") << "\xEF\xBB\xBF"_ba << QString();
        QTest::newRow("Windows-1252") << "caf\xE9\n\x93quoted\x94 \x80\n"_ba << u"caf\u00E9\n\u201Cquoted\u201D \u20AC\n"_s;
        QTest::newRow("invalid UTF-8 is Windows-1252 throughout") << "\xC3\xA9\xFF"_ba << u"\u00C3\u00A9\u00FF"_s;
        QTest::newRow("Windows-1252's undefined bytes as Latin-1") << "\x81\x8D\x8F\x90\x9D\x9F"_ba
                                                                 << u"\u0081\u008D\u008F\u0090\u009D\u0178"_s;
        QTest::newRow("BOM, then a malformed byte spoils only its line") << "\xEF\xBB\xBF" "1\n2\n3\n\xE9\n\xC3\xA9"_ba
                                                                       << u"1\n2\n3\n\uFFFD\n\u00E9"_s;
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE" "1\0\n\0\xAC\x20", 8) << u"1\n\u20AC"_s;
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0" "1\0\r\0\n", 8) << u"1\r\n"_s;
        QTest::newRow("lone UTF-16 BOM") << "\xFF\xFE"_ba << QString();
        QTest::newRow("UTF-16 odd byte count is Latin-1") << QByteArray("\xFF\xFE" "1\0" "2", 5) << QString(u"\u00FF\u00FE" "1\0" "2"_s);
        QTest::newRow("UTF-16 lone surrogate is Latin-1") << QByteArray("\xFF\xFE\x00\xD8" "1\0", 6)
                                                          << QString(u"\u00FF\u00FE\0\u00D8" "1\0"_s);
    }
    void decodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(QString::fromUtf8(decodeToUtf8(bytes).value()), text);
        sameWhenSplit(bytes, [](const QByteArray &placed, Task &task) { return decodeToUtf8(placed, &task).value(); });
    }

    void readsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("UTF-16, CR LF") << "\xFF\xFE" "1\0\r\0\n\0" "2\0"_ba << QStringList{u"1"_s, u"2"_s};
        QByteArray many;
        QStringList manyLines;
        for (int i = -50'000; i < 50'000; ++i) {
            many += QByteArray::number(i) + "\r\n";
            manyLines.append(QString::number(i));
        }
        QTest::newRow("100,000 lines") << many << manyLines;
        QTest::newRow("a Windows-1252 byte past the first megabyte") << many + many + "caf\xE9"_ba
                                                                  << manyLines + manyLines + QStringList{u"caf\u00E9"_s};
    }
    void readsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"List.txt"_s);
        QVERIFY(dir.isValid() && writeFile(path, bytes));
        Task task;
        QCOMPARE(texts(readLines(path, task)), lines);
    }

    // A file the user names may be a pipe, and standard input often is one: either is read to
    // its end, however long its writer pauses, and an endless one up to the list's limit.
    void readsAStreamToItsEnd_data()
    {
        addTaggedRows("stream", {u"named pipe"_s, u"standard input"_s, u"endless device"_s});
    }
    void readsAStreamToItsEnd()
    {
        QFETCH(QString, stream);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(u"pipe"_s);
        int ends[2] = {-1, -1};
        const int savedInput = ::dup(STDIN_FILENO);
        if (stream == u"named pipe")
            QVERIFY(makeUnreadable(u"fifo"_s, path));
        else if (stream == u"standard input")
            QVERIFY(::pipe(ends) == 0 && ::dup2(ends[0], STDIN_FILENO) == STDIN_FILENO && ::close(ends[0]) == 0);
        else
            path = u"/dev/zero"_s;
        std::thread writer([&] {
            if (stream == u"endless device")
                return;
            const int fd = ends[1] >= 0 ? ends[1] : ::open(QFile::encodeName(path).constData(), O_WRONLY);
            (void)!::write(fd, "1\n2", 3);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            (void)!::write(fd, "\n3\r\n", 4);
            ::close(fd);
        });
        Task task(1);
        std::optional<QStringList> read;
        const std::optional<RuntimeError> error = errorOf([&] {
            return read = texts(stream == u"standard input" ? readStandardInput(task) : readLines(path, task, Streams::readToEnd));
        });
        writer.join();
        ::dup2(savedInput, STDIN_FILENO);
        ::close(savedInput);
        if (stream == u"endless device") {
            QVERIFY(error);
            QCOMPARE(error->reason(), RuntimeError::Reason::tooLarge);
            return;
        }
        QCOMPARE(read, (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    }

    // A list that is not a file is named in its own words, not as a list file.
    void namesWhereAListComesFrom_data()
    {
        QTest::addColumn<RuntimeError>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("standard input") << RuntimeError::fileAccessFailed(ListSource::of(ListSource::Kind::standardInput),
                                                                          RuntimeError::Reason::systemError, EIO)
                                        << u"Cannot read standard input: %1."_s.arg(QString::fromLocal8Bit(std::strerror(EIO)));
        QTest::newRow("the clipboard") << RuntimeError::outOfMemory(RuntimeError::Reason::readingFile,
                                                                    ListSource::of(ListSource::Kind::clipboard))
                                       << u"Not enough memory to read the clipboard."_s;
    }
    void namesWhereAListComesFrom()
    {
        QFETCH(RuntimeError, error);
        QFETCH(QString, message);
        QCOMPARE(errorMessage(error), message);
    }

    void refusesWhatIsNotAReadableFile_data()
    {
        addUnreadableRows();
        QTest::newRow("unreadable") << u"unreadable"_s << QString::fromLocal8Bit(std::strerror(EACCES));
        QTest::newRow("larger than memory, refused from its size")
            << u"huge"_s << u"more text than the list can (%1 GiB)"_s.arg((qint64(Lines::maxBytes) + 1) >> 30);
        QTest::newRow("more than memory allows") << u"memory"_s << u"Not enough memory to read the list file"_s;
    }
    void refusesWhatIsNotAReadableFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"List.txt"_s);
        if (kind == u"unreadable") {
            if (::geteuid() == 0)
                QSKIP("root reads any file");
            QVERIFY(writeFile(path, "1\n"_ba));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        } else if (kind == u"huge") {
            QFile file(path); // sparse: it takes no room on disk
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(30) << 30));
        } else if (kind == u"memory") {
            LISTSTATS_SKIP_UNDER_MEMORY_LIMIT;
            QVERIFY(writeFile(path, QByteArray(64 << 20, '7')));
        } else {
            QVERIFY(makeUnreadable(kind, path));
        }

        const std::optional<RuntimeError> error = errorOf([&] {
            std::optional<MemoryLimit> limit;
            if (kind == u"memory")
                limit.emplace(16 << 20);
            Task task;
            return readLines(path, task);
        });
        QVERIFY(error);
        QCOMPARE(error->kind(), kind == u"memory" ? RuntimeError::Kind::outOfMemory : RuntimeError::Kind::fileAccessFailed);
        QVERIFY2(errorMessage(*error).contains(path), qPrintable(errorMessage(*error)));
        QVERIFY2(errorMessage(*error).contains(reason), qPrintable(errorMessage(*error)));
    }
};

// A QCoreApplication, for the environment's language as the program has it: the messages quote
// the C library's own words for an error.
QTEST_GUILESS_MAIN(TestLines)
#include "tst_lines.moc"
