#include "viewer/EdfExport.h"

#include "viewer/ExportTarget.h"
#include "viewer/NarrowFileName.h"
#include "viewer/Recording.h"
#include "viewer/SpanStart.h"

#include <QLocale>
#include <QString>

#include <edflib.h>

#include <cmath>
#include <vector>

namespace {

// EDFlib's units for a data record's duration, and its largest record.
constexpr int DurationUnitsPerSecond = 100000;
constexpr int LargestRecordSamples = 5 * 1000 * 1000;
// The years an EDF+ header's two-digit year stands for.
constexpr int EarliestYear = 1985;
constexpr int LatestYear = 2084;
// EDFlib's units for an annotation's onset and duration.
constexpr qint64 TenthsOfMillisecondPerSecond = 10000;
// EDFlib keeps the first 40 bytes of an annotation's UTF-8 text, cutting inside a letter
// if it must; a text cut that way makes readers such as MNE-Python refuse the whole file.
constexpr size_t AnnotationBytesKept = 40;
// Marks the padding, from where the samples end to the end of the file.
constexpr char PaddingAnnotation[] = "Повтор последнего";
static_assert(sizeof PaddingAnnotation - 1 <= AnnotationBytesKept, "EDFlib would cut the annotation");

} // namespace

void EdfExport::recordFor(double samplesPerSecond, int *samplesPerRecord, int *recordSeconds)
{
    double closest = -1;
    for (int seconds = 1; seconds <= 60; ++seconds) {
        const qint64 samples = qBound(qint64(1), qint64(std::llround(samplesPerSecond * seconds)), qint64(LargestRecordSamples));
        const double error = std::abs(double(samples) / seconds - samplesPerSecond);
        if (closest < 0 || error < closest - 1e-9 * samplesPerSecond) {
            closest = error;
            *samplesPerRecord = int(samples);
            *recordSeconds = seconds;
        }
    }
}

bool EdfExport::write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason)
{
    const QLocale russian(QLocale::Russian);
    if (recording.samplesPerSecond() > LargestRecordSamples) {
        *reason = QStringLiteral("EDF+ вмещает не больше %1 отсчётов в секунду, а в записи их %2")
                      .arg(russian.toString(LargestRecordSamples),
                           russian.toString(recording.samplesPerSecond(), 'g', 15));
        return false;
    }
    const SpanStart start(recording, first);
    // EDF+ takes 1 January 1985 for a start that is not known.
    const QDateTime startTime = start.isKnown() ? start.time() : QDateTime(QDate(EarliestYear, 1, 1), QTime(0, 0));
    const QDate date = startTime.date();
    const QTime time = startTime.time();
    if (date.year() < EarliestYear || date.year() > LatestYear) {
        *reason = QStringLiteral("EDF+ хранит время начала только с %1 по %2 год, а первый сохраняемый "
                                 "отсчёт записан %3 (не сбились ли тогда часы компьютера?)")
                      .arg(EarliestYear)
                      .arg(LatestYear)
                      .arg(startTime.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        return false;
    }
    int samplesPerRecord = 0;
    int recordSeconds = 0;
    recordFor(recording.samplesPerSecond(), &samplesPerRecord, &recordSeconds);

    QByteArray fileName;
    if (!NarrowFileName::of(target.temporaryPath(), &fileName, reason))
        return false;
    const int handle = edfopen_file_writeonly(fileName.constData(), EDFLIB_FILETYPE_EDFPLUS, 1);
    if (handle < 0) {
        *reason = QStringLiteral("EDFlib не смогла создать файл (код %1)").arg(handle);
        return false;
    }
    const QByteArray label = QStringLiteral("Channel %1")
                                 .arg(recording.description() ? recording.description()->channelNumber : 1)
                                 .toLatin1();
    bool ready = edf_set_samplefrequency(handle, 0, samplesPerRecord) == 0
        && edf_set_datarecord_duration(handle, recordSeconds * DurationUnitsPerSecond) == 0
        && edf_set_digital_minimum(handle, 0, 0) == 0 && edf_set_digital_maximum(handle, 0, 255) == 0
        && edf_set_physical_minimum(handle, 0, 0) == 0 && edf_set_physical_maximum(handle, 0, 255) == 0
        && edf_set_physical_dimension(handle, 0, "") == 0 && edf_set_label(handle, 0, label.constData()) == 0
        && edf_set_equipment(handle, "larventa") == 0
        && edf_set_startdatetime(handle, date.year(), date.month(), date.day(), time.hour(), time.minute(),
                                 time.second()) == 0
        && edf_set_subsecond_starttime(handle, (time.msec() * 10 + start.tenthsOfMillisecond()) * 1000) == 0;
    if (!ready)
        *reason = QStringLiteral("EDFlib не приняла заголовок файла");

    std::vector<quint8> bytes(static_cast<size_t>(samplesPerRecord));
    std::vector<short> record(static_cast<size_t>(samplesPerRecord));
    for (qint64 at = first; ready && at < last; at += samplesPerRecord) {
        const qint64 count = qMin<qint64>(samplesPerRecord, last - at);
        if (recording.copySamples(at, count, bytes.data()) != count) {
            *reason = QStringLiteral("файл данных «%1» укоротился во время сохранения").arg(recording.dataPath());
            ready = false;
            break;
        }
        for (qint64 i = 0; i < samplesPerRecord; ++i)
            record[size_t(i)] = short(bytes[size_t(qMin(i, count - 1))]);
        if (edfwrite_digital_short_samples(handle, record.data()) != 0) {
            *reason = QStringLiteral("ошибка записи (EDFlib)");
            ready = false;
        }
    }
    if (ready && (last - first) % samplesPerRecord != 0) {
        const qint64 records = (last - first + samplesPerRecord - 1) / samplesPerRecord;
        const qint64 fileEnd = records * recordSeconds * TenthsOfMillisecondPerSecond;
        const qint64 samplesEnd =
            std::llround(double(last - first) / recording.samplesPerSecond() * TenthsOfMillisecondPerSecond);
        if (edfwrite_annotation_utf8(handle, samplesEnd, fileEnd - samplesEnd, PaddingAnnotation) != 0) {
            *reason = QStringLiteral("EDFlib не приняла отметку о повторе последнего отсчёта");
            ready = false;
        }
    }
    if (edfclose_file(handle) != 0 && ready) {
        *reason = QStringLiteral("ошибка записи (EDFlib)");
        ready = false;
    }
    return ready;
}
