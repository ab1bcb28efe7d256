#include "BarePty.h"
#include "LineCallLog.h"

#include "link/BlockQueue.h"
#include "link/InstrumentLink.h"
#include "link/PortLockFile.h"
#include "link/PortRefusal.h"
#include "link/ReceivePace.h"
#include "link/SerialAdapters.h"
#include "link/SerialPortName.h"
#include "link/TtyLine.h"
#include "sim/InstrumentSimulator.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class InstrumentLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void takesOnlyWholeBlocksOldestFirst_data();
    void takesOnlyWholeBlocksOldestFirst();
    void sleepsUntilABlockCanBeComplete_data();
    void sleepsUntilABlockCanBeComplete();
    void mapsPortNumbersToDevices();
    void namesTheAdaptersPluggedIn();
    void opensTheLineAt56000Baud();
    void refusesARateTheDriverCouldNotMake_data();
    void refusesARateTheDriverCouldNotMake();
    void theClosingByteLeavesAtTheLineRate_data();
    void theClosingByteLeavesAtTheLineRate();
    void theLineEchoesNothingOnceClosed();
    void reportsACommandThatCannotBeSent();
    void emptyingDropsEverythingReceivedSoFar();
    void sendsSingleCommandBytes();
    void noticesADeviceThatVanishes();
    void namesTheDeviceThatCannotBeOpened_data();
    void namesTheDeviceThatCannotBeOpened();
    void namesTheProgramThatHoldsThePort();
    void advisesAGroupOnlyWhereTheGroupMayUseTheDevice_data();
    void advisesAGroupOnlyWhereTheGroupMayUseTheDevice();

private:
    // The link on a fresh simulator, opened.
    bool openOnSimulator(InstrumentSimulator &sim, InstrumentLink &link);
    bool openOnBarePty(const BarePty &pty, InstrumentLink &link);
    static void waitForBytes(InstrumentLink &link, qint64 count);
};

