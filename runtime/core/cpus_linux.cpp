#include "runtime/core/cpus.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

int usableCpuCount()
{
    int cpus = std::max(1, QThread::idealThreadCount()); // on Linux, the CPUs of the affinity mask
    QFile membership(u"/proc/self/cgroup"_s);
    if (!membership.open(QIODevice::ReadOnly))
        return cpus;
    for (const QByteArray &line : membership.readAll().split('\n')) {
        if (!line.startsWith("0::")) // the cgroup v2 hierarchy
            continue;
        // Its own cgroup and every one above it may set a quota; the smallest binds.
        const QString root = u"/sys/fs/cgroup"_s;
        for (QString group = QDir::cleanPath(root + QString::fromUtf8(line.mid(3))); group.startsWith(root);
             group.truncate(group.lastIndexOf(u'/'))) {
            QFile cpuMax(group + u"/cpu.max"_s);
            if (cpuMax.open(QIODevice::ReadOnly)) {
                if (const std::optional<int> granted = cpusOfQuota(cpuMax.readAll()))
                    cpus = std::min(cpus, *granted);
            }
        }
    }
    return cpus;
}
