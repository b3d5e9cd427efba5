// Checks the mean and the mode against Python on exact values, on seeded random lists: each
// item a Fraction, the exact mean, decimal's rounding; statistics.mode returns the first of the
// most frequent values.

#include "runtime/core/lines.h"
#include "stats/numbers.h"
#include "stats/statistics.h"
#include "testhelpers.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace Qt::StringLiterals;

namespace {

// One list of items as a user's file might hold them. The distributions are drawn by hand from
// the engine's raw output, which the standard fixes, so every machine makes the same lists.
class ListMaker
{
public:
    explicit ListMaker(std::uint64_t seed) : m_engine(seed) { }

    QStringList make(int kind)
    {
        const int count = kind == 3 ? 1 : 1 + int(below(300));
        if (kind == 9) // cancellation: each large item is taken back, so small ones decide
            return cancelling(count);
        if (kind == 10) { // two 15-digit neighbours, whose mean ties at the 16th digit
            const QString head = sign() + QString::number(1 + below(9)) + u'.' + digits(13);
            const auto last = int(below(9));
            const QString exponent = u'e' + QString::number(qint64(below(801)) - 400);
            return {head + QString::number(last) + exponent, head + QString::number(last + 1) + exponent};
        }
        QStringList items;
        for (int i = 0; i < count; ++i)
            items.append(item(kind));
        return items;
    }

private:
    std::uint64_t below(std::uint64_t n) { return m_engine() % n; }
    QString sign() { return below(2) ? u"-"_s : QString(); }
    QString digits(int count)
    {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QChar(u'0' + char16_t(below(10)));
        return text;
    }
    QStringList cancelling(int count)
    {
        QStringList items;
        for (int i = 0; i < count; ++i) {
            const QString large = digits(1 + int(below(20))) + u'e' + QString::number(20 + below(400));
            items << large << QString::number(below(10)) + u'.' + digits(int(below(5))) << u'-' + large;
        }
        return items;
    }

    QString item(int kind)
    {
        switch (kind) {
        case 0: // integers of a 16-bit range
            return QString::number(qint64(below(65536)) - 32768);
        case 1: // decimals with about six significant digits
            return sign() + QString::number(below(1000)) + u'.' + QString::number(below(1000)).rightJustified(3, u'0');
        case 2: { // heavy ties, written in several ways
            static const QStringList ways{u"1"_s, u"1.0"_s, u"+1"_s, u"2"_s, u"2."_s, u"-2"_s, u"0.5"_s, u".5"_s, u"0"_s, u"-0"_s};
            return ways[qsizetype(below(std::uint64_t(ways.size())))];
        }
        case 3: // single items of any size
        case 4: // magnitudes far apart, where a running sum would lose digits
            return sign() + QString::number(below(1'000'000)) + u'e' + QString::number(qint64(below(81)) - 40);
        case 5: // near the ends of the double's range
            return sign() + QString::number(1 + below(9)) + u'.' + QString::number(below(10)) + u'e'
                   + (below(2) ? QString::number(300 + below(8)) : u"-"_s + QString::number(300 + below(24)));
        case 6: // integers of 20 digits, past what a double or 64 bits hold
            return sign() + QString::number(1 + below(9)) + digits(19);
        case 7: // long fractions
            return sign() + digits(int(below(4))) + u'.' + digits(15 + int(below(30)));
        case 8: // exponents beyond a double's
            return sign() + digits(1 + int(below(6))) + u'e' + (below(2) ? u"-"_s : QString()) + QString::number(309 + below(2000));
        default: { // one value in several spellings, or its neighbour in the last digit
            static const QStringList ways{u"12.5"_s, u"1.25e1"_s, u"0.125e2"_s, u"125e-1"_s, u"12.50"_s, u"+12.5"_s,
                                          u"12.500000000000000000001"_s, u"-3"_s, u"-3.0"_s, u"-0.3e1"_s, u"-30e-1"_s};
            return ways[qsizetype(below(std::uint64_t(ways.size())))];
        }
        }
    }

    std::mt19937_64 m_engine;
};

} // namespace

class TestPeer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void agreesWithPythonStatistics()
    {
        constexpr int listCount = 3000;
        ListMaker maker(20261208);
        QList<QStringList> lists;
        for (int i = 0; i < listCount; ++i)
            lists.append(maker.make(i % 12));

        QByteArray text;
        for (const QStringList &items : lists)
            text += items.join(u' ').toLatin1() + '\n';
        const QTemporaryDir dir;
        const QString path = dir.filePath(u"lists.txt"_s);
        QVERIFY(dir.isValid() && writeFile(path, text));

        QProcess python;
        python.start(QStringLiteral(PYTHON3), {QStringLiteral(PEER_SCRIPT), path});
        QVERIFY(python.waitForFinished(120'000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QStringList expected = QString::fromLatin1(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(expected.size(), listCount);

        for (int i = 0; i < listCount; ++i) {
            const Lines lines = linesOf(lists[i]);
            const QString ours = formatNumber(meanOf(lines)) + u'|' + modeText(modeOf(lines));
            QVERIFY2(ours == expected[i],
                     qPrintable(u"list %1 (%2): ours %3, Python's %4"_s.arg(i).arg(lists[i].join(u' ').left(200), ours, expected[i])));
        }
    }
};

QTEST_APPLESS_MAIN(TestPeer)
#include "tst_peer.moc"
