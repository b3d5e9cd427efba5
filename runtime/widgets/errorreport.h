#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;
class RuntimeError;
struct ListSource;

// The sentence that tells the user what went wrong and where, built from the error's facts.
[[nodiscard]] QString errorMessage(const RuntimeError &error);

// What the window and its messages call the source of a list: a file by its name, or
// "standard input", "the clipboard", "the dropped text".
[[nodiscard]] QString sourceName(const ListSource &source);

// A message box that shows the text as typed, with OK, made but not shown; it deletes itself
// once closed. The caller adds what it needs, connects to its finished() signal and opens it
// with open(): modal to parent, or on its own while there is no window. Null when there is not
// memory enough to make it.
[[nodiscard]] QMessageBox *messageBox(QWidget *parent, QMessageBox::Icon icon, const QString &text);

// Tells the user what went wrong: the sentence on standard error, for whoever started the
// program from a terminal, and a message box that says it, as messageBox() makes one.
[[nodiscard]] QMessageBox *errorReport(QWidget *parent, const RuntimeError &error);
