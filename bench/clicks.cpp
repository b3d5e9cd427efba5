// Times what a user waits for, in the window as the program builds it: loading List.txt from
// the working directory into the list, then a click on "Mean" and one on "Mode" (the label and
// the selection updated and repainted), and a key typed in the list, which no item starts with
// (the whole list searched). Prints one line of JSON with every repeat's times in ms.
//   liststats-bench-clicks REPEATS   (in the folder holding List.txt; offscreen is enough)

#include "app/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstdio>

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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? QByteArray(argv[1]).toInt() : 3;
    QList<double> load, mean, mode, key;
    QString label;
    for (int i = 0; i < repeats; ++i) {
        Form1 form;
        QElapsedTimer timer;
        timer.start();
        form.loadList();
        load.append(elapsedMs(timer));
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;

        for (auto [button, times] : {std::pair{u"Command1"_s, &mean}, std::pair{u"Command2"_s, &mode}}) {
            timer.restart();
            QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton);
            form.repaint();
            times->append(elapsedMs(timer));
        }
        label = form.findChild<QLabel *>(u"Label1"_s)->text();
        timer.restart();
        QTest::keyClick(form.findChild<QWidget *>(u"List1"_s), Qt::Key_X);
        form.repaint();
        key.append(elapsedMs(timer));
    }
    std::printf("{\"load\": %s, \"mean\": %s, \"mode\": %s, \"key\": %s, \"label\": \"%s\"}\n", qPrintable(join(load)),
                qPrintable(join(mean)), qPrintable(join(mode)), qPrintable(join(key)), qPrintable(label));
    return 0;
}
