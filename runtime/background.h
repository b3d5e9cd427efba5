#pragma once

#include <QString>

#include <functional>

class QWidget;
class Task;

// Runs work on a thread of its own and waits for it without freezing: the event loop keeps
// running, so windows go on painting. Work that lasts longer than about a quarter of a second
// shows a progress dialog with the task's percent and a Cancel button (Esc, or closing the
// dialog, cancels too): modal over parent, or a small window of its own without one. Until the
// work is done, mouse and key input to parent's window is dropped, except to `exempt` (Esc there
// cancels too). Short work shows nothing and takes no input at all.
// Returns false when the task was cancelled, rethrows what work threw, and returns true otherwise.
[[nodiscard]] bool runInBackground(QWidget *parent, QWidget *exempt, const QString &label, Task &task,
                                   const std::function<void()> &work);
