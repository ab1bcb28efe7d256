#include "BarePty.h"

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
#include <QFileInfo>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SerialPortName::System)

namespace {

// As the system sets a tty up: echoing what arrives, line by line. Through a handle of its own,
// closed again: only the pty's own end stays open, which holds no lock or claim on the port.
bool makeEchoing(const QString &device)
{
    const int line = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    termios settings {};
    const bool done = line >= 0 && ::tcgetattr(line, &settings) == 0
        && (settings.c_lflag |= ECHO | ICANON, ::tcsetattr(line, TCSANOW, &settings) == 0);
    if (line >= 0)
        ::close(line);
    return done;
}

QByteArray settingsOf(const QString &device)
{
    const int line = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    const QByteArray settings = TtyLine::save(line);
    ::close(line);
    return settings;
}

// The lock file Qt's serial port takes for the device, in the lock folder Debian has.
QString lockPathOf(const QString &device)
{
    return QStringLiteral("/var/lock/LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
}

qint64 endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

QString thisProgram()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

} // namespace

class InstrumentLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void takesOnlyWholeBlocksOldestFirst_data();
    void takesOnlyWholeBlocksOldestFirst();
    void sleepsUntilABlockCanBeComplete_data();
    void sleepsUntilABlockCanBeComplete();
    void mapsPortNumbersToDevices_data();
    void mapsPortNumbersToDevices();
    void namesTheAdaptersPluggedIn();
    void opensTheLineAt56000Baud();
    void refusesARateTheDriverCouldNotMake_data();
    void refusesARateTheDriverCouldNotMake();
    void theInstrumentHearsTheClosingByteAndNoEcho();
    void givesUpWaitingForALineThatTakesNothing();
    void leavesAPortAnotherProgramHoldsAsFound_data();
    void leavesAPortAnotherProgramHoldsAsFound();
    void reportsACommandThatCannotBeSent();
    void emptyingDropsEverythingReceivedSoFar();
    void sendsSingleCommandBytes();
    void noticesADeviceThatVanishes();
    void namesTheDeviceThatCannotBeOpened_data();
    void namesTheDeviceThatCannotBeOpened();
    void tellsWhatTheLockFileSays_data();
    void tellsWhatTheLockFileSays();
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
    QTRY_VERIFY_WITH_TIMEOUT((link.receive(), link.bytesWaiting() >= count), 30000);
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

void InstrumentLinkTest::mapsPortNumbersToDevices_data()
{
    QTest::addColumn<SerialPortName::System>("system");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("device");

    QTest::newRow("Linux port 1") << SerialPortName::System::Linux << 1 << "" << "/dev/ttyS0";
    QTest::newRow("Linux port 3") << SerialPortName::System::Linux << 3 << "" << "/dev/ttyS2";
    QTest::newRow("Linux, configured") << SerialPortName::System::Linux << 3 << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("Windows port 1") << SerialPortName::System::Windows << 1 << "" << "COM1";
    QTest::newRow("Windows port 12") << SerialPortName::System::Windows << 12 << "" << "COM12";
    QTest::newRow("Windows, configured") << SerialPortName::System::Windows << 1 << "COM7" << "COM7";
}

void InstrumentLinkTest::mapsPortNumbersToDevices()
{
    QFETCH(SerialPortName::System, system);
    QFETCH(int, number);
    QFETCH(QString, configured);
    QFETCH(QString, device);

    const QByteArray variable = QStringLiteral("LARVENTA_PORT%1").arg(number).toLatin1();
    if (configured.isEmpty())
        qunsetenv(variable.constData());
    else
        qputenv(variable.constData(), configured.toLocal8Bit());
    const QString named = SerialPortName::forPort(number, system);
    qunsetenv(variable.constData());
    QCOMPARE(named, device);
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

// QSerialPort gives the tty back, when it closes, the settings it found, and a tty as the
// system sets it up echoes what arrives. The instrument must hear the closing byte and then
// nothing: not its own last bytes, echoed back once the port is given up.
void InstrumentLinkTest::theInstrumentHearsTheClosingByteAndNoEcho()
{
    BarePty pty;
    QVERIFY(makeEchoing(pty.device()));
    InstrumentLink link;
    QVERIFY(openOnBarePty(pty, link));
    QString error;
    QVERIFY(link.send(InstrumentLink::StopCode, &error));
    link.close();
    QVERIFY(!link.isOpen());

    QCOMPARE(pty.sentUntilTakenIn(QByteArray("\x00\x05\n", 3)), QByteArray("\xFF", 1));
}

// A device that takes no more data keeps the closing byte queued for ever; closing waits for it
// only so long (one that waited for ever would stall the suite until its time-out). A socket
// whose peer reads nothing keeps its queue as such a line does, where a pty reports nothing
// queued even when full; the kernel's own UARTs are tried in the driver tests.
void InstrumentLinkTest::givesUpWaitingForALineThatTakesNothing()
{
    int ends[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(ends[0]);
        ::close(ends[1]);
    });
    QCOMPARE(::write(ends[0], "\xFF", 1), ssize_t(1));
    QVERIFY(!TtyLine::drain(ends[0], std::chrono::milliseconds(100)));

    char taken = 0;
    QCOMPARE(::read(ends[1], &taken, 1), ssize_t(1));
    QVERIFY(TtyLine::drain(ends[0], std::chrono::milliseconds(100)));
}

void InstrumentLinkTest::leavesAPortAnotherProgramHoldsAsFound_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("reason");

