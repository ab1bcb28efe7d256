#include "HeardCommands.h"

#include "sim/InstrumentSimulator.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr quint8 Mark = 0x80;
constexpr int DeliveryDeadlineMs = 30000;

QList<quint8> bytesOf(const QList<InstrumentSimulator::Command> &commands)
{
    QList<quint8> bytes;
    for (const InstrumentSimulator::Command &command : commands)
        bytes.append(command.byte);
    return bytes;
}

} // namespace

QList<quint8> HeardCommands::upToNow(const InstrumentSimulator &sim)
{
    const qsizetype marksBefore = bytesOf(sim.commands()).count(Mark);
    const int line = ::open(QFile::encodeName(sim.devicePath()).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool marked = line >= 0 && ::write(line, &Mark, 1) == 1;
    if (line >= 0)
        ::close(line);
    QList<quint8> heard = bytesOf(sim.commands());
    const QDeadlineTimer deadline(DeliveryDeadlineMs);
    while (marked && heard.count(Mark) == marksBefore && !deadline.hasExpired()) {
        QTest::qWait(5);
        heard = bytesOf(sim.commands());
    }
    if (heard.count(Mark) == marksBefore)
        return heard << Mark;
    qsizetype marks = 0;
    QList<quint8> unmarked;
    for (const quint8 byte : heard) {
        if (byte != Mark)
            unmarked.append(byte);
        else if (++marks > marksBefore)
            break;
    }
    return unmarked;
}
