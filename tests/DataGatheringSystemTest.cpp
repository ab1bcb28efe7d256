#include "DescriptionCheck.h"
#include "FileCallFault.h"
#include "FileSizeLimit.h"
#include "HeardCommands.h"
#include "NamedPipe.h"
#include "PortLocks.h"
#include "RunRig.h"
#include "ScriptedMessageBoxes.h"
#include "ScriptedSaveDialog.h"
#include "SimulatorEnd.h"
#include "TestFiles.h"
#include "WhenTrue.h"

#include "link/InstrumentLink.h"
#include "output/GraphikBox.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtSaveDialog.h"
#include "platform/Timer.h"
#include "sim/InstrumentSignal.h"
#include "sim/InstrumentSimulator.h"
#include "window/DataGatheringSystem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString Title = QStringLiteral("Вам Cообщение");

// The window on the simulator, with its dialogs answered by the test.
struct WindowRig
{
    WindowRig()
        : hostPort(SimulatorEnd::open(sim))
    {
        window = std::make_unique<DataGatheringSystem>(messages, dialog);
        window->show();
    }

    template <typename Control = QWidget>
    Control *control(const char *name) const
    {
        return window->findChild<Control *>(QLatin1String(name));
    }
    void click(const char *name) const { QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton); }
    // The window's timer left to the test, whose ticks are then the recording's seconds.
    void tickByHand() const { control<Timer>("Timer")->setInterval(RunRig::TickedByTest); }
    void tick() const
    {
        Timer *timer = control<Timer>("Timer");
        if (timer->isEnabled())
            emit timer->tick();
    }
    bool recording() const { return control("StopButton")->isEnabled(); }
    void chooseFile(const QString &path)
    {
        dialog.nextChoice = path;
        click("SelectFileToWriteButton");
    }
    bool settingsEnabled() const
    {
        return control("SelectChannelFrame")->isEnabled() && control("SetTimeFrame")->isEnabled()
            && control("FileToWriteFrame")->isEnabled();
    }
    // What the operator can still change, seen through the controls themselves.
    bool settingsTakeInput() const
    {
        return control("Channel2")->isEnabled() || control("SetTimeBox")->isEnabled()
            || control("SelectFileToWriteButton")->isEnabled();
    }

    QTemporaryDir folder;
    InstrumentSimulator sim;
    const QString hostPort;
    ScriptedMessageBoxes messages;
    ScriptedSaveDialog dialog;
    std::unique_ptr<DataGatheringSystem> window;
};

RunProgress ended(RunProgress::Stage stage, qint32 seconds, qint64 blocks, qint64 notWritten, qint64 partial,
                  const QString &dataFile)
{
    RunProgress progress;
    progress.stage = stage;
    progress.secondsRecorded = seconds;
    progress.blocksWritten = blocks;
    progress.blocksNotWritten = notWritten;
    progress.bytesInBlock = partial;
    progress.deviceName = QStringLiteral("/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0");
    progress.dataFileName = dataFile;
    progress.pictureSaved = true;
    return progress;
}

RunProgress silent(const QStringList &adapters)
{
    RunProgress progress;
    progress.secondsLeft = 97;
    progress.secondsRecorded = 3;
    progress.instrumentSilent = true;
    progress.deviceName = QStringLiteral("/dev/ttyS0");
    progress.adapters = adapters;
    return progress;
}

// The path shown between the words before and after it, whole or cut in its middle
// with both its ends in sight.
bool showsPath(const QString &text, const QString &before, const QString &path, const QString &after)
{
    const qsizetype start = text.indexOf(before);
    if (start < 0)
        return false;
    const qsizetype from = start + before.size();
    const qsizetype end = after.isEmpty() ? text.size() : text.indexOf(after, from);
    if (end < 0)
        return false;
    const QString between = text.mid(from, end - from);
    // Qt cuts with "…", or with "..." in a font that has no "…" (Windows' MS Sans Serif).
    const QString ellipsis = between.contains(QChar(0x2026)) ? QString(QChar(0x2026)) : QStringLiteral("...");
    const qsizetype cut = between.indexOf(ellipsis);
    if (cut < 0)
        return between == path;
    const qsizetype rest = cut + ellipsis.size();
    return cut > 0 && rest < between.size() && between.count(ellipsis) == 1 && path.startsWith(between.left(cut))
        && path.endsWith(between.mid(rest));
}

} // namespace

Q_DECLARE_METATYPE(RunProgress)

class DataGatheringSystemTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void controlsAtLoad_data();
    void controlsAtLoad();
    void stateAtLoad();
    void choosingTheFile();
    void recordingFromTheStartButton();
    void theStatusLineFollowsTheRecording();
    void theStatusLineShowsWhatMattersInItsWidth_data();
    void theStatusLineShowsWhatMattersInItsWidth();
    void stopButtonEndsTheRecording();
    void guardsAskThroughMessageBoxes();
    void thePictureNeverReplacesTheData();
    void aFullDiskNamesTheFileAsChosen();
    void aNamedPipeAsTheDataFileIsRefused();
    void aDataFileThatFailsToCloseIsReported();
    void closingDuringARecordingEndsTheProgram();
    void theBoxesAndTheSaveDialogBelongToTheWindow();
};

void DataGatheringSystemTest::init()
{
    qunsetenv("QT_QPA_PLATFORMTHEME");
}

void DataGatheringSystemTest::controlsAtLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<bool>("bold");

    const auto control = [](const char *name, const char *container, QRect pixels, const char *text, qreal size,
                            bool bold) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(container) << pixels
                            << QString::fromUtf8(text) << size << bold;
    };
    // Positions and sizes from twips, 15 to the pixel.
    const char *window = "DataGatheringSystem";
    control("SelectChannelFrame", window, {8, -8, 185, 73}, "", 13.5, false);
    control("SelectChannelLabel", "SelectChannelFrame", {8, 16, 108, 24}, "Выбор канала ", 9.75, true);
    control("Channel1", "SelectChannelFrame", {8, 40, 17, 17}, "1", 8.25, false);
    control("Channel2", "SelectChannelFrame", {30, 40, 17, 17}, "2", 8.25, false);
    control("Channel3", "SelectChannelFrame", {51, 40, 17, 17}, "3", 8.25, false);
    control("Channel4", "SelectChannelFrame", {73, 40, 17, 17}, "4", 8.25, false);
    control("Channel5", "SelectChannelFrame", {95, 40, 17, 17}, "5", 8.25, false);
    control("Channel6", "SelectChannelFrame", {116, 40, 17, 17}, "6", 8.25, false);
    control("Channel7", "SelectChannelFrame", {138, 40, 17, 17}, "7", 8.25, false);
    control("Channel8", "SelectChannelFrame", {160, 40, 17, 17}, "8", 8.25, false);
    control("SetTimeFrame", window, {205, -4, 185, 69}, "", 9.75, true);
    control("SetTimeLabel", "SetTimeFrame", {8, 16, 136, 17}, "Время записи, сек", 9.75, true);
    control("SetTimeBox", "SetTimeFrame", {8, 40, 49, 23}, "100", 9.75, false);
    control("FileToWriteFrame", window, {402, -2, 185, 67}, "", 8.25, false);
    control("SelectFileToWriteLabel", "FileToWriteFrame", {8, 16, 104, 16}, "Файл записи", 9.75, true);
    control("FileToWriteLabel", "FileToWriteFrame", {106, 40, 7, 17}, "", 8.25, false);
    control("SelectFileToWriteButton", "FileToWriteFrame", {128, 28, 33, 29}, "...", 18, true);
    control("StartStopFrame", window, {600, -8, 185, 73}, "", 13.5, true);
    control("StartButton", "StartStopFrame", {8, 16, 113, 21}, "пуск", 12, true);
    control("StopButton", "StartStopFrame", {8, 48, 113, 21}, "стоп", 12, true);
    control("GraphikBox", window, {32, 104, 729, 449}, "", 0, false);
    control("StatusLabel", window, {32, 553, 729, 17}, "", 8.25, false);
}

void DataGatheringSystemTest::controlsAtLoad()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QRect, pixels);
    QFETCH(QString, text);
    QFETCH(qreal, pointSize);
    QFETCH(bool, bold);

    WindowRig rig;
    const QWidget *control = rig.window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    QCOMPARE(control->geometry(), pixels);
    const QVariant shown = control->property("text");
    QCOMPARE(shown.isValid() ? shown.toString() : QString(), text);
    if (pointSize > 0) {
        QCOMPARE(control->font().pointSizeF(), pointSize);
        QCOMPARE(control->font().bold(), bold);
    }
    if (auto *frame = qobject_cast<const QGroupBox *>(control))
        QVERIFY(frame->title().isEmpty());
}

