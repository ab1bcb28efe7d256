#include "sim/SimulatorLine.h"

#include "link/TtyLine.h"

#include <QSerialPort>
#include <QTimer>

#include <windows.h>

namespace {

// Qt queues whatever is written; the line counts as full once this much waits to leave, so
// that a flood still reads the host's stop code between writes.
constexpr qint64 kBacklog = 64 * 1024;

} // namespace

struct SimulatorLine::Handles
{
    QSerialPort *port = nullptr;
    QTimer *chunkTimer = nullptr;
    bool watchingRoom = false;

    bool hasRoom() const { return port->isOpen() && port->bytesToWrite() < kBacklog; }
};

SimulatorLine::SimulatorLine(QObject *parent)
    : QObject(parent)
    , m_handles(std::make_unique<Handles>())
{
    m_handles->port = new QSerialPort(this);
    m_handles->chunkTimer = new QTimer(this);
    m_handles->chunkTimer->setTimerType(Qt::PreciseTimer);
    connect(m_handles->port, &QSerialPort::readyRead, this, &SimulatorLine::bytesArrived);
    connect(m_handles->port, &QSerialPort::bytesWritten, this, [this] {
        if (m_handles->watchingRoom && m_handles->hasRoom())
            emit roomToWrite();
    });
    connect(m_handles->chunkTimer, &QTimer::timeout, this, &SimulatorLine::chunkDue);
}

SimulatorLine::~SimulatorLine()
{
    close();
}

bool SimulatorLine::openPseudoTerminal(QString *, QString *error)
{
    *error = QStringLiteral("Windows has no pseudo-terminals: serve a COM port wired to the host's with --device COMn");
    return false;
}

bool SimulatorLine::openDevice(const QString &path, quint32 rate, QString *error)
{
    QSerialPort *port = m_handles->port;
    port->setPortName(path);
    port->setBaudRate(qint32(rate));
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1: %2").arg(path, port->errorString());
        return false;
    }
    const quint32 made = this->rate();
    if (made != 0 && !TtyLine::isCloseEnough(made, rate)) {
        *error = QStringLiteral("%1: the driver runs the line at %2 bit/s instead of %3")
                     .arg(path, QString::number(made), QString::number(rate));
        close();
        return false;
    }
    return true;
}

bool SimulatorLine::isOpen() const
{
    return m_handles->port->isOpen();
}

// What is still queued is thrown away: closing never waits on a host that reads nothing.
void SimulatorLine::close()
{
    m_handles->chunkTimer->stop();
    m_handles->watchingRoom = false;
    if (m_handles->port->isOpen()) {
        m_handles->port->clear();
        m_handles->port->close();
    }
}

quint32 SimulatorLine::rate() const
{
    if (!isOpen())
        return 0;
    DCB line{};
    line.DCBlength = sizeof line;
    return GetCommState(reinterpret_cast<HANDLE>(m_handles->port->handle()), &line) ? quint32(line.BaudRate) : 0;
}

qint64 SimulatorLine::read(char *buffer, qint64 size, QString *error)
{
    const qint64 n = m_handles->port->read(buffer, size);
    if (n < 0)
        *error = QStringLiteral("read: %1").arg(m_handles->port->errorString());
    return n;
}

qint64 SimulatorLine::write(const char *bytes, qint64 count, QString *error)
{
    QSerialPort *port = m_handles->port;
    const qint64 room = kBacklog - port->bytesToWrite();
    if (room <= 0)
        return 0;
    const qint64 n = port->write(bytes, qMin(count, room));
    if (n < 0)
        *error = QStringLiteral("write: %1").arg(port->errorString());
    return n;
}

// A pty's write notifier fires for as long as there is room; this does the same, once the
// event loop turns, and again whenever Qt has sent some of what waits.
void SimulatorLine::watchForRoom(bool on)
{
    m_handles->watchingRoom = on;
    if (on && m_handles->hasRoom()) {
        QTimer::singleShot(0, this, [this] {
            if (m_handles->watchingRoom && m_handles->hasRoom())
                emit roomToWrite();
        });
    }
}

// Windows' timers count whole milliseconds: a shorter chunk is sent as several on one tick,
// since the pacing asks the clock what is due.
void SimulatorLine::setChunkInterval(qint64 nanoseconds)
{
    if (nanoseconds <= 0) {
        m_handles->chunkTimer->stop();
        return;
    }
    m_handles->chunkTimer->start(int(qMax<qint64>(1, nanoseconds / 1000000)));
}
