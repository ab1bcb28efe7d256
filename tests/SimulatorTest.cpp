#include "sim/InstrumentSignal.h"
#include "sim/InstrumentSimulator.h"
#include "link/TtyLine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

// Bounds only a hang: how long the pty, the simulator or its program may take to deliver.
constexpr int DeliveryDeadlineMs = 30000;

// The host's end of the line, opened the way a program opens a serial port.
class Host
{
public:
    explicit Host(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (m_fd >= 0)
            TtyLine::makeRaw(m_fd);
    }
    // An end the test opened itself, such as a pty's master.
    explicit Host(int fd)
        : m_fd(fd)
    {
        ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~Host()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    int fd() const { return m_fd; }
    bool send(const QByteArray &bytes) { return ::write(m_fd, bytes.constData(), bytes.size()) == bytes.size(); }

    // Runs the event loop until count bytes have arrived or msecs have passed (a deadline that
    // only bounds a hang), reading at most perPass bytes between passes (a slow reader keeps the
    // line full).
    QByteArray receive(qsizetype count, int msecs = DeliveryDeadlineMs, qsizetype perPass = 1 << 16)
    {
        QByteArray data;
        QSocketNotifier readable(m_fd, QSocketNotifier::Read);
        QTimer timeout;
        timeout.setSingleShot(true);
        timeout.start(msecs);
        QByteArray buffer(perPass, Qt::Uninitialized);
        while (data.size() < count && timeout.isActive()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const ssize_t n = ::read(m_fd, buffer.data(), std::min(perPass, count - data.size()));
            if (n > 0)
                data.append(buffer.constData(), n);
        }
        return data;
    }

private:
    int m_fd;
};

// -1 when equal; pinpoints the first lost or extra byte otherwise.
qsizetype firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return mismatch.first == actual.end() && mismatch.second == expected.end() ? -1 : mismatch.first - actual.begin();
}

QByteArray commandBytes(const InstrumentSimulator &simulator)
{
    QByteArray bytes;
    for (const auto &command : simulator.commands())
        bytes.append(char(command.byte));
    return bytes;
}

QByteArray code(int byte)
{
    return QByteArray(1, char(byte));
}

} // namespace

class SimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void signalLooksLikeASignal_data();
    void signalLooksLikeASignal();
    void signalNeverRepeats_data() { signalLooksLikeASignal_data(); }
    void signalNeverRepeats();
    void silentUntilChannelCode();
    void streamMatchesPrediction_data();
    void streamMatchesPrediction();
    void chunkedStreamMatchesPrediction_data();
    void chunkedStreamMatchesPrediction();
    void stopRestartAndStrayBytes_data();
    void stopRestartAndStrayBytes();
    void injectedBytesKeepTheirPlace_data();
    void injectedBytesKeepTheirPlace();
    void floodUnderBackPressureLosesNothing();
    void serialPortHost_data();
    void serialPortHost();
    void survivesHostReopening();
    void hangUpLooksLikeUnplug();
    void programServesHostAndLogsCommands_data();
    void programServesHostAndLogsCommands();
    void programRefusesADeviceItCannotServe_data();
    void programRefusesADeviceItCannotServe();
};

#define OPEN(simulator)                                                                                                \
    InstrumentSimulator simulator;                                                                                     \
    {                                                                                                                  \
        QString error;                                                                                                 \
        QVERIFY2(simulator.open(&error), qPrintable(error));                                                           \
    }

void SimulatorTest::signalLooksLikeASignal_data()
{
    QTest::addColumn<int>("channel");
    for (int channel = 0; channel < InstrumentSimulator::ChannelCount; ++channel)
        QTest::addRow("channel %d", channel + 1) << channel;
}

