#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The simulator's end of the line to the host: a new pseudo-terminal (Linux), or a serial device
// wired to the host's port, such as /dev/ttyUSB0 or COM3 (SimulatorLine_unix.cpp,
// SimulatorLine_win.cpp). Nothing it does waits: it reads what has come, writes what the line
// takes now, and signals when there is something to read, room to write, or a chunk due.
class SimulatorLine : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorLine(QObject *parent = nullptr);
    ~SimulatorLine() override;

    // A new pseudo-terminal, raw; *hostPath is what the host opens.
    bool openPseudoTerminal(QString *hostPath, QString *error);
    // An existing serial device, set to rate bit/s, 8N1, raw; refused if the driver makes a rate
    // that would not carry the line.
    bool openDevice(const QString &path, quint32 rate, QString *error);
    bool isOpen() const;
    // On a pseudo-terminal the host's end is hung up as if the adapter had been pulled.
    void close();
    // As set by the host (on a device, as its driver reads it back); 0 if unknown.
    quint32 rate() const;

    // What the host has sent: how many bytes, 0 if none waits, -1 if the line failed (then
    // reading stops; *error says why).
    qint64 read(char *buffer, qint64 size, QString *error);
    // As many of the bytes as the line takes now: how many, 0 if it is full, -1 if it failed.
    qint64 write(const char *bytes, qint64 count, QString *error);
    // While on, roomToWrite() is signalled whenever the line takes more.
    void watchForRoom(bool on);
    // chunkDue() every interval from now, to within the system's timers; 0 stops it.
    void setChunkInterval(qint64 nanoseconds);

signals:
    void bytesArrived();
    void roomToWrite();
    void chunkDue();

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
};