bool InstrumentLinkTest::openOnSimulator(InstrumentSimulator &sim, InstrumentLink &link)
{
    QString error;
    if (!sim.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    qputenv("LARVENTA_PORT1", sim.devicePath().toLocal8Bit());
    link.configure(1);
    if (!link.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

bool InstrumentLinkTest::openOnBarePty(const BarePty &pty, InstrumentLink &link)
{
    if (pty.device().isEmpty())
        return false;
    qputenv("LARVENTA_PORT1", pty.device().toLocal8Bit());
    link.configure(1);
    QString error;
    if (!link.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

void InstrumentLinkTest::waitForBytes(InstrumentLink &link, qint64 count)
{
    QTRY_VERIFY_WITH_TIMEOUT((link.receive(), link.bytesWaiting() >= count), 5000);
}

void InstrumentLinkTest::takesOnlyWholeBlocksOldestFirst_data()
{
    QTest::addColumn<int>("received");
    QTest::addColumn<int>("slice");
    QTest::addColumn<int>("blocks");

    QTest::newRow("511 bytes") << 511 << 511 << 0;
    QTest::newRow("512 bytes at once") << 512 << 512 << 1;
    QTest::newRow("512 bytes one at a time") << 512 << 1 << 1;
    QTest::newRow("1300 bytes, 7 at a time") << 1300 << 7 << 2;
    QTest::newRow("5 blocks and a bit at once") << 5 * 512 + 3 << 5 * 512 + 3 << 5;
}

// Blocks are taken as they complete, while more arrives, as a recording does.
void InstrumentLinkTest::takesOnlyWholeBlocksOldestFirst()
{
    QFETCH(int, received);
    QFETCH(int, slice);
    QFETCH(int, blocks);

    QByteArray bytes(received, Qt::Uninitialized);
    for (int i = 0; i < received; ++i)
        bytes[i] = char(i * 7 + i / 256);

    BlockQueue queue;
    QByteArray taken;
    SampleBlock block;
    for (int at = 0; at < received; at += slice) {
        queue.append(bytes.constData() + at, std::min(slice, received - at));
        QCOMPARE(queue.missingForBlock(), 512 - queue.size() % 512);
        while (queue.take(block))
            taken.append(reinterpret_cast<const char *>(block.data()), 512);
    }
    QCOMPARE(taken, bytes.left(blocks * 512));
    QCOMPARE(queue.size(), qint64(received - blocks * 512));
    QVERIFY(!queue.take(block));
}

void InstrumentLinkTest::sleepsUntilABlockCanBeComplete_data()
{
    QTest::addColumn<qint64>("got");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<qint64>("missing");
    QTest::addColumn<int>("waitMs");

    // 5600 bytes a second at most: 512 bytes need at least 91.4 ms.
    QTest::newRow("a whole block to come") << qint64(0) << qint64(91) << qint64(512) << 92;
    QTest::newRow("at the line's rate") << qint64(280) << qint64(50) << qint64(56) << 10;
    QTest::newRow("half a block to come") << qint64(1) << qint64(1) << qint64(256) << 46;
    QTest::newRow("the last byte to come") << qint64(1) << qint64(1) << qint64(1) << ReceivePace::ShortestWaitMs;
    QTest::newRow("an adapter's burst") << qint64(256) << qint64(0) << qint64(256) << 46;
    QTest::newRow("faster than any line") << qint64(20000) << qint64(5) << qint64(100) << 0;
}

void InstrumentLinkTest::sleepsUntilABlockCanBeComplete()
{
    QFETCH(qint64, got);
    QFETCH(qint64, elapsedMs);
    QFETCH(qint64, missing);
    QFETCH(int, waitMs);

    ReceivePace pace;
    const ReceivePace::Wait wait = pace.nextWait(got, elapsedMs * 1000000, missing);
    QCOMPARE(wait.milliseconds, waitMs);
    QVERIFY(!wait.untilDelivery);
    // In a flood a look that finds nothing waits for the line's next delivery; 10 ms
    // that bring no more than the line carries end the flood.
    if (waitMs == 0) {
        const ReceivePace::Wait refilling = pace.nextWait(0, 1000000, 512);
        QCOMPARE(refilling.milliseconds, ReceivePace::ShortestWaitMs);
        QVERIFY(refilling.untilDelivery);
        const ReceivePace::Wait over = pace.nextWait(20, 10000000, 512);
        QCOMPARE(over.milliseconds, 92);
        QVERIFY(!over.untilDelivery);
    }
}

void InstrumentLinkTest::mapsPortNumbersToDevices()
{
    qunsetenv("LARVENTA_PORT3");
    QCOMPARE(SerialPortName::forPort(3), QStringLiteral("/dev/ttyS2"));
    qputenv("LARVENTA_PORT3", "/dev/ttyUSB0");
    QCOMPARE(SerialPortName::forPort(3), QStringLiteral("/dev/ttyUSB0"));
    qunsetenv("LARVENTA_PORT3");
}

void InstrumentLinkTest::namesTheAdaptersPluggedIn()
{
    QTemporaryDir dev;
    QDir folder(dev.path());
    for (const char *name : {"ttyS0", "ttyACM0", "ttyUSB0", "ttyUSB1", "null"})
        QFile(folder.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
    QVERIFY(folder.mkpath(QStringLiteral("serial/by-id")));
    const QString lasting = folder.filePath(QStringLiteral("serial/by-id/usb-FTDI_FT232R-if00-port0"));
    QVERIFY(QFile::link(QStringLiteral("../../ttyUSB1"), lasting));

    const QStringList adapters = SerialAdapters::present(dev.path());
    QCOMPARE(adapters, (QStringList{folder.filePath(QStringLiteral("ttyACM0")), folder.filePath(QStringLiteral("ttyUSB0")),
                                    lasting}));
    QVERIFY(SerialAdapters::choiceHint(adapters, 1).endsWith(QStringLiteral("LARVENTA_PORT1=%1 larventa").arg(adapters.first())));
    QVERIFY(SerialAdapters::choiceHint({}, 1).contains(QStringLiteral("не найдено")));
    QVERIFY(SerialAdapters::choiceHint({adapters.first()}, 1).startsWith(QStringLiteral("Подключён адаптер: ")));
}

void InstrumentLinkTest::opensTheLineAt56000Baud()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));
    // Read back from the driver, not from Qt: not the nearest standard rate 57600.
    QCOMPARE(sim.lineSpeed(), quint32(56000));
}

void InstrumentLinkTest::refusesARateTheDriverCouldNotMake_data()
{
    QTest::addColumn<quint32>("made");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("exact") << quint32(56000) << true;
    QTest::newRow("a divisor's 56074") << quint32(56074) << true;
    QTest::newRow("a PC UART's 57600") << quint32(57600) << true;
    QTest::newRow("4 % fast") << quint32(58240) << true;
    QTest::newRow("over 4 % fast") << quint32(58241) << false;
    QTest::newRow("4 % slow") << quint32(53760) << true;
    QTest::newRow("over 4 % slow") << quint32(53759) << false;
    QTest::newRow("fallback to 9600") << quint32(9600) << false;
    QTest::newRow("115200") << quint32(115200) << false;
}

void InstrumentLinkTest::refusesARateTheDriverCouldNotMake()
{
    QFETCH(quint32, made);
    QFETCH(bool, accepted);

    QCOMPARE(TtyLine::isCloseEnough(made, 56000), accepted);
}

// The line must still run at 56000 bit/s while the closing byte leaves a real UART or
// adapter: read 1 ms after the byte reached the other end.
void InstrumentLinkTest::theClosingByteLeavesAtTheLineRate_data()
{
    QTest::addColumn<int>("stuckBytes");

    QTest::newRow("the driver sends it") << 0;
    QTest::newRow("the device takes nothing more") << 1;
}

// Closing gives the line its old settings back. Before that the driver must have sent
// the closing byte and an adapter had time to pass it on; a device that takes nothing
// more holds the window up for a tenth of a second, not for ever.
void InstrumentLinkTest::theClosingByteLeavesAtTheLineRate()
{
    QFETCH(int, stuckBytes);
    constexpr qint64 Ms = 1000000;
    BarePty pty;
    InstrumentLink link;
    QVERIFY(openOnBarePty(pty, link));
    QString error;
    QVERIFY(link.send(InstrumentLink::StopCode, &error));
    QList<LineCallLog::Call> calls;
    {
        LineCallLog log(pty.device(), stuckBytes);
        link.close();
        calls = log.calls();
    }

    const auto restored = std::find_if(calls.cbegin(), calls.cend(),
                                       [](const LineCallLog::Call &c) { return c.kind == LineCallLog::Call::SettingsSet; });
    QVERIFY(restored != calls.cend());
    QVERIFY2(restored != calls.cbegin(), "the settings went back before anyone asked whether the byte had left");
    const LineCallLog::Call &lastAsked = *(restored - 1);
    QCOMPARE(lastAsked.queued, stuckBytes);
    if (stuckBytes == 0)
        QVERIFY(restored->nsecs - lastAsked.nsecs >= 10 * Ms);
    else
        QVERIFY(restored->nsecs - calls.first().nsecs >= 100 * Ms);
    QVERIFY(!link.isOpen());
}

// A tty as the system sets it up echoes what arrives. Closing gives the line back its
// earlier settings, which must not send the instrument's last bytes back to it.
void InstrumentLinkTest::theLineEchoesNothingOnceClosed()
{
    BarePty pty;
    const int line = ::open(QFile::encodeName(pty.device()).constData(), O_RDWR | O_NOCTTY);
    termios settings {};
    QVERIFY(::tcgetattr(line, &settings) == 0);
    settings.c_lflag |= ECHO | ICANON;
    QVERIFY(::tcsetattr(line, TCSANOW, &settings) == 0);
    InstrumentLink link;
    QVERIFY(openOnBarePty(pty, link));
    link.close();
    QVERIFY(::tcgetattr(line, &settings) == 0);
    ::close(line);
    QCOMPARE(settings.c_lflag & (ECHO | ICANON), tcflag_t(0));
}

void InstrumentLinkTest::reportsACommandThatCannotBeSent()
{
    BarePty pty;
    InstrumentLink link;
    QVERIFY(openOnBarePty(pty, link));
    QString error;

    pty.stopTakingCommands();

    QVERIFY(!link.send(5, &error));
    QVERIFY2(error.contains(pty.device()) && error.contains(QStringLiteral("команду 5")), qPrintable(error));
}

void InstrumentLinkTest::emptyingDropsEverythingReceivedSoFar()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));

    // Part of it still in the system's buffer, part already taken into the program.
    sim.inject(QByteArray(300, 'x'));
    waitForBytes(link, 300);
    sim.inject(QByteArray(700, 'y'));
    QTest::qWait(50);
    link.emptyReceiveBuffer();

    sim.inject(QByteArray(512, 'z'));
    waitForBytes(link, 512);
    QTest::qWait(50);
    link.receive();
    QCOMPARE(link.bytesWaiting(), qint64(512));
    SampleBlock block;
    QVERIFY(link.readBlock(block));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(block.data()), 512), QByteArray(512, 'z'));
}

