#include "runtime/core/runtimeerror.h"

RuntimeError RuntimeError::fileAccessFailed(const ListSource &source, Reason reason, int errorCode)
{
    RuntimeError error(Kind::fileAccessFailed, reason);
    error.m_source = source;
    error.m_errorCode = errorCode;
    return error;
}

RuntimeError RuntimeError::positionOutOfRange(qsizetype position, qsizetype count)
{
    RuntimeError error(Kind::controlCallFailed, Reason::none);
    error.m_position = position;
    error.m_count = count;
    return error;
}

RuntimeError RuntimeError::conversionFailed(qsizetype position, QByteArrayView text, Reason reason)
{
    RuntimeError error(Kind::conversionFailed, reason);
    error.m_position = position;
    error.m_text = text.first(std::min(text.size(), keptTextBytes)).toByteArray();
    return error;
}

RuntimeError RuntimeError::emptyList()
{
    return {Kind::emptyList, Reason::none};
}

RuntimeError RuntimeError::outOfMemory(Reason doing, const ListSource &source)
{
    RuntimeError error(Kind::outOfMemory, doing);
    error.m_source = source;
    return error;
}

const char *RuntimeError::what() const noexcept
{
    switch (m_kind) {
    case Kind::fileAccessFailed:
        return "the list file cannot be read";
    case Kind::controlCallFailed:
        return "no item at that position";
    case Kind::conversionFailed:
        return "an item is not a number to compute with";
    case Kind::emptyList:
        return "the list is empty";
    case Kind::outOfMemory:
        return "not enough memory";
    }
    return "error";
}
