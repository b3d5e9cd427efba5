#include "runtime/core/cpus.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <limits>

std::optional<int> cpusOfQuota(QByteArrayView cpuMax)
{
    const QList<QByteArray> fields = cpuMax.toByteArray().trimmed().split(' ');
    bool quotaOk = false, periodOk = false;
    const qint64 quota = fields.size() == 2 ? fields[0].toLongLong(&quotaOk) : 0;
    const qint64 period = fields.size() == 2 ? fields[1].toLongLong(&periodOk) : 0;
    if (!quotaOk || !periodOk || quota <= 0 || period <= 0)
        return std::nullopt;
    return int(std::min(quota / period + (quota % period != 0), qint64(std::numeric_limits<int>::max())));
}
