// Renders the window as a user sees it after "Mean" on a list, to a PNG:
//   liststats_screenshot OUTPUT.png   (in the folder holding List.txt; offscreen is enough)

#include "app/form1.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    Form1 form;
    int status = 1;
    QObject::connect(&form, &Form1::loaded, &form, [&form] {
        form.show();
        form.findChild<QPushButton *>(u"Command1"_s)->click();
    });
    QObject::connect(&form, &Form1::answered, &form, [&] {
        status = form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
        QCoreApplication::exit();
    });
    QObject::connect(&form, &Form1::loadFailed, &app, &QCoreApplication::quit);
    form.loadList();
    QApplication::exec();
    return status;
}
