#include "runtime/core/cpus.h"

#include <QThread>

#include <algorithm>

int usableCpuCount()
{
    // Qt's count: the affinity where the system has one, else the CPUs there are. A container's
    // quota is not seen; the threads then share what it grants.
    return std::max(1, QThread::idealThreadCount());
}