void InstrumentLinkTest::sendsSingleCommandBytes()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));

    QString error;
    QVERIFY(link.send(InstrumentLink::StopCode, &error));
    QVERIFY(link.send(5, &error));
    QTRY_COMPARE(sim.commands().size(), 2);
    QCOMPARE(sim.commands().at(0).byte, quint8(0xFF));
    QCOMPARE(sim.commands().at(1).byte, quint8(5));
    QCOMPARE(sim.streamingChannel(), 5);
}

void InstrumentLinkTest::noticesADeviceThatVanishes()
{
    InstrumentSimulator sim;
    InstrumentLink link;
    QVERIFY(openOnSimulator(sim, link));
    QVERIFY(!link.isLost());

    sim.hangUp();
    link.receive();
    QVERIFY(link.isLost());
    QString error;
    QVERIFY(!link.send(InstrumentLink::StopCode, &error));
    link.close();
    QVERIFY(!link.isOpen());
}

void InstrumentLinkTest::namesTheDeviceThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "/dev/larventa-no-such-port" << "устройство не найдено";
    QTest::newRow("not a serial port") << "/dev/null" << "параметры линии";
}

void InstrumentLinkTest::namesTheDeviceThatCannotBeOpened()
{
    QFETCH(QString, device);
    QFETCH(QString, reason);

    qputenv("LARVENTA_PORT1", device.toLocal8Bit());
    InstrumentLink link;
    link.configure(1);
    QString error;
    QVERIFY(!link.open(&error));
    QVERIFY(!link.isOpen());
    QVERIFY2(error.contains(device) && error.contains(reason), qPrintable(error));
}

