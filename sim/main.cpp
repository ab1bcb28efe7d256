#include "sim/InstrumentSimulator.h"
#include "sim/SimulatedRecording.h"
#include "sim/StopRequest.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "larventa-sim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    StopRequest::prepare();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("larventa-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the data-acquisition instrument on a pseudo-terminal, or with --device on a serial port.\n"
        "Prints the device path alone on the first line, then serves the host until SIGINT or SIGTERM\n"
        "(Ctrl+C on Windows, which has no pseudo-terminals: there --device COMn is needed).\n"
        "The host sends a channel code 0..7 to start a stream of that channel and 0xFF to stop it.\n"
        "With --write-recording it writes a recording and its description instead, as the recorder would."));
    parser.addHelpOption();
    const QCommandLineOption rateOption(
        QStringLiteral("rate"), QStringLiteral("Samples per second, or 'unlimited' (default 100)."),
        QStringLiteral("N|unlimited"), QStringLiteral("100"));
    const QCommandLineOption logOption(
        QStringLiteral("log"), QStringLiteral("Append a line '<msecs> <hex byte>' per command byte received."),
        QStringLiteral("FILE"));
    const QCommandLineOption limitOption(
        QStringLiteral("limit"), QStringLiteral("End every stream after N samples."), QStringLiteral("N"));
    const QCommandLineOption chunkOption(
        QStringLiteral("chunk"),
        QStringLiteral("Bytes per write, one write every N/rate seconds, as a serial port hands them over: "
                       "1 is a UART without FIFO, a few a 16550, more a USB adapter "
                       "(default: whatever is due every 10 ms; no effect with --rate unlimited)."),
        QStringLiteral("N"));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("Serve the host on this serial device, wired to the host's port, instead of a new "
                       "pseudo-terminal; it is set to 56000 bit/s, 8N1, raw."),
        QStringLiteral("PATH"));
    const QCommandLineOption refillOption(
        QStringLiteral("refill"),
        QStringLiteral("With --rate unlimited: write only when the line reports room, one non-blocking write of "
                       "up to 64 KiB each time, as a USB device refills once the tty layer has throttled it "
                       "(default: write until the line is full)."));
    const QCommandLineOption writeRecordingOption(
        QStringLiteral("write-recording"),
        QStringLiteral("Write a recording of channel 1 to FILE and its description to FILE.json, as if the "
                       "recorder had just completed it, then end; --rate is then samples per second, "
                       "fractions allowed (default 5600)."),
        QStringLiteral("FILE"));
    const QCommandLineOption secondsOption(
        QStringLiteral("seconds"), QStringLiteral("With --write-recording: how long the recording lasts."),
        QStringLiteral("N"));
    parser.addOptions({ rateOption, chunkOption, refillOption, logOption, limitOption, deviceOption,
                        writeRecordingOption, secondsOption });
    parser.process(app);

    if (parser.isSet(writeRecordingOption)) {
        bool secondsOk = false;
        const double seconds = parser.value(secondsOption).toDouble(&secondsOk);
        if (!secondsOk || !(seconds > 0))
            return usageError(QStringLiteral("--write-recording wants --seconds N, more than 0"));
        bool rateOk = true;
        const double samplesPerSecond = parser.isSet(rateOption) ? parser.value(rateOption).toDouble(&rateOk) : 5600;
        if (!rateOk || !(samplesPerSecond > 0))
            return usageError(QStringLiteral("--rate wants a number of samples per second, more than 0"));
        QString error;
        if (!SimulatedRecording::write(parser.value(writeRecordingOption), seconds, samplesPerSecond, &error))
            return usageError(error);
        return 0;
    }

    int rate = 0;
    const QString rateText = parser.value(rateOption);
    if (rateText != QLatin1String("unlimited")) {
        bool ok = false;
        rate = rateText.toInt(&ok);
        if (!ok || rate < 0)
            return usageError(QStringLiteral("--rate wants a number of samples per second or 'unlimited'"));
    }
    int chunkSize = 0;
    if (parser.isSet(chunkOption)) {
        bool ok = false;
        chunkSize = parser.value(chunkOption).toInt(&ok);
        if (!ok || chunkSize < 1)
            return usageError(QStringLiteral("--chunk wants a number of bytes, 1 or more"));
    }
    qint64 limit = -1;
    if (parser.isSet(limitOption)) {
        bool ok = false;
        limit = parser.value(limitOption).toLongLong(&ok);
        if (!ok || limit < 0)
            return usageError(QStringLiteral("--limit wants a number of samples"));
    }

    QFile log;
    InstrumentSimulator simulator;
    simulator.setRate(rate);
    simulator.setChunkSize(chunkSize);
    simulator.setRefillWhenWritable(parser.isSet(refillOption));
    simulator.setSampleLimit(limit);
    if (parser.isSet(logOption)) {
        log.setFileName(parser.value(logOption));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return usageError(QStringLiteral("%1: %2").arg(log.fileName(), log.errorString()));
        QObject::connect(&simulator, &InstrumentSimulator::commandReceived, &log, [&](quint8 byte) {
            const qint64 msecs = simulator.commands().constLast().msecs;
            log.write(QByteArray::number(msecs) + ' ' + QByteArray::number(byte, 16).rightJustified(2, '0') + '\n');
            log.flush();
        });
    }
    QObject::connect(&simulator, &InstrumentSimulator::streamStarted, &app, [](int channel) {
        std::fprintf(stderr, "larventa-sim: streaming channel %d\n", channel + 1);
    });
    QObject::connect(&simulator, &InstrumentSimulator::streamStopped, &app, [](qint64 samples) {
        std::fprintf(stderr, "larventa-sim: stream stopped after %lld samples\n", static_cast<long long>(samples));
    });

    QString error;
    const bool onDevice = parser.isSet(deviceOption);
    if (!(onDevice ? simulator.openDevice(parser.value(deviceOption), &error) : simulator.open(&error))) {
        std::fprintf(stderr, "larventa-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (onDevice) {
        std::fprintf(stderr, "larventa-sim: %s: the driver reads back %u bit/s\n", qPrintable(simulator.devicePath()),
                     unsigned(simulator.lineSpeed()));
    }

    if (!StopRequest::watch())
        return 1;

    std::printf("%s\n", qPrintable(simulator.devicePath()));
    std::fflush(stdout);

    return QCoreApplication::exec();
}
