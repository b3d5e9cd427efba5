#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/listbox.h"
#include "testhelpers.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Shows the list holding the lines of this text, at the size Form1 gives it; false if it never
// appears.
[[nodiscard]] bool show(ListBox &list, const QByteArray &text)
{
    list.resize(113, 199);
    list.setItems(Lines::fromUtf8(text));
    list.show();
    return QTest::qWaitForWindowExposed(&list);
}

} // namespace

class TestListBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shouldSelectOnlyPositionsInsideTheList_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("valid");
        QTest::newRow("first") << 0 << true;
        QTest::newRow("last") << 2 << true;
        QTest::newRow("before the first") << -1 << false;
        QTest::newRow("past the last") << 3 << false;
    }
    void shouldSelectOnlyPositionsInsideTheList()
    {
        QFETCH(int, position);
        QFETCH(bool, valid);
        ListBox list;
        list.setItems(linesOf({u"a"_s, u"b"_s, u"c"_s}));
        list.setSelectedIndex(1);
        try {
            list.setSelectedIndex(position);
            QVERIFY(valid);
            QCOMPARE(list.selectedIndex(), position);
            QCOMPARE(list.selectedText(), QString(QChar(u'a' + position)));
        } catch (const RuntimeError &error) {
            QVERIFY(!valid);
            QCOMPARE(error.kind(), RuntimeError::Kind::controlCallFailed);
            QCOMPARE(list.selectedIndex(), 1); // the failed call changed nothing
        }
    }

    void shouldShowTheStartOfAVeryLongLine()
    {
        ListBox list;
        const QString longLine(100'000, u'7');
        list.setItems(linesOf({longLine}));
        const QString shown = list.model()->data(list.model()->index(0, 0)).toString();
        QVERIFY(shown.size() < 2000);
        QVERIFY(shown.startsWith(u"7777"));
        // Other programs reading the list through accessibility get what it shows.
        QCOMPARE(QAccessible::queryAccessibleInterface(&list)->tableInterface()->cellAt(0, 0)->text(QAccessible::Name), shown);
        list.setSelectedIndex(0);
        QCOMPARE(list.selectedText(), longLine);
    }

    void shouldMoveTheSelectionWithTheKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("selected");
        // Focus puts the current item, unselected, on the first row; down moves on from there.
        QTest::newRow("down from the focused first row") << QList<int>{Qt::Key_Down} << 1;
        QTest::newRow("down, down") << QList<int>{Qt::Key_Down, Qt::Key_Down} << 2;
        QTest::newRow("up stops at the first") << QList<int>{Qt::Key_Down, Qt::Key_Up, Qt::Key_Up} << 0;
        QTest::newRow("end") << QList<int>{Qt::Key_End} << 999;
        QTest::newRow("down stops at the last") << QList<int>{Qt::Key_End, Qt::Key_Down} << 999;
        QTest::newRow("home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
        QTest::newRow("page down moves by a page") << QList<int>{Qt::Key_Home, Qt::Key_PageDown} << -1;
        QTest::newRow("page up from the end") << QList<int>{Qt::Key_End, Qt::Key_PageUp} << -2;
    }
    void shouldMoveTheSelectionWithTheKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, selected);
        ListBox list;
        QVERIFY(show(list, numberLines(1000)));
        for (const int key : keys)
            QTest::keyClick(&list, Qt::Key(key));

        const int page = list.verticalScrollBar()->pageStep();
        QVERIFY(page > 1);
        const int expected = selected == -1 ? page : selected == -2 ? 999 - page : selected;
        QCOMPARE(list.selectedIndex(), expected);
        QVERIFY(list.viewport()->rect().contains(list.visualRect(list.model()->index(expected, 0))));
    }

    void shouldSelectTheNextItemStartingWithWhatIsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("before"); // rows of "-" before the items
        QTest::newRow("a letter, either case") << u"b"_s << 1 << 0;
        QTest::newRow("more letters go on from there") << u"bl"_s << 2 << 0;
        QTest::newRow("one letter again steps on") << u"bb"_s << 2 << 0;
        QTest::newRow("and wraps around") << u"bbb"_s << 1 << 0;
        QTest::newRow("beyond ASCII") << u"\u00E9c"_s << 4 << 0;
        QTest::newRow("no item starts so") << u"z"_s << -1 << 0;
        QTest::newRow("a long list, searched off the window's thread") << u"bl"_s << 100'002 << 100'000;
    }
    void shouldSelectTheNextItemStartingWithWhatIsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(int, selected);
        QFETCH(int, before);
        ListBox list;
        QVERIFY(show(list, QByteArray("-\n").repeated(before) + "apple\nBanana\nblueberry\ncherry\n\xC3\xA9" "clair\n"_ba));
        for (const QChar c : typed) // as key presses deliver them, in quick succession
            list.keyboardSearch(QString(c));
        QTRY_COMPARE(list.selectedIndex(), selected);
    }

    void shouldSelectTheRowUnderTheMouse()
    {
        ListBox list;
        QVERIFY(show(list, numberLines(100)));
        list.setSelectedIndex(50); // scrolls
        const QRect row = list.visualRect(list.model()->index(48, 0));
        QVERIFY(list.viewport()->rect().contains(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(list.selectedIndex(), 48);
        QCOMPARE(list.selectedText(), u"48"_s);
    }

    void shouldSelectNothingBelowTheLastRow()
    {
        ListBox list;
        QVERIFY(show(list, numberLines(3)));
        const QRect last = list.visualRect(list.model()->index(2, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, last.center() + QPoint(0, last.height()));
        QCOMPARE(list.selectedIndex(), -1);
    }

    void shouldScrollAMillionRowsToTheLast()
    {
        ListBox list;
        QVERIFY(show(list, numberLines(1'000'000)));
        list.setSelectedIndex(999'999);
        const QRect last = list.visualRect(list.model()->index(999'999, 0));
        QVERIFY(list.viewport()->rect().contains(last));
        QCOMPARE(list.indexAt(last.center()).row(), 999'999);
        QCOMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
    }

    // Far down a list, rows lie more pixels from the top than an int counts.
    void shouldClickFarDownThreeHundredMillionRows()
    {
        ListBox list;
        QVERIFY(show(list, QByteArray(300'000'000, '\n')));
        list.setSelectedIndex(299'999'999);
        const QRect above = list.visualRect(list.model()->index(299'999'998, 0));
        QVERIFY(list.viewport()->rect().contains(above));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, above.center());
        QCOMPARE(list.selectedIndex(), 299'999'998);
        QTest::keyClick(&list, Qt::Key_PageDown);
        QCOMPARE(list.selectedIndex(), 299'999'999);
    }
};

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
