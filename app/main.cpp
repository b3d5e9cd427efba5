#include "app/form1.h"
#include "runtime/core/lines.h"
#include "runtime/core/memoryreserve.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/widgets/errorreport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The list at start cannot be read. OK, Esc and closing the report end the program with status
// 1; "Open a list…" lets the user choose another, loaded in its place.
void reportAtStart(Form1 &form, const RuntimeError &error)
{
    QMessageBox *const box = errorReport(nullptr, error);
    if (!box) {
        QCoreApplication::exit(1);
        return;
    }
    QPushButton *const open = box->addButton(u"Open a list\u2026"_s, QMessageBox::ActionRole);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    QObject::connect(box, &QDialog::finished, &form, [&form, box, open] {
        if (box->clickedButton() == open)
            form.chooseList();
        else
            QCoreApplication::exit(1);
    });
    box->open();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(u"liststats"_s);
    QApplication::setApplicationVersion(QStringLiteral(LISTSTATS_VERSION_TEXT));
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Shows the mean and the mode of the numbers in a list, one a line: "
                                     "List.txt in the working folder, or FILE."_s);
    // "-reverse" is Qt's option, not -r -e -v -e -r -s -e.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(u"FILE"_s, u"The list to read instead of List.txt; - reads standard input."_s, u"[FILE]"_s);

    // --help and --version answer before there is a window, or a display to show one on. Qt's
    // own options are still among the arguments here, and taken for unknown ones.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    (void)parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(version)) {
        const QCoreApplication core(argc, argv); // names the program in the usage
        const QString text = parser.isSet(help) ? parser.helpText()
                                                : u"%1 %2\n"_s.arg(QCoreApplication::applicationName(),
                                                                    QCoreApplication::applicationVersion());
        std::fputs(qPrintable(text), stdout);
        return 0;
    }

    QApplication app(argc, argv); // takes Qt's own options out of the arguments
    // The window paints and reports even when a pass has taken nearly all the memory there is.
    keepMemoryReserve();
    if (!parser.parse(QApplication::arguments()) || parser.positionalArguments().size() > 1) {
        const QString error = parser.errorText().isEmpty() ? u"Only one list can be read: FILE once."_s : parser.errorText();
        std::fprintf(stderr, "%s: %s\n\n%s", qPrintable(QCoreApplication::applicationName()), qPrintable(error),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(u"help-all"_s))
        parser.process(app); // the usage with Qt's own options; needs the application

    Form1 form;
    QApplication::setWindowIcon(form.windowIcon());
    // Until the window shows, the load's progress and the report are the only windows: closing
    // them ends the program with status 1 below, not a quit with 0.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&form, &Form1::loaded, &form, [&form] {
        QApplication::setQuitOnLastWindowClosed(true);
        form.show();
    });
    // Once the window shows, it reports a new list's failure itself, and keeps the list it has.
    QObject::connect(&form, &Form1::loadFailed, &form, [&form](const RuntimeError &error) {
        if (!form.isVisible())
            reportAtStart(form, error);
    });
    QObject::connect(&form, &Form1::loadCancelled, &form, [&form] {
        if (!form.isVisible())
            QCoreApplication::exit(1); // the user knows
    });

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        form.loadList();
    } else if (files.front() == u"-") {
        if (standardInputIsTerminal())
            std::fputs("liststats: reading the list from the terminal: type one number a line, then Ctrl+D.\n", stderr);
        form.loadList(ListSource::of(ListSource::Kind::standardInput));
    } else {
        form.loadList(ListSource::file(files.front()));
    }
    // The native window is made here while the list loads on other threads, so that showing it
    // then only maps it.
    (void)form.winId();
    return QApplication::exec();
}
