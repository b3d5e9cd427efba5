#pragma once

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "stats/statistics.h"

#include <QIcon>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class Announcer;
class ListBox;
class Progress;
class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QPushButton;
class Task;

// The program's one window. main() builds it and calls loadList(), which reads List.txt (or the
// list named on the command line) off the window's thread and emits loaded() once List1 holds
// its lines; main() then shows the window. Each button runs one procedure: Command1 ("Mean")
// computeMean, Command2 ("Mode") computeMode, Command3 ("Done") endProgram.
//
// In the window, a new list replaces the one shown: a file chosen with Ctrl+O or from the
// list's context menu, a file or text dropped on the window, or the clipboard's text pasted
// with Ctrl+V. Once its source is chosen, what runs for the old list stops; the old list stays
// until the new one has loaded, and stays for good when that fails or is cancelled.
//
// The list never changes after the load, so both statistics are worked out once, in one pass
// that starts as soon as the window is on the screen and runs off the window's thread. A click
// shows the known result at once (the label, the last item selected, the announcement), or the
// error with the item at fault selected; a click that comes before the pass has ended waits for
// it, and after a quarter of a second shows its progress, with Mean and Mode disabled. One click
// waits at a time: another Mean or Mode is refused until it is answered. Esc or Cancel stops the
// wait and the pass; Done and closing the window stay live and end the program at once.
class Form1 final : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;
    Q_DISABLE_COPY_MOVE(Form1)

    // The program's icon: 32x32 and 16x16 in sixteen colours, and 32x32 in two.
    [[nodiscard]] static QIcon icon();

    // Starts reading the lines of List.txt in the working directory into List1, in file order,
    // showing its progress in a window of its own when that takes long. Ends with one of the
    // three signals below; until loaded(), the list stays as it was.
    void loadList();
    // The same for a file the user named (source.kind file), which may be a pipe, or for
    // standard input.
    void loadList(const ListSource &source);
    // Opens a file chooser; the file chosen is loaded. Cancelled, it emits loadCancelled().
    void chooseList();
    // The clipboard's text becomes the list, one item per line; without text, nothing changes.
    void pasteList();

Q_SIGNALS:
    // A click on Mean or Mode has been answered: its result shown, or its error reported.
    void answered();
    void loaded();
    // The list cannot be read. While the window shows, it has reported this itself.
    void loadFailed(const RuntimeError &error);
    void loadCancelled(); // the user stopped the load, or chose no list

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    enum class Statistic { mean, mode };

    // Reads a list off the window's thread, as loadList() says, after stopping what runs for
    // the list shown.
    void startLoad(const ListSource &source, std::function<Lines(Task &)> read);
    // Shows the new list: no item selected, the label empty, the focus on the list.
    void showList(Lines lines, const ListSource &source);
    void nameList(const ListSource &source); // for a screen reader
    void loadText(const QString &text, ListSource::Kind kind);
    void showMenu(QPoint globalPosition);
    // Tells the user, in a message modal to the window, then calls dismissed.
    void report(const RuntimeError &error, const std::function<void()> &dismissed);
    void refuse(const QString &message);
    // Sets the click that waits for the pass, or none; returns the one that waited before.
    std::optional<Statistic> setWaiting(std::optional<Statistic> statistic);

    void computeMean();
    void computeMode();
    void endProgram();
    // What a click on Mean or Mode does: shows the known result, or waits for the pass.
    void respond(Statistic statistic);
    // Puts the result into Label1 and selects the last item; or selects the item at fault and
    // reports the error.
    void showResult(Statistic statistic);
    [[nodiscard]] bool ranOutOfMemory(Statistic statistic) const;
    // The pass: started once the window has painted itself, or by a click before that or after
    // it was stopped.
    void startPass();
    void passEnded(Outcome<Statistics> outcome);
    void stopPass();
    // Forgets the statistics, as when the items change.
    void forgetStatistics();
    // A wait that shows its progress closes Mean, Mode and the list to input until it ends,
    // and then gives the focus back to the button pressed.
    void closeForTheWait();
    void setOpenForClicks(bool open); // Mean, Mode and the list
    void endWait(Statistic pressed);
    void cancelWait();

    ListBox *const List1;
    QPushButton *const Command1;
    QPushButton *const Command2;
    QPushButton *const Command3;
    QLabel *const Label1;
    Announcer *const m_announcer; // speaks each new result and each wait
    QAction *const m_openAction;  // Ctrl+O
    QAction *const m_pasteAction; // Ctrl+V
    QMenu *m_menu = nullptr;          // the list's context menu, once first asked for
    QFileDialog *m_chooser = nullptr; // once first asked for
    ListSource m_source;              // where the list shown came from

    std::shared_ptr<Task> m_load;               // the load, while it runs
    std::shared_ptr<Task> m_pass;               // the pass, while it runs
    std::unique_ptr<Statistics> m_statistics;   // what the pass found, once it has ended
    std::optional<Statistic> m_waiting;         // the click waiting for the pass
    bool m_painted = false;                     // once the window has been on the screen
    bool m_closedForTheWait = false;
    bool m_reporting = false;                   // while a click's error is shown
    std::unique_ptr<Progress> m_progress;       // the wait's progress
    std::unique_ptr<Progress> m_loadProgress;   // the load's, while it runs
};
