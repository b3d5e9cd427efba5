#include "app/form1.h"

#include "runtime/announcer.h"
#include "runtime/background.h"
#include "runtime/errorreport.h"
#include "runtime/lines.h"
#include "runtime/listbox.h"
#include "runtime/runtimeerror.h"
#include "runtime/task.h"
#include "stats/numbers.h"
#include "stats/statistics.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

// The layout is given in twips; 15 twips make one device-independent pixel, so Qt scales it
// on high-DPI screens like any other widget geometry.
consteval int px(int twips)
{
    if (twips % 15 != 0)
        throw "a layout measure that is not a whole number of pixels";
    return twips / 15;
}

template<typename Widget>
Widget *makeControl(QWidget *parent, const char *name, QRect geometry)
{
    auto *const widget = new Widget(parent);
    widget->setObjectName(QLatin1StringView(name));
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent)
    , List1(makeControl<ListBox>(this, "List1", {px(120), px(120), px(1695), px(2985)}))
    , Command1(makeControl<QPushButton>(this, "Command1", {px(3360), px(120), px(1215), px(495)}))
    , Command2(makeControl<QPushButton>(this, "Command2", {px(3360), px(840), px(1215), px(495)}))
    , Command3(makeControl<QPushButton>(this, "Command3", {px(3360), px(2640), px(1215), px(495)}))
    , Label1(makeControl<QLabel>(this, "Label1", {px(2040), px(1560), px(2535), px(855)}))
    , m_announcer(new Announcer(this))
{
    presentAsWindow(staticMetaObject.className());
    setObjectName(u"Form1"_s);
    setWindowTitle(u"Form1"_s);
    setWindowIcon(icon());
    // Controls are placed, not laid out: resizing the window moves none of them.
    resize(px(4680), px(3195));

    // A screen reader names each button by its text and the label by its result; a new result
    // is also announced as it appears.
    const struct
    {
        QPushButton *button;
        QString text;
        QString description;
    } buttons[] = {{Command1, u"Mean"_s, u"Shows the mean of the numbers in the list"_s},
                   {Command2, u"Mode"_s, u"Shows the most frequent number in the list and how often it occurs"_s},
                   {Command3, u"Done"_s, u"Ends the program"_s}};
    for (const auto &[button, text, description] : buttons) {
        button->setText(text);
        button->setAccessibleDescription(description);
        button->setAutoDefault(true); // Enter clicks the focused button, as Space does
    }
    List1->setAccessibleName(u"Numbers from List.txt"_s);
    List1->setAccessibleDescription(u"The lines of List.txt, one item each, in file order"_s);
    Label1->setAccessibleDescription(u"The latest result"_s);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The result can be selected, with the mouse or from the keyboard, and copied with Ctrl+C;
    // the label is last in the tab order, so a keyboard user reaches it too, once it holds one.
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Label1->setFocusPolicy(Qt::NoFocus);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Label1);
    List1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::computeMean);
    connect(Command2, &QPushButton::clicked, this, &Form1::computeMode);
    connect(Command3, &QPushButton::clicked, this, &Form1::endProgram);
}

QIcon Form1::icon()
{
    // Naming the format spares loading every image format plugin to find out which it is.
    const auto image = [](const QString &name) { return QPixmap(u":/icons/%1.xpm"_s.arg(name), "XPM"); };
    QIcon icon;
    icon.addPixmap(image(u"liststats-32"_s));
    icon.addPixmap(image(u"liststats-16"_s));
    // An icon holds one image per size and look; the two-colour one is its disabled look.
    icon.addPixmap(image(u"liststats-32-mono"_s), QIcon::Disabled);
    return icon;
}

bool Form1::loadList()
{
    Task task;
    Lines lines;
    // By its relative name: the working folder's own name need not be valid in any encoding.
    if (!runInBackground(nullptr, nullptr, u"Reading List.txt\u2026"_s, task, [&] { lines = readLines(u"List.txt"_s, task); }))
        return false;
    List1->setItems(std::move(lines));
    return true;
}

void Form1::computeMean()
{
    respond(u"compute the mean"_s, u"Computing the mean\u2026"_s,
            [this](Task &task) { return u"Mean: "_s + formatNumber(mean(List1->items(), task)); });
}

void Form1::computeMode()
{
    respond(u"compute the mode"_s, u"Computing the mode\u2026"_s, [this](Task &task) {
        const Mode result = mode(List1->items(), task);
        return u"Mode: "_s + formatNumber(result.value) + u" with "_s + QString::number(result.count) + u" ocurrances"_s;
    });
}

void Form1::respond(const QString &what, const QString &doing, const std::function<QString(Task &)> &work)
{
    Task task;
    m_running = &task;
    const auto notRunning = qScopeGuard([this] { m_running = nullptr; });
    try {
        QString result;
        bool finished = false;
        try {
            // Done stays active, so that the program can be ended while the work runs.
            finished = runInBackground(this, Command3, doing, task, [&] { result = work(task); });
        } catch (const std::bad_alloc &) {
            throw RuntimeError::outOfMemory(what);
        }
        if (!finished)
            return;
        Label1->setText(result);
        Label1->setFocusPolicy(Qt::StrongFocus);
        List1->setSelectedIndex(List1->itemCount() - 1);
        m_announcer->announce(Label1, result);
    } catch (const RuntimeError &error) {
        if (error.position() >= 0)
            List1->setSelectedIndex(int(error.position()));
        reportError(this, error);
    }
}

void Form1::endProgram()
{
    if (m_running)
        m_running->cancel();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_running)
        m_running->cancel();
    QWidget::closeEvent(event);
}
