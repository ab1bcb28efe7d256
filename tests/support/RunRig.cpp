#include "RunRig.h"

#include "sim/InstrumentSignal.h"

#include <QFile>
#include <QTest>

RunRig::RunRig(int tickMilliseconds)
    : run(state, link, file, timer, controls, plot, messages)
{
    QString error;
    if (!sim.open(&error))
        qFatal("Cannot open the instrument simulator: %s", qPrintable(error));
    qputenv("LARVENTA_PORT1", sim.devicePath().toLocal8Bit());
    link.configure(1);
    timer.setInterval(tickMilliseconds);
    QObject::connect(&timer, &Timer::tick, &timer, [this] { run.tick(); });
    controls.fileName = path(QStringLiteral("run.bin"));
}

QString RunRig::path(const QString &name) const
{
    return folder.filePath(name);
}

QByteArray RunRig::dataFile() const
{
    QFile data(controls.fileName);
    if (!data.open(QIODevice::ReadOnly))
        return {};
    return data.readAll();
}

QList<quint8> RunRig::commandBytes() const
{
    QList<quint8> bytes;
    for (const InstrumentSimulator::Command &command : sim.commands())
        bytes.append(command.byte);
    return bytes;
}

QByteArray RunRig::stream(int channelNumber, qint64 bytes)
{
    return InstrumentSignal::samples(channelNumber - 1, 0, bytes);
}
