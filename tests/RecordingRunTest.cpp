#include "AwkwardName.h"
#include "BarePty.h"
#include "DescriptionCheck.h"
#include "FileCallFault.h"
#include "FileSizeLimit.h"
#include "HeardCommands.h"
#include "MappedFileCut.h"
#include "PortHolder.h"
#include "ReadOnlyDisk.h"
#include "RunRig.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "WhenTrue.h"

#include "viewer/MappedDataFile.h"
#include "viewer/Recording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <optional>

namespace {

constexpr int FastTick = 20;
const QString Title = QStringLiteral("Вам Cообщение");

QList<quint8> handshake(int channelNumber)
{
    return {0xFF, quint8(channelNumber - 1), 0xFF};
}

// The Python snippet of README.md, or of larventa(1) with its escapes undone.
QString documentedPython(const QString &document)
{
    const QString text = QString::fromUtf8(TestFiles::read(document));
    if (document.endsWith(QLatin1String(".md"))) {
        const QString opening = QStringLiteral("```python\n");
        const qsizetype start = text.indexOf(opening) + opening.size();
        return text.mid(start, text.indexOf(QStringLiteral("\n```"), start) - start);
    }
    const qsizetype start = text.indexOf(QStringLiteral(".nf\n"), text.indexOf(QStringLiteral("in Python"))) + 4;
    return text.mid(start, text.indexOf(QStringLiteral("\n.fi"), start) - start)
        .replace(QStringLiteral("\\-"), QStringLiteral("-"))
        .replace(QStringLiteral("\\(aq"), QStringLiteral("'"));
}

} // namespace

class RecordingRunTest : public QObject
{
    Q_OBJECT

private slots:
    void recordsTheStreamInWholeBlocks();
    void recordsForAsManyTicksAsSeconds_data();
    void recordsForAsManyTicksAsSeconds();
    void theTickCountsDownAndEndsAtZero_data();
    void theTickCountsDownAndEndsAtZero();
    void sendsTheChosenChannel_data();
    void sendsTheChosenChannel();
    void refusesToStartWithoutAFile();
    void asksBeforeRecordingAgainIntoTheLastFile();
    void stopDuringTheHandshakeLeavesAnEmptyFile();
    void aSecondStartDuringARunIsIgnored();
    void stopDuringRecordingKeepsEveryBlockTaken();
    void keepsOnlyBytesFromAfterTheStart();
    void losesNothingInAFlood();
    void losesNothingAsFloodsComeAndGo();
    void recordsAStreamSlicedAsAPortDeliversIt_data();
    void recordsAStreamSlicedAsAPortDeliversIt();
    void takesABlockOnceItsLastByteArrives();
    void sleepsWhileABlockFillsByteByByte();
    void refusesABadRecordingTimeBeforeAnythingChanges_data();
    void refusesABadRecordingTimeBeforeAnythingChanges();
    void aPortThatCannotBeOpenedChangesNothing_data();
    void aPortThatCannotBeOpenedChangesNothing();
    void aDataFileThatCannotBeCreatedLeavesThePortClosed_data();
    void aDataFileThatCannotBeCreatedLeavesThePortClosed();
    void recordsIntoAPathLongerThanTheOldLimit();
    void recordingAfreshIntoTheFileTheViewerShows();
    void aFullDiskEndsTheRunLikeStop();
    void aVanishedPortEndsTheRunKeepingTheBlocks();
    void aCommandThatCannotBeSentEndsTheRun_data();
    void aCommandThatCannotBeSentEndsTheRun();
    void theDescriptionVouchesOnlyForWhatTheDiskHolds_data();
    void theDescriptionVouchesOnlyForWhatTheDiskHolds();
    void theDocumentedPythonReadsARecording_data();
    void theDocumentedPythonReadsARecording();
};

