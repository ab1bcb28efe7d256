#include "RunRig.h"
#include "WhenTrue.h"

#include "link/TtyLine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// The recording run with the real link on the kernel's own serial drivers, inside the emulated PC
// that tests/drivers/emulated-pc boots, with larventa-sim --device as a separate process on the far
// end of the line. There QEMU wires ttyS1 to ttyS2 (two 16550A UARTs), and its FTDI USB adapter,
// ttyUSB0, to ttyS3.

namespace {

const QString Adapter = QStringLiteral("/dev/ttyUSB0");
// A byte the instrument ignores, sent after everything else: see FarEnd::markLine().
constexpr char Mark = char(0x80);
// Bounds only a hang: how long the run may take to notice a pulled adapter, however slowly the
// emulated PC runs, before the test stops it.
constexpr qint64 NoticeDeadlineMs = 60000;

// The instrument: larventa-sim at the line's rate, one byte per write, as a UART without FIFO.
class FarEnd
{
public:
    FarEnd(const QString &device, const QString &log)
        : m_log(log)
    {
        m_sim.start(QStringLiteral(LARVENTA_SIM_PROGRAM),
                    { "--device", device, "--rate", "5600", "--chunk", "1", "--log", log });
        while (m_sim.waitForReadyRead(30000) && !m_sim.canReadLine()) { }
    }
    // Killed: once the adapter is pulled, QEMU takes no more bytes from the far end's UART, and
    // the tty's close would wait 30 s for them to leave.
    ~FarEnd()
    {
        m_sim.kill();
        m_sim.waitForFinished();
    }

    bool serving() { return m_sim.canReadLine(); }
    QByteArray commandsReceived() const
    {
        QFile log(m_log);
        QByteArray bytes;
        if (log.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : log.readAll().split('\n'))
                if (!line.isEmpty())
                    bytes.append(char(line.split(' ').value(1).toInt(nullptr, 16)));
        }
        return bytes;
    }
    QByteArray messages()
    {
        m_messages += m_sim.readAllStandardError();
        return m_messages;
    }
    // Sends Mark down the line through a handle of the test's own, once the program has given
    // the port up, without changing the tty's settings: it reaches the far end after whatever
    // went before it, the program's commands and anything its tty echoed back.
    static bool markLine(const QString &port)
    {
        const int fd = ::open(QFile::encodeName(port).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        const bool sent = fd >= 0 && ::write(fd, &Mark, 1) == 1;
        if (fd >= 0)
            ::close(fd);
        return sent;
    }

private:
    QString m_log;
    QProcess m_sim;
    QByteArray m_messages;
};

void recordFrom(InstrumentLink &link, const QString &device)
{
    qputenv("LARVENTA_PORT1", device.toLocal8Bit());
    link.configure(1);
}

// termios2's rate on a second handle: the line's settings are the device's, not the handle's.
quint32 rateReadBack(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    const quint32 rate = fd >= 0 ? TtyLine::rate(fd) : 0;
    if (fd >= 0)
        ::close(fd);
    return rate;
}

// TIOCM_LOOP, from <asm/termios.h>, which clashes with <termios.h>: the UART's loopback.
constexpr int ModemLoopback = 0x8000;

// The port raw, with hardware flow control or without, and with CTS dropped or not: QEMU carries
// no modem lines over its socket, but in loopback a UART's CTS follows its own RTS. Through a
// handle of the test's own, closed at once, so that the program's close stays the tty's last.
// Returns the bytes queued to send, or -1.
int setLine(const QString &device, bool flowControl, bool ctsDropped)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int loop = ModemLoopback;
    int rts = TIOCM_RTS;
    termios settings {};
    int queued = -1;
    if (fd >= 0 && ::ioctl(fd, ctsDropped ? TIOCMBIS : TIOCMBIC, &loop) == 0
        && ::ioctl(fd, ctsDropped ? TIOCMBIC : TIOCMBIS, &rts) == 0 && ::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        settings.c_cflag = flowControl ? settings.c_cflag | CRTSCTS : settings.c_cflag & ~CRTSCTS;
        if (::tcsetattr(fd, TCSANOW, &settings) != 0 || ::ioctl(fd, TIOCOUTQ, &queued) != 0)
            queued = -1;
    }
    if (fd >= 0)
        ::close(fd);
    return queued;
}

