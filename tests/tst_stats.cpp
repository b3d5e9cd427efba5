#include "runtime/core/cpus.h"
#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/errorreport.h"
#include "stats/numbers.h"
#include "stats/statistics.h"
#include "memorylimit.h"
#include "testhelpers.h"

#include <QTest>

#include <gmp.h>

#include <atomic>
#include <cstdlib>

#include <sched.h>

using namespace Qt::StringLiterals;

class TestStats : public QObject
{
    Q_OBJECT

private:
    using Placed = QList<std::pair<qsizetype, QByteArray>>; // items' positions and texts
    static constexpr qsizetype chunk = qsizetype(1) << 21; // items counted together for the mode

private Q_SLOTS:
    void readsNumbers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<NumberProblem>("problem");
        QTest::addColumn<QByteArray>("value"); // digits, then the power of ten of the last

        const auto ok = NumberProblem::none;
        QTest::newRow("integer") << "42"_ba << ok << "42e0"_ba;
        QTest::newRow("negative fraction") << "-2.5"_ba << ok << "-25e-1"_ba;
        QTest::newRow("plus sign") << "+7"_ba << ok << "7e0"_ba;
        QTest::newRow("leading point") << ".5"_ba << ok << "5e-1"_ba;
        QTest::newRow("trailing point") << "5."_ba << ok << "5e0"_ba;
        QTest::newRow("trailing point after five digits") << "40000."_ba << ok << "4e4"_ba;
        QTest::newRow("trailing zero of a fraction") << "1.50"_ba << ok << "15e-1"_ba;
        QTest::newRow("exponent") << "1.5e3"_ba << ok << "15e2"_ba;
        QTest::newRow("negative exponent") << "25E-1"_ba << ok << "25e-1"_ba;
        QTest::newRow("spaces and tabs around") << " \t 3 \t"_ba << ok << "3e0"_ba;
        QTest::newRow("leading and trailing zeros") << "007.0100"_ba << ok << "701e-2"_ba;
        QTest::newRow("trailing zeros of a whole number") << "1200"_ba << ok << "12e2"_ba;
        QTest::newRow("one value, spelled four ways") << "0.2e1"_ba << ok << "2e0"_ba;
        QTest::newRow("zero") << "-0.000e5"_ba << ok << "0"_ba;
        QTest::newRow("zero with any exponent") << "0e99999999999999999999"_ba << ok << "0"_ba;
        QTest::newRow("past a double's 53 bits") << "9007199254740993"_ba << ok << "9007199254740993e0"_ba;
        QTest::newRow("20 digits") << "100000000000000000001"_ba << ok << "100000000000000000001e0"_ba;
        QTest::newRow("beyond a double's range") << "1e400"_ba << ok << "1e400"_ba;
        QTest::newRow("below a double's range, long form") << ("0." + QByteArray(400, '0') + "1") << ok << "1e-401"_ba;
        QTest::newRow("10,000 digits") << ("1" + QByteArray(300, '0') + "." + QByteArray(9700, '3')) << ok
                                       << ("1" + QByteArray(300, '0') + QByteArray(9700, '3') + "e-9700");
        QTest::newRow("largest order") << "9.9e100000"_ba << ok << "99e99999"_ba;
        QTest::newRow("smallest order") << "0.001e-99997"_ba << ok << "1e-100000"_ba;
        QTest::newRow("trailing zeros carry no value") << ("1." + QByteArray(200'000, '0')) << ok << "1e0"_ba;
        QTest::newRow("most digits: first and last at the bounds")
            << (QByteArray(100'001, '9') + '.' + QByteArray(100'000, '9')) << ok << (QByteArray(200'001, '9') + "e-100000");

        const auto empty = NumberProblem::empty;
        QTest::newRow("empty") << ""_ba << empty << QByteArray();
        QTest::newRow("only blanks") << " \t "_ba << empty << QByteArray();

        const auto bad = NumberProblem::notANumber;
        for (const char *text : {"abc", "1,5", "1 000", "0x10", "inf", "-inf", "nan", "infinity", ".", "-", "+",
                                 "+-1", "--1", "1e", "1e+", "e5", "1.2.3", "12abc", "\u00A01", "1\r", "\xEF\xBC\x91"})
            QTest::addRow("not a number: %s", text) << QByteArray(text) << bad << QByteArray();

        QTest::newRow("order past the bound") << "1e100001"_ba << NumberProblem::tooLarge << QByteArray();
        QTest::newRow("past the bound by its digits") << "0.0012e100004"_ba << NumberProblem::tooLarge << QByteArray();
        QTest::newRow("exponent past 64 bits") << "-1e99999999999999999999999"_ba << NumberProblem::tooLarge << QByteArray();
        QTest::newRow("order below the bound") << "1e-100001"_ba << NumberProblem::tooSmall << QByteArray();
        QTest::newRow("negative exponent past 64 bits") << "1e-99999999999999999999999"_ba << NumberProblem::tooSmall << QByteArray();
        QTest::newRow("last digit below the bound") << ("1." + QByteArray(100'000, '0') + '1') << NumberProblem::tooPrecise << QByteArray();
        QTest::newRow("last digit below the bound by its exponent") << "1.5e-100000"_ba << NumberProblem::tooPrecise << QByteArray();
    }
    void readsNumbers()
    {
        QFETCH(QByteArray, text);
        QFETCH(NumberProblem, problem);
        QFETCH(QByteArray, value);
        const ParsedNumber number = parseNumber(std::string_view(text.constData(), size_t(text.size())));
        QCOMPARE(number.problem, problem);
        // The pass's shortcut for short decimals reads the same value, or leaves the text alone.
        const QByteArray padded = text + QByteArray(qsizetype(shortcutReadBytes), '5');
        if (const std::optional<ShortDecimal> decimal = parseShortDecimal(std::string_view(padded.constData(), size_t(text.size())))) {
            QCOMPARE(number.problem, NumberProblem::none);
            QCOMPARE(decimal->digits, number.coefficient);
            QCOMPARE(std::int64_t(decimal->exponent), number.exponent);
            QCOMPARE(decimal->negative, number.negative);
        }
        if (problem != NumberProblem::none)
            return;
        QByteArray digits = QByteArray(number.significand.data(), qsizetype(number.significand.size())).replace('.', "");
        QCOMPARE(qsizetype(digits.size()), number.digitCount);
        if (number.digitCount <= ParsedNumber::maxCoefficientDigits)
            QCOMPARE(QByteArray::number(quint64(number.coefficient)), digits.isEmpty() ? "0"_ba : digits);
        const QByteArray exact = digits.isEmpty() ? "0"_ba : (number.negative ? "-" : "") + digits + 'e' + QByteArray::number(number.exponent);
        QCOMPARE(exact, value);
    }

    // The value of an item as the label shows it: rounded once to 15 digits, written as %.15g.
    void showsNumbers_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << u"7"_s << u"7"_s;
        QTest::newRow("half") << u"2.5"_s << u"2.5"_s;
        QTest::newRow("15 significant digits") << u"1.3333333333333333333"_s << u"1.33333333333333"_s;
        QTest::newRow("no trailing zeros") << u"0.100"_s << u"0.1"_s;
        QTest::newRow("negative") << u"-4"_s << u"-4"_s;
        QTest::newRow("negative zero") << u"-0.0"_s << u"0"_s;
        QTest::newRow("15-digit whole") << u"123456789012345"_s << u"123456789012345"_s;
        QTest::newRow("16-digit whole") << u"1234567890123456"_s << u"1.23456789012346e+15"_s;
        QTest::newRow("rounds up to a new digit") << u"999999999999999.5"_s << u"1e+15"_s;
        QTest::newRow("large") << u"1e20"_s << u"1e+20"_s;
        QTest::newRow("largest double") << u"1.7976931348623157e308"_s << u"1.79769313486232e+308"_s;
        QTest::newRow("beyond a double") << u"-1e400"_s << u"-1e+400"_s;
        QTest::newRow("small") << u"0.0001"_s << u"0.0001"_s;
        QTest::newRow("smaller") << u"1.5e-7"_s << u"1.5e-07"_s;
        QTest::newRow("below a double") << u"1e-400"_s << u"1e-400"_s;
        QTest::newRow("largest order") << u"9.99999999999999999e100000"_s << u"1e+100001"_s;
        // Ties at the 16th digit go to the even 15th; anything past the tie goes away from it.
        QTest::newRow("tie, even digit kept") << u"1.000000000000025"_s << u"1.00000000000002"_s;
        QTest::newRow("tie, odd digit rounded up") << u"1.000000000000035"_s << u"1.00000000000004"_s;
        QTest::newRow("just above a tie") << u"1.0000000000000250000000000001"_s << u"1.00000000000003"_s;
        QTest::newRow("just below a tie") << u"1.0000000000000249999999999999"_s << u"1.00000000000002"_s;
        QTest::newRow("negative tie") << u"-2.000000000000045"_s << u"-2.00000000000004"_s;
    }
    void showsNumbers()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(meanOf(linesOf({item}))), text);
        QCOMPARE(modeText(modeOf(linesOf({item}))), text + u" with 1"_s);
    }

    // The mean or the mode of lists whose every item is a number.
    void computes_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("ofMean");
        QTest::addColumn<QString>("result");
        const auto mean = [](const char *tag, const QStringList &items, const QString &result) {
            QTest::addRow("mean: %s", tag) << items << true << result;
        };
        const auto mode = [](const char *tag, const QStringList &items, const QString &result) {
            QTest::addRow("mode: %s", tag) << items << false << result;
        };

        mean("1, 2", {u"1"_s, u"2"_s}, u"1.5"_s);
        mean("1 to 4", {u"1"_s, u"2"_s, u"3"_s, u"4"_s}, u"2.5"_s);
        mean("one item", {u"7"_s}, u"7"_s);
        mean("15 digits", {u"1"_s, u"1"_s, u"2"_s}, u"1.33333333333333"_s);
        mean("sum zero", {u"-5"_s, u"5"_s}, u"0"_s);
        // The running sum is not rounded to an integer at each item.
        mean("1.5, 1.5", {u"1.5"_s, u"1.5"_s}, u"1.5"_s);
        mean("2.5, 2.5", {u"2.5"_s, u"2.5"_s}, u"2.5"_s);
        // No 16-bit limit on the sum.
        mean("32767, 1", {u"32767"_s, u"1"_s}, u"16384"_s);
        mean("cancellation", {u"1e20"_s, u"1"_s, u"-1e20"_s}, u"0.333333333333333"_s);
        mean("sum beyond the largest double", {u"1.7e308"_s, u"1.7e308"_s}, u"1.7e+308"_s);
        mean("largest, negated", {u"1.7976931348623157e308"_s, u"1.7976931348623157e308"_s, u"-1.7976931348623157e308"_s},
             u"5.99231044954105e+307"_s);
        mean("no double's range", {u"5e-324"_s, u"0"_s}, u"2.5e-324"_s);
        mean("past a double's digits", {u"100000000000000000001"_s, u"-100000000000000000000"_s}, u"0.5"_s);
        mean("past a double's 53 bits", {u"9007199254740993"_s, u"-9007199254740992"_s}, u"0.5"_s);
        mean("far apart", {u"1e100000"_s, u"1e-100000"_s, u"-1e100000"_s}, u"3.33333333333333e-100001"_s);
        mean("most digits in one item", {u"1"_s + QString(100'000, u'0') + u'.' + QString(99'999, u'0') + u'1', u"-1e100000"_s},
             u"5e-100001"_s);
        mean("true mean on a tie, even digit", {u"1.00000000000002"_s, u"1.00000000000003"_s}, u"1.00000000000002"_s);
        mean("true mean on a tie, odd digit", {u"2.00000000000005"_s, u"2.00000000000006"_s}, u"2.00000000000006"_s);
        mean("true mean just above a tie", {u"1.00000000000002"_s, u"1.000000000000030000000000000002"_s}, u"1.00000000000003"_s);
        mean("negative zeros", {u"-0"_s, u"-0.0"_s}, u"0"_s);
        mean("blanks around", {u" 1"_s, u"2\t"_s}, u"1.5"_s);
        mean("tiny against large", {u"1e-300"_s, u"1e300"_s}, u"5e+299"_s);
        mean("a million tenths", QStringList(1'000'000, u"0.1"_s), u"0.1"_s);

        mode("one item", {u"5"_s}, u"5 with 1"_s);
        mode("1, 2, 2", {u"1"_s, u"2"_s, u"2"_s}, u"2 with 2"_s);
        mode("2, 1, 2", {u"2"_s, u"1"_s, u"2"_s}, u"2 with 2"_s);
        mode("tie: earlier value wins", {u"3"_s, u"3"_s, u"1"_s, u"1"_s}, u"3 with 2"_s);
        mode("tie by first occurrence, not by last", {u"1"_s, u"2"_s, u"2"_s, u"1"_s}, u"1 with 2"_s);
        mode("all distinct: first item", {u"1"_s, u"2"_s, u"3"_s}, u"1 with 1"_s);
        mode("same value, other text", {u"2"_s, u"2.0"_s, u" 2e0"_s}, u"2 with 3"_s);
        mode("negative", {u"-4"_s, u"-4"_s, u"7"_s}, u"-4 with 2"_s);
        // Fractions are values of their own, not rounded to integers.
        mode("2.5, 2.5, 3", {u"2.5"_s, u"2.5"_s, u"3"_s}, u"2.5 with 2"_s);
        mode("2.5", {u"2.5"_s}, u"2.5 with 1"_s);
        mode("16-bit integers spelled other ways", {u"-32768"_s, u"3e4"_s, u"30000.0"_s, u"-32768.00"_s, u"32767"_s, u"300e2"_s},
             u"30000 with 3"_s);
        mode("just past 16 bits", {u"32768"_s, u"-32769"_s, u"32768"_s, u"-32768"_s}, u"32768 with 2"_s);
        mode("no 16-bit limit", {u"40000"_s, u"1e300"_s, u"1e300"_s}, u"1e+300 with 2"_s);
        mode("zero and negative zero", {u"1"_s, u"-0"_s, u"0"_s}, u"0 with 2"_s);
        mode("later value overtakes", {u"1"_s, u"1"_s, u"2"_s, u"2"_s, u"2"_s}, u"2 with 3"_s);
        mode("no underflow", {u"1e-400"_s, u"0"_s, u"1e-400"_s}, u"1e-400 with 2"_s);
        mode("past a double's 53 bits", {u"9007199254740993"_s, u"9007199254740992"_s, u"9007199254740992"_s},
             u"9.00719925474099e+15 with 2"_s);
        mode("long digits, spelled two ways", {u"1"_s, u"123456789012345678901234.5"_s, u"1.234567890123456789012345e23"_s},
             u"1.23456789012346e+23 with 2"_s);
        QStringList distinct;
        for (int i = 0; i < 300'000; ++i)
            distinct.append(QString::number(i * 0.001, 'f', 3));
        mode("300,000 distinct values, one twice", distinct << u"150"_s, u"150 with 2"_s);
    }
    void computes()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, ofMean);
        QFETCH(QString, result);
        const Lines lines = linesOf(items);
        QCOMPARE(ofMean ? formatNumber(meanOf(lines)) : modeText(modeOf(lines)), result);
    }