void DataGatheringSystemTest::stateAtLoad()
{
    WindowRig rig;
    DataGatheringSystem &window = *rig.window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Ларвента   "));
    QCOMPARE(window.size(), QSize(792, 570));
    QVERIFY(window.font().bold());
    QCOMPARE(window.font().pointSizeF(), 13.5);
    // A sans-serif with Cyrillic letters stands in where MS Sans Serif is missing.
    QVERIFY(QFontMetrics(rig.control("SetTimeLabel")->font()).inFont(QChar(u'Ж')));

    QVERIFY(rig.control<QRadioButton>("Channel1")->isChecked());
    for (const char *other : {"Channel2", "Channel3", "Channel4", "Channel5", "Channel6", "Channel7", "Channel8"})
        QVERIFY(!rig.control<QRadioButton>(other)->isChecked());
    QVERIFY(rig.settingsEnabled());
    QVERIFY(rig.control("StartButton")->isEnabled());
    QVERIFY(!rig.control("StopButton")->isEnabled());
    QVERIFY(!rig.control("GraphikBox")->isVisible());
    QVERIFY(!rig.control<Timer>("Timer")->isEnabled());
    QVERIFY(rig.control<QLabel>("StatusLabel")->text().isEmpty());

    QCOMPARE(rig.dialog.title, QStringLiteral("Файл для записи данных"));
    QCOMPARE(rig.dialog.filterName, QStringLiteral("Бинарные файлы"));
    QCOMPARE(rig.dialog.filterPattern, QStringLiteral("*.bin"));
    QCOMPARE(rig.dialog.shown, 0);

    // Tab goes through the controls in the order the operator works in.
    const QList<QWidget *> tabOrder{rig.control("Channel1"), rig.control("Channel2"), rig.control("Channel8"),
                                    rig.control("SetTimeBox"), rig.control("SelectFileToWriteButton"),
                                    rig.control("StartButton"), rig.control("StopButton")};
    QList<QWidget *> chain;
    QWidget *walker = rig.control("Channel1");
    do {
        if (tabOrder.contains(walker))
            chain.append(walker);
        walker = walker->nextInFocusChain();
    } while (walker != rig.control("Channel1"));
    QCOMPARE(chain, tabOrder);
}

void DataGatheringSystemTest::choosingTheFile()
{
    WindowRig rig;
    auto *label = rig.control<QLabel>("FileToWriteLabel");
    auto *frame = rig.control("FileToWriteFrame");

    const QString path = rig.folder.filePath(QStringLiteral("запись"));
    rig.chooseFile(path);
    QCOMPARE(rig.dialog.shown, 1);
    QCOMPARE(label->toolTip(), path);
    // No extension is added, and a short name is shown whole.
    rig.chooseFile(QStringLiteral("/tmp/a"));
    QCOMPARE(label->text(), QStringLiteral("/tmp/a"));

    // Cancelled: the name chosen before stays.
    rig.click("SelectFileToWriteButton");
    QCOMPARE(rig.dialog.shown, 3);
    QCOMPARE(label->text(), QStringLiteral("/tmp/a"));

    // A long path: the label grows to the left inside its frame and keeps the file's own name in sight.
    const QString longPath = QStringLiteral("/home/laborant/эксперименты/2026/декабрь/серия-17/канал-3/запись-001.bin");
    rig.chooseFile(longPath);
    QVERIFY(label->width() > 7 * 5);
    QVERIFY(frame->rect().contains(label->geometry()));
    QVERIFY(!label->geometry().intersects(rig.control("SelectFileToWriteButton")->geometry()));
    QVERIFY(label->text().endsWith(QStringLiteral("запись-001.bin")));
    QCOMPARE(label->toolTip(), longPath);
}

