#include "output/RecordingDescription.h"

#include <QTest>

#include <optional>

class RecordingDescriptionTest : public QObject
{
    Q_OBJECT

private slots:
    void descriptionReadsBackWhatTheRecorderWrites();
};

void RecordingDescriptionTest::descriptionReadsBackWhatTheRecorderWrites()
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

QTEST_GUILESS_MAIN(RecordingDescriptionTest)
#include "RecordingDescriptionTest.moc"
