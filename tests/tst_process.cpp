// The built program as a user starts it: in a folder, under a real (virtual) X server.
// xdotool finds its windows and clicks or types like a user would.

#include "memorylimit.h"
#include "testhelpers.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <limits>

#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int timeoutMs = 15'000;

// Runs xdotool and returns what it printed; an empty result when it failed or found nothing.
QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(XDOTOOL), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Waits until a visible window with exactly this title exists; returns its id. xdotool's search
// fails outright when a window closes while it looks (BadWindow), so it looks again.
QString waitForWindow(const QString &title)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString found;
    do {
        found = xdotool({u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, u"^%1$"_s.arg(title)});
    } while (found.isEmpty() && !deadline.hasExpired());
    return found.section(u'\n', 0, 0);
}

// A list of long numbers far apart, as a seeded generator makes it: 60 digits each, with a point
// among them, and a power of ten up to ±5000.
QByteArray longNumbers(int count)
{
    QRandomGenerator random(31);
    QByteArray text;
    text.reserve(qsizetype(count) * 68);
    for (int i = 0; i < count; ++i) {
        QByteArray digits = QByteArray::number(random.bounded(1, 10));
        while (digits.size() < 60)
            digits += QByteArray::number(random.generate64() % 1'000'000'000'000'000'000ULL).rightJustified(18, '0');
        digits.truncate(60);
        digits.insert(random.bounded(1, 60), '.');
        text += digits + 'e' + QByteArray::number(random.bounded(-5000, 5001)) + '\n';
    }
    return text;
}

// What must never be on standard error: an abort, an exception that escaped, GMP's own end,
// or a sanitizer's report.
const char *const faults[] = {"pure virtual", "terminate called", "GNU MP", "runtime error", "Sanitizer"};

} // namespace