// A two-second recording, its seconds ticked away by the test as the blocks come in.
void DataGatheringSystemTest::recordingFromTheStartButton()
{
    WindowRig rig;
    rig.tickByHand();
    rig.sim.setRate(5600);
    const QString path = rig.folder.filePath(QStringLiteral("run1.bin"));
    rig.chooseFile(path);
    rig.click("Channel3");
    auto *time = rig.control<QLineEdit>("SetTimeBox");
    time->selectAll();
    QTest::keyClicks(time, QStringLiteral("2"));

    bool lockedDuringTheRun = false;
    connect(&rig.sim, &InstrumentSimulator::streamStarted, this, [&] {
        lockedDuringTheRun = !rig.settingsEnabled() && !rig.settingsTakeInput()
            && !rig.control("StartButton")->isEnabled() && rig.control("StopButton")->isEnabled()
            && rig.control("GraphikBox")->isVisible();
    });
    const auto blocksInFile = [&](qint64 blocks) { return [&, blocks] { return TestFiles::read(path).size() >= 512 * blocks; }; };
    const auto tick = [&] { rig.tick(); };
    QObject duringTheRun;
    WhenTrue::inTurn(&duringTheRun, {{[&] { return rig.recording(); }, tick}, {blocksInFile(5), tick}, {blocksInFile(10), tick}});
    rig.click("StartButton");

    QVERIFY(lockedDuringTheRun);
    QVERIFY(rig.messages.shown.isEmpty());
    QTRY_COMPARE(rig.sim.commands().size(), 3);
    QCOMPARE(rig.sim.commands().at(1).byte, quint8(2));
    QVERIFY(rig.settingsEnabled() && rig.control("StartButton")->isEnabled());
    QVERIFY(!rig.control("StopButton")->isEnabled());
    QVERIFY(rig.control("GraphikBox")->isVisible());

    const QByteArray data = TestFiles::read(path);
    QVERIFY(data.size() >= 512 * 10);
    QCOMPARE(data.size() % 512, 0);
    QCOMPARE(data, RunRig::stream(3, data.size()));

    // The picture beside the data file: axes and the trace of the samples that fit,
    // 100 a second, so samples 0 ... 200 across the width.
    QImage picture(rig.folder.filePath(QStringLiteral("run1.bmp")));
    QVERIFY(!picture.isNull());
    QCOMPARE(TestFiles::read(rig.folder.filePath(QStringLiteral("run1.bmp"))).left(2), QByteArray("BM"));
    const QImage &plot = rig.window->findChild<GraphikBox *>()->image();
    QCOMPARE(picture.size(), plot.size());
    const QRgb background = picture.pixel(picture.width() / 2, 2);
    const int bottom = picture.height() - 1;
    QVERIFY(picture.pixel(picture.width() / 2, bottom) != background);
    QVERIFY(picture.pixel(0, picture.height() / 2) != background);
    const auto drawnNear = [&](int column, int row) {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (picture.valid(column + dx, row + dy) && picture.pixel(column + dx, row + dy) != background)
                    return true;
        return false;
    };
    for (int n : {10, 57, 123, 199}) {
        const int column = qRound(10.0 * n * (picture.width() - 1) / 2000);
        const int row = qRound((280.0 - (quint8(data[n]) + 5)) * bottom / 280);
        QVERIFY2(drawnNear(column, row), qPrintable(QStringLiteral("sample %1").arg(n)));
    }
}

// The instrument stays silent until the hint shows, then sends 200 bytes, then a block
// more; the recording ends with a partial block in hand. The test ticks the seconds away,
// each once the line shows what the second before brought.
void DataGatheringSystemTest::theStatusLineFollowsTheRecording()
{
    WindowRig rig;
    rig.tickByHand();
    rig.sim.setSampleLimit(0);
    const QString path = rig.folder.filePath(QStringLiteral("run.bin"));
    rig.chooseFile(path);
    auto *time = rig.control<QLineEdit>("SetTimeBox");
    time->selectAll();
    QTest::keyClicks(time, QStringLiteral("7"));
    auto *status = rig.control<QLabel>("StatusLabel");
    const auto says = [status](const QString &words) { return status->text().contains(words); };
    const auto *link = rig.control<InstrumentLink>("ComPort");
    const auto tick = [&] { rig.tick(); };
    const auto left = [&](int seconds) { return [&, seconds] { return says(QStringLiteral("Осталось %1 с").arg(seconds)); }; };
    QString silent, bytesInProgress, afterABlock;
    QObject duringTheRun;
    WhenTrue::inTurn(&duringTheRun,
                     {{[&] { return rig.recording(); }, tick},
                      {left(7), tick},
                      {left(6), tick},
                      {left(5), tick},
                      {[&] { return says(QStringLiteral("Прибор молчит")); },
                       [&] {
                           silent = status->text();
                           rig.sim.inject(QByteArray(200, 'a'));
                       }},
                      {[&] { return link->bytesWaiting() == 200; }, tick},
                      {[&] { return says(QStringLiteral("текущий блок: 200 из 512 байт")); },
                       [&] {
                           bytesInProgress = status->text();
                           rig.sim.inject(QByteArray(512, 'b'));
                       }},
                      {[&] { return TestFiles::read(path).size() == 512 && link->bytesWaiting() == 200; }, tick},
                      {[&] { return says(QStringLiteral("записан 1 блок (512 байт)")); },
                       [&] {
                           afterABlock = status->text();
                           tick();
                       }},
                      {left(1), tick}});

    rig.click("StartButton");

    QVERIFY2(silent.contains(QStringLiteral("молчит 3 с на ") + rig.hostPort)
                 && silent.contains(QStringLiteral("LARVENTA_PORT1")),
             qPrintable(silent));
    QVERIFY2(bytesInProgress.contains(QStringLiteral("записано 0 блоков (0 байт)")), qPrintable(bytesInProgress));
    QVERIFY2(!bytesInProgress.contains(QStringLiteral("молчит")), qPrintable(bytesInProgress));
    QVERIFY2(afterABlock.contains(QStringLiteral("текущий блок: 200 из 512 байт")), qPrintable(afterABlock));
    const QString summary = status->text();
    QVERIFY2(summary == QStringLiteral("Запись окончена за 7 с: записан 1 блок (512 байт), неполный блок "
                                               "(200 байт) не записан. Рисунок: run.bmp"),
             qPrintable(summary));
    QCOMPARE(TestFiles::read(path), QByteArray(200, 'a') + QByteArray(312, 'b'));
}

