// Times what a user waits for, in the window as the program builds it: loading List.txt from
// the working directory into the list; from the window shown to both results, with "Mean" and
// then "Mode" clicked as soon as it shows (the label and the selection updated and repainted);
// then a click on a result already known; and, after the last run, a key typed in the list,
// which no item starts with (the whole list searched). Then as many runs again, for the longest
// the window's thread went without handling its events in each step (a timer on it that should
// fire every millisecond), and at the end the process's peak memory. Prints one line of JSON
// with every repeat's times in ms. With --times-only, only the timed runs: no stalls, no key.
//   liststats-bench-clicks REPEATS [--times-only]   (in the folder holding List.txt; offscreen is enough)

#include "app/form1.h"
#include "runtime/widgets/errorreport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <QTimer>

#include <cstdio>
#include <optional>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QString join(const QList<double> &times)
{
    QStringList texts;
    for (const double time : times)
        texts.append(QString::number(time, 'f', 2));
    return u'[' + texts.join(u", "_s) + u']';
}

// The longest gap between two turns of the window thread's event loop while it runs.
class StallMeter final
{
public:
    StallMeter()
    {
        QObject::connect(&m_ticks, &QTimer::timeout, &m_ticks, [this] { tick(); });
        m_ticks.setTimerType(Qt::PreciseTimer);
        m_ticks.start(1);
        m_clock.start();
        m_last = 0;
    }
    double longestMs()
    {
        tick();
        return double(m_longest) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_ticks;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Loads List.txt into the window; false, with the window's message on stderr, when it cannot.
bool loadList(Form1 &form)
{
    std::optional<QString> failure;
    // Left as the load ends: QTest::qWaitFor looks every 10 ms, which rounded small lists' loads
    // up to 10 ms.
    QEventLoop loading;
    QObject::connect(&form, &Form1::loaded, &loading, &QEventLoop::quit);
    QObject::connect(&form, &Form1::loadFailed, &loading, [&failure, &loading](const RuntimeError &error) {
        failure = errorMessage(error);
        loading.quit();
    });
    form.loadList();
    loading.exec();
    if (failure)
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
    return !failure;
}

// Clicks the button and waits until the window has answered.
bool click(Form1 &form, const QString &button)
{
    QSignalSpy answered(&form, &Form1::answered);
    QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton);
    if (answered.isEmpty() && !answered.wait(600'000))
        return false;
    form.repaint();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? QByteArray(argv[1]).toInt() : 3;
    const int runs = argc > 2 && QByteArray(argv[2]) == "--times-only" ? repeats : 2 * repeats;
    QList<double> load, both, known, loadStall, bothStall, knownStall, keyStall;
    QString label;
    // The meter's timer wakes the window's thread a thousand times a second, and on two busy
    // cores that slowed the clicks it watched by about a tenth: the times come from runs without
    // it, the stalls from as many runs after them, with it.
    for (int run = 0; run < runs; ++run) {
        const bool metered = run >= repeats;
        std::optional<StallMeter> stalls;
        // Times step(), and what the meter saw during it, into times or stallTimes.
        const auto timed = [&](QList<double> &times, QList<double> &stallTimes, auto &&step) {
            if (metered)
                stalls.emplace();
            QElapsedTimer timer;
            timer.start();
            if (!step(timer))
                return false;
            if (metered)
                stallTimes.append(stalls->longestMs());
            else
                times.append(elapsedMs(timer));
            return true;
        };
        Form1 form;
        const auto showAndClickBoth = [&form](QElapsedTimer &timer) {
            form.show();
            if (!QTest::qWaitForWindowExposed(&form))
                return false;
            timer.restart();
            return click(form, u"Command1"_s) && click(form, u"Command2"_s);
        };
        const bool ran = timed(load, loadStall, [&form](QElapsedTimer &) { return loadList(form); })
                         && timed(both, bothStall, showAndClickBoth);
        label = form.findChild<QLabel *>(u"Label1"_s)->text();
        if (!ran || !timed(known, knownStall, [&form](QElapsedTimer &) { return click(form, u"Command1"_s); }))
            return 1;
        // Once, after the last run: waiting a second between runs would let this virtual machine
        // hand the memory the last run freed back to its host (free page reporting), so that each
        // run faulted it in anew, where the reference's runs, back to back, do not.
        if (run + 1 == runs && runs > repeats) {
            stalls.emplace();
            QTest::keyClick(form.findChild<QWidget *>(u"List1"_s), Qt::Key_X);
            QTest::qWait(1000); // long enough for a search of 10,000,000 items
            keyStall.append(stalls->longestMs());
        }
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("{\"load\": %s, \"both\": %s, \"known\": %s, \"load_stall\": %s, \"both_stall\": %s, "
                "\"known_stall\": %s, \"key_stall\": %s, \"maxrss\": %ld, \"label\": \"%s\"}\n",
                qPrintable(join(load)), qPrintable(join(both)), qPrintable(join(known)), qPrintable(join(loadStall)),
                qPrintable(join(bothStall)), qPrintable(join(knownStall)), qPrintable(join(keyStall)), usage.ru_maxrss,
                qPrintable(label));
    return 0;
}
