#include "SimulatorEnd.h"

#include "sim/InstrumentSimulator.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace {

const QString HostPort = QStringLiteral("COM1");
const QString InstrumentPort = QStringLiteral("COM2");

// Bounds only a hang.
constexpr int DeliveryDeadlineMs = 30000;

// What an earlier case's simulator streamed may still be on its way from COM2 to COM1 through the
// test bed's relay, held back while nobody read COM1, and would reach the next host after it has
// emptied its port. A mark sent now from COM2 arrives after all of it: COM1 is read up to the mark.
void clearTheLine()
{
    const QByteArray mark("\x01larventa-line-clear\x02");
    QSerialPort host(HostPort);
    QSerialPort instrument(InstrumentPort);
    if (!host.open(QIODevice::ReadWrite) || !instrument.open(QIODevice::ReadWrite))
        qFatal("Cannot open %s and %s, which the test bed wires together: %s %s", qPrintable(HostPort),
               qPrintable(InstrumentPort), qPrintable(host.errorString()), qPrintable(instrument.errorString()));
    instrument.write(mark);
    if (!instrument.waitForBytesWritten(DeliveryDeadlineMs))
        qFatal("Cannot write to %s: %s", qPrintable(InstrumentPort), qPrintable(instrument.errorString()));
    const QDeadlineTimer deadline(DeliveryDeadlineMs);
    QByteArray tail;
    while (!tail.endsWith(mark)) {
        if (!host.waitForReadyRead(int(deadline.remainingTime())))
            qFatal("The mark sent from %s never reached %s", qPrintable(InstrumentPort), qPrintable(HostPort));
        tail = (tail + host.readAll()).right(mark.size());
    }
}

} // namespace

QString SimulatorEnd::open(InstrumentSimulator &sim)
{
    clearTheLine();
    QString error;
    if (!sim.openDevice(InstrumentPort, &error))
        qFatal("Cannot open the instrument simulator on %s, wired to %s by the test bed: %s",
               qPrintable(InstrumentPort), qPrintable(HostPort), qPrintable(error));
    qputenv("LARVENTA_PORT1", HostPort.toLocal8Bit());
    return HostPort;
}