void DataGatheringSystemTest::theStatusLineShowsWhatMattersInItsWidth_data()
{
    QTest::addColumn<RunProgress>("progress");
    QTest::addColumn<QStringList>("shown");
    // Triples: the words before a path, the path, the words after it ("": the line's end).
    QTest::addColumn<QStringList>("paths");

    const QString ftdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZ3Q7-if00-port0");
    const QString adapter = QStringLiteral(" · адаптер: LARVENTA_PORT1=");
    QTest::newRow("silent, one adapter")
        << silent({ftdi}) << QStringList{"Прибор молчит 3 с на ", adapter}
        << QStringList{"на ", "/dev/ttyS0", adapter, adapter, ftdi, ""};
    QTest::newRow("silent, three adapters")
        << silent({ftdi, QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyUSB1")})
        << QStringList{"Прибор молчит 3 с на ", " · подключены 3 адаптера", "LARVENTA_PORT1="}
        << QStringList{"на ", "/dev/ttyS0", " · подключены"};
    const QString deepFile = QStringLiteral("/home/laborant/Эксперименты/2026-12-08 серия 14 (повтор)/канал 3/"
                                            "запись-долгая-очень.bin");
    const QStringList picture{". Рисунок: ", "запись-долгая-очень.bmp", ""};
    QTest::newRow("completed, a long path")
        << ended(RunProgress::Stage::Completed, 100, 21, 0, 300, deepFile)
        << QStringList{"Запись окончена за 100 с: записан 21 блок (10752 байта)"} << picture;
    QTest::newRow("write failed, blocks left over")
        << ended(RunProgress::Stage::WriteFailed, 12, 4, 3, 511, deepFile)
        << QStringList{"Файл данных не дописан, запись прервана через 12 с: записаны 4 блока (2048 байт)"} << picture;
    const RunProgress lost = ended(RunProgress::Stage::LinkLost, 5, 5, 1, 0, deepFile);
    QTest::newRow("link lost on a long device name")
        << lost << QStringList{"Связь с прибором (", ") потеряна через 5 с: записано 5 блоков (2560 байт)"}
        << QStringList{"Связь с прибором (", lost.deviceName, ") потеряна"} + picture;
    RunProgress pastAnHour;
    pastAnHour.secondsLeft = 7322;
    pastAnHour.blocksWritten = 2;
    QTest::newRow("past an hour")
        << pastAnHour << QStringList{"Осталось 2 ч 02 мин · записаны 2 блока (1024 байта) · текущий блок: 0 из 512 байт"}
        << QStringList{};
}

// What the line shows in its own width and font, whatever the font, not what only the
// tool tip holds: the essential words whole, and each path whole or cut in its middle
// with both its ends in sight.
void DataGatheringSystemTest::theStatusLineShowsWhatMattersInItsWidth()
{
    QFETCH(RunProgress, progress);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, paths);

    WindowRig rig;
    rig.window->showProgress(progress);
    const auto *status = rig.control<QLabel>("StatusLabel");
    const QString text = status->text();
    for (const QString &words : shown)
        QVERIFY2(text.contains(words), qPrintable(text));
    for (qsizetype i = 0; i + 2 < paths.size(); i += 3)
        QVERIFY2(showsPath(text, paths[i], paths[i + 1], paths[i + 2]), qPrintable(paths[i + 1] + "\n" + text));
    QVERIFY2(QFontMetrics(status->font()).horizontalAdvance(text) <= status->width(), qPrintable(text));
    for (const QString &adapter : progress.adapters)
        QVERIFY2(status->toolTip().contains(adapter), qPrintable(status->toolTip()));
}

// On the window's own timer: its first tick, which ends the handshake, comes no sooner than a
// second after Start, however slowly the machine runs.
void DataGatheringSystemTest::stopButtonEndsTheRecording()
{
    WindowRig rig;
    rig.sim.setRate(20000);
    const QString path = rig.folder.filePath(QStringLiteral("stopped.bin"));
    rig.chooseFile(path);
    bool stopDisabledAtOnce = false;
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return TestFiles::read(path).size() >= 512 * 4; },
         [&] {
             rig.click("StopButton");
             stopDisabledAtOnce = !rig.control("StopButton")->isEnabled();
         });
    QElapsedTimer sinceStart;
    qint64 channelCodeAfter = -1;
    connect(&rig.sim, &InstrumentSimulator::commandReceived, &duringTheRun, [&](quint8 byte) {
        if (byte != 0xFF)
            channelCodeAfter = sinceStart.elapsed();
    });
    sinceStart.start();
    rig.click("StartButton");

    QVERIFY(stopDisabledAtOnce);
    QVERIFY2(channelCodeAfter >= 1000, qPrintable(QString::number(channelCodeAfter)));
    const QString summary = rig.control<QLabel>("StatusLabel")->text();
    QVERIFY2(summary.startsWith(QStringLiteral("Запись остановлена кнопкой «стоп»")), qPrintable(summary));
    QTRY_COMPARE(rig.sim.commands().size(), 3);
    QCOMPARE(rig.sim.commands().last().byte, quint8(0xFF));
    const QByteArray data = TestFiles::read(path);
    QCOMPARE(data.size() % 512, 0);
    QCOMPARE(data, RunRig::stream(1, data.size()));
    QVERIFY(QFile::exists(rig.folder.filePath(QStringLiteral("stopped.bmp"))));
    QVERIFY(rig.control("StartButton")->isEnabled());
}

