// Whatever List.txt holds, the window answers "Mean" and "Mode" with a result or a clear
// message, and stays open.

#include "app/form1.h"
#include "testhelpers.h"
#include "windowdriver.h"

#include <QDir>
#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

QString notANumber(int line, const QString &text)
{
    return u"Line %1 is not a number: \"%2\"."_s.arg(QString::number(line), isolated(text));
}

QString tooLarge(int line, const QString &text)
{
    return u"Line %1 holds a number too large to compute with (1e+100001 or more): \"%2\"."_s.arg(QString::number(line), isolated(text));
}

const QString emptyList = u"The list is empty: there is nothing to compute."_s;

QByteArray randomBytes(qsizetype size)
{
    QRandomGenerator generator(20261208);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    // Each file is loaded into the window, then "Mean" and "Mode" are clicked. An outcome is the
    // label's text, or the message shown; after a message the line at fault is selected.
    void shouldAnswerEveryFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("mean");
        QTest::addColumn<QString>("mode");

        QTest::newRow("numbers") << "1\n2\n2\n4\n"_ba << 4 << u"Mean: 2.25"_s << u"Mode: 2 with 2 ocurrances"_s;
        QTest::newRow("fractions, CR LF") << "2.5\r\n2.5\r\n3"_ba << 3 << u"Mean: 2.66666666666667"_s
                                          << u"Mode: 2.5 with 2 ocurrances"_s;
        QTest::newRow("a word among numbers") << "1\nabc\n3\n"_ba << 3 << notANumber(2, u"abc"_s) << notANumber(2, u"abc"_s);
        QTest::newRow("an empty line among numbers") << "1\n2\n\n3\n"_ba << 4
                                                     << u"Line 3 is blank; it should hold a number."_s
                                                     << u"Line 3 is blank; it should hold a number."_s;
        QTest::newRow("empty file") << QByteArray() << 0 << emptyList << emptyList;
        QTest::newRow("lone byte order mark") << "\xEF\xBB\xBF"_ba << 0 << emptyList << emptyList;
        QTest::newRow("only a CR") << "\r"_ba << 1 << u"Line 1 is blank; it should hold a number."_s
                                   << u"Line 1 is blank; it should hold a number."_s;
        QTest::newRow("only spaces") << "  \n\t \n"_ba << 2 << u"Line 1 is blank; it should hold a number."_s
                                     << u"Line 1 is blank; it should hold a number."_s;
        QTest::newRow("NUL inside a line") << QByteArray("1\n2\0003\n", 6) << 2 << notANumber(2, u"2\u24003"_s)
                                           << notANumber(2, u"2\u24003"_s);
        QTest::newRow("invalid UTF-8, read as Windows-1252") << "1\n\xFF\n"_ba << 2 << notANumber(2, u"\u00FF"_s)
                                                         << notANumber(2, u"\u00FF"_s);
        QTest::newRow("UTF-8 BOM, a bad byte on line 4") << "\xEF\xBB\xBF" "1\n2\n3\n4\xFF\n"_ba << 4
                                                         << notANumber(4, u"4\uFFFD"_s) << notANumber(4, u"4\uFFFD"_s);
        QTest::newRow("Windows-1252 quotes") << "1\n\x93" "2\x94\n"_ba << 2 << notANumber(2, u"\u201C" "2\u201D"_s)
                                             << notANumber(2, u"\u201C" "2\u201D"_s);
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE" "1\0\n\0" "2\0", 8) << 2 << u"Mean: 1.5"_s
                                   << u"Mode: 1 with 1 ocurrances"_s;
        QTest::newRow("UTF-16 with an odd byte count") << QByteArray("\xFF\xFE" "1\0" "2", 5) << 1
                                                       << notANumber(1, u"\u00FF\u00FE1\u24002"_s)
                                                       << notANumber(1, u"\u00FF\u00FE1\u24002"_s);
        QTest::newRow("UTF-16 with a lone surrogate") << QByteArray("\xFF\xFE\x00\xD8\n\0", 6) << 2
                                                      << notANumber(1, u"\u00FF\u00FE\u2400\u00D8"_s)
                                                      << notANumber(1, u"\u00FF\u00FE\u2400\u00D8"_s);
        // Beyond a double's range: numbers all the same, exact.
        QTest::newRow("1e400") << "1\n1e400\n"_ba << 2 << u"Mean: 5e+399"_s << u"Mode: 1 with 1 ocurrances"_s;
        QTest::newRow("-1e400") << "-1e400\n"_ba << 1 << u"Mean: -1e+400"_s << u"Mode: -1e+400 with 1 ocurrances"_s;
        QTest::newRow("1e-400") << "1e-400\n0\n1e-400\n"_ba << 3 << u"Mean: 6.66666666666667e-401"_s
                                << u"Mode: 1e-400 with 2 ocurrances"_s;
        // Past a double's digits: exact too, and rounded only once, for the label.
        QTest::newRow("21 digits") << "100000000000000000001\n-100000000000000000000\n"_ba << 2 << u"Mean: 0.5"_s
                                   << u"Mode: 1e+20 with 1 ocurrances"_s;
        QTest::newRow("past 53 bits") << "9007199254740993\n9007199254740992\n"_ba << 2 << u"Mean: 9.00719925474099e+15"_s
                                      << u"Mode: 9.00719925474099e+15 with 1 ocurrances"_s;
        QTest::newRow("a tie at the 16th digit") << "1.000000000000025\n"_ba << 1 << u"Mean: 1.00000000000002"_s
                                                 << u"Mode: 1.00000000000002 with 1 ocurrances"_s;
        QTest::newRow("10,000 digits") << ("0." + QByteArray(10'000, '3') + "\n1." + QByteArray(9'999, '0') + "\n")
                                       << 2 << u"Mean: 0.666666666666667"_s << u"Mode: 0.333333333333333 with 1 ocurrances"_s;
        QTest::newRow("10,000 digits, whole") << ("1" + QByteArray(9'999, '0')) << 1 << u"Mean: 1e+9999"_s
                                              << u"Mode: 1e+9999 with 1 ocurrances"_s;
        QTest::newRow("past the exponent bound") << ("1" + QByteArray(100'001, '0')) << 1
                                                 << tooLarge(1, u"1"_s + QString(39, u'0') + u'\u2026')
                                                 << tooLarge(1, u"1"_s + QString(39, u'0') + u'\u2026');
        for (const char *text : {"nan", "inf", "0x10", "1,5", "1 000"})
            QTest::addRow("%s", text) << QByteArray(text) << 1 << notANumber(1, QString::fromLatin1(text))
                                      << notANumber(1, QString::fromLatin1(text));
        QTest::newRow("right-to-left digits") << "\xD9\xA1\xD9\xA2"_ba << 1 << notANumber(1, u"\u0661\u0662"_s)
                                              << notANumber(1, u"\u0661\u0662"_s);
        QTest::newRow("combining accent") << "2\xCC\x81"_ba << 1 << notANumber(1, u"2\u0301"_s)
                                          << notANumber(1, u"2\u0301"_s);
        QTest::newRow("markup") << "<img src=x>"_ba << 1 << notANumber(1, u"<img src=x>"_s)
                                << notANumber(1, u"<img src=x>"_s);
    }
    void shouldAnswerEveryFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, items);
        QFETCH(QString, mean);
        QFETCH(QString, mode);

        QVERIFY(writeList(file));
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const list = form.findChild<ListBox *>(u"List1"_s);
        auto *const label = form.findChild<QLabel *>(u"Label1"_s);
        QCOMPARE(list->itemCount(), items);

        for (const auto &[button, outcome] : {std::pair{u"Command1"_s, mean}, std::pair{u"Command2"_s, mode}}) {
            const QString label0 = label->text();
            const QString message = clickAndDismiss(form.findChild<QPushButton *>(button));
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
        QVERIFY(writeList(randomBytes(1 << 16)));
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const list = form.findChild<ListBox *>(u"List1"_s);
        QVERIFY(list->itemCount() > 100);
        const QString message = clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s));
        const auto line = QRegularExpression(u"^Line (\\d+) (is not a number|is blank)"_s).match(message);
        QVERIFY2(line.hasMatch(), qPrintable(message));
        QCOMPARE(list->selectedIndex(), line.captured(1).toInt() - 1);
    }

    void shouldAnswerALineOf100MB()
    {
        QByteArray line(100 << 20, '7');
        line[50 << 20] = '.';
        QVERIFY(writeList(line));
        line.clear();
        Form1 form;
        QVERIFY(loadAndShow(form));
        QCOMPARE(clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)),
                 tooLarge(1, QString(40, u'7') + u'\u2026'));
    }

    void shouldAnswerTenMillionLines()
    {
        QByteArray text;
        text.reserve(20'000'000);
        for (int i = 0; i < 10'000'000; ++i) {
            text += char('0' + i % 7);
            text += '\n';
        }
        QVERIFY(writeList(text));
        text.clear();
        Form1 form;
        QVERIFY(loadAndShow(form));
        auto *const label = form.findChild<QLabel *>(u"Label1"_s);
        // 0, 1 and 2 occur 1,428,572 times, the other values once fewer.
        QCOMPARE(clickAndDismiss(form.findChild<QPushButton *>(u"Command1"_s)), QString());
        QCOMPARE(label->text(), u"Mean: 2.9999994"_s);
        QCOMPARE(clickAndDismiss(form.findChild<QPushButton *>(u"Command2"_s)), QString());
        QCOMPARE(label->text(), u"Mode: 0 with 1428572 ocurrances"_s);
        QCOMPARE(form.findChild<ListBox *>(u"List1"_s)->selectedIndex(), 9'999'999);
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
