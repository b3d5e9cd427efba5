#pragma once

#include <QByteArrayView>

#include <optional>

// How many threads this process's work can keep busy: the CPUs it may run on (its affinity, as
// taskset or a container's cpuset sets it), or fewer where a cgroup v2 CPU quota (a container's
// --cpus) allows less. At least 1. Read from the system in cpus_linux.cpp; elsewhere, and in
// the portable build, Qt's count of CPUs (cpus_portable.cpp).
[[nodiscard]] int usableCpuCount();

// The CPUs a cgroup v2 "cpu.max" text ("quota period", in microseconds) grants, rounded up so
// that a fraction of one is used too; nothing for "max" (no quota) or a text it cannot read.
[[nodiscard]] std::optional<int> cpusOfQuota(QByteArrayView cpuMax);
