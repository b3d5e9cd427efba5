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

    // Each control where the layout puts it, in device-independent pixels, rendered with the
    // scale's device pixels; resizing the window moves and resizes nothing.
    void shouldPlaceEveryControl_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("List1") << u"List1"_s << u"ListBox"_s << QString() << QRect(8, 8, 113, 199);
        QTest::newRow("Command1") << u"Command1"_s << u"QPushButton"_s << u"Mean"_s << QRect(224, 8, 81, 33);
        QTest::newRow("Command2") << u"Command2"_s << u"QPushButton"_s << u"Mode"_s << QRect(224, 56, 81, 33);
        QTest::newRow("Command3") << u"Command3"_s << u"QPushButton"_s << u"Done"_s << QRect(224, 176, 81, 33);
        QTest::newRow("Label1") << u"Label1"_s << u"QLabel"_s << QString() << QRect(136, 104, 169, 57);
    }
    void shouldPlaceEveryControl()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QRect, geometry);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *const control = form.findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QCOMPARE(control->property("text").toString(), text);
        QCOMPARE(control->geometry(), geometry);
        const QPixmap rendered = control->grab();
        QCOMPARE(rendered.size(), geometry.size() * m_scale);
        QCOMPARE(rendered.devicePixelRatio(), m_scale);

        form.resize(640, 480);
        QTRY_COMPARE(form.size(), QSize(640, 480));
        QCOMPARE(control->geometry(), geometry);
    }
};

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
