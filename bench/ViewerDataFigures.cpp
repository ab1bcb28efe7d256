#include "ViewerDataFigures.h"

#include "BenchReport.h"

#include "viewer/Recording.h"
#include "viewer/RecordingExport.h"
#include "viewer/WelchEstimate.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr int Repeats = 5;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Pages of this process that no other maps, in bytes, leaving out those of the file at
// skipped: the system counts a mapped file's pages as private while no other process maps
// them, though they are its file cache.
qint64 privateBytesBeside(const QString &skipped)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray skippedName = QFile::encodeName(QFileInfo(skipped).canonicalFilePath());
    qint64 total = 0;
    bool counted = true;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.isEmpty() || fields.first().isEmpty())
            continue;
        if (!fields.first().endsWith(':')) {
            // A mapping's first line: addresses, permissions, offset, device, inode, path.
            counted = skippedName.isEmpty() || fields.size() < 6 || fields.at(5) != skippedName;
        } else if (counted && fields.size() >= 2
                   && (fields.first() == "Private_Clean:" || fields.first() == "Private_Dirty:")) {
            total += fields.at(1).toLongLong() * 1024;
        }
    }
    return total;
}

} // namespace

ViewerDataFigures::ViewerDataFigures(BenchReport &report)
    : m_report(report)
    , m_recordings(report)
{
}

void ViewerDataFigures::measure()
{
    measureExports();
    measureDay();
}

void ViewerDataFigures::measureDay()
{
    const QString statsFigure = QStringLiteral("span_stats_24h_ms");
    const QString memoryFigure = QStringLiteral("view_memory_24h_mb");
    const QString spectrumFigure = QStringLiteral("spectrum_24h_ms");
    const QString path = m_recordings.recordingOf(24 * 3600, statsFigure);
    if (path.isEmpty()) {
        m_report.fail(spectrumFigure, QStringLiteral("no recording"));
        return;
    }
    SimulatedRecordings::warmCache(path);
    const qint64 before = privateBytesBeside(QString());
    QElapsedTimer clock;
    clock.start();
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    const double openMs = clock.nsecsElapsed() / 1e6;
    if (!recording) {
        m_report.fail(statsFigure, error);
        m_report.fail(memoryFigure, error);
        m_report.fail(spectrumFigure, error);
        return;
    }
    m_report.add(QStringLiteral("recording_open_24h_ms"), openMs, QStringLiteral("ms"));
    const qint64 after = privateBytesBeside(path);
    m_report.add(memoryFigure, double(after - before) / 1e6, QStringLiteral("MB"), BenchReport::Goal::AtMost, 40);

    QList<double> times;
    for (int i = 0; i < Repeats; ++i) {
        clock.start();
        const SpanStatistics statistics = recording->statistics(0, recording->sampleCount());
        times.append(clock.nsecsElapsed() / 1e6);
        if (statistics.count != recording->sampleCount()) {
            m_report.fail(statsFigure, QStringLiteral("the statistics counted %1 samples of %2")
                                           .arg(statistics.count)
                                           .arg(recording->sampleCount()));
            return;
        }
    }
    m_report.add(statsFigure, median(times), QStringLiteral("ms"), BenchReport::Goal::AtMost, 30);
    measureSpectrum(recording.get(), error, spectrumFigure, 3, 4000);
}

void ViewerDataFigures::measureSpectrum(const Recording *recording, const QString &error, const QString &figure,
                                        int repeats, double goalMs)
{
    if (!recording) {
        m_report.fail(figure, error);
        return;
    }
    const WelchEstimate::Request request{0, recording->sampleCount(), 0, recording->samplesPerSecond()};
    QList<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer clock;
        clock.start();
        QString failure;
        if (!WelchEstimate::compute(*recording, request, nullptr, nullptr, &failure)) {
            m_report.fail(figure, failure);
            return;
        }
        times.append(clock.nsecsElapsed() / 1e6);
    }
    m_report.add(figure, median(times), QStringLiteral("ms"), BenchReport::Goal::AtMost, goalMs);
}

void ViewerDataFigures::measureExports()
{
    const struct
    {
        RecordingExport::Format format;
        const char *figure;
        const char *suffix;
        double goal;
    } exports[] = {
        {RecordingExport::Format::Wav, "export_wav_1h_ms", "wav", 500},
        {RecordingExport::Format::Edf, "export_edf_1h_ms", "edf", 1500},
    };
    const QString spectrumFigure = QStringLiteral("spectrum_1h_ms");
    const QString path = m_recordings.recordingOf(3600, QLatin1String(exports[0].figure));
    if (path.isEmpty()) {
        m_report.fail(spectrumFigure, QStringLiteral("no recording"));
        return;
    }
    SimulatedRecordings::warmCache(path);
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    for (const auto &one : exports) {
        const QString figure = QLatin1String(one.figure);
        if (!recording) {
            m_report.fail(figure, error);
            continue;
        }
        const QString out = m_recordings.filePath(QStringLiteral("export.") + QLatin1String(one.suffix));
        QList<double> times;
        for (int i = 0; i < Repeats && error.isEmpty(); ++i) {
            QElapsedTimer clock;
            clock.start();
            if (RecordingExport::write(*recording, 0, recording->sampleCount(), one.format, out, &error))
                times.append(clock.nsecsElapsed() / 1e6);
        }
        QFile::remove(out);
        if (!error.isEmpty())
            m_report.fail(figure, error);
        else
            m_report.add(figure, median(times), QStringLiteral("ms"), BenchReport::Goal::AtMost, one.goal);
    }
    measureSpectrum(recording.get(), error, spectrumFigure, 5, 250);
}