    // Lists long enough to be shared among four threads and, for the mode, read in two chunks,
    // with the values that decide the result placed around those boundaries. Every other item
    // is a value of its own.
    void sameOnAnyNumberOfThreads_data()
    {
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<Placed>("placed");
        QTest::addColumn<QString>("mode"); // or the message of the first bad item

        constexpr qsizetype quarter = 65536;
        QTest::newRow("tie across a range boundary")
            << 4 * quarter << Placed{{quarter, "8"}, {quarter + 1, "8"}, {quarter - 1, "7"}, {3 * quarter, "7"}} << u"7 with 2"_s;
        QTest::newRow("one value, spelled two ways in two ranges")
            << 4 * quarter << Placed{{2 * quarter, "3"}, {2 * quarter + 1, "3"}, {2 * quarter - 1, "2e0"}, {4 * quarter - 1, "2"}} << u"2 with 2"_s;
        QTest::newRow("rare values in two ranges")
            << 4 * quarter << Placed{{quarter - 1, "1234567890123456789012"}, {quarter + 9, "1.234567890123456789012e21"},
                                     {quarter - 9, "1e70"}, {3 * quarter, "10e69"}} << u"1e+70 with 2"_s;
        QTest::newRow("tie across a range boundary, counted in partitions")
            << chunk + 4 * quarter << Placed{{chunk + quarter, "8"}, {chunk + quarter + 1, "8"}, {chunk + quarter - 1, "7"}, {chunk + 3 * quarter, "7"}}
            << u"7 with 2"_s;
        QTest::newRow("one value, spelled two ways, counted in partitions")
            << chunk + 4 * quarter << Placed{{chunk + quarter - 1, "0.25e1"}, {chunk + 3 * quarter, "2.5"}, {chunk + quarter, "8"}, {chunk + quarter + 1, "8"}}
            << u"2.5 with 2"_s;
        QTest::newRow("tie across chunks") << chunk + quarter << Placed{{chunk, "6"}, {chunk + 1, "6"}, {10, "5"}, {chunk + 5, "5"}} << u"5 with 2"_s;
        QTest::newRow("tie across chunks, counted in partitions")
            << chunk + quarter << Placed{{chunk + 2, "0.5"}, {chunk + 3, "0.5"}, {10, "0.75"}, {chunk + 7, "0.75"}} << u"0.75 with 2"_s;
        QTest::newRow("ten digits and more, counted in partitions")
            << chunk + 4 * quarter << Placed{{chunk + quarter + 2, "8.5"}, {chunk + quarter + 3, "8.5"}, {chunk + quarter - 1, "1234567890.5"},
                                             {chunk + 3 * quarter, "1234567890.50"}} << u"1234567890.5 with 2"_s;
        // From item 167,772 ("167772.25") on, the keys take 64 bits: the records so far are made
        // wide. 303667611.1's key is 1.5's plus 181 * 2^32, in the same partition.
        QTest::newRow("records made wide, counted in partitions")
            << chunk + 4 * quarter << Placed{{60'000, "0.5"}, {70'000, "0.5"}, {80'000, "0.5"}, {90'000, "1.5"}, {100'000, "1.5"},
                                             {chunk + 10, "303667611.1"}, {chunk + 20, "303667611.1"}} << u"0.5 with 3"_s;
        QTest::newRow("bad items in two ranges") << 4 * quarter << Placed{{quarter + 10, "y"}, {quarter - 10, "x"}} << notANumber(65527, u"x"_s);
    }
    void sameOnAnyNumberOfThreads()
    {
        QFETCH(qsizetype, count);
        QFETCH(Placed, placed);
        QFETCH(QString, mode);
        QList<QByteArray> items(count);
        for (qsizetype i = 0; i < count; ++i)
            items[i] = QByteArray::number(i) + ".25";
        for (const auto &[position, text] : placed)
            items[position] = text;
        const Lines lines = Lines::fromUtf8(items.join('\n'));

        const auto results = [&lines](int threads) {
            Task task(threads);
            const Statistics both = computeStatistics(lines, task, {.chunkItems = chunk});
            try {
                return QStringList{formatNumber(valueOf(both.mean)), modeText(valueOf(both.mode))};
            } catch (const RuntimeError &error) {
                return QStringList{errorMessage(error), errorMessage(error)};
            }
        };
        const QStringList onFour = results(4);
        QCOMPARE(onFour.last(), mode);
        QCOMPARE(onFour, results(1));
    }

    // GMP aborts when it cannot allocate, so the pass must never ask it to: not even for
    // 60-digit numbers whose powers of ten lie thousands of places apart.
    void passAllocatesNothingThroughGmp()
    {
        static std::atomic<int> allocations;
        const auto counted = [](size_t size) { return ++allocations, std::malloc(size); };
        void *(*saved)(size_t) = nullptr;
        void *(*savedRealloc)(void *, size_t, size_t) = nullptr;
        void (*savedFree)(void *, size_t) = nullptr;
        mp_get_memory_functions(&saved, &savedRealloc, &savedFree);
        mp_set_memory_functions(counted, [](void *p, size_t, size_t size) { return ++allocations, std::realloc(p, size); },
                                [](void *p, size_t) { std::free(p); });
        QByteArray text;
        for (int i = 0; i < 2000; ++i)
            text += (i % 2 ? "-" : "") + QByteArray(59, char('1' + i % 9)) + ".5e" + QByteArray::number(i * 5 - 5000) + '\n';
        Task task(2);
        const Statistics both = computeStatistics(Lines::fromUtf8(text), task);
        mp_set_memory_functions(saved, savedRealloc, savedFree);
        QCOMPARE(allocations.load(), 0);
        QVERIFY(std::holds_alternative<ShownNumber>(both.mean) && std::holds_alternative<Mode>(both.mode));
    }

    // Where no thread can be made (no memory for its stack), every range still runs, once, on
    // the threads there are, rather than waiting for one that never comes.
    void runsEveryRangeWhenNoThreadCanStart()
    {
        LISTSTATS_SKIP_UNDER_MEMORY_LIMIT;
        constexpr int ranges = 64;
        Task task(ranges);
        std::vector<int> runs(ranges);
        {
            const MemoryLimit limit(4 << 20); // less than a thread's stack
            QVERIFY(limit.isSet());
            forEachRange(task, ranges, 1, [&runs](const Range &range) { ++runs[size_t(range.index)]; });
        }
        QCOMPARE(runs, std::vector<int>(ranges, 1));
    }

    // The work starts no more threads than the CPUs this process may run on (taskset, a
    // container's cpuset); on one CPU, one.
    void usesOnlyTheCpusItMayRunOn()
    {
        cpu_set_t allowed;
        QCOMPARE(sched_getaffinity(0, sizeof allowed, &allowed), 0);
        QVERIFY(Task().threads() <= CPU_COUNT(&allowed));
        std::size_t first = 0;
        while (!CPU_ISSET(first, &allowed))
            ++first;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(first, &one);
        QCOMPARE(sched_setaffinity(0, sizeof one, &one), 0);
        const int threads = Task().threads();
        QCOMPARE(sched_setaffinity(0, sizeof allowed, &allowed), 0);
        QCOMPARE(threads, 1);
    }

    // A cgroup v2 quota, as a container's --cpus sets it.
    void readsACpuQuota_data()
    {
        QTest::addColumn<QByteArray>("cpuMax");
        QTest::addColumn<int>("cpus"); // 0: no quota
        QTest::newRow("no quota") << "max 100000\n"_ba << 0;
        QTest::newRow("one CPU") << "100000 100000\n"_ba << 1;
        QTest::newRow("a fraction is used too") << "150000 100000\n"_ba << 2;
        QTest::newRow("less than one CPU") << "20000 100000\n"_ba << 1;
        QTest::newRow("unreadable") << "100000"_ba << 0;
    }
    void readsACpuQuota()
    {
        QFETCH(QByteArray, cpuMax);
        QFETCH(int, cpus);
        QCOMPARE(cpusOfQuota(cpuMax).value_or(0), cpus);
    }

    void reportsTheFirstBadItem_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<QString>("message");

        QTest::newRow("not a number") << QStringList{u"1"_s, u"abc"_s, u"x"_s} << qsizetype(1) << notANumber(2, u"abc"_s);
        QTest::newRow("empty line") << QStringList{u"1"_s, u"2"_s, QString()} << qsizetype(2) << blank(3);
        QTest::newRow("only spaces") << QStringList{u"   "_s} << qsizetype(0) << blank(1);
        // Each limit as the message names it, and an item just past it: tied to the bound itself.
        const QString past = u"1e%1"_s.arg(ParsedNumber::maxOrder + 1), below = u"-1e-%1"_s.arg(ParsedNumber::maxOrder + 1);
        const QString lowest = u"1e-%1"_s.arg(ParsedNumber::maxOrder);
        QTest::newRow("too large") << QStringList{past} << qsizetype(0) << tooLarge(1, past);
        QTest::newRow("too small") << QStringList{u"1"_s, below} << qsizetype(1)
                                   << u"Line 2 holds a number too small to compute with (below %1): \"%2\"."_s.arg(lowest, isolated(below));
        QTest::newRow("too many digits") << QStringList{u"1"_s, u"0."_s + QString(30'000'000, u'7')} << qsizetype(1)
                                         << u"Line 2 holds a number with too many digits to compute with (a digit below %1): \"%2\"."_s.arg(
                                                lowest, isolated(u"0."_s + QString(38, u'7') + u'\u2026'));
        QTest::newRow("long text is shortened") << QStringList{QString(1000, u'x')} << qsizetype(0) << notANumber(1, QString(40, u'x') + u'\u2026');
        QTest::newRow("text with a percent sign") << QStringList{u"%1 %2"_s} << qsizetype(0) << notANumber(1, u"%1 %2"_s);
        QTest::newRow("C1 control characters shown") << QStringList{u"1\u0085\u009D"_s} << qsizetype(0) << notANumber(1, u"1[U+0085][U+009D]"_s);
        QTest::newRow("control characters shown") << QStringList{QString(u"1\0" "2\x1b"_s)} << qsizetype(0) << notANumber(1, u"1\u24002\u241B"_s);
        QTest::newRow("shortened between graphemes") << QStringList{QString(39, u'x') + u"e\u0301\u0301z"_s} << qsizetype(0)
                                                     << notANumber(1, QString(39, u'x') + u"e\u0301\u0301\u2026"_s);
        QTest::newRow("surrogate pair kept whole") << QStringList{QString(39, u'x') + u"\U0001F600z"_s} << qsizetype(0)
                                                   << notANumber(1, QString(39, u'x') + u"\U0001F600\u2026"_s);
        QTest::newRow("right to left, with a direction control") << QStringList{u"\u0661\u0662\u202E3"_s} << qsizetype(0)
                                                                  << notANumber(1, u"\u0661\u0662\uFFFD3"_s);
    }
    void reportsTheFirstBadItem()
    {
        QFETCH(QStringList, items);
        QFETCH(qsizetype, position);
        QFETCH(QString, message);
        const Lines lines = linesOf(items);
        for (const auto &error : {errorOf([&] { return meanOf(lines); }), errorOf([&] { return modeOf(lines); })}) {
            QVERIFY(error);
            QCOMPARE(error->kind(), RuntimeError::Kind::conversionFailed);
            QCOMPARE(error->position(), position);
            QCOMPARE(errorMessage(*error), message);
        }
    }

    void reportsAnEmptyList()
    {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, (void)meanOf(Lines()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, (void)modeOf(Lines()));
    }
};

// A QCoreApplication, for the environment's language and number format as the program has them.
QTEST_GUILESS_MAIN(TestStats)
#include "tst_stats.moc"
