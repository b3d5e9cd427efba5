#pragma once

// What the window tests do to Form1 as a user would: put a List.txt in the working folder,
// click a button and answer the message that may come up.

#include "app/form1.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/listbox.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>

// Makes List.txt in the working directory hold these bytes.
[[nodiscard]] inline bool writeList(const QByteArray &bytes)
{
    QFile file(QStringLiteral("List.txt"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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

// Loads List.txt into the window and shows it, as main() does; false if it never appears.
[[nodiscard]] inline bool loadAndShow(Form1 &form)
{
    return !load(form) && (form.show(), QTest::qWaitForWindowExposed(&form));
}

inline QStringList itemTexts(const ListBox &list)
{
    QStringList result;
    for (qsizetype i = 0; i < list.items().size(); ++i)
        result.append(list.items().text(i));
    return result;
}

// Clicks the button and waits for the window to answer; when a message box comes up, notes its
// text and dismisses it. A message that Qt would render as rich text comes back marked, since an
// item's text must show as typed.
inline QString clickAndDismiss(QPushButton *button)
{
    QString message;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, &watcher, [&message] {
        if (auto *const box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            message = box->textFormat() == Qt::PlainText ? box->text() : QStringLiteral("(rich text) ") + box->text();
            box->done(QMessageBox::Ok);
        }
    });
    watcher.start();
    QSignalSpy answered(qobject_cast<Form1 *>(button->window()), &Form1::answered);
    QTest::mouseClick(button, Qt::LeftButton);
    if (answered.isEmpty() && !answered.wait(60'000))
        qFatal("the click was never answered");
    return message;
}