// A two-second recording at the line rate, its seconds ticked away by the test as the blocks
// come in: one tick ends the handshake, two the recording once 5 and then 10 blocks are in. A
// run that waited for a third second would get it only once 30 blocks were in.
void RecordingRunTest::recordsTheStreamInWholeBlocks()
{
    RunRig rig(RunRig::TickedByTest);
    rig.sim.setRate(5600);
    rig.controls.selectChannel(3);
    rig.controls.timeText = QStringLiteral("2");
    rig.controls.fileName = rig.path(AwkwardName::stem() + QStringLiteral(".bin"));
    quint32 lineSpeed = 0;
    bool lockedWhileRecording = false;
    connect(&rig.sim, &InstrumentSimulator::streamStarted, this, [&] {
        lineSpeed = rig.sim.lineSpeed();
        lockedWhileRecording = !rig.controls.settingsEnabled && !rig.controls.startEnabled && rig.controls.stopEnabled
            && rig.timer.isEnabled();
    });
    QJsonObject whileRecording;
    const auto started = [&] { return DescriptionCheck::read(rig.controls.fileName).value(QStringLiteral("started")); };
    WhenTrue::then(this, [&] { return started().isString(); },
                   [&] { whileRecording = DescriptionCheck::read(rig.controls.fileName); });
    int ticks = 0;
    int ticksAtTheChannelCode = -1;
    connect(&rig.timer, &Timer::tick, this, [&] {
        if (++ticks == 3)
            rig.seeTheEnd();
    });
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&](quint8 byte) {
        if (byte != 0xFF)
            ticksAtTheChannelCode = ticks;
    });
    QObject duringTheRun;
    const auto drawn = [&](qint64 blocks) { return [&rig, blocks] { return rig.plot.segmentCount >= 511 * blocks; }; };
    const auto tick = [&] { rig.tick(); };
    WhenTrue::inTurn(&duringTheRun, {{[&] { return rig.controls.stopEnabled; }, tick},
                                     {drawn(5), tick},
                                     {drawn(10), tick},
                                     {drawn(30), tick}});

    rig.run.startRequest();

    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.value(0).text));
    QCOMPARE(lineSpeed, quint32(56000));
    QVERIFY(lockedWhileRecording);
    QTRY_COMPARE(rig.commandBytes(), handshake(3));
    QCOMPARE(ticksAtTheChannelCode, 1);
    QCOMPARE(ticks, 3);

    const QByteArray data = rig.dataFile();
    QCOMPARE(data.size() % 512, 0);
    QVERIFY(data.size() >= 512 * 10);
    QCOMPARE(data, RunRig::stream(3, data.size()));

    // 511 segments a block, sample n at x = 10 n for a 2-second recording, value + 5 up.
    const qint64 blocks = data.size() / 512;
    QCOMPARE(rig.plot.prepared, 1);
    QCOMPARE(rig.plot.segmentCount, blocks * 511);
    const QLineF first = rig.plot.segments.at(0);
    QCOMPARE(first, QLineF(0, quint8(data[0]) + 5, 10, quint8(data[1]) + 5));
    const QLineF lastOfBlock0 = rig.plot.segments.at(510);
    const QLineF firstOfBlock1 = rig.plot.segments.at(511);
    QCOMPARE(lastOfBlock0.x2(), 5110.0);
    QCOMPARE(firstOfBlock1.x1(), 5120.0);
    QCOMPARE(firstOfBlock1.y1(), quint8(data[512]) + 5.0);

    QCOMPARE(rig.plot.snapshots, QStringList{rig.controls.fileName});
    QCOMPARE(rig.state.FileNameOld, rig.controls.fileName);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
    QVERIFY(!rig.timer.isEnabled());
    QVERIFY(!rig.link.isOpen());
    QVERIFY(!rig.file.isOpen());

    // The description: once the channel code is out, a recording that has begun; at
    // the end, what the file holds and the instrument's rate.
    QCOMPARE(whileRecording.value(QStringLiteral("ending")).toString(), QStringLiteral("recording"));
    QVERIFY(whileRecording.value(QStringLiteral("ended")).isNull());
    QVERIFY(whileRecording.value(QStringLiteral("sha256")).isNull());
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("completed"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const QString wrongRate = rig.rateMismatch();
    QVERIFY2(wrongRate.isEmpty(), qPrintable(wrongRate));
    const QJsonObject description = DescriptionCheck::read(rig.controls.fileName);
    QCOMPARE(description.keys(),
             QStringList({"block_bytes", "blocks", "bytes", "channel", "channel_code", "data_file", "device", "ended",
                          "ending", "format", "line_rate", "partial_block_bytes", "port", "problem", "program",
                          "recorded_seconds", "requested_seconds", "sample_format", "samples_per_second", "sha256",
                          "snapshot", "started"}));
    const QJsonObject expected{{"format", "larventa-recording/1"}, {"data_file", AwkwardName::stem() + ".bin"},
                               {"sample_format", "uint8"}, {"block_bytes", 512}, {"channel", 3}, {"channel_code", 2},
                               {"port", 1}, {"device", rig.hostPort}, {"line_rate", 56000},
                               {"requested_seconds", 2}, {"snapshot", AwkwardName::stem() + ".bmp"}, {"problem", QJsonValue()}};
    for (auto key = expected.begin(); key != expected.end(); ++key)
        QVERIFY2(description.value(key.key()) == key.value(), qPrintable(key.key()));
    const QString program = description.value(QStringLiteral("program")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^larventa \\d+\\.\\d+")).match(program).hasMatch(), qPrintable(program));
    // Local time with its offset, to the millisecond.
    const QRegularExpression localTime(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));
    const QString startedAt = description.value(QStringLiteral("started")).toString();
    const QString endedAt = description.value(QStringLiteral("ended")).toString();
    QVERIFY2(localTime.match(startedAt).hasMatch() && localTime.match(endedAt).hasMatch(),
             qPrintable(startedAt + " " + endedAt));
    QCOMPARE(QDateTime::fromString(startedAt, Qt::ISODateWithMs).offsetFromUtc(),
             QDateTime::currentDateTime().offsetFromUtc());
}

void RecordingRunTest::recordsForAsManyTicksAsSeconds_data()
{
    QTest::addColumn<int>("seconds");

    QTest::newRow("1 second") << 1;
    QTest::newRow("2 seconds") << 2;
    QTest::newRow("5 seconds") << 5;
}

// A "second" is one tick: the handshake takes one, the recording as many as its seconds,
// and the stop code goes out at the last of them, not a tick later.
void RecordingRunTest::recordsForAsManyTicksAsSeconds()
{
    QFETCH(int, seconds);

    RunRig rig(FastTick);
    rig.sim.setRate(5600);
    rig.controls.timeText = QString::number(seconds);
    int ticks = 0;
    int ticksAtTheChannelCode = -1;
    connect(&rig.timer, &Timer::tick, this, [&] { ++ticks; });
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&](quint8 byte) {
        if (byte != 0xFF)
            ticksAtTheChannelCode = ticks;
    });

    rig.run.startRequest();

    QTRY_COMPARE(rig.commandBytes(), handshake(1));
    QVERIFY2(ticksAtTheChannelCode >= 1, "the channel code went out before the first tick");
    QCOMPARE(ticks, 1 + seconds);
    QCOMPARE(rig.state.GatheringTime, 0);
    QVERIFY(!rig.timer.isEnabled());
}

void RecordingRunTest::theTickCountsDownAndEndsAtZero_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("timerStaysOn");

    QTest::newRow("seconds left") << 5 << 4 << true;
    QTest::newRow("the last second") << 1 << 0 << true;
    QTest::newRow("none left") << 0 << -1 << false;
}

void RecordingRunTest::theTickCountsDownAndEndsAtZero()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(bool, timerStaysOn);

    RunRig rig;
    rig.timer.setEnabled(true);
    rig.state.GatheringTime = before;

    rig.run.tick();

    QCOMPARE(rig.state.GatheringTime, after);
    QCOMPARE(rig.timer.isEnabled(), timerStaysOn);
    rig.timer.setEnabled(false);
}