void SimulatorTest::signalLooksLikeASignal()
{
    QFETCH(int, channel);
    const QByteArray s = InstrumentSignal::samples(channel, 0, 100000);
    const auto [low, high] = std::minmax_element(s.begin(), s.end(), [](char a, char b) { return quint8(a) < quint8(b); });
    QVERIFY(quint8(*low) >= 20 && quint8(*high) <= 235);
    QVERIFY(quint8(*high) - quint8(*low) >= 150);
    int largestStep = 0;
    for (qsizetype i = 1; i < s.size(); ++i)
        largestStep = std::max(largestStep, std::abs(quint8(s[i]) - quint8(s[i - 1])));
    QVERIFY2(largestStep < 40, "a trace, not noise");

    for (qint64 first : { Q_INT64_C(0), Q_INT64_C(99991), Q_INT64_C(1) << 40 }) {
        const QByteArray block = InstrumentSignal::samples(channel, first, 1000);
        for (int i = 0; i < block.size(); ++i)
            QCOMPARE(quint8(block[i]), InstrumentSignal::sample(channel, first + i));
    }
}

void SimulatorTest::signalNeverRepeats()
{
    QFETCH(int, channel);
    constexpr int window = 16;
    constexpr int maxShift = 100000;
    for (qint64 at : { Q_INT64_C(0), Q_INT64_C(1000003), Q_INT64_C(1) << 33 }) {
        const QByteArray s = InstrumentSignal::samples(channel, at, maxShift + window);
        for (int shift = 1; shift < maxShift; ++shift) {
            if (std::memcmp(s.constData(), s.constData() + shift, window) == 0)
                QFAIL(qPrintable(QStringLiteral("a shift by %1 at %2 goes unnoticed").arg(shift).arg(at)));
        }
    }
    for (int other = 0; other < InstrumentSimulator::ChannelCount; ++other) {
        if (other != channel)
            QVERIFY(InstrumentSignal::samples(channel, 0, window) != InstrumentSignal::samples(other, 0, window));
    }
}

void SimulatorTest::silentUntilChannelCode()
{
    OPEN(simulator);
    simulator.setRate(0);
    Host host(simulator.devicePath());
    QVERIFY(host.fd() >= 0);
    QSignalSpy started(&simulator, &InstrumentSimulator::streamStarted);

    const QByteArray stray("\xFF\x08\x80\xFE\x09", 5);
    QVERIFY(host.send(stray));
    QTRY_COMPARE_WITH_TIMEOUT(commandBytes(simulator), stray, DeliveryDeadlineMs);
    QCOMPARE(simulator.bytesWritten(), 0);
    QCOMPARE(started.count(), 0);

    QVERIFY(host.send(code(0)));
    QCOMPARE(firstDifference(host.receive(5000), InstrumentSignal::samples(0, 0, 5000)), -1);
}

void SimulatorTest::streamMatchesPrediction_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("count");
    for (int channel = 0; channel < InstrumentSimulator::ChannelCount; ++channel)
        QTest::addRow("channel %d at 2000/s", channel + 1) << channel << 2000 << 200;
    QTest::newRow("channel 3 at 100/s") << 2 << 100 << 12;
    QTest::newRow("channel 6 unlimited") << 5 << 0 << 200000;
}

void SimulatorTest::streamMatchesPrediction()
{
    QFETCH(int, channel);
    QFETCH(int, rate);
    QFETCH(int, count);
    OPEN(simulator);
    simulator.setRate(rate);
    Host host(simulator.devicePath());
    QSignalSpy started(&simulator, &InstrumentSimulator::streamStarted);

    QElapsedTimer sinceCommand;
    sinceCommand.start();
    QVERIFY(host.send(code(channel)));
    const QByteArray data = host.receive(count);
    const qint64 nsecs = sinceCommand.nsecsElapsed();

    QCOMPARE(firstDifference(data, InstrumentSignal::samples(channel, 0, count)), -1);
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), channel);
    if (rate > 0)
        QVERIFY2(count <= double(rate) * nsecs / 1e9, "samples sent ahead of the rate");
}

