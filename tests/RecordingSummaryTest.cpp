#include "TestFiles.h"

#include "viewer/Recording.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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

} // namespace

class RecordingSummaryTest : public QObject
{
    Q_OBJECT

private slots:
    void summariesAndStatisticsMatchAFullScan_data();
    void summariesAndStatisticsMatchAFullScan();
};

void RecordingSummaryTest::summariesAndStatisticsMatchAFullScan_data()
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

void RecordingSummaryTest::summariesAndStatisticsMatchAFullScan()
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

QTEST_GUILESS_MAIN(RecordingSummaryTest)
#include "RecordingSummaryTest.moc"