void RecordingRunTest::sendsTheChosenChannel_data()
{
    QTest::addColumn<QList<bool>>("selected");
    QTest::addColumn<int>("code");

    for (int number = 1; number <= 8; ++number) {
        QList<bool> selected(8, false);
        selected[number - 1] = true;
        QTest::addRow("channel %d", number) << selected << number - 1;
    }
    QTest::newRow("none selected") << QList<bool>(8, false) << 0;
}

void RecordingRunTest::sendsTheChosenChannel()
{
    QFETCH(QList<bool>, selected);
    QFETCH(int, code);

    RunRig rig(FastTick);
    std::copy(selected.begin(), selected.end(), rig.controls.channels.begin());
    rig.controls.timeText = QStringLiteral("1");
    rig.run.startRequest();

    QTRY_COMPARE(rig.commandBytes(), (QList<quint8>{0xFF, quint8(code), 0xFF}));
}

void RecordingRunTest::refusesToStartWithoutAFile()
{
    RunRig rig(FastTick);
    rig.controls.fileName.clear();
    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 1);
    const MessageBoxes::Message message = rig.messages.shown.first();
    QCOMPARE(message.text, QStringLiteral("Файл для записи не выбран!  Воспользуйтесь окном 'Файл записи'. "));
    QCOMPARE(message.title, Title);
    QCOMPARE(message.title.at(4), QChar(u'C'));
    QCOMPARE(message.icon, MessageBoxes::Icon::Error);
    QCOMPARE(message.buttons, MessageBoxes::Buttons::Ok);
    QCOMPARE(rig.plot.prepared, 0);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
    QCOMPARE(HeardCommands::upToNow(rig.sim), QList<quint8>());
    QVERIFY(!rig.link.isOpen());
}

void RecordingRunTest::asksBeforeRecordingAgainIntoTheLastFile()
{
    RunRig rig(FastTick);
    rig.sim.setRate(0);
    rig.sim.setSampleLimit(512 * 4);
    rig.controls.timeText = QStringLiteral("3000");
    // Each recording ends once the instrument's blocks are in.
    QObject duringTheRuns;
    const auto stopOnceDrawn = [&](qint64 blocks) {
        WhenTrue::then(&duringTheRuns, [&rig, blocks] { return rig.plot.segmentCount == 511 * blocks; },
                       [&rig] { rig.run.stopRequest(); });
    };
    stopOnceDrawn(4);
    rig.run.startRequest();
    const QByteArray firstRecording = rig.dataFile();
    QCOMPARE(firstRecording, RunRig::stream(1, 512 * 4));
    QTRY_COMPARE(rig.commandBytes(), handshake(1));

    // No: nothing happens at all.
    rig.messages.yesNoAnswers = {MessageBoxes::Answer::No};
    rig.run.startRequest();
    QCOMPARE(rig.messages.shown.size(), 1);
    const MessageBoxes::Message question = rig.messages.shown.first();
    QCOMPARE(question.text, QStringLiteral("Файл уже существует!  Переписать? "));
    QCOMPARE(question.title, Title);
    QCOMPARE(question.icon, MessageBoxes::Icon::Warning);
    QCOMPARE(question.buttons, MessageBoxes::Buttons::YesNo);
    QCOMPARE(rig.plot.prepared, 1);
    QCOMPARE(HeardCommands::upToNow(rig.sim), handshake(1));
    QCOMPARE(rig.dataFile(), firstRecording);

    // Yes: the file is made anew and holds the second recording alone.
    rig.messages.yesNoAnswers = {MessageBoxes::Answer::Yes};
    rig.sim.setSampleLimit(512 * 2);
    rig.controls.selectChannel(6);
    stopOnceDrawn(2);
    rig.run.startRequest();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.plot.prepared, 2);
    QCOMPARE(rig.dataFile(), RunRig::stream(6, 512 * 2));

    // Another file: no question.
    rig.controls.fileName = rig.path(QStringLiteral("other.bin"));
    stopOnceDrawn(2);
    rig.run.startRequest();
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.plot.prepared, 3);
}