// The tty's closing_wait in milliseconds: how long its last close waits at most for what is still
// queued to leave. 0 if it does not wait, or waits for ever, or the driver does not tell.
int closingWaitMs(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    serial_struct line {};
    const bool told = fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &line) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!told || line.closing_wait == ASYNC_CLOSING_WAIT_NONE || line.closing_wait == ASYNC_CLOSING_WAIT_INF)
        return 0;
    return line.closing_wait * 10;
}

// Counts the activations of the socket notifiers an object and its children own (the port's,
// the link's own watch). A notifier left on a tty that has hung up fires on every pass of the
// event loop, however fast or slow the machine: counted over passes, not over time, it shows at
// any load.
class NotifierActivations : public QObject
{
public:
    explicit NotifierActivations(const QObject *owner)
        : m_owner(owner)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    int over(int passes)
    {
        m_count = 0;
        for (int pass = 0; pass < passes; ++pass)
            QCoreApplication::processEvents();
        return m_count;
    }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (event->type() == QEvent::SockAct) {
            for (const QObject *object = receiver; object; object = object->parent()) {
                if (object == m_owner) {
                    ++m_count;
                    break;
                }
            }
        }
        return false;
    }

private:
    const QObject *m_owner;
    int m_count = 0;
};

} // namespace

class DriverTest : public QObject
{
    Q_OBJECT

private slots:
    void recordsThroughTheDriver_data();
    void recordsThroughTheDriver();
    void aPulledAdapterEndsTheRunAsALostLink();
    void givingUpAStoppedLineTakesNoTime_data();
    void givingUpAStoppedLineTakesNoTime();
};

void DriverTest::recordsThroughTheDriver_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("farEnd");
    QTest::newRow("UART to UART") << QStringLiteral("/dev/ttyS1") << QStringLiteral("/dev/ttyS2");
    QTest::newRow("USB adapter") << Adapter << QStringLiteral("/dev/ttyS3");
}

void DriverTest::recordsThroughTheDriver()
{
    QFETCH(QString, port);
    QFETCH(QString, farEnd);
    RunRig rig(RunRig::TickedByTest);
    FarEnd sim(farEnd, rig.path(QStringLiteral("commands.log")));
    QVERIFY2(sim.serving(), sim.messages().constData());
    recordFrom(rig.link, port);
    rig.controls.selectChannel(5);
    // One second, which the test ticks away once three blocks are in: the recording holds
    // them however slowly the emulated PC runs.
    rig.controls.timeText = QStringLiteral("1");
    quint32 readBack = 0;
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return rig.controls.stopEnabled; }, [&] { rig.tick(); });
    WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount >= 511 * 3; }, [&] {
        readBack = rateReadBack(port);
        rig.tick();
    });

    rig.run.startRequest();

    qInfo("%s reads back %u bit/s; %s", qPrintable(port), readBack, sim.messages().trimmed().constData());
    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.value(0).text));
    QCOMPARE(rig.controls.lastProgress.stage, RunProgress::Stage::Completed);
    const QByteArray data = rig.dataFile();
    QVERIFY2(data.size() >= 512 * 3, qPrintable(QString::number(data.size())));
    QCOMPARE(data.size(), rig.link.bytesReceived() / 512 * 512);
    QCOMPARE(data, RunRig::stream(5, data.size()));
    // Nothing between the closing code and the mark: the tty the program gives up must not echo
    // what the adapter still delivers.
    QVERIFY(FarEnd::markLine(port));
    QTRY_VERIFY_WITH_TIMEOUT(sim.commandsReceived().contains(Mark), 60000);
    QCOMPARE(sim.commandsReceived(), QByteArray("\xFF\x04\xFF", 3) + Mark);
}

