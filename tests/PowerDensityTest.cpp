#include "FileSizeLimit.h"
#include "TestFiles.h"

#include "platform/ProgramStart.h"
#include "sim/SimulatedRecording.h"
#include "viewer/ExportCommand.h"
#include "viewer/Recording.h"
#include "viewer/DensityCalculation.h"
#include "viewer/WelchEstimate.h"

#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// A tone of amplitude sineAmplitude at hertz about 128, plus a uniform noise of ±noise from
// a fixed linear congruential sequence, rounded to bytes. From sample louderFrom on, the tone
// is three times as loud.
QByteArray toneOf(qint64 count, double rate, double hertz, double sineAmplitude, double noise, qint64 louderFrom)
{
    QByteArray bytes(qsizetype(count), Qt::Uninitialized);
    quint32 state = 12345;
    for (qint64 n = 0; n < count; ++n) {
        state = state * 1664525u + 1013904223u;
        const double uniform = (state >> 8) / double(1 << 24) * 2 - 1;
        const double amplitude = n >= louderFrom ? 3 * sineAmplitude : sineAmplitude;
        const double value = 128 + amplitude * std::sin(2 * M_PI * hertz * double(n) / rate) + noise * uniform;
        bytes[qsizetype(n)] = char(qBound(0, int(std::lround(value)), 255));
    }
    return bytes;
}

double varianceOf(const QByteArray &bytes, qint64 first, qint64 last)
{
    double sum = 0;
    double squares = 0;
    for (qint64 i = first; i < last; ++i) {
        const double value = quint8(bytes[qsizetype(i)]);
        sum += value;
        squares += value * value;
    }
    const double count = double(last - first);
    return squares / count - (sum / count) * (sum / count);
}

// Python's own CSV reader: the header, the number of rows and the frequency of the highest
// level past 0 Hz.
const char CsvReader[] = R"(
import csv, sys
with open(sys.argv[1], newline='') as f:
    rows = list(csv.reader(f))
assert rows[0] == ['hertz', 'db'], rows[0]
values = [(float(h), float(d)) for h, d in rows[1:]]
peak = max(values[1:], key=lambda v: v[1])
print(len(values), peak[0])
)";

} // namespace

class PowerDensityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aToneOfKnownFrequencyPeaksInItsBin_data();
    void aToneOfKnownFrequencyPeaksInItsBin();
    void theIntegratedDensityIsTheVariance_data();
    void theIntegratedDensityIsTheVariance();
    void aSpanShorterThanASegmentIsRefusedInRussian_data();
    void aSpanShorterThanASegmentIsRefusedInRussian();
    void theDefaultSegmentIsAQuarterOfTheSpanAtMost_data();
    void theDefaultSegmentIsAQuarterOfTheSpanAtMost();
    void aCancelledEstimateGivesNothing();
    void aCalculationReportsOnlyWhileItIsWanted();
    void theExportCommandWritesACsvOrNothing_data();
    void theExportCommandWritesACsvOrNothing();

private:
    std::unique_ptr<Recording> recordingOf(const QByteArray &bytes, double rate);

    QTemporaryDir m_folder;
    int m_files = 0;
};

void PowerDensityTest::initTestCase()
{
    // As larventa-view starts: a file that outgrows its limit fails to write, not the program.
    ProgramStart::prepare();
    QVERIFY(m_folder.isValid());
}

// A data file without a description, at the rate given as the assumed one.
std::unique_ptr<Recording> PowerDensityTest::recordingOf(const QByteArray &bytes, double rate)
{
    const QString path = m_folder.filePath(QStringLiteral("%1.bin").arg(++m_files));
    if (!TestFiles::write(path, bytes))
        return nullptr;
    QString error;
    std::unique_ptr<Recording> recording = Recording::open(path, &error);
    if (recording)
        recording->setAssumedRate(rate);
    return recording;
}

void PowerDensityTest::aToneOfKnownFrequencyPeaksInItsBin_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("hertz");
    QTest::addColumn<qint64>("samples");
    QTest::addColumn<int>("segment"); // 0: the default
    QTest::addColumn<int>("expectedSegment");

    QTest::newRow("5597.3/s, 437.1 Hz, the default segment") << 5597.3 << 437.1 << qint64(200000) << 0 << 8192;
    QTest::newRow("5597.3/s, 2701.9 Hz near the top, 256") << 5597.3 << 2701.9 << qint64(30000) << 256 << 256;
    QTest::newRow("5597.3/s, 13.37 Hz, 65536") << 5597.3 << 13.37 << qint64(400000) << 65536 << 65536;
    QTest::newRow("100/s, 7.77 Hz, a short span's default") << 100.0 << 7.77 << qint64(3000) << 0 << 512;
}