void RecordingRunTest::stopDuringTheHandshakeLeavesAnEmptyFile()
{
    RunRig rig(FastTick);
    QVERIFY(TestFiles::write(rig.controls.fileName, "an older recording"));
    rig.sim.setRate(0);
    rig.controls.selectChannel(2);
    int ticks = 0;
    int ticksAtTheChannelCode = -1;
    QJsonObject atCreation;
    connect(&rig.timer, &Timer::tick, this, [&] { ++ticks; });
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&](quint8 byte) {
        if (byte == 0xFF && rig.sim.commands().size() == 1) {
            rig.run.stopRequest();
            QVERIFY(!rig.controls.stopEnabled);
            atCreation = DescriptionCheck::read(rig.controls.fileName);
        }
        if (byte != 0xFF)
            ticksAtTheChannelCode = ticks;
    });

    rig.run.startRequest();

    // The channel code still goes out, once the tick has ended the wait; then the
    // instrument is stopped at once.
    QTRY_COMPARE(rig.commandBytes(), handshake(2));
    QVERIFY2(ticksAtTheChannelCode >= 1, "Stop ended the wait for the first tick");
    QVERIFY(QFileInfo::exists(rig.controls.fileName));
    QCOMPARE(rig.dataFile().size(), 0);
    QCOMPARE(rig.plot.prepared, 1);
    QCOMPARE(rig.plot.segmentCount, 0);
    QCOMPARE(rig.plot.snapshots.size(), 1);
    QVERIFY(rig.controls.startEnabled && !rig.controls.stopEnabled);
    QCOMPARE(atCreation.value(QStringLiteral("ending")).toString(), QStringLiteral("recording"));
    QVERIFY(atCreation.value(QStringLiteral("started")).isNull());
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("stopped"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void RecordingRunTest::aSecondStartDuringARunIsIgnored()
{
    RunRig rig(FastTick);
    rig.sim.setRate(20000);
    rig.controls.selectChannel(2);
    rig.controls.timeText = QStringLiteral("100000");
    bool stillLocked = false;
    WhenTrue::then(this, [&] { return rig.plot.segmentCount >= 511 * 3; },
         [&] {
             // Were it not ignored, a short one.
             rig.controls.timeText = QStringLiteral("1");
             rig.run.startRequest();
             stillLocked = !rig.controls.startEnabled && rig.controls.stopEnabled && rig.link.isOpen()
                 && rig.file.isOpen();
             rig.run.stopRequest();
         });

    rig.run.startRequest();

    QVERIFY(stillLocked);
    QCOMPARE(rig.messages.shown.size(), 0);
    QCOMPARE(rig.plot.prepared, 1);
    QCOMPARE(rig.plot.snapshots.size(), 1);
    const QByteArray data = rig.dataFile();
    QVERIFY(data.size() >= 512 * 3);
    QCOMPARE(data, RunRig::stream(2, data.size()));
    QCOMPARE(rig.plot.segmentCount, data.size() / 512 * 511);
    QTRY_COMPARE(rig.commandBytes(), handshake(2));
}

void RecordingRunTest::stopDuringRecordingKeepsEveryBlockTaken()
{
    RunRig rig(FastTick);
    rig.sim.setRate(20000);
    rig.controls.selectChannel(4);
    rig.controls.timeText = QStringLiteral("100000");
    QByteArray onDiskAtStop;
    qint64 drawnAtStop = 0;
    // Half a second, for the instrument's rate to show.
    WhenTrue::then(this, [&] { return rig.plot.segmentCount >= 511 * 20; },
         [&] {
             // Every block taken is on disk while the run goes on.
             onDiskAtStop = TestFiles::read(rig.controls.fileName);
             drawnAtStop = rig.plot.segmentCount;
             rig.seeTheEnd();
             rig.run.stopRequest();
         });

    rig.run.startRequest();

    QCOMPARE(onDiskAtStop.size(), drawnAtStop / 511 * 512);
    QCOMPARE(onDiskAtStop, RunRig::stream(4, onDiskAtStop.size()));
    const QByteArray data = rig.dataFile();
    QCOMPARE(data.size() % 512, 0);
    QVERIFY(data.startsWith(onDiskAtStop));
    QCOMPARE(data, RunRig::stream(4, data.size()));
    QCOMPARE(rig.plot.segmentCount, data.size() / 512 * 511);
    QTRY_COMPARE(rig.commandBytes(), handshake(4));
    QVERIFY(rig.controls.startEnabled && !rig.controls.stopEnabled);
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("stopped"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const QString wrongRate = rig.rateMismatch();
    QVERIFY2(wrongRate.isEmpty(), qPrintable(wrongRate));
}

void RecordingRunTest::keepsOnlyBytesFromAfterTheStart()
{
    RunRig rig(FastTick);
    rig.sim.setRate(0);
    rig.sim.setSampleLimit(512 * 3);
    rig.controls.selectChannel(7);
    rig.controls.timeText = QStringLiteral("3000");
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount == 511 * 3; }, [&] { rig.run.stopRequest(); });
    const QByteArray stale(200, 's');
    const QByteArray duringHandshake(100, 'h');
    rig.sim.inject(stale);
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&](quint8 byte) {
        if (byte == 0xFF && rig.sim.commands().size() == 1)
            rig.sim.inject(duringHandshake);
    });

    rig.run.startRequest();

    const QByteArray data = rig.dataFile();
    QCOMPARE(data.size(), 512 * 3);
    QCOMPARE(data, duringHandshake + RunRig::stream(7, 512 * 3 - duringHandshake.size()));
}

void RecordingRunTest::losesNothingInAFlood()
{
    constexpr qint64 FloodBytes = 8 * 1024 * 1024;
    RunRig rig(FastTick);
    rig.sim.setRate(0);
    rig.sim.setSampleLimit(FloodBytes);
    rig.controls.selectChannel(5);
    rig.controls.timeText = QStringLiteral("3000");
    WhenTrue::then(this, [&] { return rig.plot.segmentCount == FloodBytes / 512 * 511; }, [&] { rig.run.stopRequest(); });

    rig.run.startRequest();

    const QByteArray data = rig.dataFile();
    QCOMPARE(data.size(), FloodBytes);
    QVERIFY(data == RunRig::stream(5, FloodBytes));
}

// Floods that refill the line only after the program has read, between stretches of
// single bytes at the line's rate; the instrument on a thread of its own. It proves that
// no byte is lost or reordered as the pace changes, not how fast the program follows:
// an older pace that looked only every 10 ms passes it too. Each stretch lasts for so
// many bytes, not for a time, so that the floods are there however fast the machine is.
// The pacing is measured by the bench (scripts/bench, flood_refill_mb_s).
void RecordingRunTest::losesNothingAsFloodsComeAndGo()
{
    RunRig rig(FastTick);
    auto *source = new InstrumentSimulator;
    QString error;
    QVERIFY2(source->open(&error), qPrintable(error));
    qputenv("LARVENTA_PORT1", source->devicePath().toLocal8Bit());
    rig.link.configure(1);
    source->setRate(5600);
    source->setChunkSize(1);
    source->setRefillWhenWritable(true);
    QList<quint8> commands;
    connect(source, &InstrumentSimulator::commandReceived, this, [&](quint8 byte) { commands.append(byte); });
    // Line, flood, line, flood, line, Stop: where each stretch ends in the stream. On the
    // writer's thread, where the source lives; Stop goes to the run's.
    constexpr qint64 Flood = 256 * 1024;
    const QList<qint64> stretchEnds{1024, 1024 + Flood, 2048 + Flood, 2048 + 2 * Flood, 3072 + 2 * Flood};
    qsizetype stretch = 0;
    connect(source, &InstrumentSimulator::samplesWritten, source, [&, source](qint64 sent) {
        for (; stretch < stretchEnds.size() && sent >= stretchEnds[stretch]; ++stretch) {
            if (stretch + 1 < stretchEnds.size())
                source->setRate(stretch % 2 ? 5600 : 0);
            else
                QMetaObject::invokeMethod(this, [&] { rig.run.stopRequest(); });
        }
    });
    QThread writer;
    source->moveToThread(&writer);
    connect(&writer, &QThread::finished, source, &QObject::deleteLater);
    writer.start();
    const auto stopWriter = qScopeGuard([&] { writer.quit(); writer.wait(); });
    rig.controls.selectChannel(3);
    rig.controls.timeText = QStringLiteral("3000");

    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 0);
    const QByteArray data = rig.dataFile();
    // All but what the line held when Stop came: no more than one refill and the line's buffers.
    QVERIFY2(data.size() > 2 * Flood - 128 * 1024, qPrintable(QString::number(data.size())));
    QVERIFY(data == RunRig::stream(3, data.size()));
    QTRY_COMPARE(commands, handshake(3));
}

