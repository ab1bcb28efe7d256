#include "MappedFileCut.h"
#include "RecordingBeingMade.h"
#include "TestFiles.h"

#include "viewer/Recording.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

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
    // The description being followed was last changed an hour before: only its time tells the next.
    QTest::addColumn<bool>("describedAnHourAgo");

    QTest::newRow("the recorder's last description") << "ends" << true << Recording::Growth::Ended << false;
    QTest::newRow("described only at its end, followed always")
        << "ends" << false << Recording::Growth::Ended << false;
    if (MappedFileCut::allowed()) {
        QTest::newRow("made afresh: the data file cut short")
            << "cut short" << true << Recording::Growth::StartedOver << false;
    }
    QTest::newRow("made afresh: a description of a later start")
        << "started later" << true << Recording::Growth::StartedOver << false;
    QTest::newRow("made afresh: a description of a later start, as long, an hour after the last")
        << "started later" << true << Recording::Growth::StartedOver << true;
    QTest::newRow("a description that is none, in the meantime")
        << "not json" << true << Recording::Growth::Grew << false;
}

// 20 s at 5,600 samples/s, of which the first 50,000 are in the file when it is opened.
void RecordingFollowingTest::aRecordingBeingMadeIsFollowedToItsEnd()
{
    QFETCH(QString, change);
    QFETCH(bool, describedFromTheStart);
    QFETCH(Recording::Growth, growth);
    QFETCH(bool, describedAnHourAgo);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.bin"));
    RecordingBeingMade being;
    QString error;
    QVERIFY2(being.make(path, 20, 5600, 50000, describedFromTheStart, &error), qPrintable(error));
    if (describedAnHourAgo) {
        QFile description(being.descriptionPath());
        QVERIFY(description.open(QIODevice::Append));
        QVERIFY(description.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                        QFileDevice::FileModificationTime));
    }

    const std::unique_ptr<Recording> recording = Recording::open(
        path, &error, {}, describedFromTheStart ? Recording::Following::WhileRecording : Recording::Following::Always);
    QVERIFY2(recording, qPrintable(error));
    QVERIFY(recording->isFollowed());
    QVERIFY(recording->rateIsAssumed());
    QCOMPARE(recording->sampleCount(), qint64(50000));
    QVERIFY(being.append(50000));

    if (change == QLatin1String("ends")) {
        QVERIFY(being.end());
    } else if (change == QLatin1String("cut short")) {
        QVERIFY(QFile::resize(path, 1000));
    } else if (change == QLatin1String("started later")) {
        const qint64 before = QFileInfo(being.descriptionPath()).size();
        QVERIFY2(being.describeStartedLater(5, &error), qPrintable(error));
        QCOMPARE(QFileInfo(being.descriptionPath()).size(), before);
    } else {
        QVERIFY(TestFiles::write(being.descriptionPath(), "{\"format\": "));
    }
    QCOMPARE(recording->takeInGrowth(), growth);
    if (growth == Recording::Growth::StartedOver)
        return;
    QCOMPARE(recording->sampleCount(), qint64(being.whole().size()));
    QCOMPARE(recording->isFollowed(), growth != Recording::Growth::Ended);
    QCOMPARE(recording->rateIsAssumed(), growth != Recording::Growth::Ended);
    if (growth == Recording::Growth::Ended)
        QVERIFY2(std::fabs(recording->samplesPerSecond() - 5600) < 1, qPrintable(QString::number(recording->samplesPerSecond())));
    QCOMPARE(recording->warnings(), QStringList());
    QCOMPARE(recording->takeInGrowth(), Recording::Growth::Unchanged);
}

QTEST_GUILESS_MAIN(RecordingFollowingTest)
#include "RecordingFollowingTest.moc"