void PowerDensityTest::aToneOfKnownFrequencyPeaksInItsBin()
{
    QFETCH(double, rate);
    QFETCH(double, hertz);
    QFETCH(qint64, samples);
    QFETCH(int, segment);
    QFETCH(int, expectedSegment);

    const std::unique_ptr<Recording> recording = recordingOf(toneOf(samples, rate, hertz, 90, 5, samples), rate);
    QVERIFY(recording);
    QString error;
    const std::optional<PowerDensity> spectrum =
        WelchEstimate::compute(*recording, {0, samples, segment, rate}, nullptr, nullptr, &error);
    QVERIFY2(spectrum, qPrintable(error));
    QCOMPARE(spectrum->segmentLength, expectedSegment);
    QCOMPARE(spectrum->binCount(), expectedSegment / 2 + 1);
    QCOMPARE(spectrum->binWidth(), rate / expectedSegment);
    const double peak = spectrum->frequencyOf(spectrum->peakBin());
    QVERIFY2(std::fabs(peak - hertz) <= spectrum->binWidth(),
             qPrintable(QStringLiteral("peak at %1 Hz, bins %2 Hz wide").arg(peak).arg(spectrum->binWidth())));
    // The tone's power, 90²/2, lies within a few bins of the peak.
    double power = 0;
    for (int bin = std::max(1, spectrum->peakBin() - 4); bin <= std::min(spectrum->binCount() - 1, spectrum->peakBin() + 4);
         ++bin)
        power += spectrum->density[size_t(bin)] * spectrum->binWidth();
    QVERIFY2(std::fabs(power / (90.0 * 90.0 / 2) - 1) < 0.03, qPrintable(QString::number(power)));
}

void PowerDensityTest::theIntegratedDensityIsTheVariance_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("amplitude");
    QTest::addColumn<double>("noise");
    QTest::addColumn<int>("segment"); // -1: the disk fills up after 20,000 bytes
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");

    // The tone three times as loud from sample 100,000 on: a span read from elsewhere shows.
    QTest::newRow("a tone, 5597.3/s") << 5597.3 << 437.1 << 50.0 << 0.0 << 0 << qint64(0) << qint64(100000);
    QTest::newRow("noise alone, 256") << 5597.3 << 0.0 << 0.0 << 100.0 << 256 << qint64(0) << qint64(100000);
    QTest::newRow("a tone in noise, 4096") << 5600.0 << 1000.0 << 20.0 << 60.0 << 4096 << qint64(3) << qint64(99999);
    QTest::newRow("the louder part, past its start") << 5597.3 << 55.5 << 30.0 << 10.0 << 0 << qint64(130001)
                                                      << qint64(190000);
    QTest::newRow("across the change") << 5597.3 << 55.5 << 30.0 << 10.0 << 1024 << qint64(50000) << qint64(150000);
}

void PowerDensityTest::theIntegratedDensityIsTheVariance()
{
    QFETCH(double, rate);
    QFETCH(double, hertz);
    QFETCH(double, amplitude);
    QFETCH(double, noise);
    QFETCH(int, segment);
    QFETCH(qint64, first);
    QFETCH(qint64, last);

    const QByteArray bytes = toneOf(200000, rate, hertz, amplitude, noise, 100000);
    const std::unique_ptr<Recording> recording = recordingOf(bytes, rate);
    QVERIFY(recording);
    QString error;
    const std::optional<PowerDensity> spectrum =
        WelchEstimate::compute(*recording, {first, last, segment, rate}, nullptr, nullptr, &error);
    QVERIFY2(spectrum, qPrintable(error));
    QCOMPARE(spectrum->first, first);
    QCOMPARE(spectrum->last, last);
    const double variance = varianceOf(bytes, first, last);
    QVERIFY2(std::fabs(spectrum->integrated() / variance - 1) < 0.01,
             qPrintable(QStringLiteral("integrated %1, variance %2").arg(spectrum->integrated()).arg(variance)));
}

