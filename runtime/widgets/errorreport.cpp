#include "runtime/widgets/errorreport.h"

#include "runtime/core/lines.h"
#include "runtime/core/runtimeerror.h"
#include "stats/numbers.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBoundaryFinder>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

using namespace Qt::StringLiterals;

namespace {

// Enough of an item's text for the user to find it, whatever it holds: at most 40 characters,
// cut between whole graphemes; control characters visible (NUL as U+2400, U+0085 as "[U+0085]");
// and isolated from the sentence around it, so that right-to-left text leaves it in order.
QString excerpt(QByteArrayView text)
{
    constexpr int shownGraphemes = 40;
    constexpr qsizetype readBytes = 400; // more than 40 graphemes of any ordinary text
    static_assert(readBytes < RuntimeError::keptTextBytes, "an error keeps more than is shown");
    QString head = QString::fromUtf8(text.first(std::min(text.size(), readBytes)));
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, head);
    qsizetype end = 0;
    for (int count = 0; count < shownGraphemes && graphemes.toNextBoundary() != -1; ++count)
        end = graphemes.position();
    const bool shortened = end < head.size() || text.size() > readBytes;
    head.truncate(end);

    QString shown;
    shown.reserve(head.size());
    for (const QChar c : std::as_const(head)) {
        const char16_t code = c.unicode();
        if (code < 0x20)
            shown += QChar(char16_t(0x2400 + code));
        else if (code == 0x7F)
            shown += QChar(u'\u2421');
        else if (code >= 0x80 && code < 0xA0) // C1 controls have no visible symbols of their own
            shown += u"[U+%1]"_s.arg(int(code), 4, 16, QChar(u'0')).toUpper();
        else if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            shown += QChar(u'\uFFFD'); // a direction control would escape the isolation
        else
            shown += c;
    }
    return u'\u2068' + shown + (shortened ? u"\u2026"_s : QString()) + u'\u2069';
}

QString tr(const char *text)
{
    return QCoreApplication::translate("RuntimeError", text);
}

// The words for each reason, in the order of RuntimeError::Reason: what is wrong with the file,
// or with the item (its text standing last, as %1 or %2), or what there was not enough memory to
// do (%1 standing for the file's path). A limit stands first, as %1, filled in from where it is
// defined (limitText). The system's own errors come from strerror() instead.
constexpr const char *reasonTexts[] = {
    nullptr, // none
    nullptr, // systemError
    QT_TRANSLATE_NOOP("RuntimeError", "it is a folder, not a file"),
    QT_TRANSLATE_NOOP("RuntimeError", "it is not a regular file but a device, a pipe or a socket"),
    QT_TRANSLATE_NOOP("RuntimeError", "it holds more text than the list can (%1)"),
    QT_TRANSLATE_NOOP("RuntimeError", "is blank; it should hold a number"),
    QT_TRANSLATE_NOOP("RuntimeError", "is not a number: \"%1\""),
    QT_TRANSLATE_NOOP("RuntimeError", "holds a number too large to compute with (%1 or more): \"%2\""),
    QT_TRANSLATE_NOOP("RuntimeError", "holds a number too small to compute with (below %1): \"%2\""),
    QT_TRANSLATE_NOOP("RuntimeError", "holds a number with too many digits to compute with (a digit below %1): \"%2\""),
    QT_TRANSLATE_NOOP("RuntimeError", "read the list file \"%1\""),
    QT_TRANSLATE_NOOP("RuntimeError", "compute the mean"),
    QT_TRANSLATE_NOOP("RuntimeError", "compute the mode"),
};
static_assert(std::size(reasonTexts) == size_t(RuntimeError::Reason::computingMode) + 1,
              "one text for each reason");

// The limit that a reason's words name, as the program writes it; nothing for a reason without one.
QString limitText(RuntimeError::Reason reason)
{
    switch (reason) {
    case RuntimeError::Reason::tooLarge:
        return u"%1 GiB"_s.arg((qint64(Lines::maxBytes) + 1) >> 30);
    case RuntimeError::Reason::numberTooLarge:
        return formatNumber({false, 1, ParsedNumber::maxOrder + 1});
    case RuntimeError::Reason::numberTooSmall:
    case RuntimeError::Reason::tooManyDigits:
        return formatNumber({false, 1, -ParsedNumber::maxOrder});
    default:
        return {};
    }
}

QString reasonText(const RuntimeError &error)
{
    if (error.reason() == RuntimeError::Reason::systemError)
        return QString::fromLocal8Bit(std::strerror(error.errorCode()));
    const char *text = reasonTexts[size_t(error.reason())];
    if (!text)
        return {};
    const QString limit = limitText(error.reason());
    return limit.isEmpty() ? tr(text) : tr(text).arg(limit);
}

} // namespace

QString errorMessage(const RuntimeError &error)
{
    // Each argument goes in by a single arg() of its own, so that a "%1" in an item or a path
    // stays as typed.
    const bool fromFile = error.source().kind == ListSource::Kind::file;
    switch (error.kind()) {
    case RuntimeError::Kind::fileAccessFailed:
        if (!fromFile)
            return tr("Cannot read %1: %2.").arg(sourceName(error.source()), reasonText(error));
        return tr("Cannot read the list file \"%1\": %2.").arg(error.path(), reasonText(error));
    case RuntimeError::Kind::controlCallFailed:
        return tr("There is no item at position %1: the list holds %2 items.")
            .arg(QString::number(error.position()), QString::number(error.count()));
    case RuntimeError::Kind::conversionFailed:
        return tr("Line %1 %2.").arg(QString::number(error.position() + 1),
                                     error.reason() == RuntimeError::Reason::blank
                                         ? reasonText(error)
                                         : reasonText(error).arg(excerpt(error.text())));
    case RuntimeError::Kind::emptyList:
        return tr("The list is empty: there is nothing to compute.");
    case RuntimeError::Kind::outOfMemory:
        if (error.reason() == RuntimeError::Reason::none)
            return tr("Not enough memory.");
        if (error.reason() == RuntimeError::Reason::readingFile && !fromFile)
            return tr("Not enough memory to read %1.").arg(sourceName(error.source()));
        return tr("Not enough memory to %1.")
            .arg(error.reason() == RuntimeError::Reason::readingFile ? reasonText(error).arg(error.path()) : reasonText(error));
    }
    Q_UNREACHABLE();
}

QString sourceName(const ListSource &source)
{
    switch (source.kind) {
    case ListSource::Kind::file:
        return QFileInfo(source.path).fileName();
    case ListSource::Kind::standardInput:
        return tr("standard input");
    case ListSource::Kind::clipboard:
        return tr("the clipboard");
    case ListSource::Kind::droppedText:
        return tr("the dropped text");
    }
    Q_UNREACHABLE();
}

QMessageBox *messageBox(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    try {
        // Plain text: an item such as "<img src=...>" is shown as typed, never rendered.
        auto *const box = new QMessageBox(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        return box;
    } catch (const std::bad_alloc &) {
        std::fputs("liststats: not enough memory to show this message in a window\n", stderr);
        return nullptr;
    }
}

QMessageBox *errorReport(QWidget *parent, const RuntimeError &error)
{
    const QString message = errorMessage(error);
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qUtf8Printable(message));
    std::fflush(stderr);
    return messageBox(parent, QMessageBox::Critical, message);
}