class TestProcess : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcess m_program;
    QString m_errors; // what the program wrote to standard error, read as it ran and once it has ended

    // Starts the program in the test's folder with these arguments; without a display, as over
    // ssh without X, when display is false. addressSpace: the most memory the program may map
    // (ulimit -v), on two CPUs at most, so that what the limit allows does not depend on the
    // machine's thread count.
    void start(const QStringList &arguments = {}, bool display = true, rlim_t addressSpace = RLIM_INFINITY)
    {
        m_program.setChildProcessModifier([addressSpace] {
            if (addressSpace == RLIM_INFINITY)
                return;
            cpu_set_t cpus;
            if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) {
                int kept = 0;
                for (size_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
                    if (CPU_ISSET(cpu, &cpus) && ++kept > 2)
                        CPU_CLR(cpu, &cpus);
                }
                sched_setaffinity(0, sizeof cpus, &cpus);
            }
            const struct rlimit limit = {addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        });
        m_errors.clear();
        m_program.setWorkingDirectory(m_dir.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"QT_QPA_PLATFORM"_s); // the X server's window, not an offscreen one
        if (!display) {
            environment.remove(u"DISPLAY"_s);
            environment.remove(u"WAYLAND_DISPLAY"_s);
        }
        m_program.setProcessEnvironment(environment);
        m_program.start(QStringLiteral(LISTSTATS_BINARY), arguments);
        QVERIFY(m_program.waitForStarted(timeoutMs));
    }

    // Clicks the window's button at (264, y) in its client area, and answers the message it
    // brings up with Return.
    static void clickAndAnswer(const QString &window, const QString &y)
    {
        click(window, y);
        answer(u"Return"_s);
    }
    // Gives the key to the message window, which must come up, and waits for it to go.
    static void answer(const QString &key)
    {
        const QString message = waitForWindow(u"liststats"_s);
        QVERIFY2(!message.isEmpty(), "no message");
        xdotool({u"windowfocus"_s, u"--sync"_s, message});
        xdotool({u"key"_s, u"--clearmodifiers"_s, key});
        QTRY_VERIFY_WITH_TIMEOUT(xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^liststats$"_s}).isEmpty(), timeoutMs);
    }
    // Clicks Done, and expects the program to end with status 0.
    void clickDone(const QString &window)
    {
        click(window, u"192"_s);
        expectExit(0);
    }

    void expectExit(int status)
    {
        if (!m_program.waitForFinished(timeoutMs)) {
            m_program.kill();
            m_program.waitForFinished();
            QFAIL("the program did not end");
        }
        m_errors += QString::fromUtf8(m_program.readAllStandardError());
        QVERIFY2(m_program.exitStatus() == QProcess::NormalExit && m_program.exitCode() == status,
                 qPrintable(u"exit status %1; standard error:\n"_s.arg(m_program.exitCode()) + m_errors));
        for (const char *fault : faults)
            QVERIFY2(!m_errors.contains(QLatin1StringView(fault)), qPrintable(m_errors));
    }

    // The window, once it shows; nothing when the program ends or reports an error first.
    QString windowOrExit()
    {
        for (QDeadlineTimer deadline(timeoutMs); !deadline.hasExpired() && !m_program.waitForFinished(100);) {
            m_errors += QString::fromUtf8(m_program.readAllStandardError());
            if (m_errors.contains(u"liststats:"))
                return {};
            const QString window = xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Form1$"_s}).section(u'\n', 0, 0);
            if (!window.isEmpty())
                return window;
        }
        return {};
    }
    // Clicks the window's button at (264, y) in its client area: "Mean" at (224, 8), "Mode" at
    // (224, 56), "Done" at (224, 176), each 81 by 33 pixels.
    static void click(const QString &window, const QString &y)
    {
        xdotool({u"mousemove"_s, u"--window"_s, window, u"264"_s, y, u"click"_s, u"1"_s});
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"),
                 "needs an X display: run it with ctest, which starts one with xvfb-run");
    }
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
    }
    void cleanup()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
    }

    // "Done" at any moment of the pass ends the program at once, and cleanly: nothing that the
    // pass's threads still use is destroyed under them as the program ends.
    void shouldEndCleanlyWhenDoneIsClickedDuringThePass()
    {
        QVERIFY(writeFile(m_dir.filePath(u"List.txt"_s), longNumbers(300'000))); // a pass of about a second
        QRandomGenerator random(31);
        for (int run = 0; run < 50; ++run) {
            start();
            const QString window = windowOrExit();
            QVERIFY2(!window.isEmpty(), "no window titled Form1");
            QTest::qSleep(int(random.bounded(1000)));
            clickDone(window);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Out of memory on a list of long numbers under a limit on the program's address space: the
    // pass reports it, the window stays, and nothing aborts. Limits well above what the window
    // needs to start, where counting for the mode runs out (on Debian 12, 550,000 to 1,200,000 KB).
    void shouldReportRunningOutOfMemoryOnLongNumbers()
    {
        LISTSTATS_SKIP_UNDER_MEMORY_LIMIT;
        QVERIFY(writeFile(m_dir.filePath(u"List.txt"_s), longNumbers(3'000'000)));
        for (const rlim_t megabytes : {rlim_t{900}, rlim_t{700}, rlim_t{1100}}) {
            start({}, true, megabytes << 20);
            const QString window = windowOrExit();
            if (window.isEmpty()) { // too little for the window: out of scope
                cleanup();
                continue;
            }
            click(window, u"72"_s); // Mode
            for (QDeadlineTimer deadline(60'000); !deadline.hasExpired() && !m_errors.contains(u"liststats:");) {
                if (m_program.waitForFinished(100))
                    break;
                m_errors += QString::fromUtf8(m_program.readAllStandardError());
            }
            const bool reached = m_errors.contains(u"liststats: Not enough memory to compute the mode."_s);
            if (reached) {
                QVERIFY2(m_program.state() == QProcess::Running, "the window did not stay");
                answer(u"Return"_s);
            }
            clickDone(window);
            if (reached || QTest::currentTestFailed())
                return;
        }
        QFAIL("no limit reached the pass's message");
    }

    // A whole session, Mean, Mode and Done, leaves List.txt as it was: it is only ever read.
    void shouldShowTheWindowAndLeaveTheListUntouched()
    {
        const QString path = m_dir.filePath(u"List.txt"_s);
        const QByteArray bytes = "1\n2\n2\nabc\n"_ba;
        {
            QFile list(path);
            QVERIFY(list.open(QIODevice::WriteOnly));
            QCOMPARE(list.write(bytes), bytes.size());
            // A time stamp in the past: a write now would change it.
            QVERIFY(list.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5, 6)), QFileDevice::FileModificationTime));
        }
        const QDateTime modified = QFileInfo(path).lastModified();

        start();
        const QString window = waitForWindow(u"Form1"_s);
        QVERIFY2(!window.isEmpty(), "no window titled Form1");
        // The bad item makes both statistics report; Return answers.
        for (const QString &y : {u"24"_s, u"72"_s})
            clickAndAnswer(window, y);
        clickDone(window);

        QFile list(path);
        QVERIFY(list.open(QIODevice::ReadOnly));
        QCOMPARE(list.readAll(), bytes);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QVERIFY2(m_errors.contains(u"Line 4 is not a number"), qPrintable(m_errors));
    }

    // A list that takes long to load shows its progress in a window of its own; Esc there
    // cancels, and the program ends with status 1 and no message.
    void shouldEndQuietlyWhenTheLoadIsCancelled()
    {
        const QString path = m_dir.filePath(u"List.txt"_s);
        QVERIFY(writeFile(path, {}) && QFile::resize(path, std::numeric_limits<int>::max())); // as large as a list may be, and sparse

        start();
        const QString progress = waitForWindow(u"liststats"_s);
        QVERIFY2(!progress.isEmpty(), "no progress window");
        xdotool({u"windowfocus"_s, u"--sync"_s, progress});
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"Escape"_s});
        expectExit(1);
        QVERIFY2(!m_errors.contains(u"liststats:"), qPrintable(m_errors)); // Qt's own warnings aside
    }

    // --help and --version answer without a display and open no window; a wrong command line
    // is told on standard error, with the usage, and ends with status 2.
    void shouldAnswerOnTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // what standard output begins with
        QTest::addColumn<QString>("error");  // what standard error holds
        QTest::newRow("--version") << QStringList{u"--version"_s} << 0 << u"liststats 1.00\n"_s << QString();
        QTest::newRow("-v") << QStringList{u"-v"_s} << 0 << u"liststats 1.00\n"_s << QString();
        QTest::newRow("--help") << QStringList{u"--help"_s} << 0 << u"Usage: "_s << QString();
        QTest::newRow("-h, after a Qt option") << QStringList{u"-reverse"_s, u"-h"_s} << 0 << u"Usage: "_s << QString();
        QTest::newRow("unknown option") << QStringList{u"--bogus"_s} << 2 << QString() << u"Unknown option 'bogus'"_s;
        QTest::newRow("two files") << QStringList{u"a.txt"_s, u"b.txt"_s} << 2 << QString() << u"Only one list"_s;
    }
    void shouldAnswerOnTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, error);
        start(arguments, status != 0); // a wrong command line is found once Qt's own options are known
        expectExit(status);
        const QString printed = QString::fromUtf8(m_program.readAllStandardOutput());
        QVERIFY2(printed.startsWith(output), qPrintable(printed));
        if (status == 0) {
            QVERIFY(output == u"Usage: " ? printed.contains(u"[FILE]") : printed == output);
        } else {
            QVERIFY2(m_errors.contains(error) && m_errors.contains(u"Usage: "), qPrintable(m_errors));
        }
    }

    // The list comes from the file the user names, which may be a pipe, or from standard input.
    void shouldReadTheListTheUserNames_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("how"); // file, pipe or stdin
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("message"); // after Mean
        QTest::newRow("a file") << u"other.txt"_s << u"file"_s << "1\nabc\n"_ba << u"Line 2 is not a number"_s;
        QTest::newRow("a named pipe") << u"pipe"_s << u"pipe"_s << "1\n2\nx"_ba << u"Line 3 is not a number"_s;
        QTest::newRow("standard input") << u"-"_s << u"stdin"_s << "abc\r\n"_ba << u"Line 1 is not a number"_s;
        QTest::newRow("empty standard input") << u"-"_s << u"stdin"_s << QByteArray() << u"The list is empty"_s;
    }
    void shouldReadTheListTheUserNames()
    {
        QFETCH(QString, argument);
        QFETCH(QString, how);
        QFETCH(QByteArray, list);
        QFETCH(QString, message);
        const QString path = m_dir.filePath(argument);
        QVERIFY(how != u"file" || writeFile(path, list));
        QVERIFY(how != u"pipe" || makeUnreadable(u"fifo"_s, path));
        QVERIFY(writeFile(m_dir.filePath(u"List.txt"_s), "7\n"_ba)); // not read
        start({argument});
        if (how == u"stdin") {
            m_program.write(list);
            QVERIFY(list.isEmpty() || m_program.waitForBytesWritten(timeoutMs)); // no event loop here sends it
            m_program.closeWriteChannel();
        } else if (how == u"pipe") {
            QVERIFY(writeFile(path, list)); // waits for the program to open it
        }
        const QString window = waitForWindow(u"Form1"_s);
        QVERIFY2(!window.isEmpty(), "no window titled Form1");
        clickAndAnswer(window, u"24"_s);
        clickDone(window);
        QVERIFY2(m_errors.contains(message), qPrintable(m_errors));
    }

    // When the list cannot be read at start, the report offers "Open a list…": a file chosen
    // there that loads shows the window; one that fails is reported in its turn; a chooser
    // cancelled ends the program.
    void shouldOfferAnotherListAtStart_data()
    {
        addTaggedRows("chosen", {u"a list"_s, u"a file too large"_s, u"nothing"_s});
    }
    void shouldOfferAnotherListAtStart()
    {
        QFETCH(QString, chosen);
        const QString path = m_dir.filePath(u"chosen.txt"_s);
        QVERIFY(writeFile(path, "1\n"_ba));
        QVERIFY(chosen != u"a file too large" || QFile::resize(path, qint64(3) << 30)); // sparse
        start(); // no List.txt

        xdotool({u"windowfocus"_s, u"--sync"_s, waitForWindow(u"liststats"_s)});
        QTest::qWait(500); // until the report has put the keyboard on OK: mapped is not yet focused
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"Tab"_s, u"space"_s}); // from OK to "Open a list…"
        const QString chooser = waitForWindow(u"Open a list"_s);
        QVERIFY2(!chooser.isEmpty(), "no file chooser");
        xdotool({u"windowfocus"_s, u"--sync"_s, chooser});
        if (chosen == u"nothing") {
            xdotool({u"key"_s, u"--clearmodifiers"_s, u"Escape"_s});
            expectExit(1);
            return;
        }
        xdotool({u"type"_s, path});
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"Return"_s});
        if (chosen == u"a list") {
            const QString window = waitForWindow(u"Form1"_s);
            QVERIFY2(!window.isEmpty(), "no window titled Form1");
            clickDone(window);
            return;
        }
        answer(u"Escape"_s);
        expectExit(1);
        QVERIFY2(m_errors.contains(path + u"\": it holds more text"_s), qPrintable(m_errors));
    }

    void shouldReportAnUnreadableListAndShowNoWindow_data()
    {
        addUnreadableRows();
    }
    void shouldReportAnUnreadableListAndShowNoWindow()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(u"List.txt"_s);
        QVERIFY(makeUnreadable(kind, path));

        start();
        const QString message = waitForWindow(u"liststats"_s);
        QVERIFY2(!message.isEmpty(), "no message window");
        QVERIFY(xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Form1$"_s}).isEmpty());

        xdotool({u"windowfocus"_s, u"--sync"_s, message});
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"Return"_s});
        expectExit(1);
        // The message goes to standard error too, for a user at a terminal.
        QVERIFY2(m_errors.contains(path) && m_errors.contains(reason), qPrintable(m_errors));
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