void DataGatheringSystemTest::guardsAskThroughMessageBoxes()
{
    WindowRig rig;
    rig.click("StartButton");
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.at(0).title, Title);
    QCOMPARE(rig.messages.shown.at(0).icon, MessageBoxes::Icon::Error);
    QVERIFY(!rig.control("GraphikBox")->isVisible());
    QVERIFY(rig.control("StartButton")->isEnabled());

    // A recording stopped in its handshake, then Start again on the same file: No.
    const QString path = rig.folder.filePath(QStringLiteral("again.bin"));
    rig.chooseFile(path);
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&] { rig.click("StopButton"); });
    rig.click("StartButton");
    QTRY_COMPARE(rig.sim.commands().size(), 3);
    QFile::remove(rig.folder.filePath(QStringLiteral("again.bmp")));
    rig.messages.yesNoAnswers = {MessageBoxes::Answer::No};
    rig.click("StartButton");
    QCOMPARE(rig.messages.shown.size(), 2);
    QCOMPARE(rig.messages.shown.at(1).title, Title);
    QCOMPARE(rig.messages.shown.at(1).buttons, MessageBoxes::Buttons::YesNo);
    QVERIFY(!QFile::exists(rig.folder.filePath(QStringLiteral("again.bmp"))));
    QCOMPARE(HeardCommands::upToNow(rig.sim), (QList<quint8>{0xFF, 0, 0xFF}));
}

