// The window at a scale factor (QT_SCALE_FACTOR, set by the test's registration to 1 or 2):
// the same layout in device-independent pixels, rendered with that many device pixels each.

#include "app/form1.h"

#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

class TestHighDpi : public QObject
{
    Q_OBJECT

private:
    const qreal m_scale = qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_s).toDouble();

private Q_SLOTS:
    void shouldScaleTheWindow()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowHandle()->devicePixelRatio(), m_scale);
        QCOMPARE(form.size(), QSize(312, 213));
        const QPixmap rendered = form.grab();
        QCOMPARE(rendered.size(), QSize(312, 213) * m_scale);
        QCOMPARE(rendered.deviceIndependentSize(), QSizeF(312, 213));
    }

    void shouldScaleEveryControl_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("List1") << u"List1"_s << QRect(8, 8, 113, 199);
        QTest::newRow("Command1") << u"Command1"_s << QRect(224, 8, 81, 33);
        QTest::newRow("Command2") << u"Command2"_s << QRect(224, 56, 81, 33);
        QTest::newRow("Command3") << u"Command3"_s << QRect(224, 176, 81, 33);
        QTest::newRow("Label1") << u"Label1"_s << QRect(136, 104, 169, 57);
    }
    void shouldScaleEveryControl()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *const control = form.findChild<QWidget *>(name);
        QCOMPARE(control->geometry(), geometry);
        const QPixmap rendered = control->grab();
        QCOMPARE(rendered.size(), geometry.size() * m_scale);
        QCOMPARE(rendered.devicePixelRatio(), m_scale);
    }
};

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
