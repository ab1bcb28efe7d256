#include "link/InstrumentLink.h"

#include "link/PortRefusal.h"
#include "link/SerialAdapters.h"
#include "link/SerialPortName.h"
#include "link/TtyLine.h"

#include <cerrno>
#include <thread>

namespace {

// A device that stops taking data (a USB modem-class instrument whose firmware hangs)
// would keep the closing command in the queue for ever; the window must not wait for it.
constexpr std::chrono::milliseconds OutputDrainLimit{100};
// A USB adapter still holds what the driver saw leave: this long at the line's rate empties it.
constexpr std::chrono::milliseconds AdapterDrainTime{10};

} // namespace

InstrumentLink::InstrumentLink(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::errorOccurred, this, &InstrumentLink::onErrorOccurred);
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
    QString whyHeld;
    if (!m_claim.take(deviceName(), &whyHeld))
        return refuse(whyHeld);
    m_claim.makeRaw();
    if (!m_port->open(QIODevice::ReadWrite))
        return refuse(openFailureReason());
    const quint32 made = rateMade();
    if (made != 0 && !TtyLine::isCloseEnough(made, LineRate)) {
        m_port->close();
        return giveUp(rateRefusal(made));
    }
    m_lineRate = made;
    startReading();
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
        drained = drainOutput(OutputDrainLimit);
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
    stopReading();
    if (m_port->isOpen()) {
        // The tty's last close waits for what is still queued to leave, up to the port's
        // closing_wait (30 s unless set otherwise): a device that takes nothing more would
        // freeze the window that long.
        if (discardQueued)
            discardOutput();
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

ReceivePace::Wait InstrumentLink::nextLook() const
{
    return m_nextLook;
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
    return m_port->bytesAvailable() + (m_lost ? 0 : unreadInDriver());
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
    const QString reason = wasLost ? QStringLiteral("устройство отключено") : writeFailureReason();
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
