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
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
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

    // Asks the window for a new list one way: from new.txt in the working folder, the clipboard,
    // or as the user gives up on one.
    static void askForAList(Form1 &form, const QString &way)
    {
        const QString file = QDir::current().absoluteFilePath(u"new.txt"_s);
        const auto drop = [&form](const QList<QUrl> &urls, const QString &text = {}) {
            QMimeData data;
            if (!urls.isEmpty())
                data.setUrls(urls);
            if (!text.isEmpty())
                data.setText(text);
            // As a drag ends: entered, then dropped.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&form, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&form, &event);
        };
        if (way == u"choose" || way == u"cancel chooser") {
            QTest::keyClick(form.windowHandle(), Qt::Key_O, Qt::ControlModifier);
            auto *const chooser = form.findChild<QFileDialog *>();
            QVERIFY(chooser && chooser->isVisible());
            QCOMPARE(chooser->directory(), QDir::current());
            QCOMPARE(chooser->nameFilters(), (QStringList{u"Text files (*.txt)"_s, u"All files (*)"_s}));
            if (way == u"choose") {
                QTRY_VERIFY(chooser->focusWidget()); // the file name's field
                QTest::keyClicks(chooser->focusWidget(), file);
                QTest::keyClick(chooser->focusWidget(), Qt::Key_Return);
            } else {
                chooser->reject();
            }
        } else if (way == u"drop file") {
            drop({QUrl::fromLocalFile(file)});
        } else if (way == u"drop both") {
            drop({QUrl::fromLocalFile(file)}, u"100"_s);
        } else if (way == u"drop text") {
            drop({}, QGuiApplication::clipboard()->text());
        } else if (way == u"drop missing" || way == u"paste under a message") {
            drop({QUrl::fromLocalFile(QDir::current().absoluteFilePath(u"missing.txt"_s))});
        } else if (way == u"drop folder") {
            drop({QUrl::fromLocalFile(QDir::currentPath())});
        } else if (way == u"drop two") {
            drop({QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)});
        } else if (way == u"drop remote") {
            drop({QUrl(u"https://example.invalid/List.txt"_s)});
        } else if (way == u"cancel load") {
            // A pipe that nobody writes to: the load waits until it is cancelled.
            const QString fifo = QDir::current().absoluteFilePath(u"fifo"_s);
            QFile::remove(fifo);
            QVERIFY(makeUnreadable(u"fifo"_s, fifo));
            drop({QUrl::fromLocalFile(fifo)});
            QTRY_VERIFY(form.findChild<QProgressDialog *>());
            QTest::keyClick(form.findChild<QProgressDialog *>(), Qt::Key_Escape);
        } else if (way == u"Ctrl+V" || way == u"paste nothing") {
            QTest::keyClick(form.windowHandle(), Qt::Key_V, Qt::ControlModifier);
        } else if (way == u"Shift+Insert") {
            QTest::keyClick(form.windowHandle(), Qt::Key_Insert, Qt::ShiftModifier);
        } else if (way == u"menu paste") {
            auto *const list = control<ListBox>(form, u"List1"_s);
            list->setFocus();
            QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
            auto *const menu = form.findChild<QMenu *>();
            QVERIFY(menu && menu->isVisible());
            for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
                QTest::keyClick(menu, key);
        } else {
            QFAIL("no such way");
        }
    }

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
            // Room for a thread, not for the records of 3,000,001 values: about 25 MiB of them.
            const MemoryLimit limit(20 << 20);
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
    // shows and Mean, Mode and the ways to a new list are closed. Meanwhile a screen reader's press of Mean is refused;
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
        for (const QAction *const action : form.actions())
            QVERIFY2(!action->isEnabled(), qPrintable(action->text())); // no new list meanwhile
        QAccessible::queryAccessibleInterface(mean)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());

        if (end == u"answered") {
            QVERIFY(answered.wait(60'000));
            QCOMPARE(label->text(), u"Mode: 1e+39 with 1 ocurrances"_s);
            QTest::qWait(50);
            QCOMPARE(answered.count(), 1); // Mean was refused
            QVERIFY(form.actions().first()->isEnabled());
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

    // A new list replaces the one shown, whichever way it comes: its items, none selected, the
    // label empty, the focus on the list, which a screen reader names by the source; and its
    // statistics are worked out anew.
    void shouldReplaceTheList_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("content"); // of new.txt, the dropped text and the clipboard
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mean");
        QTest::newRow("file chosen with Ctrl+O") << u"choose"_s << "4\n5\n"_ba << QStringList{u"4"_s, u"5"_s} << u"new.txt"_s << u"4.5"_s;
        QTest::newRow("file dropped") << u"drop file"_s << "7"_ba << QStringList{u"7"_s} << u"new.txt"_s << u"7"_s;
        QTest::newRow("file and text dropped: the file wins") << u"drop both"_s << "7"_ba << QStringList{u"7"_s} << u"new.txt"_s << u"7"_s;
        QTest::newRow("text dropped") << u"drop text"_s << "1\n\n"_ba << QStringList{u"1"_s, QString()} << u"the dropped text"_s
                                      << QString();
        QTest::newRow("pasted with Ctrl+V") << u"Ctrl+V"_s << "-3\n3\n3"_ba << QStringList{u"-3"_s, u"3"_s, u"3"_s} << u"the clipboard"_s << u"1"_s;
        QTest::newRow("spreadsheet column pasted with Shift+Insert")
            << u"Shift+Insert"_s << "10\r\n20\r\n"_ba << QStringList{u"10"_s, u"20"_s} << u"the clipboard"_s << u"15"_s;
        QTest::newRow("pasted from the context menu") << u"menu paste"_s << "2"_ba << QStringList{u"2"_s} << u"the clipboard"_s << u"2"_s;
    }
    void shouldReplaceTheList()
    {
        QFETCH(QString, way);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, items);
        QFETCH(QString, name);
        QFETCH(QString, mean);
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n"_ba));
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
        QVERIFY(writeFile(u"new.txt"_s, content));
        QGuiApplication::clipboard()->setText(QString::fromUtf8(content));
        control(form, u"Command2"_s)->setFocus();

        QSignalSpy loaded(&form, &Form1::loaded);
        askForAList(form, way);
        QTRY_COMPARE(loaded.count(), 1);
        auto *const list = control<ListBox>(form, u"List1"_s);
        auto *const label = control<QLabel>(form, u"Label1"_s);
        QCOMPARE(texts(list->items()), items);
        QCOMPARE(list->selectedIndex(), -1);
        QCOMPARE(label->text(), QString());
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        QCOMPARE(form.focusWidget(), list);
        QCOMPARE(list->accessibleName(), u"Numbers from "_s + name);
        const QString message = clickAndDismiss(form, u"Command1"_s);
        QCOMPARE(mean.isEmpty() ? message : label->text(), mean.isEmpty() ? blank(2) : u"Mean: "_s + mean);
    }

    // A new list that cannot be had leaves the list, the label and the selection as they were:
    // with a message that says why, or none when the user cancelled. While a message shows, the
    // window takes no new list: the keys go through the window system, where modality applies.
    void shouldKeepTheListWhenANewOneFails_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("message"); // what it begins with; empty for none
        QTest::newRow("missing file dropped") << u"drop missing"_s << u"Cannot read the list file \""_s;
        QTest::newRow("folder dropped") << u"drop folder"_s << u"Cannot read the list file"_s;
        QTest::newRow("two files dropped") << u"drop two"_s << u"Drop one file at a time"_s;
        QTest::newRow("remote address dropped") << u"drop remote"_s << u"Only a file on this computer"_s;
        QTest::newRow("clipboard without text") << u"paste nothing"_s << QString();
        QTest::newRow("chooser cancelled") << u"cancel chooser"_s << QString();
        QTest::newRow("load cancelled") << u"cancel load"_s << QString();
        QTest::newRow("Ctrl+V while a message shows") << u"paste under a message"_s << u"Cannot read the list file \""_s;
    }
    void shouldKeepTheListWhenANewOneFails()
    {
        QFETCH(QString, way);
        QFETCH(QString, message);
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n"_ba));
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty());
        QGuiApplication::clipboard()->setText(u"5\n6\n"_s);
        if (way == u"paste nothing")
            QGuiApplication::clipboard()->clear();
        QSignalSpy loaded(&form, &Form1::loaded);

        askForAList(form, way);
        if (!message.isEmpty()) {
            QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
            auto *const box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY2(box->text().startsWith(message), qPrintable(box->text()));
            if (way == u"paste under a message")
                QTest::keyClick(form.windowHandle(), Qt::Key_V, Qt::ControlModifier);
            box->done(QMessageBox::Ok);
        }
        QTest::qWait(300);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(loaded.count(), 0);
        auto *const list = control<ListBox>(form, u"List1"_s);
        QCOMPARE(texts(list->items()), (QStringList{u"1"_s, u"2"_s}));
        QCOMPARE(list->selectedIndex(), 1);
        QCOMPARE(control<QLabel>(form, u"Label1"_s)->text(), u"Mean: 1.5"_s);
        QCOMPARE(list->accessibleName(), u"Numbers from List.txt"_s);
    }

    // The list's context menu opens from the keyboard at the current item, and shows the
    // shortcuts of its entries.
    void shouldOpenTheListMenuFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    }
    void shouldOpenTheListMenuFromTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Form1 form;
        QVERIFY(loadAndShow(form, "1\n2\n3\n"_ba));
        auto *const list = control<ListBox>(form, u"List1"_s);
        list->setSelectedIndex(1);
        QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QMenu *const menu = form.findChild<QMenu *>();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList entries;
        for (const QAction *const action : menu->actions()) {
            QVERIFY(action->isEnabled() && action->isShortcutVisibleInContextMenu());
            entries.append(action->text() + u' ' + action->shortcut().toString());
        }
        QCOMPARE(entries, (QStringList{u"Open a list\u2026 Ctrl+O"_s, u"Paste a list Ctrl+V"_s}));
        const QRect item = list->visualRect(list->model()->index(1, 0));
        QCOMPARE(menu->pos(), list->viewport()->mapToGlobal(item.bottomLeft()));
        menu->close();
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
