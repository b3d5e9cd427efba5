#include "app/form1.h"
#include "runtime/core/job.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "runtime/widgets/errorreport.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/progress.h"
#include "memorylimit.h"
#include "windowdriver.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QLabel>
#include <QProgressDialog>
#include <QSet>

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

private Q_SLOTS:
    void initTestCase() { QVERIFY(enter(m_dir)); }
    void cleanup() { QFile::remove(u"List.txt"_s); }

    void shouldStartAsAnEmptyWindowWithFocusOnTheList()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.windowTitle(), u"Form1"_s);
        QCOMPARE(form.size(), QSize(312, 213));
        auto *const list = control<ListBox>(form, u"List1"_s);
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(list->selectedIndex(), -1);
        QVERIFY(control<QLabel>(form, u"Label1"_s)->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), list);
    }

    void shouldMoveFocusInTabOrder()
    {
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n"_ba));
        // The label joins the order once it holds a result: empty, it would be a silent stop.
        QCOMPARE(tabThrough(4), (QStringList{u"Command1"_s, u"Command2"_s, u"Command3"_s, u"List1"_s}));
        // Tabbing into the list neither selects nor changes anything.
        QCOMPARE(control<ListBox>(form, u"List1"_s)->selectedIndex(), -1);
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
        QCOMPARE(tabThrough(4), (QStringList{u"Command2"_s, u"Command3"_s, u"Label1"_s, u"List1"_s})); // from Mean, clicked
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
        const QImage image(u"" ICONS_DIR "/%1.xpm"_s.arg(file));
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
        QVERIFY(writeList("3\r\n\r\n-1.5\r\nabc\r\n  7  "_ba));
        Form1 form;
        QVERIFY(!load(form));
        auto *const list = control<ListBox>(form, u"List1"_s);
        QCOMPARE(texts(list->items()), (QStringList{u"3"_s, QString(), u"-1.5"_s, u"abc"_s, u"  7  "_s}));
        QCOMPARE(list->itemCount(), 5);
        QCOMPARE(list->model()->data(list->model()->index(4, 0)).toString(), u"  7  "_s);
        QCOMPARE(list->selectedIndex(), -1);
    }

    void shouldReportAMissingFileAndStayEmpty()
    {
        Form1 form;
        const std::optional<RuntimeError> error = load(form);
        QVERIFY(error);
        QCOMPARE(error->kind(), RuntimeError::Kind::fileAccessFailed);
        QVERIFY2(errorMessage(*error).contains(QDir::current().absoluteFilePath(u"List.txt"_s)), qPrintable(errorMessage(*error)));
        QCOMPARE(control<ListBox>(form, u"List1"_s)->itemCount(), 0);
    }

    // Once on the screen, the window works the statistics out by itself: the first click finds
    // them known and is answered during the click.
    void shouldComputeBeforeTheFirstClick()
    {
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n"_ba));
        QTRY_VERIFY(!form.findChild<QFutureWatcherBase *>()); // no job left running
        QSignalSpy answered(&form, &Form1::answered);
        QTest::mouseClick(control<QPushButton>(form, u"Command2"_s), Qt::LeftButton);
        QCOMPARE(answered.count(), 1);
    }

    void shouldKeepTheLabelWhenAClickFails()
    {
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n"_ba));
        auto *const list = control<ListBox>(form, u"List1"_s);
        auto *const label = control<QLabel>(form, u"Label1"_s);
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
        QCOMPARE(label->text(), u"Mean: 1.5"_s);

        list->setItems(linesOf({u"1"_s, u"2"_s, u"1e100001"_s}));
        QVERIFY(!clickAndDismiss(form, u"Command2"_s).isEmpty());
        QCOMPARE(label->text(), u"Mean: 1.5"_s);
        QCOMPARE(list->selectedIndex(), 2);

        // The window still answers.
        QVERIFY(!clickAndDismiss(form, u"Command1"_s).isEmpty());
        QCOMPARE(list->selectedIndex(), 2);
    }

    void shouldReportRunningOutOfMemoryAndKeepTheWindow()
    {
        LISTSTATS_SKIP_UNDER_MEMORY_LIMIT;
        const QByteArray distinct = numberLines(3'000'000);
        Form1 form;
        QVERIFY(loadAndShow(form, distinct));
        auto *const label = control<QLabel>(form, u"Label1"_s);
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
        QString message;
        {
            control<ListBox>(form, u"List1"_s)->setItems(Lines::fromUtf8(distinct + "3000000\n")); // new items: worked out again
            const MemoryLimit limit(40 << 20); // room for a thread, not for the table of 3,000,001 values
            QVERIFY(limit.isSet());
            QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
            message = clickAndDismiss(form, u"Command2"_s);
        }
        QCOMPARE(message, u"Not enough memory to compute the mode."_s);
        QCOMPARE(label->text(), u"Mean: 1500000"_s);
        QVERIFY(clickAndDismiss(form, u"Command2"_s).isEmpty());
        QCOMPARE(label->text(), u"Mode: 0 with 1 ocurrances"_s);
    }

    // Long work: after a moment a dialog shows its progress, not modal, and every way of
    // dismissing it cancels at once, even while the work ignores its task; a cancelled job's
    // result is dropped.
    void shouldShowProgressOfLongWork_data()
    {
        addTaggedRows("end", {u"work finishes"_s, u"Cancel clicked"_s, u"Esc pressed"_s, u"dialog closed"_s});
    }
    void shouldShowProgressOfLongWork()
    {
        QFETCH(QString, end);
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto task = std::make_shared<Task>(1);
        auto release = std::make_shared<std::atomic<bool>>(false);
        Progress progress(&window, u"Working\u2026"_s, task);
        QSignalSpy shown(&progress, &Progress::shown), cancelled(&progress, &Progress::cancelled);
        connect(&progress, &Progress::cancelled, &window, [&task] { task->cancel(); });
        int result = 0;
        startJob(&window, task, [release](Task &work) {
            work.setTotal(100);
            work.advance(40);
            while (!*release) // deaf to its task, as a GMP call is
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 7;
        }, [&result](const Outcome<int> &outcome) { result = std::get<int>(outcome); });

        QVERIFY(shown.wait());
        auto *const dialog = window.findChild<QProgressDialog *>();
        QVERIFY(dialog);
        QCOMPARE(dialog->labelText(), u"Working\u2026"_s);
        QTRY_COMPARE(dialog->value(), 40);
        QVERIFY(!dialog->isModal());
        QTRY_COMPARE(QApplication::focusWidget(), progress.cancelButton());
        if (end == u"work finishes") {
            *release = true;
            QTRY_COMPARE(result, 7);
            return;
        }
        if (end == u"Cancel clicked")
            QTest::mouseClick(progress.cancelButton(), Qt::LeftButton);
        else if (end == u"Esc pressed")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
        QTRY_COMPARE_WITH_TIMEOUT(cancelled.count(), 1, 100); // while the work still runs
        QVERIFY(task->isCancelled());
        *release = true;
        QTest::qWait(50);
        QCOMPARE(result, 0);
    }

    // A click before the pass has ended waits for it: after a quarter of a second its progress
    // shows and Mean and Mode are closed. Meanwhile a screen reader's press of Mean is refused;
    // Esc (in the progress or in the window) stops the wait at once and leaves the label and the
    // selection as they were; Done, clicked through the window system where modality would
    // apply, and closing the window end the program with status 0.
    void shouldWaitForThePass_data()
    {
        addTaggedRows("end", {u"answered"_s, u"Esc in the progress"_s, u"Esc in the window"_s, u"Done clicked"_s, u"window closed"_s});
    }
    void shouldWaitForThePass()
    {
        QFETCH(QString, end);
        QByteArray longNumbers; // distinct values of 40 digits: a pass that takes a while
        for (int i = 0; i < 1'000'000; ++i)
            longNumbers += "1000000000000000000000000000000" + QByteArray::number(100'000'000 + i) + '\n';
        QVERIFY(writeList(longNumbers));
        Form1 form;
        QVERIFY(!load(form));
        auto *const list = form.findChild<ListBox *>();
        auto *const label = control<QLabel>(form, u"Label1"_s);
        auto *const mean = control<QPushButton>(form, u"Command1"_s);
        auto *const mode = control<QPushButton>(form, u"Command2"_s);
        list->setSelectedIndex(5);
        form.show(); // the pass starts
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy answered(&form, &Form1::answered);
        mode->setFocus();
        QTest::keyClick(mode, Qt::Key_Space);
        QAccessible::queryAccessibleInterface(mean)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(form.findChild<QProgressDialog *>() && !mean->isEnabled() && !mode->isEnabled() && !list->isEnabled());
        auto *const dialog = form.findChild<QProgressDialog *>();
        QCOMPARE(dialog->labelText(), u"Computing the mode\u2026"_s);
        QVERIFY(!dialog->isModal());
        QVERIFY(!form.focusWidget()); // a key held down reaches no button of the window
        QAccessible::queryAccessibleInterface(mean)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());

        if (end == u"answered") {
            QVERIFY(answered.wait(60'000));
            QCOMPARE(label->text(), u"Mode: 1e+39 with 1 ocurrances"_s);
            QTest::qWait(50);
            QCOMPARE(answered.count(), 1); // Mean was refused
            QCOMPARE(list->selectedIndex(), 999'999);
            QCOMPARE(QApplication::focusWidget(), mode);
            return;
        }
        if (end.startsWith(u"Esc")) {
            QTest::keyClick(end == u"Esc in the progress" ? static_cast<QWidget *>(dialog) : &form, Qt::Key_Escape);
            QTRY_COMPARE_WITH_TIMEOUT(mode->isEnabled(), true, 100);
            QVERIFY(mean->isEnabled() && list->isEnabled());
            QVERIFY(!form.findChild<QProgressDialog *>());
            QCOMPARE(QApplication::focusWidget(), mode);
            QCOMPARE(label->text(), QString());
            QCOMPARE(list->selectedIndex(), 5);
            QTest::qWait(50);
            QCOMPARE(answered.count(), 0);
            return;
        }
        QTimer::singleShot(0, &form, [&] {
            if (end == u"Done clicked")
                QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, control(form, u"Command3"_s)->geometry().center());
            else
                form.close();
        });
        QTimer::singleShot(20'000, qApp, [] { QCoreApplication::exit(99); });
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE_LT(timer.elapsed(), 100);
    }

    // The file is opened by its name in the working folder, whose own name may be in no encoding.
    void shouldReadTheListInAFolderNamedInNoEncoding()
    {
        const QByteArray folder = QFile::encodeName(m_dir.path()) + "/caf\xE9";
        QCOMPARE(::mkdir(folder.constData(), 0700), 0);
        QCOMPARE(::chdir(folder.constData()), 0);
        QVERIFY(writeList("1\n2\n"_ba));
        Form1 form;
        QVERIFY(!load(form));
        QCOMPARE(control<ListBox>(form, u"List1"_s)->itemCount(), 2);
        QVERIFY(enter(m_dir));
    }

    // Both ways out run the application's own event loop, as main() does.
    void shouldEndWithStatusZeroOnDone()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTimer::singleShot(0, &form, [&form] {
            QTest::mouseClick(control(form, u"Command3"_s), Qt::LeftButton);
        });
        QTimer::singleShot(10'000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
