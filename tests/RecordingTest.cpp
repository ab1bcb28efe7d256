#include "EdfAnnotationFault.h"
#include "FileCallFault.h"
#include "MneEdfReader.h"
#include "StaleFileSize.h"
#include "TestFiles.h"

#include "sim/SimulatedRecording.h"
#include "viewer/BusErrorGuard.h"
#include "viewer/ExportCommand.h"
#include "viewer/IntegrityCheck.h"
#include "viewer/Recording.h"
#include "viewer/RecordingExport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <edflib.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What marks the padding of an EDF+ file's last record.
const QString PaddingAnnotation = QStringLiteral("Повтор последнего");

// A slow wave between 100 and 160 with two lone odd samples, one high and one low, that a
// summary must not lose.
QByteArray samplesOfLength(qint64 length)
{
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        bytes[qsizetype(i)] = char(130 + std::lround(30 * std::sin(double(i) / 5000.0)) + int(i % 7) - 3);
    if (length > 2) {
        bytes[qsizetype(length / 3 + 17)] = char(251);
        bytes[qsizetype(2 * length / 3 + 1)] = char(4);
    }
    return bytes;
}

ColumnRange bruteRange(const QByteArray &bytes, qint64 from, qint64 to)
{
    ColumnRange range;
    for (qint64 i = std::max<qint64>(0, from); i < std::min<qint64>(to, bytes.size()); ++i) {
        range.min = std::min(range.min, quint8(bytes[qsizetype(i)]));
        range.max = std::max(range.max, quint8(bytes[qsizetype(i)]));
    }
    return range;
}

// Every file under dir with its size and modification time, to tell whether anything changed.
QStringList listing(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << QStringLiteral("%1 %2 %3")
                     .arg(it.filePath())
                     .arg(it.fileInfo().size())
                     .arg(it.fileInfo().lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}

// Where a WAV file's data chunk starts, or -1.
qint64 dataChunkOffset(const QByteArray &wav)
{
    for (qint64 at = 12; at + 8 <= wav.size();) {
        const quint32 length = quint8(wav[qsizetype(at + 4)]) | quint8(wav[qsizetype(at + 5)]) << 8
            | quint8(wav[qsizetype(at + 6)]) << 16 | quint32(quint8(wav[qsizetype(at + 7)])) << 24;
        if (wav.mid(qsizetype(at), 4) == "data")
            return at + 8;
        at += 8 + length + (length & 1);
    }
    return -1;
}

} // namespace

class RecordingTest : public QObject
{
    Q_OBJECT

private slots:
    void summariesAndStatisticsMatchAFullScan_data();
    void summariesAndStatisticsMatchAFullScan();
    void exportsReadBackByTheirOwnLibraries_data();
    void exportsReadBackByTheirOwnLibraries();
    void refusesBadInputWithAReason_data();
    void refusesBadInputWithAReason();
    void aTerminalIsRefusedWithoutBecomingTheViewersOwn_data();
    void aTerminalIsRefusedWithoutBecomingTheViewersOwn();
    void aRecordingBeingMadeIsFollowedToItsEnd_data();
    void aRecordingBeingMadeIsFollowedToItsEnd();
    void descriptionReadsBackWhatTheRecorderWrites();
    void integrityCheckNamesWhatDiffers_data();
    void integrityCheckNamesWhatDiffers();
    void exportCommandLeavesNoFileOnFailure_data();
    void exportCommandLeavesNoFileOnFailure();
    void exportRefusesWithTheReason_data();
    void exportRefusesWithTheReason();
    void exportEndedBySignalLeavesNoFile_data();
    void exportEndedBySignalLeavesNoFile();
};

void RecordingTest::summariesAndStatisticsMatchAFullScan_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<double>("first");
    QTest::addColumn<double>("perColumn");
    QTest::addColumn<int>("columns");
    QTest::addColumn<qint64>("grownFrom"); // followed from this length as the rest is written; 0: whole

    // Past the top level of the summary (16^3 blocks) with a tail of odd length.
    const qint64 large = 3 * (qint64(1) << 20) + 65536 + 4097 + 257;
    QTest::newRow("1 sample, whole") << qint64(1) << 0.0 << 1.0 / 1600 << 1600 << qint64(0);
    QTest::newRow("255, whole") << qint64(255) << 0.0 << 255.0 / 1600 << 1600 << qint64(0);
    QTest::newRow("256, one column") << qint64(256) << 0.0 << 256.0 << 1 << qint64(0);
    QTest::newRow("256, whole") << qint64(256) << 0.0 << 256.0 / 7 << 7 << qint64(0);
    QTest::newRow("257, columns of 2") << qint64(257) << 0.0 << 2.0 << 130 << qint64(0);
    QTest::newRow("257, before the start and past the end") << qint64(257) << -10.5 << 3.3 << 100 << qint64(0);
    QTest::newRow("large, whole in 1600") << large << 0.0 << double(large) / 1600 << 1600 << qint64(0);
    QTest::newRow("large, whole in 3") << large << 0.0 << double(large) / 3 << 3 << qint64(0);
    QTest::newRow("large, columns on block boundaries") << large << 65536.0 << 4096.0 << 900 << qint64(0);
    QTest::newRow("large, columns across level boundaries") << large << 65535.5 << 65537.3 << 60 << qint64(0);
    QTest::newRow("large, zoomed in") << large << double(large / 3) << 0.05 << 1600 << qint64(0);
    QTest::newRow("large, a sample per column at the end") << large << double(large - 800) << 1.0 << 1600 << qint64(0);
    QTest::newRow("large, followed from 1000 samples, whole in 1600") << large << 0.0 << double(large) / 1600 << 1600
                                                                      << qint64(1000);
    QTest::newRow("large, followed from inside a level, across its boundaries")
        << large << 65535.5 << 65537.3 << 60 << qint64(65536 * 16 + 4097);
    QTest::newRow("large, followed from a block's middle, zoomed in at the end")
        << large << double(large - 800) << 1.0 << 1600 << qint64(large - 1000);
}