void SimulatorTest::chunkedStreamMatchesPrediction_data()
{
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("limit");
    for (int chunk : { 1, 8, 56 })
        QTest::addRow("%d bytes a write", chunk) << chunk << 1500 << qint64(-1);
    QTest::newRow("56 bytes a write, the limit cuts the last") << 56 << 1000 << qint64(1000);
}

void SimulatorTest::chunkedStreamMatchesPrediction()
{
    constexpr int rate = 5600;
    QFETCH(int, chunk);
    QFETCH(int, count);
    QFETCH(qint64, limit);
    OPEN(simulator);
    simulator.setRate(rate);
    simulator.setSampleLimit(limit);
    simulator.setChunkSize(chunk);
    Host host(simulator.devicePath());
    QSignalSpy written(&simulator, &InstrumentSimulator::samplesWritten);
    QSignalSpy stopped(&simulator, &InstrumentSimulator::streamStopped);

    QElapsedTimer sinceCommand;
    sinceCommand.start();
    QVERIFY(host.send(code(6)));
    const QByteArray data = host.receive(count);
    const qint64 nsecs = sinceCommand.nsecsElapsed();

    QCOMPARE(firstDifference(data, InstrumentSignal::samples(6, 0, count)), -1);
    QVERIFY2(count <= double(rate) * nsecs / 1e9, "samples sent ahead of the rate");
    QVERIFY(!written.isEmpty());
    for (const QList<QVariant> &announced : written) {
        const qint64 samples = announced.at(0).toLongLong();
        QVERIFY2(samples % chunk == 0 || samples == limit,
                 qPrintable(QStringLiteral("%1 samples written, not whole chunks").arg(samples)));
    }
    if (limit >= 0) {
        QCOMPARE(simulator.bytesWritten(), limit);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(written.constLast().at(0).toLongLong(), limit);
    }
}

void SimulatorTest::stopRestartAndStrayBytes_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("chunk");
    QTest::newRow("3000/s") << 3000 << 0;
    QTest::newRow("3000/s, 8 bytes a write") << 3000 << 8;
    QTest::newRow("unlimited, line full at the stop") << 0 << 0;
}

void SimulatorTest::stopRestartAndStrayBytes()
{
    QFETCH(int, rate);
    QFETCH(int, chunk);
    OPEN(simulator);
    simulator.setRate(rate);
    simulator.setChunkSize(chunk);
    Host host(simulator.devicePath());
    QSignalSpy started(&simulator, &InstrumentSimulator::streamStarted);
    QSignalSpy stopped(&simulator, &InstrumentSimulator::streamStopped);

    QVERIFY(host.send(code(1)));
    QByteArray data = host.receive(150);
    QVERIFY(host.send(QByteArray("\x03\x00\x08\xFE\x07", 5))); // neither restarts nor switches the stream
    data += host.receive(450);
    QVERIFY(host.send(code(0xFF)));
    QVERIFY(stopped.wait());
    const qint64 sent = stopped.at(0).at(0).toLongLong();
    QCOMPARE(sent, simulator.samplesSent());
    data += host.receive(sent - data.size());
    QCOMPARE(simulator.bytesWritten(), sent);
    QCOMPARE(firstDifference(data, InstrumentSignal::samples(1, 0, sent)), -1);

    QVERIFY(host.send(QByteArray("\xAA\x04", 2)));
    QCOMPARE(firstDifference(host.receive(300), InstrumentSignal::samples(4, 0, 300)), -1);

    QCOMPARE(commandBytes(simulator), QByteArray("\x01\x03\x00\x08\xFE\x07\xFF\xAA\x04", 9));
    const auto commands = simulator.commands();
    QVERIFY(std::is_sorted(commands.begin(), commands.end(), [](auto a, auto b) { return a.msecs < b.msecs; }));
    QCOMPARE(started.count(), 2);
    QCOMPARE(started.at(1).at(0).toInt(), 4);
}

void SimulatorTest::injectedBytesKeepTheirPlace_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("what is due every 10 ms") << 0;
    QTest::newRow("1 byte a write") << 1;
    QTest::newRow("8 bytes a write") << 8;
}

