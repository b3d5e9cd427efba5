#include "runtime/errorreport.h"

#include "runtime/runtimeerror.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>
#include <new>

void reportError(QWidget *parent, const RuntimeError &error)
{
    const QString name = QCoreApplication::applicationName();
    std::fprintf(stderr, "%s: %s\n", qPrintable(name), error.what());
    std::fflush(stderr);
    try {
        // Plain text: an item such as "<img src=...>" is shown as typed, never rendered.
        QMessageBox box(QMessageBox::Critical, name, error.message(), QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    } catch (const std::bad_alloc &) {
        std::fputs("liststats: not enough memory to show this message in a window\n", stderr);
    }
}