void RecordingTest::summariesAndStatisticsMatchAFullScan()
{
    QFETCH(qint64, length);
    QFETCH(double, first);
    QFETCH(double, perColumn);
    QFETCH(int, columns);
    QFETCH(qint64, grownFrom);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.bin"));
    const QByteArray bytes = samplesOfLength(length);
    QVERIFY(TestFiles::write(path, grownFrom > 0 ? bytes.left(qsizetype(grownFrom)) : bytes));
    QString error;
    const std::unique_ptr<Recording> recording =
        Recording::open(path, &error, {}, grownFrom > 0 ? Recording::Following::Always : Recording::Following::WhileRecording);
    QVERIFY2(recording, qPrintable(error));
    if (grownFrom > 0) {
        // Written on in two parts, each taken in when it is there.
        QFile data(path);
        QVERIFY(data.open(QIODevice::Append));
        const qint64 middle = (grownFrom + length) / 2;
        QCOMPARE(recording->takeInGrowth(), Recording::Growth::Unchanged);
        for (const qint64 end : {middle, length}) {
            const qint64 at = data.size();
            QCOMPARE(data.write(bytes.mid(qsizetype(at), qsizetype(end - at))), end - at);
            QVERIFY(data.flush());
            QCOMPARE(recording->takeInGrowth(), Recording::Growth::Grew);
            QCOMPARE(recording->sampleCount(), end);
        }
    }
    QCOMPARE(recording->sampleCount(), length);

    std::vector<ColumnRange> summarised(static_cast<size_t>(columns));
    recording->summarise(first, perColumn, summarised.data(), columns);
    for (int i = 0; i < columns; ++i) {
        const qint64 from = qint64(std::floor(first + i * perColumn));
        const qint64 to = qint64(std::ceil(first + (i + 1) * perColumn));
        const ColumnRange expected = bruteRange(bytes, from, to);
        QVERIFY2(summarised[size_t(i)].min == expected.min && summarised[size_t(i)].max == expected.max,
                 qPrintable(QStringLiteral("column %1 (samples %2…%3): %4…%5, a scan gives %6…%7")
                                .arg(i).arg(from).arg(to)
                                .arg(summarised[size_t(i)].min).arg(summarised[size_t(i)].max)
                                .arg(expected.min).arg(expected.max)));
    }

    // Statistics over the span the columns cover, clamped to the recording.
    const qint64 spanFirst = std::max<qint64>(0, qint64(first));
    const qint64 spanLast = std::min<qint64>(length, qint64(first + columns * perColumn));
    const SpanStatistics statistics = recording->statistics(qint64(first), qint64(first + columns * perColumn));
    SpanStatistics expected;
    double sum = 0;
    double squares = 0;
    const ColumnRange range = bruteRange(bytes, spanFirst, spanLast);
    for (qint64 i = spanFirst; i < spanLast; ++i) {
        sum += quint8(bytes[qsizetype(i)]);
        squares += double(quint8(bytes[qsizetype(i)])) * quint8(bytes[qsizetype(i)]);
    }
    QCOMPARE(statistics.count, std::max<qint64>(0, spanLast - spanFirst));
    if (statistics.count > 0) {
        QCOMPARE(statistics.min, int(range.min));
        QCOMPARE(statistics.max, int(range.max));
        QCOMPARE(statistics.mean, sum / double(statistics.count));
        QCOMPARE(statistics.rms, std::sqrt(squares / double(statistics.count)));
    }

    // The samples themselves, at the end of the file.
    const qint64 tail = std::min<qint64>(length, 300);
    QByteArray copied(qsizetype(tail + 10), '\0');
    QCOMPARE(recording->copySamples(length - tail, tail + 10, reinterpret_cast<quint8 *>(copied.data())), tail);
    QCOMPARE(copied.left(qsizetype(tail)), bytes.right(qsizetype(tail)));
}

void RecordingTest::exportsReadBackByTheirOwnLibraries_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("rate");
    QTest::addColumn<bool>("described");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last"); // -1: the end

    QTest::newRow("wav, whole, 5600/s") << "wav" << 5600.0 << true << qint64(0) << qint64(-1);
    QTest::newRow("wav, span, a rate of 5597.3") << "wav" << 5597.3 << true << qint64(12345) << qint64(54321);
    QTest::newRow("wav, no description") << "wav" << 100.0 << false << qint64(0) << qint64(-1);
    QTest::newRow("edf, whole, 5600/s, whole records") << "edf" << 5600.0 << true << qint64(0) << qint64(5600 * 5);
    QTest::newRow("edf, span, a rate of 5597.3, padded") << "edf" << 5597.3 << true << qint64(777) << qint64(-1);
    QTest::newRow("edf, no description") << "edf" << 100.0 << false << qint64(3) << qint64(-1);
    QTest::newRow("csv, span, a rate of 5597.3") << "csv" << 5597.3 << true << qint64(1001) << qint64(30001);
    QTest::newRow("csv, no description") << "csv" << 100.0 << false << qint64(0) << qint64(-1);
}

