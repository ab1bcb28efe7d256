#include "link/InstrumentLink.h"

#include <QDeadlineTimer>

#include <windows.h>

namespace {

HANDLE portHandle(const QSerialPort *port)
{
    return reinterpret_cast<HANDLE>(port->handle());
}

DWORD WINAPI flushPort(void *port)
{
    return FlushFileBuffers(static_cast<HANDLE>(port)) ? ERROR_SUCCESS : GetLastError();
}

} // namespace

// Windows: QSerialPort reads the port with overlapped reads of its own, and every read that
// completes wakes the event loop; what arrives is in Qt's buffer, which receive() takes.
void InstrumentLink::startReading()
{
}

void InstrumentLink::stopReading()
{
}

void InstrumentLink::keepQtFromWatching()
{
}

void InstrumentLink::watchForDelivery(bool)
{
}

qint64 InstrumentLink::readWhatArrived()
{
    return 0;
}

qint64 InstrumentLink::unreadInDriver() const
{
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(portHandle(m_port), &errors, &status) ? qint64(status.cbInQue) : 0;
}

quint32 InstrumentLink::rateMade() const
{
    DCB line{};
    line.DCBlength = sizeof line;
    return GetCommState(portHandle(m_port), &line) ? quint32(line.BaudRate) : 0;
}

// Qt writes through overlapped writes of its own, and FlushFileBuffers waits only for what the
// driver holds: the last write must have reached the driver first, or closing the port cancels
// it (CancelIo) and the instrument never hears it. FlushFileBuffers on a port then waits until the
// driver has sent everything, for ever on an adapter that takes nothing more: it runs in a thread
// of its own, and once the limit is over, PurgeComm aborts the writes, the flush among them, and
// the thread ends.
bool InstrumentLink::drainOutput(std::chrono::milliseconds limit)
{
    const QDeadlineTimer deadline(limit);
    while (m_port->bytesToWrite() > 0) {
        if (!m_port->waitForBytesWritten(int(deadline.remainingTime()))) {
            discardOutput();
            return false;
        }
    }
    const HANDLE port = portHandle(m_port);
    const HANDLE flusher = CreateThread(nullptr, 0, flushPort, port, 0, nullptr);
    if (!flusher)
        return false;
    DWORD result = ERROR_TIMEOUT;
    if (WaitForSingleObject(flusher, DWORD(deadline.remainingTime())) == WAIT_OBJECT_0)
        GetExitCodeThread(flusher, &result);
    else
        discardOutput();
    CloseHandle(flusher);
    return result == ERROR_SUCCESS;
}

void InstrumentLink::discardOutput()
{
    PurgeComm(portHandle(m_port), PURGE_TXABORT | PURGE_TXCLEAR);
}

QString InstrumentLink::writeFailureReason() const
{
    switch (m_port->error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::DeviceNotFoundError: return QStringLiteral("устройство отключено");
    default: return m_port->errorString();
    }
}
