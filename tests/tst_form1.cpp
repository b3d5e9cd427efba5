#include "app/form1.h"
#include "runtime/background.h"
#include "runtime/listbox.h"
#include "runtime/runtimeerror.h"
#include "runtime/task.h"
#include "memorylimit.h"
#include "windowdriver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestForm1 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void writeList(const QByteArray &bytes) { QVERIFY(::writeList(bytes)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanup() { QFile::remove(u"List.txt"_s); }

    void shouldPlaceControls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("geometry");

        QTest::newRow("List1") << u"List1"_s << u"ListBox"_s << QString() << QRect(8, 8, 113, 199);
        QTest::newRow("Command1") << u"Command1"_s << u"QPushButton"_s << u"Mean"_s << QRect(224, 8, 81, 33);
        QTest::newRow("Command2") << u"Command2"_s << u"QPushButton"_s << u"Mode"_s << QRect(224, 56, 81, 33);
        QTest::newRow("Command3") << u"Command3"_s << u"QPushButton"_s << u"Done"_s << QRect(224, 176, 81, 33);
        QTest::newRow("Label1") << u"Label1"_s << u"QLabel"_s << QString() << QRect(136, 104, 169, 57);
    }
    void shouldPlaceControls()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QRect, geometry);

        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *const control = form.findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->property("text").toString(), text);

        // Resizing the window moves and resizes nothing.
        form.resize(640, 480);
        QTRY_COMPARE(form.size(), QSize(640, 480));
        QCOMPARE(control->geometry(), geometry);
    }

    void shouldStartAsAnEmptyWindowWithFocusOnTheList()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.windowTitle(), u"Form1"_s);
        QCOMPARE(form.size(), QSize(312, 213));
        auto *const list = form.findChild<ListBox *>(u"List1"_s);
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(list->selectedIndex(), -1);
        QVERIFY(form.findChild<QLabel *>(u"Label1"_s)->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), list);
    }

    void shouldMoveFocusInTabOrder()
    {
        Form1 form;
        writeList("1\n2\n"_ba);
        form.loadList();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // The label joins the order once it holds a result: empty, it would be a silent stop.
        const QStringList order{u"Command1"_s, u"Command2"_s, u"Command3"_s, u"List1"_s};
        for (const QString &name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        // Tabbing into the list neither selects nor changes anything.
        QCOMPARE(form.findChild<ListBox *>(u"List1"_s)->selectedIndex(), -1);
        QVERIFY(clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)).isEmpty());
        for (const QString &name : {u"Command2"_s, u"Command3"_s, u"Label1"_s, u"List1"_s}) { // from Mean, clicked
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
    }

    void shouldCarryTheIconInThreeImages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("colours");
        QTest::newRow("32x32, two colours") << u"liststats-32-mono"_s << 32 << 2;
        QTest::newRow("32x32, sixteen colours") << u"liststats-32"_s << 32 << 16;
        QTest::newRow("16x16, sixteen colours") << u"liststats-16"_s << 16 << 16;
    }
    void shouldCarryTheIconInThreeImages()
    {
        QFETCH(QString, file);
        QFETCH(int, size);
        QFETCH(int, colours);
        const QImage image(u":/icons/%1.xpm"_s.arg(file));
        QCOMPARE(image.size(), QSize(size, size));
        QSet<QRgb> opaque;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (qAlpha(image.pixel(x, y)) == 255)
                    opaque.insert(image.pixel(x, y));
        QVERIFY2(opaque.size() <= colours, qPrintable(QString::number(opaque.size())));

        Form1 form;
        const QIcon icon = form.windowIcon();
        const QIcon::Mode mode = colours == 2 ? QIcon::Disabled : QIcon::Normal;
        QVERIFY(icon.availableSizes(mode).contains(QSize(size, size)));
        QCOMPARE(icon.pixmap(QSize(size, size), mode).toImage().convertToFormat(QImage::Format_ARGB32),
                 image.convertToFormat(QImage::Format_ARGB32));
    }

    void shouldLoadTheListInFileOrder()
    {
        writeList("3\r\n\r\n-1.5\r\nabc\r\n  7  "_ba);
        Form1 form;
        form.loadList();
        auto *const list = form.findChild<ListBox *>(u"List1"_s);
        QCOMPARE(itemTexts(*list), (QStringList{u"3"_s, QString(), u"-1.5"_s, u"abc"_s, u"  7  "_s}));
        QCOMPARE(list->itemCount(), 5);
        QCOMPARE(list->model()->data(list->model()->index(4, 0)).toString(), u"  7  "_s);
        QCOMPARE(list->selectedIndex(), -1);
    }

    void shouldReportAMissingFileAndStayEmpty()
    {
        Form1 form;
        try {
            form.loadList();
            QFAIL("no error thrown");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.kind(), RuntimeError::Kind::fileAccessFailed);
            QVERIFY2(error.message().contains(QDir::current().absoluteFilePath(u"List.txt"_s)),
                     qPrintable(error.message()));
        }
        QCOMPARE(form.findChild<ListBox *>(u"List1"_s)->itemCount(), 0);
    }

    void shouldKeepTheLabelWhenAClickFails()
    {
        writeList("1\n2\n"_ba);
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const list = form.findChild<ListBox *>(u"List1"_s);
        auto *const label = form.findChild<QLabel *>(u"Label1"_s);
        QVERIFY(clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)).isEmpty());
        QCOMPARE(label->text(), u"Mean: 1.5"_s);

        list->appendItem(u"1e100001");
        QVERIFY(!clickAndDismiss(form.findChild<QPushButton *>(u"Command2"_s)).isEmpty());
        QCOMPARE(label->text(), u"Mean: 1.5"_s);
        QCOMPARE(list->selectedIndex(), 2);

        // The window still answers.
        QVERIFY(!clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)).isEmpty());
        QCOMPARE(list->selectedIndex(), 2);
    }

    void shouldReportRunningOutOfMemoryAndKeepTheWindow()
    {
        LISTSTATS_SKIP_UNDER_MEMORY_LIMIT;
        QByteArray distinct;
        for (int i = 0; i < 3'000'000; ++i)
            distinct += QByteArray::number(i) + '\n';
        writeList(distinct);
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const label = form.findChild<QLabel *>(u"Label1"_s);
        QVERIFY(clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)).isEmpty());
        QString message;
        {
            const MemoryLimit limit(40 << 20); // room for a thread, not for the table of 3,000,000 values
            QVERIFY(limit.isSet());
            message = clickAndDismiss(form.findChild<QPushButton *>(u"Command2"_s));
        }
        QCOMPARE(message, u"Not enough memory to compute the mode."_s);
        QCOMPARE(label->text(), u"Mean: 1499999.5"_s);
        QVERIFY(clickAndDismiss(form.findChild<QPushButton *>(u"Command2"_s)).isEmpty());
        QCOMPARE(label->text(), u"Mode: 0 with 1 ocurrances"_s);
    }

    // Long work: after a moment a dialog shows its progress, modal over the window, and every
    // way of dismissing it cancels the work; the window takes no click meanwhile, but Done.
    void shouldShowProgressOfLongWork_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("finished");
        QTest::newRow("work finishes") << u"release"_s << true;
        QTest::newRow("Cancel clicked") << u"cancel"_s << false;
        QTest::newRow("Esc pressed") << u"escape"_s << false;
        QTest::newRow("dialog closed") << u"close"_s << false;
        QTest::newRow("Esc in the window") << u"escape in window"_s << false;
    }
    void shouldShowProgressOfLongWork()
    {
        QFETCH(QString, end);
        QFETCH(bool, finished);
        QWidget window;
        auto *const other = new QPushButton(u"Other"_s, &window);
        auto *const exempt = new QPushButton(u"Done"_s, &window);
        exempt->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy otherClicked(other, &QPushButton::clicked), exemptClicked(exempt, &QPushButton::clicked);

        Task task(1);
        std::atomic<bool> release = false;
        QString seen;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, &window, [&] {
            auto *const dialog = window.findChild<QProgressDialog *>();
            if (end == u"escape in window" && seen.isEmpty()) {
                seen = u"none"_s;
                QTest::mouseClick(other, Qt::LeftButton);
                QTest::mouseClick(exempt, Qt::LeftButton);
                QTest::keyClick(other, Qt::Key_Escape);
            }
            if (!dialog || !dialog->isActiveWindow() || !seen.isEmpty() || dialog->value() != 40)
                return;
            seen = u"%1 %2%3"_s.arg(dialog->labelText()).arg(dialog->value()).arg(dialog->isModal() ? u" modal"_s : QString());
            QTest::mouseClick(other, Qt::LeftButton);
            if (end == u"release")
                release = true;
            else if (end == u"cancel")
                QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            else if (end == u"escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        watcher.start(10);
        QTimer::singleShot(20'000, &window, [&release] { release = true; }); // no dialog came up
        const bool result = runInBackground(&window, exempt, u"Working\u2026"_s, task, [&] {
            task.setTotal(100);
            task.advance(40);
            while (!release) {
                task.check();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        QCOMPARE(result, finished);
        QCOMPARE(seen, end == u"escape in window" ? u"none"_s : u"Working\u2026 40 modal"_s);
        QCOMPARE(otherClicked.count(), 0);
        QCOMPARE(exemptClicked.count(), end == u"escape in window" ? 1 : 0);
        QVERIFY(window.findChildren<QProgressDialog *>().isEmpty());
    }

    // A long click stopped, by Esc on its progress dialog or by Done, leaves the label and the
    // selection as they were; Done ends the program as well.
    void shouldStopALongClick_data()
    {
        QTest::addColumn<bool>("done");
        QTest::newRow("Esc") << false;
        QTest::newRow("Done") << true;
    }
    void shouldStopALongClick()
    {
        QFETCH(bool, done);
        QByteArray longNumbers; // distinct values of 40 digits: a mode that takes a while
        for (int i = 0; i < 1'000'000; ++i)
            longNumbers += "1000000000000000000000000000000" + QByteArray::number(100'000'000 + i) + '\n';
        writeList(longNumbers);
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const list = form.findChild<ListBox *>();
        list->setSelectedIndex(5);
        bool stopped = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, &form, [&] {
            if (auto *const dialog = form.findChild<QProgressDialog *>(); dialog && dialog->isActiveWindow() && !stopped) {
                stopped = dialog->labelText() == u"Computing the mode\u2026";
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
        });
        auto *const mode = form.findChild<QPushButton *>(u"Command2"_s);
        if (done) {
            QTimer::singleShot(0, &form, [&] {
                QTimer::singleShot(100, &form, [&] {
                    stopped = true;
                    QTest::mouseClick(form.findChild<QPushButton *>(u"Command3"_s), Qt::LeftButton);
                });
                QTest::mouseClick(mode, Qt::LeftButton);
            });
            QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(99); });
            QCOMPARE(QApplication::exec(), 0);
        } else {
            watcher.start(10);
            QTest::mouseClick(mode, Qt::LeftButton);
        }
        QVERIFY(stopped);
        QCOMPARE(form.findChild<QLabel *>(u"Label1"_s)->text(), QString());
        QCOMPARE(list->selectedIndex(), 5);
    }

    // The file is opened by its name in the working folder, whose own name may be in no encoding.
    void shouldReadTheListInAFolderNamedInNoEncoding()
    {
        const QByteArray folder = QFile::encodeName(m_dir.path()) + "/caf\xE9";
        QCOMPARE(::mkdir(folder.constData(), 0700), 0);
        QCOMPARE(::chdir(folder.constData()), 0);
        writeList("1\n2\n"_ba);
        Form1 form;
        form.loadList();
        QCOMPARE(form.findChild<ListBox *>(u"List1"_s)->itemCount(), 2);
        QFile::remove(u"List.txt"_s);
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    // Both ways out run the application's own event loop, as main() does.
    void shouldEndWithStatusZeroOnDone()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTimer::singleShot(0, &form, [&form] {
            QTest::mouseClick(form.findChild<QPushButton *>(u"Command3"_s), Qt::LeftButton);
        });
        QTimer::singleShot(10'000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void shouldEndWhenTheWindowCloses()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, &form, &QWidget::close);
        QTimer::singleShot(10'000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(lastClosed.count(), 1);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