void RecordingTest::exportsReadBackByTheirOwnLibraries()
{
    QFETCH(QString, format);
    QFETCH(double, rate);
    QFETCH(bool, described);
    QFETCH(qint64, first);
    QFETCH(qint64, last);

    QTemporaryDir dir;
    const QString dataPath = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(dataPath, 12.3, rate, &error), qPrintable(error));
    if (!described)
        QVERIFY(QFile::remove(RecordingDescription::pathFor(dataPath)));
    const std::unique_ptr<Recording> recording = Recording::open(dataPath, &error);
    QVERIFY2(recording, qPrintable(error));
    QCOMPARE(recording->samplesPerSecond(), described ? rate : Recording::AssumedSamplesPerSecond);
    if (last < 0)
        last = recording->sampleCount();
    const QByteArray data = TestFiles::read(dataPath).mid(qsizetype(first), qsizetype(last - first));
    QCOMPARE(data.size(), qsizetype(last - first));
    // When the span's first sample came, to 0.1 ms.
    const qint64 startTenths = described
        ? recording->started().toMSecsSinceEpoch() * 10 + std::llround(double(first) / rate * 10000)
        : 0;

    RecordingExport::Format chosen;
    QVERIFY(RecordingExport::formatFromName(format, &chosen));
    const QString out = dir.filePath(QStringLiteral("out.") + format);
    QVERIFY2(RecordingExport::write(*recording, first, last, chosen, out, &error), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), described ? 3 : 2);

    if (format == QLatin1String("wav")) {
        SF_INFO info = {};
        SNDFILE *wav = sf_open(QFile::encodeName(out).constData(), SFM_READ, &info);
        QVERIFY(wav);
        QCOMPARE(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
        QCOMPARE(info.channels, 1);
        QCOMPARE(info.samplerate, int(std::llround(rate)));
        QCOMPARE(qint64(info.frames), last - first);
        QByteArray read(data.size(), '\0');
        QCOMPARE(qint64(sf_read_raw(wav, read.data(), read.size())), qint64(read.size()));
        QVERIFY(read == data);
        const QString comment = QString::fromUtf8(sf_get_string(wav, SF_STR_COMMENT));
        QVERIFY2(comment.contains(QStringLiteral("samples_per_second=%1").arg(rate)), qPrintable(comment));
        const char *date = sf_get_string(wav, SF_STR_DATE);
        if (described) {
            QVERIFY(date);
            QCOMPARE(QDateTime::fromString(QString::fromUtf8(date), Qt::ISODateWithMs).toMSecsSinceEpoch(),
                     startTenths / 10);
        }
        sf_close(wav);
        // libsigrok's reader, PulseView's, wants the data within the first 1,024 bytes.
        const qint64 dataAt = dataChunkOffset(TestFiles::read(out));
        QVERIFY2(dataAt > 0 && dataAt <= 1024, qPrintable(QString::number(dataAt)));
    } else if (format == QLatin1String("edf")) {
        edf_hdr_struct header;
        QCOMPARE(edfopen_file_readonly(QFile::encodeName(out).constData(), &header, EDFLIB_READ_ALL_ANNOTATIONS), 0);
        QCOMPARE(header.filetype, EDFLIB_FILETYPE_EDFPLUS);
        QCOMPARE(header.edfsignals, 1);
        const edf_param_struct &signal = header.signalparam[0];
        QCOMPARE(signal.dig_min, 0);
        QCOMPARE(signal.dig_max, 255);
        QCOMPARE(signal.phys_min, 0.0);
        QCOMPARE(signal.phys_max, 255.0);
        const double readRate = double(signal.smp_in_datarecord) * EDFLIB_TIME_DIMENSION / double(header.datarecord_duration);
        QCOMPARE(readRate, rate);
        if (described) {
            const QDateTime start = recording->started().toOffsetFromUtc(recording->started().offsetFromUtc());
            const QDateTime localStart =
                QDateTime::fromMSecsSinceEpoch(startTenths / 10, Qt::OffsetFromUTC, start.offsetFromUtc());
            QCOMPARE(QDate(header.startdate_year, header.startdate_month, header.startdate_day), localStart.date());
            QCOMPARE(QTime(header.starttime_hour, header.starttime_minute, header.starttime_second),
                     QTime(localStart.time().hour(), localStart.time().minute(), localStart.time().second()));
            QCOMPARE(header.starttime_subsecond, (startTenths % 10000) * 1000);
        }
        const qint64 count = last - first;
        const qint64 padded = (count + signal.smp_in_datarecord - 1) / signal.smp_in_datarecord * signal.smp_in_datarecord;
        QCOMPARE(signal.smp_in_file, padded);
        std::vector<int> samples(static_cast<size_t>(padded));
        QCOMPARE(edfread_digital_samples(header.handle, 0, int(padded), samples.data()), int(padded));
        for (qint64 i = 0; i < padded; ++i)
            QCOMPARE(samples[size_t(i)], int(quint8(data[qsizetype(std::min(i, count - 1))])));
        // The padding is marked from where the samples end to the end of the file.
        const qint64 samplesEnd = std::llround(double(count) / rate * 10000) * 1000;
        const qint64 fileEnd = padded / signal.smp_in_datarecord * header.datarecord_duration;
        QCOMPARE(header.annotations_in_file, padded > count ? 1LL : 0LL);
        if (padded > count) {
            edf_annotation_struct annotation;
            QCOMPARE(edf_get_annotation(header.handle, 0, &annotation), 0);
            QCOMPARE(annotation.onset, samplesEnd);
            QCOMPARE(annotation.duration_l, fileEnd - samplesEnd);
            QCOMPARE(QString::fromUtf8(annotation.annotation), PaddingAnnotation);
        }
        edfclose_file(header.handle);

        MneEdfReader mne;
        QVERIFY2(mne.read(out, &error), qPrintable(error));
        QCOMPARE(mne.samplesPerSecond(), rate);
        QByteArray paddedData = data;
        paddedData.append(qsizetype(padded - count), data.back());
        QVERIFY(mne.samples() == paddedData);
        QCOMPARE(mne.annotations().size(), padded > count ? 1 : 0);
        if (padded > count) {
            const MneEdfReader::Annotation annotation = mne.annotations().first();
            QCOMPARE(annotation.text, PaddingAnnotation);
            QCOMPARE(std::llround(annotation.onset * 1e7), samplesEnd);
            QCOMPARE(std::llround(annotation.duration * 1e7), fileEnd - samplesEnd);
        }
    } else {
        const QList<QByteArray> lines = TestFiles::read(out).split('\n');
        QCOMPARE(lines.first(), QByteArray("seconds,value"));
        QCOMPARE(lines.last(), QByteArray());
        QCOMPARE(qint64(lines.size() - 2), last - first);
        for (qint64 i = 0; i < last - first; ++i) {
            const QList<QByteArray> fields = lines.at(qsizetype(i + 1)).split(',');
            QCOMPARE(fields.size(), 2);
            bool ok = false;
            const double seconds = fields.at(0).toDouble(&ok);
            QVERIFY(ok && fields.at(0).contains('.'));
            QVERIFY(std::abs(seconds - double(first + i) / rate) < 1e-5);
            QCOMPARE(fields.at(1).toInt(), int(quint8(data[qsizetype(i)])));
        }
    }
}

