#pragma once

#include <QString>

// Where a list comes from: a file, standard input, or text the user pasted or dropped. Errors
// in reading it carry it, so that the message can name it.
struct ListSource
{
    enum class Kind { file, standardInput, clipboard, droppedText };

    Kind kind = Kind::file;
    QString path; // a file's, as the message shows it

    [[nodiscard]] static ListSource file(QString path) { return {Kind::file, std::move(path)}; }
    [[nodiscard]] static ListSource of(Kind kind) { return {kind, {}}; }
};