void PowerDensityTest::aSpanShorterThanASegmentIsRefusedInRussian_data()
{
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("segment");
    QTest::addColumn<QString>("message");

    QTest::newRow("255 samples") << qint64(100) << qint64(355) << 0
                                 << "В участке 255 отсчётов, а для спектра нужен хотя бы один сегмент в 256 отсчётов. "
                                    "Выберите участок длиннее.";
    QTest::newRow("nothing") << qint64(500) << qint64(500) << 0
                             << "В участке 0 отсчётов, а для спектра нужен хотя бы один сегмент в 256 отсчётов. "
                                "Выберите участок длиннее.";
    QTest::newRow("past the end") << qint64(9900) << qint64(20000) << 0
                                  << "В участке 100 отсчётов, а для спектра нужен хотя бы один сегмент в 256 отсчётов. "
                                     "Выберите участок длиннее.";
    QTest::newRow("shorter than the segment chosen") << qint64(0) << qint64(8000) << 8192
                                                     << "В участке 8 000 отсчётов, а для спектра нужен хотя бы один "
                                                        "сегмент в 8 192 отсчётов. Выберите участок длиннее или "
                                                        "сегмент короче.";
    QTest::newRow("a segment too short") << qint64(0) << qint64(8000) << 128
                                         << "Длина сегмента 128 отсчётов вне пределов: от 256 до 65 536 отсчётов.";
}

void PowerDensityTest::aSpanShorterThanASegmentIsRefusedInRussian()
{
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(int, segment);
    QFETCH(QString, message);

    const std::unique_ptr<Recording> recording = recordingOf(toneOf(10000, 100, 7, 50, 0, 10000), 100);
    QVERIFY(recording);
    QString error;
    QVERIFY(!WelchEstimate::compute(*recording, {first, last, segment, 100}, nullptr, nullptr, &error));
    QCOMPARE(error.replace(QChar(0xa0), QLatin1Char(' ')), message);
}

void PowerDensityTest::theDefaultSegmentIsAQuarterOfTheSpanAtMost_data()
{
    QTest::addColumn<qint64>("samples");
    QTest::addColumn<int>("segment");

    QTest::newRow("256") << qint64(256) << 256;
    QTest::newRow("2047") << qint64(2047) << 256;
    QTest::newRow("2048") << qint64(2048) << 512;
    QTest::newRow("32767") << qint64(32767) << 4096;
    QTest::newRow("32768") << qint64(32768) << 8192;
    QTest::newRow("a day") << qint64(5600) * 86400 << 8192;
}

void PowerDensityTest::theDefaultSegmentIsAQuarterOfTheSpanAtMost()
{
    QFETCH(qint64, samples);
    QFETCH(int, segment);
    QCOMPARE(WelchEstimate::defaultSegmentLength(samples), segment);
}

void PowerDensityTest::aCancelledEstimateGivesNothing()
{
    const std::unique_ptr<Recording> recording = recordingOf(toneOf(100000, 100, 7, 50, 0, 100000), 100);
    QVERIFY(recording);
    std::atomic<bool> cancelled{false};
    QList<int> reported;
    QString error;
    QVERIFY(WelchEstimate::compute(*recording, {0, 100000, 256, 100}, &cancelled,
                                   [&](int percent) { reported.append(percent); }, &error));
    QCOMPARE(reported.first(), 0);
    QCOMPARE(reported.last(), 100);
    QVERIFY(std::is_sorted(reported.begin(), reported.end()));

    reported.clear();
    QVERIFY(!WelchEstimate::compute(*recording, {0, 100000, 256, 100}, &cancelled,
                                    [&](int percent) {
                                        reported.append(percent);
                                        if (percent >= 10)
                                            cancelled = true;
                                    },
                                    &error));
    QCOMPARE(error, QStringLiteral("Расчёт спектра отменён."));
    QVERIFY(reported.last() < 100);
}

