#include "app/form1.h"

// The icon's images, compiled in: XPM is C.
#include "app/icons/liststats-16.xpm"
#include "app/icons/liststats-32-mono.xpm"
#include "app/icons/liststats-32.xpm"

#include "runtime/core/job.h"
#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "runtime/core/task.h"
#include "runtime/widgets/announcer.h"
#include "runtime/widgets/errorreport.h"
#include "runtime/widgets/listbox.h"
#include "runtime/widgets/progress.h"
#include "stats/numbers.h"
#include "stats/statistics.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>

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
    , m_openAction(new QAction(u"Open a list\u2026"_s, this))
    , m_pasteAction(new QAction(u"Paste a list"_s, this))
    , m_source(ListSource::file(u"List.txt"_s))
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
    // Esc stops a click's wait, wherever the focus is in the window.
    new QShortcut(QKeySequence::Cancel, this, this, &Form1::cancelWait);
    // A new list, from the keyboard anywhere in the window, or from the list's context menu.
    m_openAction->setShortcut(QKeySequence::Open);
    m_pasteAction->setShortcuts(QKeySequence::Paste);
    for (QAction *const action : {m_openAction, m_pasteAction}) {
        action->setShortcutVisibleInContextMenu(true);
        addAction(action);
    }
    connect(m_openAction, &QAction::triggered, this, &Form1::chooseList);
    connect(m_pasteAction, &QAction::triggered, this, &Form1::pasteList);
    connect(List1, &ListBox::menuRequested, this, &Form1::showMenu);
    setAcceptDrops(true);
    // The statistics are those of the items: new items, new statistics.
    connect(List1->model(), &QAbstractItemModel::modelReset, this, &Form1::forgetStatistics);
    nameList(m_source);
}

Form1::~Form1()
{
    for (const auto &task : {m_load, m_pass}) {
        if (task)
            task->cancel();
    }
}

QIcon Form1::icon()
{
    // From arrays rather than files: to read a file, even one whose format is named, Qt first
    // loads the image format plugins, which took 2 ms of the start.
    QIcon icon;
    icon.addPixmap(QPixmap(liststats_32));
    icon.addPixmap(QPixmap(liststats_16));
    // An icon holds one image per size and look; the two-colour one is its disabled look.
    icon.addPixmap(QPixmap(liststats_32_mono), QIcon::Disabled);
    return icon;
}

void Form1::loadList()
{
    // By its relative name: the working folder's own name need not be valid in any encoding.
    startLoad(ListSource::file(u"List.txt"_s), [](Task &task) { return readLines(u"List.txt"_s, task); });
}

void Form1::loadList(const ListSource &source)
{
    if (source.kind == ListSource::Kind::standardInput) {
        startLoad(source, &readStandardInput);
        return;
    }
    if (source.kind == ListSource::Kind::file)
        startLoad(source, [path = source.path](Task &task) { return readLines(path, task, Streams::readToEnd); });
}

void Form1::startLoad(const ListSource &source, std::function<Lines(Task &)> read)
{
    // What ran for the old list stops; the statistics already known stay, for the old list
    // stays if this one fails.
    if (m_load)
        m_load->cancel();
    cancelWait();
    stopPass();
    List1->stopSearch();
    if (!isVisible())
        m_source = source; // the list to be shown, and where the chooser opens when it fails

    m_load = std::make_shared<Task>();
    m_loadProgress = std::make_unique<Progress>(isVisible() ? this : nullptr, u"Reading %1\u2026"_s.arg(sourceName(source)), m_load);
    // The user types into the terminal: the progress must not take the keys.
    m_loadProgress->setTakesFocus(!(source.kind == ListSource::Kind::standardInput && standardInputIsTerminal()));
    connect(m_loadProgress.get(), &Progress::cancelled, this, [this] {
        m_load->cancel();
        m_load.reset();
        m_loadProgress.reset();
        Q_EMIT loadCancelled();
    });
    startJob(this, m_load, std::move(read), [this, source](Outcome<Lines> outcome) {
        m_load.reset();
        m_loadProgress.reset();
        if (auto *const lines = std::get_if<Lines>(&outcome)) {
            showList(std::move(*lines), source);
            Q_EMIT loaded();
            return;
        }
        const RuntimeError &error = std::get<RuntimeError>(outcome);
        if (isVisible())
            report(error, [] { });
        Q_EMIT loadFailed(error);
    });
}

