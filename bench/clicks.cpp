// Times what a user waits for, in the window as the program builds it: loading List.txt from
// the working directory into the list, then a click on "Mean" and one on "Mode" (the label and
// the selection updated and repainted), and a key typed in the list, which no item starts with
// (the whole list searched). Beside each load, click and key, the longest the window's thread went
// without handling its events (a timer on it that should fire every millisecond), and at the
// end the process's peak memory. Prints one line of JSON with every repeat's times in ms.
//   liststats-bench-clicks REPEATS   (in the folder holding List.txt; offscreen is enough)

#include "app/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <QTimer>

#include <cstdio>

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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? QByteArray(argv[1]).toInt() : 3;
    QList<double> load, mean, mode, key, loadStall, meanStall, modeStall, keyStall;
    QString label;
    for (int i = 0; i < repeats; ++i) {
        Form1 form;
        QElapsedTimer timer;
        timer.start();
        {
            StallMeter stalls;
            if (!form.loadList())
                return 1;
            load.append(elapsedMs(timer));
            loadStall.append(stalls.longestMs());
        }
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;

        const struct
        {
            QString button;
            QList<double> *times, *stalls;
        } clicks[] = {{u"Command1"_s, &mean, &meanStall}, {u"Command2"_s, &mode, &modeStall}};
        for (const auto &[button, times, stalls] : clicks) {
            StallMeter meter;
            timer.restart();
            QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton);
            form.repaint();
            times->append(elapsedMs(timer));
            stalls->append(meter.longestMs());
        }
        label = form.findChild<QLabel *>(u"Label1"_s)->text();
        StallMeter meter;
        timer.restart();
        QTest::keyClick(form.findChild<QWidget *>(u"List1"_s), Qt::Key_X);
        form.repaint();
        key.append(elapsedMs(timer));
        keyStall.append(meter.longestMs());
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("{\"load\": %s, \"mean\": %s, \"mode\": %s, \"key\": %s, \"load_stall\": %s, \"mean_stall\": %s, "
                "\"mode_stall\": %s, \"key_stall\": %s, \"maxrss\": %ld, \"label\": \"%s\"}\n",
                qPrintable(join(load)), qPrintable(join(mean)), qPrintable(join(mode)), qPrintable(join(key)),
                qPrintable(join(loadStall)), qPrintable(join(meanStall)), qPrintable(join(modeStall)), qPrintable(join(keyStall)), usage.ru_maxrss,
                qPrintable(label));
    return 0;
}
