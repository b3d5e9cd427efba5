#include "runtime/lines.h"
#include "runtime/runtimeerror.h"
#include "stats/numbers.h"
#include "stats/statistics.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(NumberProblem)

namespace {

Lines linesOf(const QStringList &texts)
{
    Lines lines;
    for (const QString &text : texts)
        lines.append(text);
    return lines;
}

// An item's text as an error message quotes it: isolated from the sentence's direction.
QString isolated(const QString &text)
{
    return u'\u2068' + text + u'\u2069';
}

QString modeText(const QStringList &items)
{
    const Mode result = mode(linesOf(items));
    return formatNumber(result.value) + u" with "_s + QString::number(result.count);
}

} // namespace

class TestStats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsNumbers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<NumberProblem>("problem");
        QTest::addColumn<double>("value");

        const auto ok = NumberProblem::none;
        QTest::newRow("integer") << "42"_ba << ok << 42.0;
        QTest::newRow("negative fraction") << "-2.5"_ba << ok << -2.5;
        QTest::newRow("plus sign") << "+7"_ba << ok << 7.0;
        QTest::newRow("leading point") << ".5"_ba << ok << 0.5;
        QTest::newRow("trailing point") << "5."_ba << ok << 5.0;
        QTest::newRow("exponent") << "1.5e3"_ba << ok << 1500.0;
        QTest::newRow("negative exponent") << "25E-1"_ba << ok << 2.5;
        QTest::newRow("spaces and tabs around") << " \t 3 \t"_ba << ok << 3.0;
        QTest::newRow("leading zeros") << "007"_ba << ok << 7.0;
        QTest::newRow("nearest double") << "0.1"_ba << ok << 0.1;
        QTest::newRow("largest double") << "1.7976931348623157e308"_ba << ok << std::numeric_limits<double>::max();
        QTest::newRow("smallest subnormal") << "5e-324"_ba << ok << std::numeric_limits<double>::denorm_min();
        QTest::newRow("underflow rounds to zero") << "1e-400"_ba << ok << 0.0;
        QTest::newRow("underflow, long form") << ("0." + QByteArray(400, '0') + "1") << ok << 0.0;
        QTest::newRow("10,000 digits") << ("1" + QByteArray(300, '0') + "." + QByteArray(9700, '3')) << ok << 1e300;

        const auto empty = NumberProblem::empty;
        QTest::newRow("empty") << ""_ba << empty << 0.0;
        QTest::newRow("only blanks") << " \t "_ba << empty << 0.0;

        const auto bad = NumberProblem::notANumber;
        for (const char *text : {"abc", "1,5", "1 000", "0x10", "inf", "-inf", "nan", "infinity", ".", "-", "+",
                                 "+-1", "--1", "1e", "1e+", "e5", "1.2.3", "12abc", "\u00A01", "1\r", "\xEF\xBC\x91"})
            QTest::addRow("not a number: %s", text) << QByteArray(text) << bad << 0.0;

        const auto range = NumberProblem::outOfRange;
        QTest::newRow("1e400") << "1e400"_ba << range << 0.0;
        QTest::newRow("-1e400") << "-1e400"_ba << range << 0.0;
        QTest::newRow("400 digits") << ("1" + QByteArray(400, '0')) << range << 0.0;
        QTest::newRow("small mantissa, huge exponent") << "0.001e312"_ba << range << 0.0;
        QTest::newRow("exponent past 64 bits") << "1e99999999999999999999999"_ba << range << 0.0;
    }
    void readsNumbers()
    {
        QFETCH(QByteArray, text);
        QFETCH(NumberProblem, problem);
        QFETCH(double, value);
        const ParsedNumber number = parseNumber(std::string_view(text.constData(), size_t(text.size())));
        QCOMPARE(number.problem, problem);
        if (problem == NumberProblem::none)
            QCOMPARE(number.value, value);
    }

    void writesNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 7.0 << u"7"_s;
        QTest::newRow("half") << 2.5 << u"2.5"_s;
        QTest::newRow("15 significant digits") << 4.0 / 3.0 << u"1.33333333333333"_s;
        QTest::newRow("no trailing zeros") << 0.1 << u"0.1"_s;
        QTest::newRow("negative") << -4.0 << u"-4"_s;
        QTest::newRow("negative zero") << -0.0 << u"0"_s;
        QTest::newRow("15-digit whole") << 123456789012345.0 << u"123456789012345"_s;
        QTest::newRow("large") << 1e20 << u"1e+20"_s;
        QTest::newRow("largest") << std::numeric_limits<double>::max() << u"1.79769313486232e+308"_s;
        QTest::newRow("small") << 0.0001 << u"0.0001"_s;
        QTest::newRow("smaller") << 1.5e-7 << u"1.5e-07"_s;
        QTest::newRow("subnormal") << std::numeric_limits<double>::denorm_min() << u"4.94065645841247e-324"_s;
    }
    void writesNumbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value), text);
    }

    void computesMean_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("mean");

        QTest::newRow("1, 2") << QStringList{u"1"_s, u"2"_s} << u"1.5"_s;
        QTest::newRow("1 to 4") << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s} << u"2.5"_s;
        QTest::newRow("one item") << QStringList{u"7"_s} << u"7"_s;
        QTest::newRow("15 digits") << QStringList{u"1"_s, u"1"_s, u"2"_s} << u"1.33333333333333"_s;
        QTest::newRow("sum zero") << QStringList{u"-5"_s, u"5"_s} << u"0"_s;
        // The running sum is not rounded to an integer at each item.
        QTest::newRow("1.5, 1.5") << QStringList{u"1.5"_s, u"1.5"_s} << u"1.5"_s;
        QTest::newRow("2.5, 2.5") << QStringList{u"2.5"_s, u"2.5"_s} << u"2.5"_s;
        // No 16-bit limit on the sum.
        QTest::newRow("32767, 1") << QStringList{u"32767"_s, u"1"_s} << u"16384"_s;
        QTest::newRow("cancellation") << QStringList{u"1e20"_s, u"1"_s, u"-1e20"_s} << u"0.333333333333333"_s;
        QTest::newRow("sum beyond the largest double") << QStringList{u"1.7e308"_s, u"1.7e308"_s} << u"1.7e+308"_s;
        QTest::newRow("largest, negated") << QStringList{u"1.7976931348623157e308"_s, u"1.7976931348623157e308"_s, u"-1.7976931348623157e308"_s}
                                          << u"5.99231044954105e+307"_s;
        QTest::newRow("subnormal, halved to even") << QStringList{u"5e-324"_s, u"0"_s} << u"0"_s;
        QTest::newRow("subnormal, rounded up") << QStringList{u"5e-324"_s, u"5e-324"_s, u"0"_s} << u"4.94065645841247e-324"_s;
        QTest::newRow("negative zeros") << QStringList{u"-0"_s, u"-0.0"_s} << u"0"_s;
        QTest::newRow("blanks around") << QStringList{u" 1"_s, u"2\t"_s} << u"1.5"_s;
        QTest::newRow("tiny against large") << QStringList{u"1e-300"_s, u"1e300"_s} << u"5e+299"_s;
    }
    void computesMean()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, mean);
        QCOMPARE(formatNumber(::mean(linesOf(items))), mean);
    }

    void meanOfManyTenths()
    {
        Lines lines;
        for (int i = 0; i < 1'000'000; ++i)
            lines.append(u"0.1");
        QCOMPARE(::mean(lines), 0.1);
    }

    void computesMode_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("mode");

        QTest::newRow("one item") << QStringList{u"5"_s} << u"5 with 1"_s;
        QTest::newRow("1, 2, 2") << QStringList{u"1"_s, u"2"_s, u"2"_s} << u"2 with 2"_s;
        QTest::newRow("2, 1, 2") << QStringList{u"2"_s, u"1"_s, u"2"_s} << u"2 with 2"_s;
        QTest::newRow("tie: earlier value wins") << QStringList{u"3"_s, u"3"_s, u"1"_s, u"1"_s} << u"3 with 2"_s;
        QTest::newRow("tie by first occurrence, not by last")
            << QStringList{u"1"_s, u"2"_s, u"2"_s, u"1"_s} << u"1 with 2"_s;
        QTest::newRow("all distinct: first item") << QStringList{u"1"_s, u"2"_s, u"3"_s} << u"1 with 1"_s;
        QTest::newRow("same value, other text") << QStringList{u"2"_s, u"2.0"_s, u" 2e0"_s} << u"2 with 3"_s;
        QTest::newRow("negative") << QStringList{u"-4"_s, u"-4"_s, u"7"_s} << u"-4 with 2"_s;
        // Fractions are values of their own, not rounded to integers.
        QTest::newRow("2.5, 2.5, 3") << QStringList{u"2.5"_s, u"2.5"_s, u"3"_s} << u"2.5 with 2"_s;
        QTest::newRow("2.5") << QStringList{u"2.5"_s} << u"2.5 with 1"_s;
        QTest::newRow("no 16-bit limit") << QStringList{u"40000"_s, u"1e300"_s, u"1e300"_s} << u"1e+300 with 2"_s;
        QTest::newRow("zero and negative zero") << QStringList{u"1"_s, u"-0"_s, u"0"_s} << u"0 with 2"_s;
        QTest::newRow("later value overtakes") << QStringList{u"1"_s, u"1"_s, u"2"_s, u"2"_s, u"2"_s} << u"2 with 3"_s;
        QTest::newRow("underflow is zero") << QStringList{u"1e-400"_s, u"0"_s} << u"0 with 2"_s;
    }
    void computesMode()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, mode);
        QCOMPARE(modeText(items), mode);
    }

    void modeOfManyDistinctValues()
    {
        Lines lines;
        for (int i = 0; i < 300'000; ++i)
            lines.append(QString::number(i * 0.001, 'f', 3));
        lines.append(u"150");
        const Mode result = mode(lines);
        QCOMPARE(result.value, 150.0);
        QCOMPARE(result.count, 2);
    }

    void reportsTheFirstBadItem_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<QString>("message");

        QTest::newRow("not a number") << QStringList{u"1"_s, u"abc"_s, u"x"_s} << qsizetype(1)
                                      << u"Line 2 is not a number: \"%1\"."_s.arg(isolated(u"abc"_s));
        QTest::newRow("empty line") << QStringList{u"1"_s, u"2"_s, QString()} << qsizetype(2)
                                    << u"Line 3 is blank; it should hold a number."_s;
        QTest::newRow("only spaces") << QStringList{u"   "_s} << qsizetype(0)
                                     << u"Line 1 is blank; it should hold a number."_s;
        QTest::newRow("too large") << QStringList{u"1e400"_s} << qsizetype(0)
                                   << u"Line 1 holds a number too large to compute with: \"%1\"."_s.arg(isolated(u"1e400"_s));
        QTest::newRow("long text is shortened") << QStringList{QString(1000, u'x')} << qsizetype(0)
                                                << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(QString(40, u'x') + u'\u2026'));
        QTest::newRow("text with a percent sign") << QStringList{u"%1 %2"_s} << qsizetype(0)
                                                  << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(u"%1 %2"_s));
        QTest::newRow("control characters shown") << QStringList{QString(u"1\0" "2\x1b"_s)} << qsizetype(0)
                                                  << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(u"1\u24002\u241B"_s));
        QTest::newRow("shortened between graphemes") << QStringList{QString(39, u'x') + u"e\u0301\u0301z"_s}
                                                     << qsizetype(0)
                                                     << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(QString(39, u'x') + u"e\u0301\u0301\u2026"_s));
        QTest::newRow("surrogate pair kept whole") << QStringList{QString(39, u'x') + u"\U0001F600z"_s} << qsizetype(0)
                                                   << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(QString(39, u'x') + u"\U0001F600\u2026"_s));
        QTest::newRow("right to left, with a direction control") << QStringList{u"\u0661\u0662\u202E3"_s} << qsizetype(0)
                                                                  << u"Line 1 is not a number: \"%1\"."_s.arg(isolated(u"\u0661\u0662\uFFFD3"_s));
    }
    void reportsTheFirstBadItem()
    {
        QFETCH(QStringList, items);
        QFETCH(qsizetype, position);
        QFETCH(QString, message);
        for (const bool ofMean : {true, false}) {
            try {
                if (ofMean)
                    (void)mean(linesOf(items));
                else
                    (void)mode(linesOf(items));
                QFAIL("no error thrown");
            } catch (const RuntimeError &error) {
                QCOMPARE(error.kind(), RuntimeError::Kind::conversionFailed);
                QCOMPARE(error.position(), position);
                QCOMPARE(error.message(), message);
            }
        }
    }

    void reportsAnEmptyList()
    {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, (void)mean(Lines()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, (void)mode(Lines()));
    }
};

QTEST_APPLESS_MAIN(TestStats)
#include "tst_stats.moc"