void RecordingTest::refusesBadInputWithAReason_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // a part of the message, or of the warning if it opens

    QTest::newRow("missing file") << "missing" << "нет такого файла";
    QTest::newRow("folder") << "folder" << "это папка";
    QTest::newRow("no read permission") << "unreadable" << "доступ запрещён";
    QTest::newRow("empty data file") << "empty" << "пуст";
    QTest::newRow("description not JSON") << "not json" << "не JSON";
    QTest::newRow("description of another format") << "other format" << "другого формата";
    QTest::newRow("description of a data file since renamed (opens)")
        << "other data" << "написано для файла данных «other.bin», а открыт «run.bin»";
    QTest::newRow("description with a key of the wrong type") << "wrong type" << "«channel»";
    QTest::newRow("description with a key twice, the second null") << "key twice" << "«channel» записан в нём дважды";
    QTest::newRow("description with a key twice, both alike") << "same key twice" << "«port» записан в нём дважды";
    QTest::newRow("description with a key twice, one escaped")
        << "escaped key twice" << "«device» записан в нём дважды";
    QTest::newRow("description with null where a value must be") << "null value" << "«device» должно быть строкой";
    QTest::newRow("description without a key") << "missing key" << "нет ключа «port»";
    QTest::newRow("description with a SHA-256 that is none") << "not a hash" << "«sha256»";
    QTest::newRow("data file of another size (opens)") << "other size" << "в описании — 5120 байт";
    QTest::newRow("file name not UTF-8") << "not utf-8" << "UTF-8";
    QTest::newRow("data file larger than any recording") << "huge" << "слишком велик для записи прибора — 10.0 ГБ";
    QTest::newRow("data file cut short while open (opens)") << "cut short" << "";
    QTest::newRow("data file removed while open (opens)") << "removed" << "";
}

