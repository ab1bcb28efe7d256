#pragma once

#include "link/BlockReader.h"
#include "link/SampleBlock.h"

#include <QObject>
#include <QSerialPort>

// The serial line to the instrument: 56000 bit/s, 8 data bits, no parity, 1 stop bit.
// The program sends one-byte commands and polls the received stream for whole blocks.
class InstrumentLink : public QObject
{
    Q_OBJECT

public:
    static constexpr quint8 StopCode = 255;
    static constexpr qint32 LineRate = 56000;

    explicit InstrumentLink(QObject *parent = nullptr);

    // Selects the device of port number portNumber and the line settings; opens nothing.
    void configure(int portNumber);
    QString deviceName() const;

    // On failure the message names the device and the reason; the port stays closed.
    bool open(QString *errorMessage);
    bool isOpen() const;
    void close();

    // Throws away everything received so far, also what the system still holds.
    void emptyReceiveBuffer();
    qint64 bytesWaiting() const;
    bool blockWaiting() const;
    bool readBlock(SampleBlock &block);
    bool send(quint8 command);

    // True once the device has vanished (adapter pulled, line hung up) while open.
    bool isLost();

private:
    QString openFailureReason() const;
    void onErrorOccurred(QSerialPort::SerialPortError error);

    int m_portNumber = 1;
    QString m_deviceName;
    QSerialPort *m_port;
    BlockReader m_reader;
    bool m_lost = false;
};