    QTest::newRow("locked with flock") << "flock" << "flock";
    QTest::newRow("open in exclusive mode") << "exclusive" << "занят";
    // Found stale here, but Qt cannot remove it while another process keeps it locked.
    QTest::newRow("a lock file Qt cannot remove") << "stale lock" << "завершилась";
}

// A holder the program can see keeps its port as it was; so does a port Qt then fails to open.
void InstrumentLinkTest::leavesAPortAnotherProgramHoldsAsFound()
{
    QFETCH(QString, holder);
    QFETCH(QString, reason);
    BarePty pty;
    QVERIFY(makeEchoing(pty.device()));
    const QByteArray found = settingsOf(pty.device());
    QVERIFY(!found.isEmpty());
    const QString lockPath = lockPathOf(pty.device());
    // A lock file an earlier run left for this pty's number holds nothing of this test's; this
    // run's own goes however the test ends.
    QFile::remove(lockPath);
    const auto removeLock = qScopeGuard([&] { QFile::remove(lockPath); });
    const bool staleLock = holder == QLatin1String("stale lock");
    const int held = ::open(QFile::encodeName(staleLock ? lockPath : pty.device()).constData(),
                            O_RDWR | O_NOCTTY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(held >= 0);
    if (holder == QLatin1String("exclusive"))
        QCOMPARE(::ioctl(held, TIOCEXCL), 0);
    else
        QCOMPARE(::flock(held, LOCK_EX), 0);
    if (staleLock) {
        const QByteArray content = QByteArray::number(endedProcess()) + "\nlarventa\n" + QSysInfo::machineHostName().toUtf8() + '\n';
        QCOMPARE(::write(held, content.constData(), content.size()), ssize_t(content.size()));
    }

    InstrumentLink link;
    qputenv("LARVENTA_PORT1", pty.device().toLocal8Bit());
    link.configure(1);
    QString error;
    const bool opened = link.open(&error);
    ::close(held);
    if (staleLock)
        QFile::remove(lockPath);
    QVERIFY(!opened);
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(settingsOf(pty.device()), found);
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
    QTRY_COMPARE_WITH_TIMEOUT(link.bytesUnread(), qint64(700), 30000);
    link.emptyReceiveBuffer();

    // Anything left over from before would have come in with these.
    sim.inject(QByteArray(512, 'z'));
    waitForBytes(link, 512);
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

void InstrumentLinkTest::tellsWhatTheLockFileSays_data()
{
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("says");

    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QByteArray ended = QByteArray::number(endedProcess());
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QString selfSays = QStringLiteral("«%1» (процесс %2)").arg(thisProgram(), QString::fromLatin1(self));
    // Qt's serial port, open in this very process.
    QTest::newRow("held through Qt") << "Qt" << QByteArray() << false << selfSays;
    // lockdev's and cu's: the process number alone. Qt takes it for a reused number and opens.
    QTest::newRow("a process number alone, running") << "file" << self.rightJustified(10) + '\n' << false << selfSays;
    QTest::newRow("a process number alone, ended") << "file" << ended.rightJustified(10) + '\n' << true
                                                  << QStringLiteral("(процесс %1), которая уже завершилась").arg(QString::fromLatin1(ended));
    QTest::newRow("Qt's, its process ended") << "file" << ended + "\nlarventa\n" + host + '\n' << true
                                           << QStringLiteral("«larventa» (процесс %1), которая уже завершилась").arg(QString::fromLatin1(ended));
    QTest::newRow("Qt's, its number reused") << "file" << self + "\nlarventa\n" + host + '\n' << true
                                           << QStringLiteral("теперь у программы «%1»").arg(thisProgram());
    QTest::newRow("from another machine") << "file" << QByteArray("1\nlarventa\nlab-pc-7\n") << false
                                         << QStringLiteral("на компьютере lab-pc-7");
    QTest::newRow("empty") << "file" << QByteArray() << false << QStringLiteral("не удаётся прочитать");
    QTest::newRow("no process number") << "file" << QByteArray("larventa\n") << false << QStringLiteral("не удаётся прочитать");
    // Reading it would wait for a writer for ever.
    QTest::newRow("a pipe in its place") << "pipe" << QByteArray() << false << QStringLiteral("не обычный файл");
}

// Qt refuses a port behind a lock file with the same error as a permission problem;
// the operator must read what the lock says, not advice to join a group.
void InstrumentLinkTest::tellsWhatTheLockFileSays()
{
    QFETCH(QString, lock);
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    QFETCH(QString, says);
    BarePty pty;
    const QString lockPath = lockPathOf(pty.device());
    // A lock file an earlier run left for this pty's number holds nothing of this test's; this
    // run's own goes however the test ends.
    QFile::remove(lockPath);
    const auto removeLock = qScopeGuard([&] { QFile::remove(lockPath); });
    QSerialPort holder(pty.device());
    if (lock == QLatin1String("Qt")) {
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else if (lock == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(QFile::encodeName(lockPath).constData(), 0644), 0);
    } else {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }

    const QString reason = PortRefusal::reason(pty.device());
    InstrumentLink link;
    qputenv("LARVENTA_PORT1", pty.device().toLocal8Bit());
    link.configure(1);
    QString error;
    const bool opened = link.open(&error);
    link.close();
    holder.close();
    QFile::remove(lockPath);
    QVERIFY2(reason.contains(says) && !reason.contains(QStringLiteral("процесс 0")) && !reason.contains(QStringLiteral("usermod")),
             qPrintable(reason));
    QCOMPARE(opened, opens);
    if (!opens)
        QVERIFY2(error.contains(says), qPrintable(error));
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