void DataGatheringSystemTest::thePictureNeverReplacesTheData()
{
    WindowRig rig;
    rig.sim.setRate(20000);
    const auto recordTwoBlocks = [&](const QString &path) {
        rig.chooseFile(path);
        WhenTrue::then(this, [&] { return TestFiles::read(path).size() >= 512 * 2; },
                       [&] { rig.click("StopButton"); });
        rig.click("StartButton");
    };

    // A data file named like a picture: the picture goes beside it, not over it. Where
    // its description would go there is a folder: the summary says so, and only it.
    const QString bmpNamed = rig.folder.filePath(QStringLiteral("trace.bmp"));
    QVERIFY(QDir().mkdir(bmpNamed + QStringLiteral(".json")));
    recordTwoBlocks(bmpNamed);
    QByteArray data = TestFiles::read(bmpNamed);
    QVERIFY(data.size() >= 512 * 2);
    QCOMPARE(data, RunRig::stream(1, data.size()));
    QVERIFY(!QImage(bmpNamed + QStringLiteral(".bmp")).isNull());
    QVERIFY(rig.messages.shown.isEmpty());
    const auto *status = rig.control<QLabel>("StatusLabel");
    QVERIFY2(status->text().contains(QStringLiteral(". Описание не сохранено")), qPrintable(status->text()));
    QVERIFY2(status->toolTip().contains(QStringLiteral("Рисунок: %1.bmp. Описание «%1.json» не сохранено: это папка, а не файл")
                                            .arg(bmpNamed)),
             qPrintable(status->toolTip()));

    // A picture that cannot be saved is reported once the recording is wound up.
    const QString blocked = rig.folder.filePath(QStringLiteral("blocked.bmp"));
    QVERIFY(QDir().mkdir(blocked));
    bool woundUp = false;
    rig.messages.whileShown = [&](const MessageBoxes::Message &) {
        woundUp = rig.control("StartButton")->isEnabled() && rig.settingsEnabled();
    };
    const QString path = rig.folder.filePath(QStringLiteral("blocked.bin"));
    recordTwoBlocks(path);
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.first().title, Title);
    QCOMPARE(rig.messages.shown.first().icon, MessageBoxes::Icon::Error);
    QVERIFY2(rig.messages.shown.first().text.contains(QDir::toNativeSeparators(blocked)),
             qPrintable(rig.messages.shown.first().text));
    QVERIFY(woundUp);
    data = TestFiles::read(path);
    QVERIFY(data.size() >= 512 * 2);
    QCOMPARE(data, RunRig::stream(1, data.size()));
}

// Real seconds: one for the handshake. The operator's path goes into the message as it is, "%1" and all.
void DataGatheringSystemTest::aFullDiskNamesTheFileAsChosen()
{
    WindowRig rig;
    rig.sim.setRate(0);
    const QString path = rig.folder.filePath(QStringLiteral("%1 запись %2.bin"));
    rig.chooseFile(path);
    {
        FileSizeLimit fillsAfterFourBlocks(512 * 4 + 100);
        rig.click("StartButton");
    }

    QVERIFY(!rig.messages.shown.isEmpty());
    const QString text = rig.messages.shown.first().text;
    QVERIFY2(text.contains(QStringLiteral("«") + path + QStringLiteral("»: файл превысил допустимый размер.")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("В файле «") + path + QStringLiteral("» сохранены все блоки, принятые до этого (4).")),
             qPrintable(text));
    QCOMPARE(TestFiles::read(path), RunRig::stream(1, 512 * 4));
}

// Real seconds: one for the handshake of the recording after it.
void DataGatheringSystemTest::aNamedPipeAsTheDataFileIsRefused()
{
    WindowRig rig;
    const QString pipe = rig.folder.filePath(QStringLiteral("pipe.bin"));
    QVERIFY(NamedPipe::make(pipe));
    rig.chooseFile(pipe);

    // Nobody reads the pipe: opening it to write would wait for ever.
    rig.click("StartButton");

    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.first().icon, MessageBoxes::Icon::Error);
    QCOMPARE(rig.messages.shown.first().text,
             QStringLiteral("Не удалось создать файл данных «%1»: это именованный канал (FIFO), а не обычный файл.")
                 .arg(pipe));
    QVERIFY(NamedPipe::isPipe(pipe));
    QVERIFY(rig.settingsEnabled() && rig.control("StartButton")->isEnabled());
    QVERIFY(!rig.control("StopButton")->isEnabled());
    QVERIFY(!rig.control("GraphikBox")->isVisible());

    // The port was given back with nothing sent: the next recording's handshake is the
    // first the instrument hears.
    rig.chooseFile(rig.folder.filePath(QStringLiteral("after.bin")));
    connect(&rig.sim, &InstrumentSimulator::commandReceived, this, [&] { rig.click("StopButton"); });
    rig.click("StartButton");
    const auto commandBytes = [&] {
        QList<quint8> bytes;
        for (const InstrumentSimulator::Command &command : rig.sim.commands())
            bytes.append(command.byte);
        return bytes;
    };
    QTRY_COMPARE(commandBytes(), (QList<quint8>{0xFF, 0, 0xFF}));
}

