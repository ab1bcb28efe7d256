#pragma once

#include <QByteArray>
#include <QString>

// The program's own hold on a serial port, from before QSerialPort opens it until after it has
// closed it (PortClaim_unix.cpp, PortClaim_win.cpp). Windows opens a COM port for one program
// only, keeps no lock files and has no echo to switch off: there the claim holds nothing, and a
// port another program holds is refused by QSerialPort's open. On Linux it holds the tty. QSerialPort gives the tty back, when it closes, the settings it found there; a
// tty's usual settings echo what arrives, so the instrument's last bytes would go back to it as
// commands (a 0x00 starts channel 1 again). Made raw before QSerialPort opens it, its rate kept,
// the tty echoes nothing once given up, and is left so. The hold also keeps the tty open while
// QSerialPort's handle comes and goes, so that no last close drops the modem lines in between.
class PortClaim
{
public:
    PortClaim() = default;
    ~PortClaim();
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    // Opens the device and keeps the settings found, changing nothing yet. False, with the reason,
    // when another program visibly holds the tty: by a live lock file, in exclusive mode, or
    // locked with flock(), which this claim then takes itself. A device that cannot be opened
    // here is left for QSerialPort to report.
    bool take(const QString &device, QString *whyHeld);
    // Raw, the rate and the rest of the line kept.
    void makeRaw();
    // The settings found, for a port that is not used after all.
    void putBack();
    // Closes the claim's handle; the tty keeps the settings it has.
    void release();

private:
    int m_handle = -1; // Linux: the tty's descriptor
    QByteArray m_found;
};
