#include "runtime/errorreport.h"

#include "runtime/runtimeerror.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>

void reportError(QWidget *parent, const RuntimeError &error)
{
    const QString name = QCoreApplication::applicationName();
    std::fprintf(stderr, "%s: %s\n", qPrintable(name), error.what());
    std::fflush(stderr);
    QMessageBox::critical(parent, name, error.message());
}
