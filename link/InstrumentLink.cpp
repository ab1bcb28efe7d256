#include "link/InstrumentLink.h"

#include "link/SerialPortName.h"

#include <grp.h>
#include <poll.h>
#include <sys/stat.h>

namespace {

QString deviceGroup(const QString &device)
{
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        return {};
    const group *owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
}

} // namespace

InstrumentLink::InstrumentLink(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
    , m_reader(m_port)
{
    connect(m_port, &QSerialPort::errorOccurred, this, &InstrumentLink::onErrorOccurred);
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

QString InstrumentLink::deviceName() const
{
    return m_deviceName;
}

bool InstrumentLink::open(QString *errorMessage)
{
    m_lost = false;
    if (m_port->open(QIODevice::ReadWrite))
        return true;
    *errorMessage = QStringLiteral("Не удалось открыть последовательный порт %1 (%2): %3")
                        .arg(m_portNumber)
                        .arg(deviceName(), openFailureReason());
    return false;
}

QString InstrumentLink::openFailureReason() const
{
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("устройство не найдено. Проверьте, что прибор подключён; "
                              "другое устройство можно указать в переменной окружения LARVENTA_PORT%1.")
            .arg(m_portNumber);
    case QSerialPort::PermissionError: {
        const QString group = deviceGroup(deviceName());
        return QStringLiteral("доступ запрещён. Пользователь должен входить в группу «%1», "
                              "которой принадлежит устройство (sudo usermod -aG %1 $USER, затем войти в систему заново).")
            .arg(group.isEmpty() ? QStringLiteral("dialout") : group);
    }
    case QSerialPort::OpenError:
        return QStringLiteral("порт уже открыт другой программой.");
    default:
        return QStringLiteral("порт не принимает параметры линии %1 бит/с, 8 бит, без чётности, 1 стоповый бит (%2).")
            .arg(LineRate)
            .arg(m_port->errorString());
    }
}

bool InstrumentLink::isOpen() const
{
    return m_port->isOpen();
}

void InstrumentLink::close()
{
    m_port->close();
}

void InstrumentLink::emptyReceiveBuffer()
{
    m_port->clear(QSerialPort::Input);
}

qint64 InstrumentLink::bytesWaiting() const
{
    return m_port->bytesAvailable();
}

bool InstrumentLink::blockWaiting() const
{
    return m_reader.blockWaiting();
}

bool InstrumentLink::readBlock(SampleBlock &block)
{
    return m_reader.take(block);
}

bool InstrumentLink::send(quint8 command)
{
    const char byte = char(command);
    if (m_port->write(&byte, 1) != 1)
        return false;
    // Out at once rather than at the next turn of the event loop.
    m_port->flush();
    return true;
}

bool InstrumentLink::isLost()
{
    if (m_lost || !m_port->isOpen())
        return m_lost;
    pollfd device{m_port->handle(), POLLIN, 0};
    if (::poll(&device, 1, 0) > 0 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)))
        m_lost = true;
    return m_lost;
}

void InstrumentLink::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError)
        m_lost = true;
}