// Real seconds: one for the handshake. As on a network file system that could not
// store what was written.
void DataGatheringSystemTest::aDataFileThatFailsToCloseIsReported()
{
    WindowRig rig;
    rig.sim.setRate(20000);
    const QString path = rig.folder.filePath(QStringLiteral("unclosed.bin"));
    rig.chooseFile(path);
    std::optional<FileCallFault> closeFails;
    WhenTrue::then(this, [&] { return TestFiles::read(path).size() >= 512 * 2; },
                   [&] {
                       closeFails.emplace(FileCallFault::Call::Close, path, EIO);
                       rig.click("StopButton");
                   });
    bool woundUp = false;
    rig.messages.whileShown = [&](const MessageBoxes::Message &) {
        woundUp = rig.control("StartButton")->isEnabled() && rig.settingsEnabled()
            && !rig.control("StopButton")->isEnabled()
            && QFile::exists(rig.folder.filePath(QStringLiteral("unclosed.bmp")));
    };

    rig.click("StartButton");

    QVERIFY(closeFails);
    QCOMPARE(closeFails->failures(), 1);
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.messages.shown.first().icon, MessageBoxes::Icon::Error);
    QCOMPARE(rig.messages.shown.first().text,
             QStringLiteral("Не удалось закрыть файл данных «%1»: ошибка ввода-вывода. Данные, записанные в него, "
                            "могли сохраниться не полностью.")
                 .arg(path));
    QVERIFY(woundUp);
}

void DataGatheringSystemTest::closingDuringARecordingEndsTheProgram()
{
    InstrumentSimulator sim;
    const QString hostPort = SimulatorEnd::open(sim);
    sim.setRate(5600);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("closed.bin"));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(CLOSE_DURING_RECORDING), {path, QString::number(4)});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 30000);

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray data = TestFiles::read(path);
    QVERIFY(data.size() >= 512 * 4);
    QCOMPARE(data.size() % 512, 0);
    QCOMPARE(data, RunRig::stream(1, data.size()));
    const QString wrong = DescriptionCheck::mismatches(path, QStringLiteral("window_closed"));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // No wind-up: no closing stop code, no picture.
    QCOMPARE(HeardCommands::upToNow(sim), (QList<quint8>{0xFF, 0}));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("closed.bmp"))));
    // The port is given back: no lock file keeps another user from it.
    QVERIFY(!PortLocks::heldFor(hostPort));
}

// The program's own boxes and dialog, closed by the test as soon as they are up.
void DataGatheringSystemTest::theBoxesAndTheSaveDialogBelongToTheWindow()
{
    qputenv("LARVENTA_PORT1", "/dev/<i>no-port");
    QtMessageBoxes messages;
    QtSaveDialog dialog;
    DataGatheringSystem window(messages, dialog);
    window.show();
    const auto parentOfTheNextModal = [this](QWidget **parent) {
        WhenTrue::then(this, [] { return QApplication::activeModalWidget() != nullptr; },
                       [parent] {
                           QWidget *modal = QApplication::activeModalWidget();
                           *parent = modal->parentWidget();
                           qobject_cast<QDialog *>(modal)->reject();
                       });
    };

    // No file chosen: an error box.
    QWidget *boxParent = nullptr;
    parentOfTheNextModal(&boxParent);
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("StartButton")), Qt::LeftButton);
    QCOMPARE(boxParent, &window);

    QWidget *dialogParent = nullptr;
    parentOfTheNextModal(&dialogParent);
    QTest::mouseClick(window.findChild<QAbstractButton *>(QStringLiteral("SelectFileToWriteButton")), Qt::LeftButton);
    QCOMPARE(dialogParent, &window);
    QVERIFY(dialog.fileName().isEmpty());

    // Names that look like HTML show as they are written.
    const auto showsAsWritten = [](const QLabel *label) {
        return label && label->text().contains(QLatin1Char('<'))
            && (label->textFormat() == Qt::PlainText
                || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text())));
    };
    QTemporaryDir folder;
    ScriptedSaveDialog scripted;
    scripted.nextChoice = folder.filePath(QStringLiteral("<b>x.bin"));
    DataGatheringSystem plainWindow(messages, scripted);
    plainWindow.show();
    QTest::mouseClick(plainWindow.findChild<QAbstractButton *>(QStringLiteral("SelectFileToWriteButton")),
                      Qt::LeftButton);
    QVERIFY(showsAsWritten(plainWindow.findChild<QLabel *>(QStringLiteral("FileToWriteLabel"))));

    bool boxShowsAsWritten = false;
    WhenTrue::then(this, [] { return QApplication::activeModalWidget() != nullptr; }, [&] {
        QWidget *box = QApplication::activeModalWidget();
        boxShowsAsWritten = showsAsWritten(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
        qobject_cast<QDialog *>(box)->reject();
    });
    QTest::mouseClick(plainWindow.findChild<QAbstractButton *>(QStringLiteral("StartButton")), Qt::LeftButton);
    QVERIFY(boxShowsAsWritten);
}

QTEST_MAIN(DataGatheringSystemTest)
#include "DataGatheringSystemTest.moc"