// A calculation reports on the thread that started it; one cancelled, or replaced by another,
// says nothing more, even if it had finished, so a stale spectrum never replaces the one asked for.
void PowerDensityTest::aCalculationReportsOnlyWhileItIsWanted()
{
    const std::unique_ptr<Recording> recording = recordingOf(toneOf(100000, 100, 7, 50, 0, 100000), 100);
    QVERIFY(recording);
    DensityCalculation calculation;
    QList<PowerDensity> finished;
    QStringList failed;
    connect(&calculation, &DensityCalculation::finished, this, [&](const PowerDensity &spectrum) {
        QCOMPARE(QThread::currentThread(), thread());
        finished.append(spectrum);
    });
    connect(&calculation, &DensityCalculation::failed, this, [&](const QString &message) { failed.append(message); });

    calculation.start(*recording, {0, 100000, 256, 100});
    calculation.cancel();
    QCoreApplication::processEvents();
    QVERIFY(finished.isEmpty() && failed.isEmpty());

    calculation.start(*recording, {0, 100000, 256, 100});
    calculation.start(*recording, {0, 100, 0, 100});
    calculation.start(*recording, {0, 50000, 512, 100});
    QTRY_COMPARE(finished.size() + failed.size(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(failed, QStringList());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().segmentLength, 512);
    QCOMPARE(finished.first().last, qint64(50000));
}

void PowerDensityTest::theExportCommandWritesACsvOrNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // DATA and OUT stand for the files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("segment");

    const QStringList written{"--export", "spectrum", "DATA", "OUT"};
    QTest::newRow("the whole recording") << written << 0 << 8192;
    QTest::newRow("from 5 s to 20 s") << written + QStringList{"--to", "20", "--from", "5"} << 0 << 8192;
    QTest::newRow("the description, from 10 s") << QStringList{"--export", "spectrum", "DATA.json", "OUT", "--from", "10"}
                                                << 0 << 8192;
    QTest::newRow("segments of 1024") << written + QStringList{"--segment", "1024", "--to", "3"} << 0 << 1024;
    QTest::newRow("segments of 65536") << written + QStringList{"--segment", "65536"} << 0 << 65536;
    QTest::newRow("a span shorter than a segment") << written + QStringList{"--from", "10", "--to", "10.04"} << 1 << 0;
    QTest::newRow("a span shorter than the segment asked for") << written + QStringList{"--segment", "65536", "--to", "11"}
                                                              << 1 << 0;
    QTest::newRow("from past the end") << written + QStringList{"--from", "31"} << 1 << 0;
    QTest::newRow("from after to") << written + QStringList{"--from", "20", "--to", "5"} << 2 << 0;
    QTest::newRow("not a number") << written + QStringList{"--from", "5 s"} << 2 << 0;
    QTest::newRow("a bound twice") << written + QStringList{"--to", "5", "--to", "6"} << 2 << 0;
    QTest::newRow("a bound without its seconds") << written + QStringList{"--to"} << 2 << 0;
    QTest::newRow("a segment too long") << written + QStringList{"--segment", "131072"} << 2 << 0;
    QTest::newRow("a segment of a fraction") << written + QStringList{"--segment", "300.5"} << 2 << 0;
    QTest::newRow("missing data") << QStringList{"--export", "spectrum", "DATA.missing", "OUT"} << 1 << 0;
    QTest::newRow("out in a missing folder") << QStringList{"--export", "spectrum", "DATA", "OUT/x.csv"} << 1 << 0;
    QTest::newRow("a disk that fills up") << written << 1 << -1;
}

// 30 s of the simulated instrument's channel 1, a tone of a period of 100 samples, at
// 5,597.3 samples/s: 55.973 Hz, in bins of 5597.3 / segment Hz.
void PowerDensityTest::theExportCommandWritesACsvOrNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, segment);

    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("run.bin"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QString error;
    QVERIFY2(SimulatedRecording::write(data, 30, 5597.3, &error), qPrintable(error));
    for (QString &argument : arguments)
        argument.replace(QLatin1String("DATA"), data).replace(QLatin1String("OUT"), out);
    const QStringList before = TestFiles::listing(dir.path());

    QVERIFY(ExportCommand::isAskedFor(arguments));
    {
        std::unique_ptr<FileSizeLimit> diskFull(segment < 0 ? new FileSizeLimit(20000) : nullptr);
        QCOMPARE(ExportCommand::run(arguments), exitCode);
    }
    QStringList after = TestFiles::listing(dir.path());
    if (exitCode != 0) {
        QCOMPARE(after, before);
        return;
    }
    after.removeOne(after.filter(out + QLatin1Char(' ')).value(0));
    QCOMPARE(after, before);
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(CsvReader), out});
    QVERIFY2(python.waitForFinished(30000), "/usr/bin/python3 did not run");
    QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0,
             python.readAllStandardError().constData());
    const QStringList read = QString::fromLatin1(python.readAllStandardOutput()).split(QLatin1Char(' '));
    QCOMPARE(read.value(0), QString::number(segment / 2 + 1));
    const double peak = read.value(1).toDouble();
    QVERIFY2(std::fabs(peak - 55.973) <= 5597.3 / segment, qPrintable(read.value(1)));
}

QTEST_GUILESS_MAIN(PowerDensityTest)
#include "PowerDensityTest.moc"
