#pragma once

// Lets the process map only a little more memory than it has now, while the object lives, so
// that a test can see what running out of memory does without exhausting the machine. Tests
// that use it with threads run with MALLOC_ARENA_MAX=1: a thread's own malloc arena is address
// space mapped long before, which the limit would not see.

#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LISTSTATS_SANITIZED
#elif defined(__has_feature) // clang's, which names ThreadSanitizer only this way
#if __has_feature(thread_sanitizer)
#define LISTSTATS_SANITIZED
#endif
#endif
#if defined(LISTSTATS_SANITIZED)
// The sanitizers map terabytes of shadow memory and abort when an allocation fails.
#define LISTSTATS_SKIP_UNDER_MEMORY_LIMIT QSKIP("a sanitizer cannot run under a memory limit")
#else
#define LISTSTATS_SKIP_UNDER_MEMORY_LIMIT
#endif

class MemoryLimit final
{
public:
    explicit MemoryLimit(rlim_t headroom)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        QFile statm(QStringLiteral("/proc/self/statm"));
        const bool read = statm.open(QIODevice::ReadOnly);
        const rlim_t mapped = read ? statm.readAll().split(' ').value(0).toULongLong() * rlim_t(sysconf(_SC_PAGESIZE)) : 0;
        struct rlimit limit = m_saved;
        limit.rlim_cur = mapped + headroom;
        m_set = read && setrlimit(RLIMIT_AS, &limit) == 0;
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    Q_DISABLE_COPY_MOVE(MemoryLimit)
    [[nodiscard]] bool isSet() const { return m_set; }

private:
    struct rlimit m_saved {};
    bool m_set = false;
};
