#include "runtime/runtimeerror.h"

using namespace Qt::StringLiterals;

RuntimeError::RuntimeError(Kind kind, QString message)
    : m_kind(kind), m_message(std::move(message)), m_what(m_message.toUtf8())
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