void Form1::showList(Lines lines, const ListSource &source)
{
    m_source = source;
    List1->setItems(std::move(lines)); // forgets the old list's statistics
    Label1->clear();
    Label1->setFocusPolicy(Qt::NoFocus);
    nameList(source);
    if (!isVisible())
        return; // the pass starts once the window is on the screen
    // A screen reader presents a list as it takes the focus: "List with N items", then the
    // current item. One that has the focus already gets its cursor on the first item, unselected,
    // as taking the focus does. Orca 48, of Qt 6.8's time, presents it anew as its name changes;
    // Orca 43, of Qt 6.4's, does not, so there the count is told here.
    if (List1->hasFocus()) {
        const int count = List1->itemCount();
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
        m_announcer->announce(List1, count == 1 ? u"List with 1 item"_s : u"List with %1 items"_s.arg(count));
#endif
        if (count > 0)
            List1->selectionModel()->setCurrentIndex(List1->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    }
    activateWindow();
    List1->setFocus();
    startPass();
}

void Form1::nameList(const ListSource &source)
{
    const QString name = sourceName(source);
    List1->setAccessibleName(u"Numbers from %1"_s.arg(name));
    List1->setAccessibleDescription(source.kind == ListSource::Kind::file
                                       ? u"The lines of %1, one item each, in file order"_s.arg(name)
                                       : u"The lines of %1, one item each, in order"_s.arg(name));
}

void Form1::chooseList()
{
    if (!m_chooser) {
        m_chooser = new QFileDialog(this, u"Open a list"_s);
        m_chooser->setFileMode(QFileDialog::ExistingFile);
        m_chooser->setNameFilters({u"Text files (*.txt)"_s, u"All files (*)"_s});
        connect(m_chooser, &QFileDialog::fileSelected, this,
                [this](const QString &path) { loadList(ListSource::file(path)); });
        connect(m_chooser, &QFileDialog::rejected, this, &Form1::loadCancelled);
    }
    m_chooser->setDirectory(m_source.kind == ListSource::Kind::file ? QFileInfo(m_source.path).absolutePath()
                                                                    : QDir::currentPath());
    m_chooser->open();
}

void Form1::pasteList()
{
    const QMimeData *const held = QGuiApplication::clipboard()->mimeData();
    if (held && held->hasText())
        loadText(held->text(), ListSource::Kind::clipboard);
}

void Form1::loadText(const QString &text, ListSource::Kind kind)
{
    if (text.isEmpty())
        return; // no list to speak of: nothing changes
    const ListSource source = ListSource::of(kind);
    startLoad(source, [text, source](Task &task) { return linesOfText(text, source, task); });
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() || event->mimeData()->hasText())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QMimeData *const dropped = event->mimeData();
    event->acceptProposedAction();
    if (!dropped->hasUrls()) {
        loadText(dropped->text(), ListSource::Kind::droppedText);
        return;
    }
    // A file wins over text dropped with it.
    const QList<QUrl> urls = dropped->urls();
    if (urls.size() != 1)
        return refuse(u"Drop one file at a time: a list is read from a single file."_s);
    if (!urls.front().isLocalFile())
        return refuse(u"Only a file on this computer can be opened as a list, not \"%1\"."_s.arg(urls.front().toDisplayString()));
    const ListSource source = ListSource::file(urls.front().toLocalFile());
    if (QFileInfo(source.path).isDir())
        return report(RuntimeError::fileAccessFailed(source, RuntimeError::Reason::folder), [] { });
    loadList(source);
}

void Form1::showMenu(QPoint globalPosition)
{
    if (!m_menu) {
        m_menu = new QMenu(this);
        m_menu->addActions({m_openAction, m_pasteAction});
    }
    if (!m_menu->isVisible()) // the Menu key asks twice on X11
        m_menu->popup(globalPosition);
}

void Form1::report(const RuntimeError &error, const std::function<void()> &dismissed)
{
    QMessageBox *const box = errorReport(this, error);
    if (!box) {
        dismissed();
        return;
    }
    connect(box, &QDialog::finished, this, dismissed);
    box->open();
}

void Form1::refuse(const QString &message)
{
    if (QMessageBox *const box = messageBox(this, QMessageBox::Information, message))
        box->open();
}

void Form1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // The pass starts once the window is on the screen: started as it shows, its threads took
    // the cores from mapping and painting it, and it came up 6 to 10 ms later on 10 M items.
    // Only the first time: not when the window comes back after a cancel.
    if (!std::exchange(m_painted, true))
        startPass();
}

void Form1::computeMean()
{
    respond(Statistic::mean);
}

void Form1::computeMode()
{
    respond(Statistic::mode);
}