void RecordingTest::refusesBadInputWithAReason()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 1, 5120, &error), qPrintable(error));
    const QString descriptionPath = RecordingDescription::pathFor(path);
    QByteArray description = TestFiles::read(descriptionPath);
    // Descriptions with one key at fault: what is replaced, and with what.
    const QHash<QString, std::pair<QByteArray, QByteArray>> keyFaults{
        {"wrong type", {"\"channel\": 1", "\"channel\": \"1\""}},
        {"key twice", {"\"problem\": null", "\"channel\": null,\n  \"problem\": null"}},
        {"same key twice", {"\"port\": 1,", "\"port\": 1, \"port\": 1,"}},
        {"escaped key twice", {"\"problem\": null", "\"problem\": null, \"dev\\u0069ce\": \"larventa-sim\""}},
        {"null value", {"\"device\": \"larventa-sim\"", "\"device\": null"}},
        {"missing key", {"\"port\": 1,", ""}},
        {"not a hash", {"\"sha256\": \"", "\"sha256\": \"ж"}},
    };
    bool opens = false;
    std::function<void()> cleanUp = [] {};
    const auto cleaner = qScopeGuard([&] { cleanUp(); });
    if (kind == QLatin1String("missing")) {
        path = dir.filePath(QStringLiteral("absent.bin"));
    } else if (kind == QLatin1String("folder")) {
        path = dir.path();
    } else if (kind == QLatin1String("unreadable")) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        // Root reads whatever the permissions say; as another user for files alone, it may not.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther));
    } else if (kind == QLatin1String("empty")) {
        QVERIFY(QFile::remove(descriptionPath));
        QVERIFY(TestFiles::write(path, QByteArray()));
    } else if (kind == QLatin1String("not json")) {
        QVERIFY(TestFiles::write(descriptionPath, description.left(description.size() / 2)));
        path = descriptionPath;
    } else if (kind == QLatin1String("other format")) {
        QVERIFY(TestFiles::write(descriptionPath, description.replace("larventa-recording/1", "larventa-recording/2")));
    } else if (kind == QLatin1String("other data")) {
        QVERIFY(TestFiles::write(descriptionPath, description.replace("\"run.bin\"", "\"other.bin\"")));
        path = descriptionPath;
        opens = true;
    } else if (const auto fault = keyFaults.constFind(kind); fault != keyFaults.cend()) {
        QVERIFY(description.contains(fault->first));
        QVERIFY(TestFiles::write(descriptionPath, description.replace(fault->first, fault->second)));
    } else if (kind == QLatin1String("other size")) {
        QVERIFY(TestFiles::write(path, TestFiles::read(path).left(4000)));
        opens = true;
    } else if (kind == QLatin1String("huge")) {
        // Sparse: nothing of it is written, and its summary would take 340 MB.
        QVERIFY(QFile::resize(path, (qint64(10) << 30) + 1));
    } else if (kind == QLatin1String("not utf-8")) {
        const QByteArray name = QFile::encodeName(dir.path()) + "/\xff\xfe.bin";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0 && ::write(fd, "abc", 3) == 3 && ::close(fd) == 0);
        path = QFile::decodeName(name);
        cleanUp = [name] { ::unlink(name.constData()); };
    } else {
        opens = true;
    }

    const QStringList before = listing(dir.path());
    const bool asNobody = kind == QLatin1String("unreadable") && ::geteuid() == 0;
    if (asNobody) {
        ::setfsuid(65534);
        if (int(::setfsuid(uid_t(-1))) != 65534)
            QSKIP("running as root without the right to act as another user: unreadable files are not checked");
    }
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    if (asNobody)
        ::setfsuid(0);
    QCOMPARE(bool(recording), opens);
    if (!opens) {
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
    } else if (!reason.isEmpty()) {
        QVERIFY2(recording->warnings().join(QLatin1Char('\n')).contains(reason),
                 qPrintable(recording->warnings().join(QLatin1Char('\n'))));
    }
    QCOMPARE(listing(dir.path()), before);
    if (kind != QLatin1String("cut short") && kind != QLatin1String("removed"))
        return;

    // Another program cuts the file short, or removes it, while it is open.
    const qint64 length = recording->sampleCount();
    const qint64 kept = kind == QLatin1String("cut short") ? 1000 : length;
    QFile mapped(path);
    QVERIFY(mapped.open(QIODevice::ReadOnly));
    const volatile uchar *bytes = mapped.map(0, length);
    QVERIFY(bytes);
    if (kind == QLatin1String("cut short"))
        QVERIFY(QFile::resize(path, kept));
    else
        QVERIFY(QFile::remove(path));
    std::vector<quint8> samples(static_cast<size_t>(length));
    QCOMPARE(recording->copySamples(0, length, samples.data()), kept);
    QCOMPARE(recording->statistics(0, length).count, kept);
    std::vector<ColumnRange> columns(10);
    recording->summarise(0, double(length) / 10, columns.data(), 10);
    QCOMPARE(columns[0].isEmpty(), false);
    QCOMPARE(columns[9].isEmpty(), kept < length);

    // Each read checks the size first; the cut that comes between the check and the read is
    // made by the check seeing the size the file had. Every read then touches a page past the
    // new end, which raises SIGBUS: in a child, so that a read left unguarded shows as its death.
    int results[2];
    QCOMPARE(::pipe(results), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(results[0]);
        const StaleFileSize stale(mapped, length);
        int last = 0;
        auto touchTheEnd = [&] { last = bytes[length - 1]; };
        // Zoomed in, so that the columns read the samples rather than their summary.
        std::vector<ColumnRange> zoomedIn(size_t(length / 100 + 1));
        recording->summarise(0, 100, zoomedIn.data(), int(zoomedIn.size()));
        const qint64 read[] = {qint64(BusErrorGuard::run(touchTheEnd)),
                               recording->copySamples(0, length, samples.data()),
                               recording->statistics(1, length - 1).count, qint64(zoomedIn.back().isEmpty())};
        _exit(::write(results[1], read, sizeof read) == qint64(sizeof read) ? 0 : 1);
    }
    ::close(results[1]);
    qint64 read[4] = {};
    const bool told = ::read(results[0], read, sizeof read) == qint64(sizeof read);
    ::close(results[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(!WIFSIGNALED(status), qPrintable(QStringLiteral("the reads died of signal %1").arg(WTERMSIG(status))));
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0 && told);
    QCOMPARE(read[0], qint64(kept == length));
    if (kept == length) {
        QCOMPARE(read[1], length);
        QCOMPARE(read[2], length - 2);
        QCOMPARE(read[3], qint64(false));
    } else {
        QVERIFY2(read[1] < length, qPrintable(QString::number(read[1])));
        QVERIFY2(read[2] < length - 2, qPrintable(QString::number(read[2])));
        QCOMPARE(read[3], qint64(true));
    }
    QCOMPARE(bool(Recording::open(recording->openedPath(), &error)), kept > 0 && kind == QLatin1String("cut short"));
}

