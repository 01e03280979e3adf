#pragma once

#include <QFile>
#include <QtGlobal>

// Kilobytes the process holds now: its resident memory, or under a sanitizer
// (which keeps freed blocks in quarantine) the bytes it has allocated live.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VSL_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VSL_SANITIZED_HEAP 1
#endif
#endif

#ifdef VSL_SANITIZED_HEAP
#include <cstddef>
// The sanitizers' own count (declared here: not every compiler ships the header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// A "kB" line of /proc/self/status ("VmRSS:"), 0 where there is none.
inline qint64 procStatusKb(const QByteArray& key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    return 0;
}

inline qint64 memoryInUseKb()
{
#ifdef VSL_SANITIZED_HEAP
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return procStatusKb("VmRSS:");
#endif
}

// The most kilobytes the process has held resident since the last
// resetPeakMemory (or its start); 0 where that is not known.
inline qint64 peakMemoryKb()
{
    return procStatusKb("VmHWM:");
}

// Lowers the peak to what is resident now; false where that cannot be done.
inline bool resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