void RecordingRunTest::recordsAStreamSlicedAsAPortDeliversIt_data()
{
    QTest::addColumn<int>("bytesPerWrite");

    QTest::newRow("a UART without FIFO") << 1;
    QTest::newRow("7 at a time") << 7;
}

// At the line's rate, the stream handed over a byte (or a few) per write.
void RecordingRunTest::recordsAStreamSlicedAsAPortDeliversIt()
{
    QFETCH(int, bytesPerWrite);

    RunRig rig(FastTick);
    rig.sim.setRate(5600);
    rig.sim.setChunkSize(bytesPerWrite);
    rig.controls.selectChannel(6);
    rig.controls.timeText = QStringLiteral("3000");
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount >= 511 * 5; }, [&] { rig.run.stopRequest(); });

    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 0);
    const QByteArray data = rig.dataFile();
    QCOMPARE(data.size() % 512, 0);
    QVERIFY2(data.size() >= 512 * 5, qPrintable(QString::number(data.size())));
    QVERIFY(data == RunRig::stream(6, data.size()));
    QCOMPARE(rig.plot.segmentCount, data.size() / 512 * 511);
    QTRY_COMPARE(rig.commandBytes(), handshake(6));
}

// The instrument sends one block and falls silent: the block must not wait for more.
void RecordingRunTest::takesABlockOnceItsLastByteArrives()
{
    RunRig rig(FastTick);
    rig.sim.setRate(5600);
    rig.sim.setChunkSize(1);
    rig.sim.setSampleLimit(512);
    rig.controls.timeText = QStringLiteral("1000");
    WhenTrue::then(this, [&] { return rig.plot.segmentCount == 511; }, [&] { rig.run.stopRequest(); });

    rig.run.startRequest();

    QVERIFY2(rig.state.GatheringTime > 0, "the block was not taken before the time ran out");
    QCOMPARE(rig.dataFile(), RunRig::stream(1, 512));
}

namespace {

qint64 voluntarySwitchesOfThisThread()
{
    QFile status(QStringLiteral("/proc/thread-self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

// Nothing may watch the port between looks. A port that hands the stream over a byte
// at a time would otherwise wake the window's thread 5600 times a second; a read
// notifier of Qt's switched back on, under whatever name, does exactly that. The
// instrument runs in a process of its own, so that only the recording's wakes count,
// and the test ticks the run's one second away once 8 blocks are in, with no timer of
// its own that would wake the thread.
void RecordingRunTest::sleepsWhileABlockFillsByteByByte()
{
    SimProcess instrument(5600, 1, -1);
    QString error;
    QVERIFY2(instrument.start(&error), qPrintable(error));
    RunRig rig(RunRig::TickedByTest);
    qputenv("LARVENTA_PORT1", instrument.devicePath().toLocal8Bit());
    rig.link.configure(1);
    rig.controls.timeText = QStringLiteral("1");
    QObject duringTheRun;
    QTimer::singleShot(0, &duringTheRun, [&] { rig.tick(); });
    rig.plot.afterSegment = [&](qint64 segments) {
        if (segments == 511 * 8)
            QTimer::singleShot(0, &duringTheRun, [&] { rig.tick(); });
    };

    const qint64 switchesBefore = voluntarySwitchesOfThisThread();
    rig.run.startRequest();
    const qint64 wakes = voluntarySwitchesOfThisThread() - switchesBefore;

    QCOMPARE(rig.messages.shown.size(), 0);
    const QByteArray data = rig.dataFile();
    QVERIFY2(data.size() >= 512 * 8, qPrintable(QString::number(data.size())));
    QVERIFY(data == RunRig::stream(1, data.size()));
    QVERIFY2(switchesBefore >= 0 && wakes < data.size() / 16,
             qPrintable(QStringLiteral("%1 wakes for %2 bytes").arg(wakes).arg(data.size())));
}

void RecordingRunTest::refusesABadRecordingTimeBeforeAnythingChanges_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("letters") << "сто";
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("rounds to zero") << "0,4";
    QTest::newRow("negative") << "-10";
    QTest::newRow("beyond 32 bits") << "3000000000";
}

void RecordingRunTest::refusesABadRecordingTimeBeforeAnythingChanges()
{
    QFETCH(QString, text);

    RunRig rig(FastTick);
    QVERIFY(TestFiles::write(rig.controls.fileName, "an older recording"));
    rig.controls.timeText = text;
    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.first().title, Title);
    QCOMPARE(rig.messages.shown.first().icon, MessageBoxes::Icon::Error);
    QVERIFY(rig.messages.shown.first().text.contains(QStringLiteral("Время записи")));
    QCOMPARE(rig.dataFile(), QByteArray("an older recording"));
    QCOMPARE(rig.plot.prepared, 0);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.state.FileNameOld.isEmpty());
    QCOMPARE(HeardCommands::upToNow(rig.sim), QList<quint8>());
}

void RecordingRunTest::aPortThatCannotBeOpenedChangesNothing_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no such device") << false << "не найдено";
    QTest::newRow("held by another program") << true << "занят";
}

