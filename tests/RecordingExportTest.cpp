#include "EdfAnnotationFault.h"
#include "FileCallFault.h"
#include "MneEdfReader.h"
#include "StopSignals.h"
#include "TestFiles.h"

#include "sim/SimulatedRecording.h"
#include "viewer/ExportCommand.h"
#include "viewer/Recording.h"
#include "viewer/RecordingExport.h"

#include <edflib.h>
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

// What marks the padding of an EDF+ file's last record.
const QString PaddingAnnotation = QStringLiteral("Повтор последнего");

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

class RecordingExportTest : public QObject
{
    Q_OBJECT

private slots:
    void exportsReadBackByTheirOwnLibraries_data();
    void exportsReadBackByTheirOwnLibraries();
    void exportsIntoAFolderOfAnyName_data();
    void exportsIntoAFolderOfAnyName();
    void exportCommandLeavesNoFileOnFailure_data();
    void exportCommandLeavesNoFileOnFailure();
    void exportRefusesWithTheReason_data();
    void exportRefusesWithTheReason();
    void exportEndedBySignalLeavesNoFile_data();
    void exportEndedBySignalLeavesNoFile();
};

void RecordingExportTest::exportsReadBackByTheirOwnLibraries_data()
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

void RecordingExportTest::exportsReadBackByTheirOwnLibraries()
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
                QDateTime::fromMSecsSinceEpoch(startTenths / 10, QTimeZone(start.offsetFromUtc()));
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

void RecordingExportTest::exportsIntoAFolderOfAnyName_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("length"); // of the folder's path at least

    // EDFlib opens its file by a char string, which Windows spells in its ANSI code page and
    // within 260 characters; libsndfile and the CSV writer take the file as it is open.
    for (const QString format : {"edf", "wav", "csv"}) {
        QTest::addRow("%s, Cyrillic letters", qPrintable(format)) << format << 0;
        QTest::addRow("%s, a path past 260 characters", qPrintable(format)) << format << 300;
    }
}

// An export into such a folder holds what an export into a plain one holds, byte for byte.
void RecordingExportTest::exportsIntoAFolderOfAnyName()
{
    QFETCH(QString, format);
    QFETCH(int, length);

    QTemporaryDir dir;
    const QString dataPath = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(dataPath, 3.7, 5597.3, &error), qPrintable(error));
    const std::unique_ptr<Recording> recording = Recording::open(dataPath, &error);
    QVERIFY2(recording, qPrintable(error));
    RecordingExport::Format chosen;
    QVERIFY(RecordingExport::formatFromName(format, &chosen));
    const qint64 first = 101;
    const qint64 last = recording->sampleCount() - 7;
    const QString plain = dir.filePath(QStringLiteral("plain.") + format);
    QVERIFY2(RecordingExport::write(*recording, first, last, chosen, plain, &error), qPrintable(error));

    QString folder = dir.filePath(QStringLiteral("записи"));
    while (folder.size() < length)
        folder += QStringLiteral("/выгрузки лаборатории для обработки");
    QVERIFY(QDir().mkpath(folder));
    const QString out = folder + QStringLiteral("/канал 1.") + format;
    QVERIFY2(RecordingExport::write(*recording, first, last, chosen, out, &error), qPrintable(error));

    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(out).fileName()});
    const QByteArray written = TestFiles::read(out);
    QVERIFY(!written.isEmpty());
    QVERIFY(written == TestFiles::read(plain));
}

void RecordingExportTest::exportCommandLeavesNoFileOnFailure_data()
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

void RecordingExportTest::exportCommandLeavesNoFileOnFailure()
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
    const QStringList before = TestFiles::listing(dir.path());

    std::optional<FileCallFault> syncFault;
    if (folderSyncFails)
        syncFault.emplace(FileCallFault::Call::Sync, dir.path(), EIO);

    QVERIFY(ExportCommand::isAskedFor(arguments));
    QCOMPARE(ExportCommand::run(arguments), exitCode);
    if (folderSyncFails)
        QCOMPARE(syncFault->failures(), 1);
    QStringList after = TestFiles::listing(dir.path());
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

void RecordingExportTest::exportRefusesWithTheReason_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("started"); // replaces the description's start, if not empty
    QTest::addColumn<qint64>("length"); // the data file made this long, sparse, if not 0
    QTest::addColumn<bool>("annotationFails");
    QTest::addColumn<QString>("reason");

    if (EdfAnnotationFault::isPossible())
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

void RecordingExportTest::exportRefusesWithTheReason()
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
    const QStringList before = TestFiles::listing(dir.path());

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
    QCOMPARE(TestFiles::listing(dir.path()), before);
}

void RecordingExportTest::exportEndedBySignalLeavesNoFile_data()
{
    QTest::addColumn<int>("signal");

    for (const StopSignals::Signal &stop : StopSignals::all())
        QTest::newRow(qPrintable(stop.name)) << stop.number;
}

void RecordingExportTest::exportEndedBySignalLeavesNoFile()
{
    QFETCH(int, signal);

    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("run.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(data, 1, 5600, &error), qPrintable(error));
    const QStringList before = TestFiles::listing(dir.path());

    QProcess exporter;
    exporter.start(QStringLiteral(EXPORT_UNTIL_SIGNALLED),
                   {QStringLiteral("--export"), QStringLiteral("wav"), data, dir.filePath(QStringLiteral("out.wav"))});
    QVERIFY(exporter.waitForStarted(30000));
    while (!exporter.canReadLine())
        QVERIFY2(exporter.waitForReadyRead(30000), qPrintable(exporter.readAllStandardError()));
    QCOMPARE(exporter.readLine(), QByteArray("writing\n"));
    // The export is under way, in its unfinished file.
    QCOMPARE(TestFiles::listing(dir.path()).size(), before.size() + 1);
    QVERIFY(StopSignals::send(exporter.processId(), signal));
    QVERIFY(exporter.waitForFinished(30000));
    QCOMPARE(exporter.exitStatus(), QProcess::CrashExit);
    QCOMPARE(exporter.exitCode(), signal);
    QCOMPARE(TestFiles::listing(dir.path()), before);
}

QTEST_GUILESS_MAIN(RecordingExportTest)
#include "RecordingExportTest.moc"
