#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QProgressDialog;
class QWidget;
class Task;

// The progress of a task that the user waits for. After a quarter of a second, a dialog shows
// the task's percent (or, while it has no total, how much it has read) with a Cancel button (Esc, or closing the dialog, cancels too): over
// parent, or a small window of its own without one, and never modal, so that the rest of the
// program stays live. Short work shows nothing. Destroying it closes the dialog.
class Progress final : public QObject
{
    Q_OBJECT

public:
    Progress(QWidget *parent, const QString &label, std::shared_ptr<const Task> task);
    ~Progress() override;
    Q_DISABLE_COPY_MOVE(Progress)

    // Whether the dialog takes the focus when it comes up (it does unless told): not while the
    // user types the list into a terminal.
    void setTakesFocus(bool takes) { m_takesFocus = takes; }

    // The dialog's Cancel button, while it shows; else null.
    [[nodiscard]] QWidget *cancelButton() const;

Q_SIGNALS:
    void shown();     // the dialog came up (and has the focus, if it takes it)
    void cancelled(); // the user cancelled

private:
    void show();
    void update();

    QWidget *const m_parent;
    const QString m_label;
    const std::shared_ptr<const Task> m_task;
    QTimer m_showTimer;
    QTimer m_updateTimer;
    QPointer<QProgressDialog> m_dialog;
    bool m_takesFocus = true;
};