void RecordingRunTest::aPortThatCannotBeOpenedChangesNothing()
{
    QFETCH(bool, held);
    QFETCH(QString, reason);

    RunRig rig(FastTick);
    QVERIFY(TestFiles::write(rig.controls.fileName, "an older recording"));
    QString device = rig.hostPort;
    std::optional<PortHolder> holder;
    if (held) {
        holder.emplace(device);
        QVERIFY(holder->holds());
        if (!holder->keepsOthersOut())
            QSKIP("This system lets a second program open the port (Wine does; Windows' serial drivers do not)");
    } else {
        device = rig.path(QStringLiteral("no-such-tty"));
        qputenv("LARVENTA_PORT1", device.toLocal8Bit());
        rig.link.configure(1);
    }

    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 1);
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(device) && text.contains(reason), qPrintable(text));
    QCOMPARE(rig.dataFile(), QByteArray("an older recording"));
    QCOMPARE(rig.plot.prepared, 0);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
    QVERIFY(!rig.timer.isEnabled());
}

// The viewer maps the data file it shows. Linux lets the recorder cut it short for a recording
// made afresh, and the viewer then reads the new one from its start; Windows lets no program cut
// short a file another maps, so there the recorder is refused, says why, and the file stays whole.
void RecordingRunTest::recordingAfreshIntoTheFileTheViewerShows()
{
    RunRig rig(RunRig::TickedByTest);
    rig.sim.setRate(0);
    rig.sim.setSampleLimit(512 * 3);
    rig.controls.timeText = QStringLiteral("1");
    const QByteArray earlier = RunRig::stream(4, 512 * 8);
    QVERIFY(TestFiles::write(rig.controls.fileName, earlier));
    MappedDataFile shown;
    QString reason;
    QVERIFY2(shown.open(rig.controls.fileName, &reason), qPrintable(reason));
    QObject duringTheRun;
    const auto tick = [&] { rig.tick(); };
    WhenTrue::inTurn(&duringTheRun, {{[&] { return rig.controls.stopEnabled; }, tick},
                                     {[&] { return rig.plot.segmentCount == 511 * 3; }, tick}});

    rig.run.startRequest();

    if (MappedFileCut::allowed()) {
        QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.value(0).text));
        QCOMPARE(rig.dataFile(), RunRig::stream(1, 512 * 3));
        return;
    }
    QCOMPARE(rig.messages.shown.size(), 1);
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(rig.controls.fileName) && text.contains(QStringLiteral("открыт в другой программе")),
             qPrintable(text));
    QCOMPARE(rig.dataFile(), earlier);
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.plot.prepared, 0);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
}

void RecordingRunTest::aDataFileThatCannotBeCreatedLeavesThePortClosed_data()
{
    QTest::addColumn<QString>("folder"); // in the test's own folder if relative
    QTest::addColumn<QString>("reason"); // a pattern

    QTest::newRow("a folder that does not exist") << "missing" << "нет такого файла или папки";
    // Windows says a write-protected disk is write-protected; Wine says access is denied.
    if (!ReadOnlyDisk::folder().isEmpty())
        QTest::newRow("a read-only disk") << ReadOnlyDisk::folder() << "только для чтения|доступ запрещён";
}

void RecordingRunTest::aDataFileThatCannotBeCreatedLeavesThePortClosed()
{
    QFETCH(QString, folder);
    QFETCH(QString, reason);

    RunRig rig(FastTick);
    const QString unreachable = QDir(rig.folder.path()).filePath(folder + QStringLiteral("/run.bin"));
    rig.controls.fileName = unreachable;

    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 1);
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(unreachable) && text.contains(QRegularExpression(reason)), qPrintable(text));
    QCOMPARE(rig.messages.shown.first().icon, MessageBoxes::Icon::Error);
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.plot.prepared, 0);
    QVERIFY(rig.controls.settingsEnabled && rig.controls.startEnabled && !rig.controls.stopEnabled);
    QVERIFY(rig.state.FileNameOld.isEmpty());

    // The port was given back: the next recording opens it again.
    rig.controls.fileName = rig.path(QStringLiteral("run.bin"));
    rig.controls.timeText = QStringLiteral("1");
    rig.run.startRequest();
    QCOMPARE(rig.messages.shown.size(), 1);
    QTRY_COMPARE(rig.commandBytes(), handshake(1));
}

// Windows took no path longer than 260 characters in its older calls, and takes one now only in
// the long form that the program must give; the recording, its description and the viewer's
// reading of both take such a path, on Linux as on Windows.
void RecordingRunTest::recordsIntoAPathLongerThanTheOldLimit()
{
    RunRig rig(RunRig::TickedByTest);
    rig.sim.setRate(0);
    rig.sim.setSampleLimit(512 * 3);
    rig.controls.timeText = QStringLiteral("1");
    QString folder = rig.folder.path();
    while (folder.size() < 300)
        folder += QStringLiteral("/папка записей лаборатории с длинным именем");
    QVERIFY(QDir().mkpath(folder));
    rig.controls.fileName = folder + QLatin1Char('/') + AwkwardName::stem() + QStringLiteral(".bin");
    QObject duringTheRun;
    const auto tick = [&] { rig.tick(); };
    WhenTrue::inTurn(&duringTheRun, {{[&] { return rig.controls.stopEnabled; }, tick},
                                     {[&] { return rig.plot.segmentCount == 511 * 3; }, tick}});

    rig.run.startRequest();

    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.value(0).text));
    QCOMPARE(rig.dataFile(), RunRig::stream(1, 512 * 3));
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("completed"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(rig.controls.fileName, &error);
    QVERIFY2(recording, qPrintable(error));
    QCOMPARE(recording->sampleCount(), qint64(512 * 3));
    QVERIFY(recording->description());
}

