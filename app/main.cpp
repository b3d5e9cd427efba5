#include "app/form1.h"
#include "runtime/errorreport.h"
#include "runtime/runtimeerror.h"

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
    try {
        if (!form.loadList())
            return 1; // cancelled: the user knows
    } catch (const RuntimeError &error) {
        reportError(nullptr, error);
        return 1;
    }
    form.show();
    return QApplication::exec();
}
