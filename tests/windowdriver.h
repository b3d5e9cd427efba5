#pragma once

// What the window tests do to Form1 as a user would: put a List.txt in the working folder,
// click a button and answer the message that may come up.

#include "app/form1.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/listbox.h"
#include "testhelpers.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

// Makes the temporary folder the working one, where the program looks for List.txt.
[[nodiscard]] inline bool enter(const QTemporaryDir &dir)
{
    return dir.isValid() && QDir::setCurrent(dir.path());
}

// Makes List.txt in the working directory hold these bytes.
[[nodiscard]] inline bool writeList(const QByteArray &bytes)
{
    return writeFile(QStringLiteral("List.txt"), bytes);
}

// One of the window's controls by its name, or the window itself by its own.
template<typename T = QWidget>
T *control(Form1 &form, const QString &name)
{
    return name == u"Form1" ? qobject_cast<T *>(&form) : form.findChild<T *>(name);
}

// Loads List.txt into the window and waits for the load to end. Returns the error, if any.
inline std::optional<RuntimeError> load(Form1 &form)
{
    std::optional<RuntimeError> error;
    bool ended = false;
    const QObject listener;
    QObject::connect(&form, &Form1::loaded, &listener, [&ended] { ended = true; });
    QObject::connect(&form, &Form1::loadFailed, &listener, [&](const RuntimeError &failure) {
        error = failure;
        ended = true;
    });
    form.loadList();
    if (!QTest::qWaitFor([&ended] { return ended; }, 60'000))
        qFatal("the load never ended");
    return error;
}

// Loads List.txt into the window and shows it, as main() does; false if the load fails or the
// window never appears and takes the keyboard.
[[nodiscard]] inline bool loadAndShow(Form1 &form)
{
    return !load(form) && (form.show(), QTest::qWaitForWindowExposed(&form) && QTest::qWaitForWindowActive(&form));
}
// The same, with List.txt made to hold these bytes first.
[[nodiscard]] inline bool loadAndShow(Form1 &form, const QByteArray &list)
{
    return writeList(list) && loadAndShow(form);
}

// Presses the key (Tab or Backtab) this many times, each where the focus is then; returns the
// names of the controls that the focus went to, in turn.
inline QStringList tabThrough(int presses, Qt::Key key = Qt::Key_Tab)
{
    QStringList names;
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        names.append(QApplication::focusWidget()->objectName());
    }
    return names;
}

// While it lives, notes the text of each message box that comes up and dismisses it with OK. A
// message that Qt would render as rich text comes back marked, since an item's text must show as
// typed.
class MessageWatcher final
{
public:
    MessageWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (auto *const box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                text = box->textFormat() == Qt::PlainText ? box->text() : QStringLiteral("(rich text) ") + box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start();
    }
    Q_DISABLE_COPY_MOVE(MessageWatcher)

    QString text; // the last message's

private:
    QTimer m_timer;
};

// Clicks the button and waits for the window to answer; when a message box comes up, returns
// its text and dismisses it.
inline QString clickAndDismiss(QPushButton *button)
{
    const MessageWatcher watcher;
    QSignalSpy answered(qobject_cast<Form1 *>(button->window()), &Form1::answered);
    QTest::mouseClick(button, Qt::LeftButton);
    if (answered.isEmpty() && !answered.wait(60'000))
        qFatal("the click was never answered");
    return watcher.text;
}
// The same, for the window's button of that name.
inline QString clickAndDismiss(Form1 &form, const QString &button)
{
    return clickAndDismiss(control<QPushButton>(form, button));
}
