#include "link/InstrumentLink.h"

#include "link/PortLockFile.h"
#include "link/PortRefusal.h"
#include "link/SerialAdapters.h"
#include "link/SerialPortName.h"
#include "link/TtyLine.h"

#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A device that stops taking data (a USB modem-class instrument whose firmware hangs)
// would keep the closing command in the queue for ever; the window must not wait for it.
constexpr std::chrono::milliseconds OutputDrainLimit{100};
// A USB adapter still holds what the driver saw leave: this long at the line's rate empties it.
constexpr std::chrono::milliseconds AdapterDrainTime{10};

QString writeFailureReason(int errorNumber)
{
    switch (errorNumber) {
    case EAGAIN: return QStringLiteral("устройство не принимает данные, очередь передачи заполнена");
    case EIO:
    case ENXIO:
    case ENODEV: return QStringLiteral("устройство отключено");
    default:
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(QString::number(errorNumber), QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

} // namespace

InstrumentLink::InstrumentLink(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
    , m_deliveryWatch(new QSocketNotifier(QSocketNotifier::Read, this))
{
    connect(m_port, &QSerialPort::errorOccurred, this, &InstrumentLink::onErrorOccurred);
    // Waking the event loop is all it is for; receive() reads.
    connect(m_deliveryWatch, &QSocketNotifier::activated, this, [this] { watchForDelivery(false); });
}

// Before the port, a child, goes: what is queued is thrown away before the tty's last close.
InstrumentLink::~InstrumentLink()
{
    release();
}

void InstrumentLink::configure(int portNumber)
{
    m_portNumber = portNumber;
    m_deviceName = SerialPortName::forPort(portNumber);
    m_port->setPortName(m_deviceName);
    // Unlimited: a limited buffer stops reading when full and the system's buffer
    // then overflows without notice.
    m_port->setReadBufferSize(0);
    m_port->setBaudRate(LineRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
}

int InstrumentLink::portNumber() const
{
    return m_portNumber;
}

QString InstrumentLink::deviceName() const
{
    return m_deviceName;
}

bool InstrumentLink::open(QString *errorMessage)
{
    m_lost = false;
    m_received.clear();
    m_bytesReceived = 0;
    m_lineRate = 0;
    // A port not used after all keeps the settings it had.
    const auto giveUp = [&](const QString &message) {
        m_claim.putBack();
        m_claim.release();
        *errorMessage = message;
        return false;
    };
    const auto refuse = [&](const QString &reason) {
        return giveUp(QStringLiteral("Не удалось открыть последовательный порт %1 (%2): %3")
                          .arg(QString::number(m_portNumber), deviceName(), reason));
    };
    // A live holder's port is not opened; Qt would open one whose lock only minicom or cu wrote,
    // and hang reading a pipe put in the lock's place.
    if (const std::optional<PortLockFile::Holder> lock = PortLockFile::of(deviceName());
        lock && (lock->state == PortLockFile::State::Live || lock->state == PortLockFile::State::NotAFile))
        return refuse(PortRefusal::lockReason(*lock));
    QString whyHeld;
    if (!m_claim.take(deviceName(), &whyHeld))
        return refuse(whyHeld);
    m_claim.makeRaw();
    if (!m_port->open(QIODevice::ReadWrite))
        return refuse(openFailureReason());
    const quint32 made = TtyLine::rate(int(m_port->handle()));
    if (made != 0 && !TtyLine::isCloseEnough(made, LineRate)) {
        m_port->close();
        return giveUp(rateRefusal(made));
    }
    m_lineRate = made;
    keepQtFromWatching();
    m_deliveryWatch->setSocket(m_port->handle());
    m_pace = ReceivePace();
    m_sinceLastLook.start();
    m_nextLook = {0, false};
    return true;
}

QString InstrumentLink::openFailureReason() const
{
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("устройство не найдено. Проверьте, что прибор подключён. ")
            + SerialAdapters::choiceHint(SerialAdapters::present(), m_portNumber);
    case QSerialPort::PermissionError:
        return PortRefusal::reason(deviceName());
    case QSerialPort::OpenError:
        return QStringLiteral("порт уже открыт другой программой.");
    // A /dev/ttyS* device with no UART behind it fails to open with EIO.
    case QSerialPort::ResourceError:
        return QStringLiteral("за устройством нет работающего последовательного порта. ")
            + SerialAdapters::choiceHint(SerialAdapters::present(), m_portNumber);
    default:
        return QStringLiteral("порт не принимает параметры линии %1 бит/с, 8 бит, без чётности, 1 стоповый бит (%2).")
            .arg(QString::number(LineRate), m_port->errorString());
    }
}

QString InstrumentLink::rateRefusal(quint32 made) const
{
    return QStringLiteral("Последовательный порт %1 (%2) работает на скорости %3 бит/с вместо нужных %4 бит/с: "
                          "адаптер не умеет такую скорость, и прибор был бы прочитан неверно. "
                          "Подключите прибор к порту или адаптеру, который поддерживает %4 бит/с.")
        .arg(QString::number(m_portNumber), deviceName(), QString::number(made), QString::number(LineRate));
}

// QSerialPort watches the open port for incoming data and wakes the event loop for
// every slice the line delivers: with a UART without FIFO, every byte, 5600 times a
// second. The recording looks at the line itself at the pace blocks can arrive, so
// that watch is switched off. QSerialPort has no switch for it; it is the port's one
// read notifier. Should Qt ever read by other means, receive() still hands on what
// Qt took first, in order: only the cost would rise.
void InstrumentLink::keepQtFromWatching()
{
    const QList<QSocketNotifier *> notifiers = m_port->findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier *notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(false);
    }
}

bool InstrumentLink::isOpen() const
{
    return m_port->isOpen();
}

quint32 InstrumentLink::lineRate() const
{
    return m_lineRate;
}

void InstrumentLink::close()
{
    if (!m_port->isOpen())
        return;
    // QSerialPort::close() gives the line its old settings back at once. A command
    // byte still in the UART or the adapter would then leave at the old rate, and the
    // instrument would read garbage instead of the closing 0xFF and keep streaming.
    bool drained = false;
    if (!m_lost) {
        m_port->flush();
        drained = TtyLine::drain(int(m_port->handle()), OutputDrainLimit);
        if (drained)
            std::this_thread::sleep_for(AdapterDrainTime);
    }
    closePort(!drained);
}

void InstrumentLink::release()
{
    closePort(true);
}

void InstrumentLink::closePort(bool discardQueued)
{
    m_deliveryWatch->setSocket(-1);
    if (m_port->isOpen()) {
        // The tty's last close waits for what is still queued to leave, up to the port's
        // closing_wait (30 s unless set otherwise): a device that takes nothing more would
        // freeze the window that long.
        if (discardQueued)
            TtyLine::discardOutput(int(m_port->handle()));
        m_port->close();
    }
    m_claim.release();
    m_received.clear();
}

void InstrumentLink::emptyReceiveBuffer()
{
    m_port->clear(QSerialPort::Input);
    m_received.clear();
    m_bytesReceived = 0;
}

void InstrumentLink::receive()
{
    if (!m_port->isOpen())
        return;
    qint64 got = 0;
    if (m_port->bytesAvailable() > 0) {
        const QByteArray taken = m_port->readAll();
        m_received.append(taken.constData(), taken.size());
        got += taken.size();
        // Reading Qt's buffer switches its watch back on.
        keepQtFromWatching();
    }
    got += readWhatArrived();
    m_bytesReceived += got;
    m_nextLook = m_pace.nextWait(got, m_sinceLastLook.nsecsElapsed(), m_received.missingForBlock());
    m_sinceLastLook.start();
}

// Everything the system holds for us; a line that has hung up is marked lost once
// what it delivered before is taken.
qint64 InstrumentLink::readWhatArrived()
{
    if (m_lost)
        return 0;
    const int handle = int(m_port->handle());
    pollfd line{handle, POLLIN, 0};
    if (::poll(&line, 1, 0) <= 0)
        return 0;
    qint64 got = 0;
    if (line.revents & POLLIN) {
        char chunk[16384];
        for (;;) {
            const ssize_t count = ::read(handle, chunk, sizeof chunk);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            m_received.append(chunk, count);
            got += count;
            if (size_t(count) < sizeof chunk)
                break;
        }
    }
    if (line.revents & (POLLHUP | POLLERR | POLLNVAL))
        m_lost = true;
    return got;
}

ReceivePace::Wait InstrumentLink::nextLook() const
{
    return m_nextLook;
}

// A notifier of the link's own rather than QSerialPort's: it only wakes, so Qt reads
// nothing into its buffer behind receive()'s back.
void InstrumentLink::watchForDelivery(bool on)
{
    m_deliveryWatch->setEnabled(on && m_port->isOpen() && !m_lost);
}

qint64 InstrumentLink::bytesWaiting() const
{
    return m_received.size();
}

qint64 InstrumentLink::bytesReceived() const
{
    return m_bytesReceived;
}

qint64 InstrumentLink::bytesUnread() const
{
    if (!m_port->isOpen())
        return 0;
    int waiting = 0;
    if (m_lost || ::ioctl(int(m_port->handle()), FIONREAD, &waiting) != 0)
        waiting = 0;
    return m_port->bytesAvailable() + waiting;
}

bool InstrumentLink::readBlock(SampleBlock &block)
{
    return m_received.take(block);
}

bool InstrumentLink::send(quint8 command, QString *errorMessage)
{
    const char byte = char(command);
    const bool wasLost = m_lost;
    errno = 0;
    // flush(): out at once rather than at the next turn of the event loop.
    if (!wasLost && m_port->write(&byte, 1) == 1 && m_port->flush())
        return true;
    const QString reason = wasLost ? QStringLiteral("устройство отключено") : writeFailureReason(errno);
    *errorMessage = QStringLiteral("Не удалось передать прибору команду %1 через последовательный порт %2 (%3): %4.")
                        .arg(QString::number(command), QString::number(m_portNumber), deviceName(), reason);
    return false;
}

bool InstrumentLink::isLost() const
{
    return m_lost;
}

void InstrumentLink::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError)
        m_lost = true;
}
