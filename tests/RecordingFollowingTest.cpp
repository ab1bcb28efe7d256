#include "MappedFileCut.h"
#include "TestFiles.h"

#include "sim/SimulatedRecording.h"
#include "viewer/Recording.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

class RecordingFollowingTest : public QObject
{
    Q_OBJECT

private slots:
    void aRecordingBeingMadeIsFollowedToItsEnd_data();
    void aRecordingBeingMadeIsFollowedToItsEnd();
};

void RecordingFollowingTest::aRecordingBeingMadeIsFollowedToItsEnd_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("describedFromTheStart");
    QTest::addColumn<Recording::Growth>("growth");

    QTest::newRow("the recorder's last description") << "ends" << true << Recording::Growth::Ended;
    QTest::newRow("described only at its end, followed always") << "ends" << false << Recording::Growth::Ended;
    if (MappedFileCut::allowed())
        QTest::newRow("made afresh: the data file cut short") << "cut short" << true << Recording::Growth::StartedOver;
    QTest::newRow("made afresh: a description of a later start")
        << "started later" << true << Recording::Growth::StartedOver;
    QTest::newRow("a description that is none, in the meantime") << "not json" << true << Recording::Growth::Grew;
}

// 20 s at 5,600 samples/s, of which the first 50,000 are in the file when it is opened.
void RecordingFollowingTest::aRecordingBeingMadeIsFollowedToItsEnd()
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

QTEST_GUILESS_MAIN(RecordingFollowingTest)
#include "RecordingFollowingTest.moc"