void RecordingRunTest::aFullDiskEndsTheRunLikeStop()
{
    RunRig rig(FastTick);
    rig.sim.setRate(0);
    rig.controls.selectChannel(8);
    rig.controls.timeText = QStringLiteral("3000");
    bool woundUpBeforeTheMessage = false;
    rig.messages.whileShown = [&](const MessageBoxes::Message &) {
        woundUpBeforeTheMessage = rig.controls.startEnabled && !rig.link.isOpen() && !rig.file.isOpen()
            && rig.plot.snapshots.size() == 1;
    };

    {
        FileSizeLimit fillsAfterFourBlocks(512 * 4 + 100);
        rig.run.startRequest();
    }

    QCOMPARE(rig.messages.shown.size(), 1);
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(rig.controls.fileName) && text.contains(QStringLiteral("допустимый размер")), qPrintable(text));
    QVERIFY(woundUpBeforeTheMessage);
    QCOMPARE(rig.dataFile(), RunRig::stream(8, 512 * 4));
    // Every byte received is told as written, a whole block left out or the partial block.
    const RunProgress &summary = rig.controls.lastProgress;
    QCOMPARE(summary.blocksWritten, 4);
    QVERIFY(summary.blocksNotWritten >= 1 && summary.bytesInBlock < 512);
    QCOMPARE((summary.blocksWritten + summary.blocksNotWritten) * 512 + summary.bytesInBlock, rig.link.bytesReceived());
    // The part of the fifth block that was written and cut off again is not in the hash.
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("write_failed"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(rig.state.FileNameOld, rig.controls.fileName);
    QTRY_COMPARE(rig.commandBytes(), handshake(8));
}

// A hung-up line ends the run by itself: the test ticks only the handshake's second away,
// so the recording's time never runs out. A second of stream first, for the instrument's
// rate to show.
void RecordingRunTest::aVanishedPortEndsTheRunKeepingTheBlocks()
{
    RunRig rig(RunRig::TickedByTest);
    rig.sim.setRate(5600);
    rig.controls.selectChannel(2);
    rig.controls.timeText = QStringLiteral("60");
    QElapsedTimer sinceHangUp;
    QByteArray onDiskAtHangUp;
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return rig.controls.stopEnabled; }, [&] { rig.tick(); });
    WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount >= 511 * 12; },
         [&] {
             onDiskAtHangUp = TestFiles::read(rig.controls.fileName);
             rig.sim.hangUp();
             rig.seeTheEnd();
             sinceHangUp.start();
         });
    // A run that does not notice by itself is stopped, and fails as stopped; the deadline
    // only bounds a hang.
    WhenTrue::then(&duringTheRun, [&] { return sinceHangUp.isValid() && sinceHangUp.hasExpired(30000); },
                   [&] { rig.run.stopRequest(); });

    rig.run.startRequest();

    QVERIFY(sinceHangUp.isValid());
    QCOMPARE(rig.controls.lastProgress.stage, RunProgress::Stage::LinkLost);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.shown.first().text.contains(rig.hostPort), qPrintable(rig.messages.shown.first().text));
    const QByteArray data = rig.dataFile();
    QVERIFY(data.size() >= onDiskAtHangUp.size());
    QCOMPARE(data.size() % 512, 0);
    QCOMPARE(data, RunRig::stream(2, data.size()));
    QVERIFY(rig.controls.startEnabled && !rig.controls.stopEnabled);
    QVERIFY(!rig.link.isOpen());
    QVERIFY(!rig.timer.isEnabled());
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, QStringLiteral("link_lost"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const QString wrongRate = rig.rateMismatch();
    QVERIFY2(wrongRate.isEmpty(), qPrintable(wrongRate));
    QCOMPARE(DescriptionCheck::read(rig.controls.fileName).value(QStringLiteral("problem")).toString(),
             rig.messages.shown.first().text);
}

void RecordingRunTest::aCommandThatCannotBeSentEndsTheRun_data()
{
    QTest::addColumn<int>("ticksTaken");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("ending");

    // Before the channel code: the run ends there.
    QTest::newRow("channel code") << 0 << "0" << "command_failed";
    // After it: the run has ended as it would, and the instrument may still be sending.
    QTest::newRow("closing code") << 2 << "255" << "stopped";
}

// The instrument takes commands for a while, then no more.
void RecordingRunTest::aCommandThatCannotBeSentEndsTheRun()
{
    QFETCH(int, ticksTaken);
    QFETCH(QString, command);
    QFETCH(QString, ending);

    RunRig rig(FastTick);
    BarePty pty;
    QVERIFY(!pty.device().isEmpty());
    qputenv("LARVENTA_PORT1", pty.device().toLocal8Bit());
    rig.link.configure(1);
    rig.controls.timeText = QStringLiteral("1000");
    int ticks = 0;
    connect(&rig.timer, &Timer::tick, this, [&] {
        if (++ticks == ticksTaken) {
            pty.stopTakingCommands();
            rig.run.stopRequest();
        }
    });
    if (ticksTaken == 0)
        QTimer::singleShot(0, this, [&] { pty.stopTakingCommands(); });

    rig.run.startRequest();

    QCOMPARE(rig.messages.shown.size(), 1);
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(pty.device()) && text.contains(QStringLiteral("команду ") + command), qPrintable(text));
    QCOMPARE(rig.dataFile(), QByteArray());
    QCOMPARE(rig.plot.snapshots, QStringList{rig.controls.fileName});
    QVERIFY(rig.controls.startEnabled && rig.controls.settingsEnabled && !rig.controls.stopEnabled);
    QVERIFY(!rig.link.isOpen());
    QVERIFY(!rig.timer.isEnabled());
    const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, ending);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(DescriptionCheck::read(rig.controls.fileName).value(QStringLiteral("problem")).toString(), text);
}