void RecordingTest::aTerminalIsRefusedWithoutBecomingTheViewersOwn_data()
{
    QTest::addColumn<bool>("asDescription");

    QTest::newRow("as the data file") << false;
    QTest::newRow("as the description, through a link") << true;
}

// A program that leads its own session, as one started from a desktop may, takes the first
// terminal it opens as its controlling terminal unless it says otherwise.
void RecordingTest::aTerminalIsRefusedWithoutBecomingTheViewersOwn()
{
    QFETCH(bool, asDescription);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0);
    const auto closer = qScopeGuard([master] { ::close(master); });
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString terminal = QFile::decodeName(::ptsname(master));
    QTemporaryDir dir;
    QString path = terminal;
    if (asDescription) {
        path = dir.filePath(QStringLiteral("run.bin.json"));
        QVERIFY(QFile::link(terminal, path));
    }

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::setsid();
        QString error;
        const bool opened = bool(Recording::open(path, &error));
        const bool refused = error.contains(QStringLiteral("не обычный файл"));
        const bool ownTerminal = ::open("/dev/tty", O_RDWR | O_NOCTTY) >= 0;
        ::_exit(opened || !refused ? 2 : ownTerminal ? 1 : 0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QVERIFY2(WEXITSTATUS(status) != 2, "the terminal was not refused as a file that is not a regular one");
    QVERIFY2(WEXITSTATUS(status) != 1, "the terminal became the controlling terminal");
    QCOMPARE(WEXITSTATUS(status), 0);
}

void RecordingTest::aRecordingBeingMadeIsFollowedToItsEnd_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("describedFromTheStart");
    QTest::addColumn<Recording::Growth>("growth");

    QTest::newRow("the recorder's last description") << "ends" << true << Recording::Growth::Ended;
    QTest::newRow("described only at its end, followed always") << "ends" << false << Recording::Growth::Ended;
    QTest::newRow("made afresh: the data file cut short") << "cut short" << true << Recording::Growth::StartedOver;
    QTest::newRow("made afresh: a description of a later start")
        << "started later" << true << Recording::Growth::StartedOver;
    QTest::newRow("a description that is none, in the meantime") << "not json" << true << Recording::Growth::Grew;
}

// 20 s at 5,600 samples/s, of which the first 50,000 are in the file when it is opened.
void RecordingTest::aRecordingBeingMadeIsFollowedToItsEnd()
{
    QFETCH(QString, change);
    QFETCH(bool, describedFromTheStart);
    QFETCH(Recording::Growth, growth);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 20, 5600, &error), qPrintable(error));
    const QByteArray whole = TestFiles::read(path);
    const QString descriptionPath = RecordingDescription::pathFor(path);
    const QByteArray last = TestFiles::read(descriptionPath);
    std::optional<RecordingDescription> live = RecordingDescription::fromJson(last, dir.path(), &error);
    QVERIFY2(live, qPrintable(error));
    live->ending = RecordingDescription::Ending::Recording;
    live->ended = QDateTime();
    live->sha256.clear();
    if (describedFromTheStart)
        QVERIFY2(live->write(&error), qPrintable(error));
    else
        QVERIFY(QFile::remove(descriptionPath));
    QVERIFY(QFile::resize(path, 50000));

    const std::unique_ptr<Recording> recording = Recording::open(
        path, &error, {}, describedFromTheStart ? Recording::Following::WhileRecording : Recording::Following::Always);
    QVERIFY2(recording, qPrintable(error));
    QVERIFY(recording->isFollowed());
    QVERIFY(recording->rateIsAssumed());
    QCOMPARE(recording->sampleCount(), qint64(50000));
    QFile data(path);
    QVERIFY(data.open(QIODevice::Append));
    QCOMPARE(data.write(whole.mid(50000)), qint64(whole.size() - 50000));
    data.close();

    if (change == QLatin1String("ends")) {
        QVERIFY(TestFiles::write(descriptionPath, last));
    } else if (change == QLatin1String("cut short")) {
        QVERIFY(QFile::resize(path, 1000));
    } else if (change == QLatin1String("started later")) {
        live->started = live->started.addSecs(5);
        QVERIFY2(live->write(&error), qPrintable(error));
    } else {
        QVERIFY(TestFiles::write(descriptionPath, "{\"format\": "));
    }
    QCOMPARE(recording->takeInGrowth(), growth);
    if (growth == Recording::Growth::StartedOver)
        return;
    QCOMPARE(recording->sampleCount(), qint64(whole.size()));
    QCOMPARE(recording->isFollowed(), growth != Recording::Growth::Ended);
    QCOMPARE(recording->rateIsAssumed(), growth != Recording::Growth::Ended);
    if (growth == Recording::Growth::Ended)
        QVERIFY2(std::fabs(recording->samplesPerSecond() - 5600) < 1, qPrintable(QString::number(recording->samplesPerSecond())));
    QCOMPARE(recording->warnings(), QStringList());
    QCOMPARE(recording->takeInGrowth(), Recording::Growth::Unchanged);
}

