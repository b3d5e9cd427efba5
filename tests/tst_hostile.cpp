// Whatever List.txt holds, the window answers "Mean" and "Mode" with a result or a clear
// message, and stays open.

#include "app/form1.h"
#include "windowdriver.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString emptyList = u"The list is empty: there is nothing to compute."_s;

// A file of these items whose mean and mode the label shows, as "Mean: <mean>" and
// "Mode: <mode> ocurrances".
void addAnswered(const char *name, const QByteArray &file, int items, const QString &mean, const QString &mode)
{
    QTest::newRow(name) << file << items << u"Mean: "_s + mean << u"Mode: "_s + mode + u" ocurrances"_s;
}

// A file of these items on which both buttons show this message.
void addRefused(const char *name, const QByteArray &file, int items, const QString &message)
{
    QTest::newRow(name) << file << items << message << message;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(enter(m_dir)); }

    // Each file is loaded into the window, then "Mean" and "Mode" are clicked. An outcome is the
    // label's text, or the message shown; after a message the line at fault is selected.
    void shouldAnswerEveryFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("mean");
        QTest::addColumn<QString>("mode");

        addAnswered("numbers", "1\n2\n2\n4\n"_ba, 4, u"2.25"_s, u"2 with 2"_s);
        addAnswered("fractions, CR LF", "2.5\r\n2.5\r\n3"_ba, 3, u"2.66666666666667"_s, u"2.5 with 2"_s);
        addRefused("a word among numbers", "1\nabc\n3\n"_ba, 3, notANumber(2, u"abc"_s));
        addRefused("an empty line among numbers", "1\n2\n\n3\n"_ba, 4, blank(3));
        addRefused("empty file", QByteArray(), 0, emptyList);
        addRefused("lone byte order mark", "\xEF\xBB\xBF"_ba, 0, emptyList);
        addRefused("only a CR", "\r"_ba, 1, blank(1));
        addRefused("only spaces", "  \n\t \n"_ba, 2, blank(1));
        addRefused("NUL inside a line", QByteArray("1\n2\0003\n", 6), 2, notANumber(2, u"2\u24003"_s));
        addRefused("invalid UTF-8, read as Windows-1252", "1\n\xFF\n"_ba, 2, notANumber(2, u"\u00FF"_s));
        addRefused("UTF-8 BOM, a bad byte on line 4", "\xEF\xBB\xBF" "1\n2\n3\n4\xFF\n"_ba, 4, notANumber(4, u"4\uFFFD"_s));
        addRefused("Windows-1252 quotes", "1\n\x93" "2\x94\n"_ba, 2, notANumber(2, u"\u201C" "2\u201D"_s));
        addAnswered("UTF-16 LE", QByteArray("\xFF\xFE" "1\0\n\0" "2\0", 8), 2, u"1.5"_s, u"1 with 1"_s);
        addRefused("UTF-16 with an odd byte count", QByteArray("\xFF\xFE" "1\0" "2", 5), 1, notANumber(1, u"\u00FF\u00FE1\u24002"_s));
        addRefused("UTF-16 with a lone surrogate", QByteArray("\xFF\xFE\x00\xD8\n\0", 6), 2,
                   notANumber(1, u"\u00FF\u00FE\u2400\u00D8"_s));
        // Beyond a double's range: numbers all the same, exact.
        addAnswered("1e400", "1\n1e400\n"_ba, 2, u"5e+399"_s, u"1 with 1"_s);
        addAnswered("-1e400", "-1e400\n"_ba, 1, u"-1e+400"_s, u"-1e+400 with 1"_s);
        addAnswered("1e-400", "1e-400\n0\n1e-400\n"_ba, 3, u"6.66666666666667e-401"_s, u"1e-400 with 2"_s);
        // Past a double's digits: exact too, and rounded only once, for the label.
        addAnswered("21 digits", "100000000000000000001\n-100000000000000000000\n"_ba, 2, u"0.5"_s, u"1e+20 with 1"_s);
        addAnswered("past 53 bits", "9007199254740993\n9007199254740992\n"_ba, 2, u"9.00719925474099e+15"_s,
                    u"9.00719925474099e+15 with 1"_s);
        addAnswered("a tie at the 16th digit", "1.000000000000025\n"_ba, 1, u"1.00000000000002"_s, u"1.00000000000002 with 1"_s);
        addAnswered("10,000 digits", "0." + QByteArray(10'000, '3') + "\n1." + QByteArray(9'999, '0') + "\n", 2,
                    u"0.666666666666667"_s, u"0.333333333333333 with 1"_s);
        addAnswered("10,000 digits, whole", "1" + QByteArray(9'999, '0'), 1, u"1e+9999"_s, u"1e+9999 with 1"_s);
        addRefused("past the exponent bound", "1" + QByteArray(100'001, '0'), 1, tooLarge(1, u"1"_s + QString(39, u'0') + u'\u2026'));
        for (const char *text : {"nan", "inf", "0x10", "1,5", "1 000"})
            addRefused(text, QByteArray(text), 1, notANumber(1, QString::fromLatin1(text)));
        addRefused("right-to-left digits", "\xD9\xA1\xD9\xA2"_ba, 1, notANumber(1, u"\u0661\u0662"_s));
        addRefused("combining accent", "2\xCC\x81"_ba, 1, notANumber(1, u"2\u0301"_s));
        addRefused("markup", "<img src=x>"_ba, 1, notANumber(1, u"<img src=x>"_s));
        // Large files: a single line of 100 MB, and ten million lines, where 0, 1 and 2 occur
        // 1,428,572 times and the other values once fewer.
        addRefused("a line of 100 MB", QByteArray(50 << 20, '7') + '.' + QByteArray((50 << 20) - 1, '7'), 1,
                   tooLarge(1, QString(40, u'7') + u'\u2026'));
        addAnswered("ten million lines", QByteArray("0\n1\n2\n3\n4\n5\n6\n").repeated(1'428'571) + "0\n1\n2\n", 10'000'000,
                    u"2.9999994"_s, u"0 with 1428572"_s);
    }
    void shouldAnswerEveryFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, items);
        QFETCH(QString, mean);
        QFETCH(QString, mode);

        Form1 form;
        QVERIFY(loadAndShow(form, file));
        auto *const list = control<ListBox>(form, u"List1"_s);
        auto *const label = control<QLabel>(form, u"Label1"_s);
        QCOMPARE(list->itemCount(), items);

        for (const auto &[button, outcome] : {std::pair{u"Command1"_s, mean}, std::pair{u"Command2"_s, mode}}) {
            const QString label0 = label->text();
            const QString message = clickAndDismiss(form, button);
            if (outcome.startsWith(u"Mean: ") || outcome.startsWith(u"Mode: ")) {
                QCOMPARE(message, QString());
                QCOMPARE(label->text(), outcome);
                QCOMPARE(list->selectedIndex(), items - 1);
            } else {
                QCOMPARE(message, outcome);
                QCOMPARE(label->text(), label0);
                const auto line = QRegularExpression(u"^Line (\\d+) "_s).match(message);
                QCOMPARE(list->selectedIndex(), line.hasMatch() ? line.captured(1).toInt() - 1 : -1);
            }
            QVERIFY(form.isVisible());
        }
    }

    void shouldAnswerRandomBytes()
    {
        QRandomGenerator generator(20261208);
        QByteArray bytes(1 << 16, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(generator.bounded(256));
        Form1 form;
        QVERIFY(loadAndShow(form, bytes));
        auto *const list = control<ListBox>(form, u"List1"_s);
        QVERIFY(list->itemCount() > 100);
        const QString message = clickAndDismiss(form, u"Command1"_s);
        const auto line = QRegularExpression(u"^Line (\\d+) (is not a number|is blank)"_s).match(message);
        QVERIFY2(line.hasMatch(), qPrintable(message));
        QCOMPARE(list->selectedIndex(), line.captured(1).toInt() - 1);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