void SimulatorTest::injectedBytesKeepTheirPlace()
{
    QFETCH(int, chunk);
    OPEN(simulator);
    simulator.setRate(2000);
    simulator.setChunkSize(chunk);
    Host host(simulator.devicePath());
    const QByteArray early("\x11\x22\x33", 3);
    simulator.inject(early);
    QCOMPARE(host.receive(early.size()), early);

    QVERIFY(host.send(code(5)));
    QByteArray data = host.receive(100);
    const qint64 at = simulator.samplesSent();
    const QByteArray marker("\xA5\x5A\xA5\x5A", 4);
    simulator.inject(marker);
    data += host.receive(at + marker.size() + 100 - data.size());

    QCOMPARE(firstDifference(data, InstrumentSignal::samples(5, 0, at) + marker + InstrumentSignal::samples(5, at, 100)),
             -1);
    QCOMPARE(simulator.bytesWritten(), early.size() + marker.size() + simulator.samplesSent());
}

void SimulatorTest::floodUnderBackPressureLosesNothing()
{
    constexpr qint64 limit = 3 * 1024 * 1024;
    OPEN(simulator);
    simulator.setRate(0);
    simulator.setSampleLimit(limit);
    Host host(simulator.devicePath());
    QSignalSpy stopped(&simulator, &InstrumentSimulator::streamStopped);

    QVERIFY(host.send(code(2)));
    const QByteArray data = host.receive(limit, 30000, 1500);
    QCOMPARE(data.size(), limit);
    QCOMPARE(firstDifference(data, InstrumentSignal::samples(2, 0, limit)), -1);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(stopped.at(0).at(0).toLongLong(), limit);
    QCOMPARE(simulator.bytesWritten(), limit);
    QCOMPARE(simulator.streamingChannel(), -1);
}

void SimulatorTest::serialPortHost_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("channel");
    QTest::newRow("56000, no standard constant") << 56000 << 0;
    QTest::newRow("9600") << 9600 << 3;
    QTest::newRow("115200") << 115200 << 7;
}

void SimulatorTest::serialPortHost()
{
    QFETCH(int, baud);
    QFETCH(int, channel);
    OPEN(simulator);
    simulator.setRate(0);
    simulator.setSampleLimit(2000);
    QSerialPort port(simulator.devicePath());
    port.setBaudRate(baud); // 8N1 without flow control is QSerialPort's default
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(simulator.lineSpeed(), quint32(baud));

    port.write(code(channel));
    QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), qint64(2000), DeliveryDeadlineMs);
    QCOMPARE(firstDifference(port.readAll(), InstrumentSignal::samples(channel, 0, 2000)), -1);
}

void SimulatorTest::survivesHostReopening()
{
    OPEN(simulator);
    simulator.setRate(2000);
    {
        Host first(simulator.devicePath());
        QVERIFY(first.send(code(5)));
        QCOMPARE(first.receive(50).size(), 50);
        QVERIFY(first.send(code(0xFF)));
        QTRY_COMPARE(simulator.streamingChannel(), -1);
    }
    QCoreApplication::processEvents(); // the simulator sees the line with no host on it
    Host second(simulator.devicePath());
    QVERIFY(second.fd() >= 0);
    ::tcflush(second.fd(), TCIFLUSH); // what the first host left unread
    QVERIFY(second.send(code(6)));
    QCOMPARE(firstDifference(second.receive(200), InstrumentSignal::samples(6, 0, 200)), -1);
}

void SimulatorTest::hangUpLooksLikeUnplug()
{
    OPEN(simulator);
    simulator.setRate(1000);
    const QString path = simulator.devicePath();
    Host host(path);
    QVERIFY(host.send(code(3)));
    QCOMPARE(host.receive(20).size(), 20);
    QSignalSpy stopped(&simulator, &InstrumentSimulator::streamStopped);

    simulator.hangUp();
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(simulator.streamingChannel(), -1);
    pollfd watched{ host.fd(), POLLIN, 0 };
    QCOMPARE(::poll(&watched, 1, 5000), 1);
    QVERIFY(watched.revents & POLLHUP);
    QVERIFY(!QFile::exists(path));
}