void RecordingTest::descriptionReadsBackWhatTheRecorderWrites()
{
    RecordingDescription written;
    written.dataFileName = QStringLiteral("/data/прогон \"1\".bin");
    written.snapshotFileName = QStringLiteral("/data/прогон.bmp");
    written.channelNumber = 7;
    written.channelCode = 6;
    written.portNumber = 2;
    written.deviceName = QStringLiteral("/dev/ttyUSB0");
    written.lineRate = 56000;
    written.requestedSeconds = 3600;
    written.started = QDateTime::fromString(QStringLiteral("2026-12-08T14:03:58.563+03:00"), Qt::ISODateWithMs);
    written.ended = written.started.addSecs(3600);
    written.recordedSeconds = 3599.987;
    written.ending = RecordingDescription::Ending::LinkLost;
    written.blocks = 39000;
    written.bytes = 39000 * 512;
    written.partialBlockBytes = 17;
    written.bytesAfterChannelCode = 20150000;
    written.sha256 = "33f22781db4eb13700ef4101ea8b41c282edaf8fd0b8fe1ca8e47da4adf0559d";
    written.problem = QStringLiteral("связь пропала");

    QString reason;
    double rate = 0;
    const std::optional<RecordingDescription> read =
        RecordingDescription::fromJson(written.toJson(), QStringLiteral("/data"), &reason, &rate);
    QVERIFY2(read, qPrintable(reason));
    QCOMPARE(read->toJson(), written.toJson());
    QCOMPARE(read->dataFileName, written.dataFileName);
    QCOMPARE(read->started, written.started);
    QCOMPARE(read->started.offsetFromUtc(), 3 * 3600);
    QCOMPARE(rate, 5597.2);

    // While recording, the keys not known yet are null.
    written.ending = RecordingDescription::Ending::Recording;
    const std::optional<RecordingDescription> underWay =
        RecordingDescription::fromJson(written.toJson(), QStringLiteral("/data"), &reason, &rate);
    QVERIFY2(underWay, qPrintable(reason));
    QCOMPARE(underWay->toJson(), written.toJson());
    QCOMPARE(rate, 0.0);
}

void RecordingTest::integrityCheckNamesWhatDiffers_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("verified");
    QTest::addColumn<QString>("message");

    QTest::newRow("as described") << "" << true << "совпадают";
    QTest::newRow("a byte changed") << "byte" << false << "SHA-256";
    QTest::newRow("cut short") << "size" << false << "Размер";
    QTest::newRow("no description") << "description" << false << "Описания нет";
}

void RecordingTest::integrityCheckNamesWhatDiffers()
{
    QFETCH(QString, change);
    QFETCH(bool, verified);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 3, 5600, &error), qPrintable(error));
    QByteArray data = TestFiles::read(path);
    if (change == QLatin1String("byte"))
        data[1000] = char(data[1000] ^ 1);
    if (change == QLatin1String("size"))
        data.chop(512);
    QVERIFY(TestFiles::write(path, data));
    if (change == QLatin1String("description"))
        QVERIFY(QFile::remove(RecordingDescription::pathFor(path)));
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    QVERIFY2(recording, qPrintable(error));

    IntegrityCheck check;
    QSignalSpy finished(&check, &IntegrityCheck::finished);
    check.start(*recording);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(0).toBool(), verified);
    QVERIFY2(finished.first().at(1).toString().contains(message), qPrintable(finished.first().at(1).toString()));
}

void RecordingTest::exportCommandLeavesNoFileOnFailure_data()
{
    QTest::addColumn<QStringList>("arguments"); // DATA and OUT stand for the files
    QTest::addColumn<bool>("folderSyncFails");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("wav") << QStringList{"--export", "wav", "DATA", "OUT"} << false << 0;
    QTest::newRow("edf, given the description")
        << QStringList{"--export", "edf", "DATA.json", "OUT.edf"} << false << 0;
    QTest::newRow("csv past a spreadsheet's rows") << QStringList{"--export", "csv", "DATA", "OUT"} << false << 1;
    QTest::newRow("unknown format") << QStringList{"--export", "mp3", "DATA", "OUT"} << false << 2;
    QTest::newRow("missing data") << QStringList{"--export", "wav", "DATA.missing", "OUT"} << false << 1;
    QTest::newRow("out in a missing folder") << QStringList{"--export", "wav", "DATA", "OUT/x.wav"} << false << 1;
    QTest::newRow("the folder's new name not synced") << QStringList{"--export", "wav", "DATA", "OUT"} << true << 1;
}

void RecordingTest::exportCommandLeavesNoFileOnFailure()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, folderSyncFails);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("run.bin"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QString error;
    // Past 1,048,576 rows in CSV.
    QVERIFY2(SimulatedRecording::write(data, 200, 5600, &error), qPrintable(error));
    for (QString &argument : arguments)
        argument.replace(QLatin1String("DATA"), data).replace(QLatin1String("OUT"), out);
    const QStringList before = listing(dir.path());

    std::optional<FileCallFault> syncFault;
    if (folderSyncFails)
        syncFault.emplace(FileCallFault::Call::Sync, dir.path(), EIO);

    QVERIFY(ExportCommand::isAskedFor(arguments));
    QCOMPARE(ExportCommand::run(arguments), exitCode);
    if (folderSyncFails)
        QCOMPARE(syncFault->failures(), 1);
    QStringList after = listing(dir.path());
    if (exitCode == 0) {
        const QString written = arguments.last();
        QVERIFY(QFileInfo(written).size() > 1000000);
        if (arguments.at(1) == QLatin1String("edf")) {
            // 200 s of whole blocks fall short of whole records of a second.
            MneEdfReader mne;
            QVERIFY2(mne.read(written, &error), qPrintable(error));
            QCOMPARE(mne.annotations().size(), 1);
            QCOMPARE(mne.annotations().first().text, PaddingAnnotation);
        }
        after.removeOne(after.filter(written + QLatin1Char(' ')).value(0));
    }
    QCOMPARE(after, before);
}

