#pragma once

#include "link/BlockQueue.h"
#include "link/PortClaim.h"
#include "link/ReceivePace.h"
#include "link/SampleBlock.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>

#include <chrono>

class QSocketNotifier;

// The serial line to the instrument: 56000 bit/s, 8 data bits, no parity, 1 stop bit.
// The program sends one-byte commands and looks at the received stream for whole
// blocks: receive() takes what has arrived, and nextLook() says when the next look is
// worth it. At the line's rate nothing watches the line between looks; in a flood a
// wait may watch it for the next delivery.
class InstrumentLink : public QObject
{
    Q_OBJECT

public:
    static constexpr quint8 StopCode = 255;
    static constexpr qint32 LineRate = 56000;

    explicit InstrumentLink(QObject *parent = nullptr);
    ~InstrumentLink() override;

    // Selects the device of port number portNumber and the line settings; opens nothing.
    void configure(int portNumber);
    int portNumber() const;
    QString deviceName() const;

    // On failure the message names the device and the reason; the port stays closed.
    bool open(QString *errorMessage);
    bool isOpen() const;
    // As the driver made it at the last open(); 0 if the driver does not tell.
    quint32 lineRate() const;
    // Lets the last command leave the line at the line's rate (waiting a tenth of a
    // second at most) before the port gives the line back its old settings; what the
    // device has not taken by then is thrown away. The tty is left raw.
    void close();
    // Closes the port at once, for a program that is ending: whatever is still queued
    // for the instrument is thrown away. Other programs may open the port afterwards.
    void release();

    // Throws away everything received so far, also what the system still holds.
    void emptyReceiveBuffer();
    // Takes in everything the line has delivered since the last look.
    void receive();
    // When to look again: when the next block can be complete at the soonest; in a
    // flood at once, or once the line delivers again if the last look found little.
    ReceivePace::Wait nextLook() const;
    // While on, the line's next delivery (or its hang-up) wakes the event loop, once:
    // the watch then turns itself off. For the wait before a look only. On Windows every
    // delivery wakes the event loop anyway, since QSerialPort reads it there.
    void watchForDelivery(bool on);
    qint64 bytesWaiting() const;
    // Since the port was opened or its receive buffer last emptied.
    qint64 bytesReceived() const;
    // What the system has received and holds for the next receive().
    qint64 bytesUnread() const;
    bool readBlock(SampleBlock &block);
    // On failure the message names the device and the reason.
    bool send(quint8 command, QString *errorMessage);

    // True once the device has vanished (adapter pulled, line hung up) while open.
    bool isLost() const;

private:
    QString openFailureReason() const;
    void closePort(bool discardQueued);
    QString rateRefusal(quint32 made) const;
    void onErrorOccurred(QSerialPort::SerialPortError error);

    // InstrumentLink_unix.cpp, InstrumentLink_win.cpp: what is asked of the open port's own
    // handle. Linux reads the tty itself, Windows through QSerialPort's overlapped reads.
    // Once the port is open, and before it closes.
    void startReading();
    void stopReading();
    // After what Qt's buffer held has been taken.
    void keepQtFromWatching();
    qint64 readWhatArrived();
    // What the driver holds that neither Qt nor the link has read yet.
    qint64 unreadInDriver() const;
    // The rate as the driver made it; 0 if it does not tell.
    quint32 rateMade() const;
    // Waits until what was written has left, for at most the limit; false if it has not.
    bool drainOutput(std::chrono::milliseconds limit);
    // Throws away what the driver still holds to send.
    void discardOutput();
    // Why the last write failed.
    QString writeFailureReason() const;

    int m_portNumber = 1;
    QString m_deviceName;
    QSerialPort *m_port;
    QSocketNotifier *m_deliveryWatch = nullptr; // Linux: wakes the event loop for a delivery
    PortClaim m_claim;
    BlockQueue m_received;
    ReceivePace m_pace;
    QElapsedTimer m_sinceLastLook;
    ReceivePace::Wait m_nextLook{0, false};
    qint64 m_bytesReceived = 0;
    quint32 m_lineRate = 0;
    bool m_lost = false;
};