void RecordingRunTest::theDescriptionVouchesOnlyForWhatTheDiskHolds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("ending");

    // The data file's last blocks may never have reached the disk.
    QTest::newRow("data file not synced") << "data sync" << "write_failed";
    QTest::newRow("data file not closed") << "data close" << "write_failed";
    // The last description may never have reached the disk: the one before it, which
    // vouches for no contents, stays.
    QTest::newRow("description not synced") << "description sync" << "recording";
    // No description could be written at all: the older recording's goes all the same.
    QTest::newRow("disk full") << "disk full" << "";
}

void RecordingRunTest::theDescriptionVouchesOnlyForWhatTheDiskHolds()
{
    QFETCH(QString, fault);
    QFETCH(QString, ending);

    RunRig rig(FastTick);
    const QString description = rig.controls.fileName + QStringLiteral(".json");
    QVERIFY(TestFiles::write(rig.controls.fileName, "an older recording"));
    QVERIFY(TestFiles::write(description, R"({"ending": "completed", "sha256": "of an older recording"})"));
    rig.sim.setRate(20000);
    rig.controls.timeText = QStringLiteral("100000");
    std::optional<FileCallFault> callFails;
    std::optional<FileSizeLimit> diskFull;
    if (fault == QLatin1String("disk full")) {
        diskFull.emplace(300);
    } else {
        WhenTrue::then(this, [&] { return rig.plot.segmentCount >= 511 * 4; },
                       [&] {
                           if (fault == QLatin1String("data sync"))
                               callFails.emplace(FileCallFault::Call::Sync, rig.controls.fileName, EIO);
                           else if (fault == QLatin1String("data close"))
                               callFails.emplace(FileCallFault::Call::Close, rig.controls.fileName, EIO);
                           else
                               callFails.emplace(FileCallFault::Call::SyncOfReplacement, description, EIO);
                           rig.run.stopRequest();
                       });
    }

    rig.run.startRequest();

    diskFull.reset();
    QVERIFY(!callFails || callFails->failures() >= 1);
    callFails.reset();
    const QString descriptionProblem = rig.controls.lastProgress.descriptionProblem;
    if (ending.isEmpty()) {
        QVERIFY(!QFileInfo::exists(description));
        QVERIFY2(descriptionProblem.contains(QStringLiteral("ошибка записи")), qPrintable(descriptionProblem));
        return;
    }
    const QJsonObject said = DescriptionCheck::read(rig.controls.fileName);
    QCOMPARE(said.value(QStringLiteral("ending")).toString(), ending);
    if (ending == QLatin1String("recording")) {
        QVERIFY(said.value(QStringLiteral("sha256")).isNull());
        QCOMPARE(descriptionProblem, QStringLiteral("не удалось сохранить на диске (ошибка ввода-вывода)"));
        QCOMPARE(rig.messages.shown.size(), 0);
    } else {
        const QString wrong = DescriptionCheck::mismatches(rig.controls.fileName, ending);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(said.value(QStringLiteral("problem")).toString(), rig.messages.shown.first().text);
        QVERIFY(descriptionProblem.isEmpty());
    }
}

void RecordingRunTest::theDocumentedPythonReadsARecording_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<bool>("channelCodeSent");

    QTest::newRow("README, completed") << LARVENTA_README << true;
    // No rate: samples_per_second is null.
    QTest::newRow("README, no channel code") << LARVENTA_README << false;
    QTest::newRow("larventa(1), completed") << LARVENTA_MANUAL << true;
}

// Against a real recording, named as in the snippet, in the folder it runs in.
void RecordingRunTest::theDocumentedPythonReadsARecording()
{
    QFETCH(QString, document);
    QFETCH(bool, channelCodeSent);

    RunRig rig(RunRig::TickedByTest);
    rig.controls.fileName = rig.path(QStringLiteral("run1.bin"));
    rig.controls.timeText = QStringLiteral("1");
    BarePty refusesCommands;
    QObject duringTheRun;
    if (channelCodeSent) {
        rig.sim.setRate(0);
        rig.sim.setSampleLimit(512 * 3);
        WhenTrue::then(&duringTheRun, [&] { return rig.controls.stopEnabled; }, [&] { rig.tick(); });
        // The second runs out once the instrument's three blocks are in.
        WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount == 511 * 3; }, [&] { rig.tick(); });
    } else {
        qputenv("LARVENTA_PORT1", refusesCommands.device().toLocal8Bit());
        rig.link.configure(1);
        QTimer::singleShot(0, &duringTheRun, [&] {
            refusesCommands.stopTakingCommands();
            rig.tick();
        });
    }
    rig.run.startRequest();
    const QJsonObject description = DescriptionCheck::read(rig.controls.fileName);
    QCOMPARE(description.value(QStringLiteral("samples_per_second")).isNull(), !channelCodeSent);

    QProcess python;
    python.setWorkingDirectory(rig.folder.path());
    // Debian's own, which python3-numpy (installed by scripts/setup) is for, whatever else is first on the path.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), documentedPython(document)});
    QVERIFY2(python.waitForFinished(30000), "/usr/bin/python3 did not run");
    const QByteArray errors = python.readAllStandardError();
    QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0, errors.constData());
    const QString started = channelCodeSent ? description.value(QStringLiteral("started")).toString()
                                            : QStringLiteral("None");
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()),
             QStringLiteral("channel 1, %1, %2, %3 samples\n")
                 .arg(started, channelCodeSent ? QStringLiteral("completed") : QStringLiteral("command_failed"),
                      QString::number(channelCodeSent ? 512 * 3 : 0)));
}

QTEST_MAIN(RecordingRunTest)
#include "RecordingRunTest.moc"
