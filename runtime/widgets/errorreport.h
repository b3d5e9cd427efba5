#pragma once

#include <QString>

class QWidget;
class RuntimeError;

// The sentence that tells the user what went wrong and where, built from the error's facts.
[[nodiscard]] QString errorMessage(const RuntimeError &error);

// Tells the user what went wrong: a modal message over parent (or on its own when there is no
// window yet), and the same text on standard error for whoever started the program from a
// terminal. Returns when the user has dismissed the message.
void reportError(QWidget *parent, const RuntimeError &error);
