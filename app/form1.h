#pragma once

#include <QIcon>
#include <QWidget>

#include <functional>

class Announcer;
class ListBox;
class QLabel;
class QPushButton;
class Task;

// The program's one window. main() builds it, fills List1 from List.txt with loadList() and only
// then shows it. Each button runs one procedure: Command1 ("Mean") computeMean, Command2 ("Mode")
// computeMode, Command3 ("Done") endProgram. The procedures read the items through ListBox and
// write only Label1's text; an error in one is reported and the window stays.
class Form1 final : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(Form1)

    // The program's icon: 32x32 and 16x16 in sixteen colours, and 32x32 in two.
    [[nodiscard]] static QIcon icon();

    // Fills List1 with the lines of List.txt in the working directory, in file order, showing
    // its progress in a window of its own when that takes long. Returns false when the user
    // cancelled; throws RuntimeError when the file cannot be read. Either way the list stays empty.
    bool loadList();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void computeMean();
    void computeMode();
    void endProgram();
    // Runs a button's work off the window's thread, with progress shown as `doing` ("Computing
    // the mean…") when it takes long, and puts the text it returns into Label1. Afterwards the
    // last item is selected; or, if the work threw or ran out of memory, the item at fault is
    // selected, the error is reported, and the label keeps its text. `what` names the task in
    // the message ("compute the mean"). A cancelled click changes nothing.
    void respond(const QString &what, const QString &doing, const std::function<QString(Task &)> &work);

    ListBox *const List1;
    QPushButton *const Command1;
    QPushButton *const Command2;
    QPushButton *const Command3;
    QLabel *const Label1;
    Announcer *const m_announcer; // speaks each new result
    Task *m_running = nullptr; // the procedure's work while one runs
};