void RecordingTest::exportRefusesWithTheReason_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("started"); // replaces the description's start, if not empty
    QTest::addColumn<qint64>("length"); // the data file made this long, sparse, if not 0
    QTest::addColumn<bool>("annotationFails");
    QTest::addColumn<QString>("reason");

    QTest::newRow("EDFlib refuses the padding's annotation")
        << "edf" << 5597.3 << QString() << qint64(0) << true << "EDFlib не приняла отметку о повторе последнего отсчёта";
    // Russian groups digits with no-break spaces.
    QTest::newRow("a rate above 5,000,000/s")
        << "edf" << 6000000.5 << QString() << qint64(0) << false
        << QStringLiteral("не больше 5\u00a0000\u00a0000 отсчётов в секунду, а в записи их 6\u00a0000\u00a0000,5");
    QTest::newRow("started in 1970, a clock reset")
        << "edf" << 5600.0 << "1970-01-01T00:00:05.000+03:00" << qint64(0) << false
        << "только с 1985 по 2084 год, а первый сохраняемый отсчёт записан 01.01.1970 00:00:05";
    QTest::newRow("started in 2085")
        << "edf" << 5600.0 << "2085-01-01T00:00:00.000+00:00" << qint64(0) << false << "01.01.2085 00:00:00";
    QTest::newRow("started late in 1984 where it was 1985 in UTC")
        << "edf" << 5600.0 << "1984-12-31T23:59:59.000-05:00" << qint64(0) << false << "31.12.1984 23:59:59";
    // libsndfile would write it with its sizes cut to 32 bits, as if whole.
    QTest::newRow("wav past 4 GiB, about 9 days at 5,600/s")
        << "wav" << 5600.0 << QString() << qint64(0xFFFFFFFF) - 1023 << false
        << QStringLiteral("не больше 4\u00a0294\u00a0966\u00a0271 отсчётов (4 ГиБ), а сохранить нужно "
                          "4\u00a0294\u00a0966\u00a0272. Сохраните их в EDF+");
}

void RecordingTest::exportRefusesWithTheReason()
{
    QFETCH(QString, format);
    QFETCH(double, rate);
    QFETCH(QString, started);
    QFETCH(qint64, length);
    QFETCH(bool, annotationFails);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString dataPath = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(dataPath, 0.2, rate, &error), qPrintable(error));
    if (!started.isEmpty()) {
        const QString descriptionPath = RecordingDescription::pathFor(dataPath);
        QString description = QString::fromUtf8(TestFiles::read(descriptionPath));
        description.replace(QRegularExpression(QStringLiteral("\"started\": \"[^\"]*\"")),
                            QStringLiteral("\"started\": \"%1\"").arg(started));
        QVERIFY(TestFiles::write(descriptionPath, description.toUtf8()));
    }
    if (length > 0)
        QVERIFY(QFile::resize(dataPath, length));
    const std::unique_ptr<Recording> recording = Recording::open(dataPath, &error);
    QVERIFY2(recording, qPrintable(error));
    if (length > 0)
        QCOMPARE(recording->sampleCount(), length);
    // The padding, which the annotation marks.
    if (annotationFails)
        QVERIFY(recording->sampleCount() % std::llround(rate) != 0);
    const QStringList before = listing(dir.path());

    RecordingExport::Format chosen;
    QVERIFY(RecordingExport::formatFromName(format, &chosen));
    const QString out = dir.filePath(QStringLiteral("out.") + format);
    std::optional<EdfAnnotationFault> annotationFault;
    if (annotationFails)
        annotationFault.emplace();
    QVERIFY(!RecordingExport::write(*recording, 0, recording->sampleCount(), chosen, out, &error));
    QVERIFY2(error.contains(reason) && error.contains(out), qPrintable(error));
    if (annotationFails)
        QCOMPARE(annotationFault->failures(), 1);
    QCOMPARE(listing(dir.path()), before);
}

void RecordingTest::exportEndedBySignalLeavesNoFile_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("a kill") << int(SIGTERM);
    QTest::newRow("the terminal closed") << int(SIGHUP);
}

void RecordingTest::exportEndedBySignalLeavesNoFile()
{
    QFETCH(int, signal);

    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(data, 1, 5600, &error), qPrintable(error));
    const QStringList before = listing(dir.path());

    QProcess exporter;
    exporter.start(QStringLiteral(EXPORT_UNTIL_SIGNALLED),
                   {QStringLiteral("--export"), QStringLiteral("wav"), data, dir.filePath(QStringLiteral("out.wav"))});
    QVERIFY(exporter.waitForStarted(30000));
    while (!exporter.canReadLine())
        QVERIFY2(exporter.waitForReadyRead(30000), qPrintable(exporter.readAllStandardError()));
    QCOMPARE(exporter.readLine(), QByteArray("writing\n"));
    // The export is under way, in its unfinished file.
    QCOMPARE(listing(dir.path()).size(), before.size() + 1);
    QCOMPARE(::kill(pid_t(exporter.processId()), signal), 0);
    QVERIFY(exporter.waitForFinished(30000));
    QCOMPARE(exporter.exitStatus(), QProcess::CrashExit);
    QCOMPARE(exporter.exitCode(), signal);
    QCOMPARE(listing(dir.path()), before);
}

QTEST_GUILESS_MAIN(RecordingTest)
#include "RecordingTest.moc"