void Form1::respond(Statistic statistic)
{
    if (m_waiting || m_reporting)
        return; // one procedure at a time: this click is refused
    if (m_statistics && ranOutOfMemory(statistic))
        forgetStatistics(); // worked out again: memory may have been freed since
    if (m_statistics) {
        showResult(statistic);
        return;
    }
    setWaiting(statistic);
    startPass();
    m_progress = std::make_unique<Progress>(
        this, statistic == Statistic::mean ? u"Computing the mean\u2026"_s : u"Computing the mode\u2026"_s, m_pass);
    connect(m_progress.get(), &Progress::shown, this, &Form1::closeForTheWait);
    connect(m_progress.get(), &Progress::cancelled, this, &Form1::cancelWait);
}

bool Form1::ranOutOfMemory(Statistic statistic) const
{
    const auto *const error = statistic == Statistic::mean ? std::get_if<RuntimeError>(&m_statistics->mean)
                                                           : std::get_if<RuntimeError>(&m_statistics->mode);
    return error && error->kind() == RuntimeError::Kind::outOfMemory;
}

void Form1::startPass()
{
    if (m_pass || m_statistics)
        return;
    m_pass = std::make_shared<Task>();
    startJob(
        this, m_pass, [items = List1->sharedItems()](Task &task) { return computeStatistics(*items, task); },
        [this](Outcome<Statistics> outcome) { passEnded(std::move(outcome)); });
}

void Form1::passEnded(Outcome<Statistics> outcome)
{
    m_pass.reset();
    if (auto *const error = std::get_if<RuntimeError>(&outcome))
        m_statistics = std::make_unique<Statistics>(Statistics{*error, *error});
    else
        m_statistics = std::make_unique<Statistics>(std::move(std::get<Statistics>(outcome)));
    if (const std::optional<Statistic> waiting = setWaiting(std::nullopt)) {
        endWait(*waiting);
        showResult(*waiting);
    }
}

void Form1::showResult(Statistic statistic)
{
    m_reporting = true;
    try {
        QString result;
        if (statistic == Statistic::mean) {
            result = u"Mean: "_s + formatNumber(valueOf(m_statistics->mean));
        } else {
            const Mode &mode = valueOf(m_statistics->mode);
            result = u"Mode: "_s + formatNumber(mode.value) + u" with "_s + QString::number(mode.count) + u" ocurrances"_s;
        }
        Label1->setText(result);
        Label1->setFocusPolicy(Qt::StrongFocus);
        List1->setSelectedIndex(List1->itemCount() - 1);
        m_announcer->announce(Label1, result);
    } catch (const RuntimeError &error) {
        if (error.position() >= 0)
            List1->setSelectedIndex(int(error.position()));
        report(error, [this] {
            m_reporting = false;
            Q_EMIT answered();
        });
        return;
    }
    m_reporting = false;
    Q_EMIT answered();
}

std::optional<Form1::Statistic> Form1::setWaiting(std::optional<Statistic> statistic)
{
    // A new list is not asked for while a click waits: the menu's entries say so.
    for (QAction *const action : {m_openAction, m_pasteAction})
        action->setEnabled(!statistic);
    return std::exchange(m_waiting, statistic);
}

void Form1::setOpenForClicks(bool open)
{
    for (QWidget *const control : std::initializer_list<QWidget *>{List1, Command1, Command2})
        control->setEnabled(open);
}

void Form1::closeForTheWait()
{
    // Focus is on the progress's Cancel now. Cleared here, it moves to no other control as the
    // focused one is disabled: a key held down must not reach Done.
    if (QWidget *const focused = focusWidget())
        focused->clearFocus();
    setOpenForClicks(false);
    m_closedForTheWait = true;
}

void Form1::endWait(Statistic pressed)
{
    m_progress.reset();
    if (!std::exchange(m_closedForTheWait, false))
        return;
    setOpenForClicks(true);
    activateWindow();
    (pressed == Statistic::mean ? Command1 : Command2)->setFocus();
}

void Form1::cancelWait()
{
    if (!m_waiting)
        return;
    const Statistic pressed = *setWaiting(std::nullopt);
    stopPass(); // a later click starts it again
    endWait(pressed);
    m_announcer->announce(Label1, u"Cancelled"_s);
}

void Form1::stopPass()
{
    if (m_pass)
        m_pass->cancel(); // it runs out on its own; what it finds is dropped
    m_pass.reset();
}

void Form1::forgetStatistics()
{
    cancelWait();
    stopPass();
    m_statistics.reset();
}

void Form1::endProgram()
{
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    cancelWait();
    stopPass();
    QWidget::closeEvent(event);
}
