#pragma once

#include <QFile>
#include <QList>

#include <sys/resource.h>
#include <unistd.h>

// What the benchmarks read of their own process.
namespace Measures {

// User and system time of the whole process so far: the figure to trust on a loaded machine.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double residentMegabytes() {
    QFile statm("/proc/self/statm");
    statm.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
}

}  // namespace Measures
