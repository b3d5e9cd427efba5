#include "app/form1.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/errorreport.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"liststats"_s);
    QApplication::setApplicationVersion(QStringLiteral(LISTSTATS_VERSION_TEXT));

    Form1 form;
    QApplication::setWindowIcon(form.windowIcon());
    // Until the window shows, the load's progress is the only window: closing it is a cancel,
    // which ends the program with status 1 below, not a quit with 0.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&form, &Form1::loaded, &form, [&form] {
        QApplication::setQuitOnLastWindowClosed(true);
        form.show();
    });
    QObject::connect(&form, &Form1::loadFailed, &form, [](const RuntimeError &error) {
        reportError(nullptr, error);
        QCoreApplication::exit(1);
    });
    QObject::connect(&form, &Form1::loadCancelled, &form, [] { QCoreApplication::exit(1); }); // the user knows
    form.loadList();
    // The native window is made here while the list loads on other threads, so that showing it
    // then only maps it.
    (void)form.winId();
    return QApplication::exec();
}
