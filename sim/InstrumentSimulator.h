#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>

class QTimer;
class SimulatorLine;

// The data-acquisition instrument on a pseudo-terminal (Linux), or on a serial device wired to the
// host's port. The host opens devicePath() like a serial port. A channel code (0…7) starts a stream of
// InstrumentSignal samples of that channel, from sample 0; 0xFF stops it. Any other byte is ignored,
// as is every byte but 0xFF while streaming.
class InstrumentSimulator : public QObject
{
    Q_OBJECT

public:
    static constexpr quint8 StopCode = 0xFF;
    static constexpr int ChannelCount = 8;
    // The line's rate on a serial device (openDevice()).
    static constexpr quint32 LineRate = 56000;

    struct Command
    {
        quint8 byte;
        qint64 msecs; // since open()
    };

    explicit InstrumentSimulator(QObject *parent = nullptr);
    ~InstrumentSimulator() override;

    // A new pseudo-terminal.
    bool open(QString *error);
    // An existing serial device, set to the instrument's line (56000 bit/s, 8N1, raw).
    bool openDevice(const QString &path, QString *error);
    QString devicePath() const;
    // Closes the line. On a pseudo-terminal the host's tty is hung up as if the adapter had been pulled.
    void hangUp();

    // Samples per second; 0 sends as fast as the host takes them. Default 100.
    void setRate(int samplesPerSecond);
    // Bytes per write while paced, the slices a serial port hands the stream over in: 1 is a UART
    // without FIFO, a few bytes a 16550, more a USB adapter. Each write carries exactly that many
    // bytes of the stream (only the sample limit may cut the last one short), bytes/rate seconds
    // after the one before, to the microsecond. 0 (the default) writes whatever is due every 10 ms.
    // A flood (rate 0) ignores it and writes as much as the pty takes.
    void setChunkSize(int bytes);
    // A flood that refills the line late: one non-blocking write of up to 64 KiB each time the
    // line reports room, which on a pseudo-terminal is only after the host has read. A USB device
    // refills so once the tty layer has throttled it. Off by default: a flood writes until the
    // line is full.
    void setRefillWhenWritable(bool on);
    // A stream stops by itself after count samples; -1 (the default) for never.
    void setSampleLimit(qint64 count);
    // Bytes for the host outside the signal, queued in order with the samples.
    void inject(const QByteArray &bytes);

    QList<Command> commands() const;
    int streamingChannel() const; // -1 when idle
    qint64 samplesSent() const;   // of the current or last stream, as written to the pty
    qint64 bytesWritten() const;  // everything written to the pty, injected bytes included
    quint32 lineSpeed() const;    // as set by the host (on a device, as its driver reads it back); 0 if unknown

signals:
    void commandReceived(quint8 byte);
    void streamStarted(int channel);
    void streamStopped(qint64 samplesSent);
    // The samples of the current stream now in the pty, after each batch of writes.
    void samplesWritten(qint64 samplesSent);

private:
    struct Chunk
    {
        QByteArray bytes;
        bool isSignal;
    };

    bool serve(const QString &path);
    void readCommands();
    void handleCommand(quint8 byte);
    void startStream(int channel);
    void stopStream();
    void startPacing();
    void stopPacing();
    void paceTick();
    void onWritable();
    bool refillFlood();
    void enqueue(const QByteArray &bytes, bool isSignal);
    bool writePending();
    bool writeHead();
    void afterWrite();
    void updateWriteNotifier();
    bool floodWanted() const;
    void closeLine();
    // Tells the problem and, with closing, gives up what was opened so far; false.
    bool failed(QString *error, const QString &problem, bool closing = true);

    SimulatorLine *m_line;
    QString m_devicePath;
    QTimer *m_paceTimer;
    QElapsedTimer m_clock;
    QList<Command> m_commands;

    int m_rate = 100;
    int m_chunkSize = 0;
    bool m_refillWhenWritable = false;
    qint64 m_sampleLimit = -1;
    int m_channel = -1;
    qint64 m_samplesQueued = 0;
    qint64 m_samplesSent = 0;
    qint64 m_samplesAnnounced = 0;
    qint64 m_bytesWritten = 0;
    // Pacing counts from the last rate change: m_paceBase samples were due when m_paceClock started.
    qint64 m_paceBase = 0;
    QElapsedTimer m_paceClock;

    std::deque<Chunk> m_pending;
    qsizetype m_headOffset = 0; // bytes of m_pending.front() already written
};
