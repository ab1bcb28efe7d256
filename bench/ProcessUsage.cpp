#include "ProcessUsage.h"

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

namespace {

double statusKilobytes(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = field + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble();
    }
    return -1;
}

double toMb(double kilobytes)
{
    return kilobytes < 0 ? -1 : kilobytes * 1024 / 1e6;
}

} // namespace

double ProcessUsage::cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qint64 ProcessUsage::callingThreadWaits()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

double ProcessUsage::residentMb()
{
    return toMb(statusKilobytes("VmRSS"));
}

double ProcessUsage::peakResidentMb()
{
    return toMb(statusKilobytes("VmHWM"));
}

double ProcessUsage::ownResidentMb()
{
    return toMb(statusKilobytes("RssAnon"));
}

bool ProcessUsage::resetPeak()
{
    // "5" resets the peak resident size (Documentation/filesystems/proc.rst).
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}
