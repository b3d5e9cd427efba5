#pragma once

#include <QString>

class QMessageBox;
class QWidget;
class RuntimeError;
struct ListSource;

// The sentence that tells the user what went wrong and where, built from the error's facts.
[[nodiscard]] QString errorMessage(const RuntimeError &error);

// What the window and its messages call the source of a list: a file by its name, or
// "standard input", "the clipboard", "the dropped text".
[[nodiscard]] QString sourceName(const ListSource &source);

// Tells the user what went wrong: the sentence on standard error, for whoever started the
// program from a terminal, and a message box that says it, made but not shown, which deletes
// itself once closed. The caller adds what it needs, connects to its finished() signal and
// opens it with open(): modal to parent, or on its own while there is no window. Null when
// there is not memory enough to make it.
[[nodiscard]] QMessageBox *errorReport(QWidget *parent, const RuntimeError &error);