void DriverTest::aPulledAdapterEndsTheRunAsALostLink()
{
    RunRig rig(RunRig::TickedByTest);
    FarEnd sim(QStringLiteral("/dev/ttyS3"), rig.path(QStringLiteral("commands.log")));
    QVERIFY2(sim.serving(), sim.messages().constData());
    recordFrom(rig.link, Adapter);
    rig.controls.selectChannel(2);
    // The test ticks only the handshake's second away: the time never runs out.
    rig.controls.timeText = QStringLiteral("1");
    QObject duringTheRun;
    WhenTrue::then(&duringTheRun, [&] { return rig.controls.stopEnabled; }, [&] { rig.tick(); });
    // The host side of emulated-pc pulls the adapter when this file appears.
    QElapsedTimer sinceAsked;
    WhenTrue::then(&duringTheRun, [&] { return rig.plot.segmentCount >= 511 * 3; }, [&] {
        QFile(qEnvironmentVariable("LARVENTA_SHARE") + "/unplug").open(QIODevice::WriteOnly);
        sinceAsked.start();
    });
    QElapsedTimer sinceGone;
    WhenTrue::then(&duringTheRun, [] { return !QFile::exists(QStringLiteral("/sys/class/tty/ttyUSB0")); },
                   [&] { sinceGone.start(); });
    // A run that does not notice by itself is stopped, and fails as stopped.
    WhenTrue::then(&duringTheRun, [&] { return sinceGone.isValid() && sinceGone.hasExpired(NoticeDeadlineMs); },
                   [&] { rig.run.stopRequest(); });

    rig.run.startRequest();

    // The run may notice before the test does.
    const qint64 endedAfter = sinceGone.isValid() ? sinceGone.elapsed() : 0;
    qInfo("the run ended %lld ms after the adapter left, %lld ms after the pull was asked for; %s", endedAfter,
          sinceAsked.isValid() ? sinceAsked.elapsed() : -1, sim.messages().trimmed().constData());
    QCOMPARE(rig.controls.lastProgress.stage, RunProgress::Stage::LinkLost);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.shown.first().text.contains(Adapter), qPrintable(rig.messages.shown.first().text));
    // Every whole block received, and nothing else.
    const QByteArray data = rig.dataFile();
    QVERIFY2(data.size() >= 512 * 3, qPrintable(QString::number(data.size())));
    QCOMPARE(data.size(), rig.link.bytesReceived() / 512 * 512);
    QCOMPARE(data, RunRig::stream(2, data.size()));
    QCOMPARE(sim.commandsReceived(), QByteArray("\xFF\x01", 2));
    QVERIFY(!rig.link.isOpen());

    // Left idle, a program that still watched the vanished line would spin on its errors.
    NotifierActivations activations(&rig.link);
    QCOMPARE(activations.over(200), 0);
}

void DriverTest::givingUpAStoppedLineTakesNoTime_data()
{
    QTest::addColumn<bool>("programEnds");
    QTest::newRow("Stop") << false;
    QTest::newRow("the window closes") << true;
}

// A UART with hardware flow control whose far end has dropped CTS keeps the closing byte in
// the driver's queue, and the tty's last close would wait the port's closing_wait (30 s) for
// it. The settings found have the flow control, which Qt gives back when it closes.
void DriverTest::givingUpAStoppedLineTakesNoTime()
{
    QFETCH(bool, programEnds);
    const QString port = QStringLiteral("/dev/ttyS1");
    // What a give-up that waits for the closing byte takes; half of it bounds only a hang.
    const int closingWait = closingWaitMs(port);
    QVERIFY2(closingWait > 0, "the tty's last close would not wait: the fault could not show");
    QCOMPARE(setLine(port, true, false), 0);
    InstrumentLink link;
    recordFrom(link, port);
    QString error;
    QVERIFY2(link.open(&error), qPrintable(error));
    QCOMPARE(setLine(port, true, true), 0);
    QVERIFY(link.send(InstrumentLink::StopCode, &error));
    QCOMPARE(setLine(port, true, true), 1);

    QElapsedTimer givingUp;
    givingUp.start();
    programEnds ? link.release() : link.close();
    const qint64 took = givingUp.elapsed();
    QCOMPARE(setLine(port, false, false), 0);
    qInfo("the port was given up in %lld ms; its closing wait is %d ms", took, closingWait);
    QVERIFY2(took < closingWait / 2, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(DriverTest)
#include "DriverTest.moc"
