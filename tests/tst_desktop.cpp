// What a keyboard user, a screen reader and the clipboard get from the window.

#include "app/form1.h"
#include "windowdriver.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>

using namespace Qt::StringLiterals;

class TestDesktop : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(enter(m_dir) && writeList("1\n2\n2\n10\n"_ba)); }

    void shouldNameEveryControlForAScreenReader_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QAccessible::Role>("role");
        QTest::addColumn<QString>("accessibleName");
        QTest::addColumn<QString>("description");

        QTest::newRow("the window") << u"Form1"_s << QAccessible::Window << u"Form1"_s << QString();
        QTest::newRow("List1") << u"List1"_s << QAccessible::List << u"Numbers from List.txt"_s
                               << u"The lines of List.txt, one item each, in file order"_s;
        QTest::newRow("Command1") << u"Command1"_s << QAccessible::Button << u"Mean"_s << u"Shows the mean of the numbers in the list"_s;
        QTest::newRow("Command2") << u"Command2"_s << QAccessible::Button << u"Mode"_s
                                  << u"Shows the most frequent number in the list and how often it occurs"_s;
        QTest::newRow("Command3") << u"Command3"_s << QAccessible::Button << u"Done"_s << u"Ends the program"_s;
        QTest::newRow("Label1") << u"Label1"_s << QAccessible::StaticText << QString() << u"The latest result"_s;
    }
    void shouldNameEveryControlForAScreenReader()
    {
        QFETCH(QString, name);
        QFETCH(QAccessible::Role, role);
        QFETCH(QString, accessibleName);
        QFETCH(QString, description);

        Form1 form;
        QVERIFY(!load(form));
        QAccessibleInterface *const accessible = QAccessible::queryAccessibleInterface(control(form, name));
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), role);
        QCOMPARE(accessible->text(QAccessible::Name), accessibleName);
        QCOMPARE(accessible->text(QAccessible::Description), description);
    }

    void shouldLetAScreenReaderReadTheItems()
    {
        Form1 form;
        QVERIFY(loadAndShow(form));
        QAccessibleInterface *const list = QAccessible::queryAccessibleInterface(control(form, u"List1"_s));
        QAccessibleTableInterface *const table = list->tableInterface();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 4);
        // Exactly its text: the screen reader adds the position where its user asks for it.
        QStringList names;
        for (int row = 0; row < table->rowCount(); ++row)
            names.append(table->cellAt(row, 0)->text(QAccessible::Name));
        QCOMPARE(names, (QStringList{u"1"_s, u"2"_s, u"2"_s, u"10"_s}));
    }

    // A screen reader reads the label by its accessible name, its text. A new result is also
    // announced as it appears: by Qt's announcement where it has one (scripts/check-screen-reader.sh
    // hears it), or else by a notification that takes the result and is shown anew.
    void shouldAnnounceANewResult()
    {
        Form1 form;
        QVERIFY(loadAndShow(form));
        QLabel *const label = control<QLabel>(form, u"Label1"_s);
        QAccessibleInterface *const accessible = QAccessible::queryAccessibleInterface(label);
        QVERIFY(label->accessibleName().isEmpty());
        QWidget *const notification = control(form, u"Announcer"_s);
        QVERIFY(notification);
        QCOMPARE(QAccessible::queryAccessibleInterface(notification)->role(), QAccessible::Notification);
        for (const auto &[button, result] : {std::pair{u"Command1"_s, u"Mean: 3.75"_s}, std::pair{u"Command2"_s, u"Mode: 2 with 2 ocurrances"_s}}) {
            QVERIFY(clickAndDismiss(form, button).isEmpty());
            QCOMPARE(accessible->text(QAccessible::Name), result);
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
            QCOMPARE(QAccessible::queryAccessibleInterface(notification)->text(QAccessible::Name), result);
            QVERIFY(notification->isVisible());
#endif
        }
    }

    void shouldClickTheFocusedButtonFromTheKeyboard_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("label");
        QTest::newRow("Space on Mean") << u"Command1"_s << int(Qt::Key_Space) << u"Mean: 3.75"_s;
        QTest::newRow("Enter on Mean") << u"Command1"_s << int(Qt::Key_Return) << u"Mean: 3.75"_s;
        QTest::newRow("keypad Enter on Mode") << u"Command2"_s << int(Qt::Key_Enter) << u"Mode: 2 with 2 ocurrances"_s;
        QTest::newRow("Space on Mode") << u"Command2"_s << int(Qt::Key_Space) << u"Mode: 2 with 2 ocurrances"_s;
    }
    void shouldClickTheFocusedButtonFromTheKeyboard()
    {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(QString, label);
        Form1 form;
        QVERIFY(loadAndShow(form));
        control(form, button)->setFocus();
        QTest::keyClick(control(form, button), Qt::Key(key));
        QTRY_COMPARE(control<QLabel>(form, u"Label1"_s)->text(), label);
        QCOMPARE(control<ListBox>(form, u"List1"_s)->selectedIndex(), 3);
    }

    void shouldCopyTheResult()
    {
        Form1 form;
        QVERIFY(loadAndShow(form));
        QVERIFY(clickAndDismiss(form, u"Command2"_s).isEmpty());
        QLabel *const label = control<QLabel>(form, u"Label1"_s);

        // With the mouse: a drag across the label selects its text.
        const int line = label->fontMetrics().height() / 2;
        QTest::mousePress(label, Qt::LeftButton, {}, QPoint(1, line));
        QTest::mouseMove(label, QPoint(label->width() - 1, line + 2 * line));
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(label->width() - 1, line + 2 * line));
        QVERIFY(label->hasSelectedText());
        QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), label->selectedText());

        // From the keyboard: tab to the label, select all, copy.
        QGuiApplication::clipboard()->clear();
        control(form, u"Command3"_s)->setFocus();
        QCOMPARE(tabThrough(1), QStringList{u"Label1"_s});
        QTest::keyClick(label, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(label, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Mode: 2 with 2 ocurrances"_s);
    }

    void shouldNeverTrapTheFocus_data()
    {
        addTaggedRows("start", {u"List1"_s, u"Command1"_s, u"Command2"_s, u"Command3"_s, u"Label1"_s});
    }
    void shouldNeverTrapTheFocus()
    {
        QFETCH(QString, start);
        Form1 form;
        QVERIFY(loadAndShow(form));
        QVERIFY(clickAndDismiss(form, u"Command1"_s).isEmpty()); // a result in the label
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            control(form, start)->setFocus();
            const QStringList visited = tabThrough(5, key);
            QCOMPARE(visited.last(), start); // round the whole window
            QCOMPARE(QSet<QString>(visited.cbegin(), visited.cend()).size(), 5);
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
