#include "runtime/runtimeerror.h"

using namespace Qt::StringLiterals;

RuntimeError::RuntimeError(Kind kind, QString message, qsizetype position)
    : m_kind(kind), m_position(position), m_message(std::move(message)), m_what(m_message.toUtf8())
{
}

RuntimeError RuntimeError::fileAccessFailed(const QString &path, const QString &reason)
{
    return {Kind::fileAccessFailed, u"Cannot read the list file \"%1\": %2."_s.arg(path, reason)};
}

RuntimeError RuntimeError::positionOutOfRange(qsizetype position, qsizetype count)
{
    return {Kind::controlCallFailed,
            u"There is no item at position %1: the list holds %2 items."_s.arg(position).arg(count)};
}

RuntimeError RuntimeError::conversionFailed(qsizetype position, const QString &what)
{
    return {Kind::conversionFailed, u"Line %1 %2."_s.arg(QString::number(position + 1), what), position};
}

RuntimeError RuntimeError::emptyList()
{
    return {Kind::emptyList, u"The list is empty: there is nothing to compute."_s};
}

RuntimeError RuntimeError::outOfMemory(const QString &task)
{
    return {Kind::outOfMemory, u"Not enough memory to %1."_s.arg(task)};
}
