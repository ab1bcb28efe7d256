#include "viewer/WavExport.h"

#include "viewer/ExportTarget.h"
#include "viewer/Recording.h"
#include "viewer/SpanStart.h"

#include <QLocale>
#include <QString>

#include <sndfile.h>

#include <cmath>
#include <vector>

namespace {

// A WAV file's sizes are 32-bit, the whole file's less 8 among them. libsndfile writes a
// longer file all the same, with its sizes cut, as if it were whole. The header before the
// samples takes less than 1 KiB.
constexpr qint64 LargestSampleCount = qint64(0xFFFFFFFF) - 1024;

} // namespace

bool WavExport::write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason)
{
    if (last - first > LargestSampleCount) {
        const QLocale russian(QLocale::Russian);
        *reason = QStringLiteral("в WAV помещается не больше %1 отсчётов (4 ГиБ), а сохранить нужно %2. "
                                 "Сохраните их в EDF+ или выберите участок короче")
                      .arg(russian.toString(LargestSampleCount), russian.toString(last - first));
        return false;
    }
    SF_INFO info = {};
    info.samplerate = int(qBound(qint64(1), qint64(std::llround(recording.samplesPerSecond())), qint64(1) << 30));
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    SNDFILE *file = sf_open_fd(target.descriptor(), SFM_WRITE, &info, 0);
    if (!file) {
        *reason = QStringLiteral("libsndfile: %1").arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        return false;
    }
    // Set before the first sample, so that they come before the data chunk.
    QString comment = QStringLiteral("samples_per_second=%1").arg(recording.samplesPerSecond(), 0, 'g', 15);
    const SpanStart start(recording, first);
    if (start.isKnown()) {
        const QString started = start.time().toString(Qt::ISODateWithMs);
        comment += QStringLiteral("; started=%1").arg(started);
        sf_set_string(file, SF_STR_DATE, started.toUtf8().constData());
    }
    sf_set_string(file, SF_STR_COMMENT, comment.toUtf8().constData());
    sf_set_string(file, SF_STR_SOFTWARE, "larventa-view");

    constexpr qint64 Chunk = 1 << 20;
    std::vector<quint8> buffer(size_t(qMin(Chunk, last - first)));
    bool written = true;
    for (qint64 at = first; written && at < last; at += Chunk) {
        const qint64 count = qMin(Chunk, last - at);
        if (recording.copySamples(at, count, buffer.data()) != count) {
            *reason = QStringLiteral("файл данных «%1» укоротился во время сохранения").arg(recording.dataPath());
            written = false;
        } else if (sf_write_raw(file, buffer.data(), count) != count) {
            *reason = QStringLiteral("ошибка записи (libsndfile: %1)").arg(QString::fromLocal8Bit(sf_strerror(file)));
            written = false;
        }
    }
    if (sf_close(file) != 0 && written) {
        *reason = QStringLiteral("ошибка записи (libsndfile: %1)").arg(QString::fromLocal8Bit(sf_strerror(nullptr)));
        written = false;
    }
    return written;
}