// Qt refuses a port another program holds with the same error as a permission
// problem; the operator must read who holds it, not advice to join a group.
void InstrumentLinkTest::namesTheProgramThatHoldsThePort()
{
    BarePty pty;
    QSerialPort holder(pty.device());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    InstrumentLink link;
    qputenv("LARVENTA_PORT1", pty.device().toLocal8Bit());
    link.configure(1);
    QString error;
    QVERIFY(!link.open(&error));
    QVERIFY2(error.contains(QStringLiteral("занят")) && error.contains(QString::number(QCoreApplication::applicationPid()))
                 && !error.contains(QStringLiteral("usermod")),
             qPrintable(error));
    holder.close();
    QVERIFY(!PortLockFile::of(pty.device()));
}

void InstrumentLinkTest::advisesAGroupOnlyWhereTheGroupMayUseTheDevice_data()
{
    QTest::addColumn<uint>("mode");
    QTest::addColumn<uint>("group");
    QTest::addColumn<QString>("groupName");
    QTest::addColumn<bool>("joinTheGroup");

    QTest::newRow("dialout may read and write") << 020660u << 20u << "dialout" << true;
    QTest::newRow("root:root 0600") << 020600u << 0u << "root" << false;
    QTest::newRow("the group root may") << 020660u << 0u << "root" << false;
    QTest::newRow("tty may only write") << 020620u << 5u << "tty" << false;
}

void InstrumentLinkTest::advisesAGroupOnlyWhereTheGroupMayUseTheDevice()
{
    QFETCH(uint, mode);
    QFETCH(uint, group);
    QFETCH(QString, groupName);
    QFETCH(bool, joinTheGroup);

    const QString advice = PortRefusal::accessAdvice(QStringLiteral("/dev/ttyS0"), mode, group, groupName);
    QCOMPARE(advice.contains(QStringLiteral("usermod -aG %1 ").arg(groupName)), joinTheGroup);
    QCOMPARE(advice.contains(QStringLiteral("администратор")), !joinTheGroup);
}

QTEST_GUILESS_MAIN(InstrumentLinkTest)
#include "InstrumentLinkTest.moc"
