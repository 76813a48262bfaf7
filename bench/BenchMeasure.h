#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

// CPU time of the whole process (all threads, the sound mixer's included) over wall time.
class CpuMeter {
public:
    void start()
    {
        cpuAtStartUs = cpuUs();
        wall.start();
    }
    [[nodiscard]] double percentOfOneCore() const
    {
        return 100.0 * double(cpuUs() - cpuAtStartUs) / (double(wall.nsecsElapsed()) / 1e3);
    }
    [[nodiscard]] double wallSeconds() const { return double(wall.nsecsElapsed()) / 1e9; }

private:
    static long long cpuUs()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec
            + usage.ru_stime.tv_usec;
    }

    long long cpuAtStartUs = 0;
    QElapsedTimer wall;
};

// The gaps between consecutive moments, in ms, comma-separated.
[[nodiscard]] inline QString intervalsMs(const QList<qint64> &momentsNs)
{
    QStringList gaps;
    for (qsizetype i = 1; i < momentsNs.size(); ++i)
        gaps << QString::number(double(momentsNs[i] - momentsNs[i - 1]) / 1e6, 'f', 3);
    return gaps.join(u',');
}