void SimulatorTest::programServesHostAndLogsCommands_data()
{
    QTest::addColumn<bool>("onDevice");
    QTest::newRow("new pseudo-terminal") << false;
    // A pty's far end stands for a serial port: left in its default mode it would echo the
    // commands back and turn 0x0A samples into 0x0D 0x0A.
    QTest::newRow("--device") << true;
}

void SimulatorTest::programServesHostAndLogsCommands()
{
    QFETCH(bool, onDevice);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString logPath = dir.filePath(QStringLiteral("commands.log"));
    QStringList arguments{ "--rate", "unlimited", "--limit", "3000", "--log", logPath };
    int master = -1;
    char device[128] = {};
    if (onDevice) {
        int slave = -1;
        QCOMPARE(::openpty(&master, &slave, device, nullptr, nullptr), 0);
        ::close(slave);
        arguments << "--device" << QString::fromLocal8Bit(device);
    }
    QProcess program;
    program.start(QStringLiteral(LARVENTA_SIM_PROGRAM), arguments);
    while (!program.canReadLine())
        QVERIFY2(program.waitForReadyRead(DeliveryDeadlineMs), program.readAllStandardError().constData());
    const QString path = QString::fromLocal8Bit(program.readLine()).trimmed();
    Host host = onDevice ? Host(master) : Host(path);
    QVERIFY(host.fd() >= 0);
    if (onDevice) {
        QCOMPARE(path, QString::fromLocal8Bit(device));
        QCOMPARE(TtyLine::rate(master), quint32(56000));
    }

    QVERIFY(host.send(QByteArray("\x02\x41", 2)));
    QCOMPARE(firstDifference(host.receive(3000), InstrumentSignal::samples(2, 0, 3000)), -1);
    // No more than that: the stray byte neither restarted nor lengthened the stream.
    QByteArray messages;
    QTRY_VERIFY_WITH_TIMEOUT((messages += program.readAllStandardError()).contains("stream stopped after 3000 samples"),
                             DeliveryDeadlineMs);
    QCOMPARE(messages.count("larventa-sim: streaming channel"), 1);
    QVERIFY(host.send(code(0xFF)));

    const auto loggedLines = [&] {
        QFile log(logPath);
        return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts)
                                             : QStringList();
    };
    QTRY_COMPARE_WITH_TIMEOUT(loggedLines().size(), 3, DeliveryDeadlineMs);
    qint64 previousMsecs = 0;
    QByteArray bytes;
    for (const QString &line : loggedLines()) {
        const QStringList fields = line.split(' ');
        QCOMPARE(fields.size(), 2);
        QVERIFY(fields[0].toLongLong() >= previousMsecs);
        previousMsecs = fields[0].toLongLong();
        bytes.append(char(fields[1].toInt(nullptr, 16)));
    }
    QCOMPARE(bytes, QByteArray("\x02\x41\xFF", 3));

    program.terminate();
    QVERIFY(program.waitForFinished(DeliveryDeadlineMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void SimulatorTest::programRefusesADeviceItCannotServe_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("missing") << QStringLiteral("/dev/no-such-port");
    QTest::newRow("not a serial device") << QStringLiteral("/dev/null");
}

void SimulatorTest::programRefusesADeviceItCannotServe()
{
    QFETCH(QString, device);
    QProcess program;
    program.start(QStringLiteral(LARVENTA_SIM_PROGRAM), { "--device", device });
    QVERIFY(program.waitForFinished(DeliveryDeadlineMs));
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    const QString error = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(error.startsWith(QStringLiteral("larventa-sim: %1: ").arg(device)), qPrintable(error));
}

QTEST_GUILESS_MAIN(SimulatorTest)
#include "SimulatorTest.moc"
