#include "StreamCheck.h"

#include "link/SampleBlock.h"
#include "sim/InstrumentSignal.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr qint64 ChunkSize = 2048 * SampleBlockBytes;
// How far ahead a block is looked for, in steps, before it counts as foreign.
constexpr qint64 FirstSearchSpan = 64 * 1024;
constexpr qint64 LastSearchSpan = 64 * 1024 * 1024;

// Where block turns up in the stream at or after position, or -1.
qint64 findAhead(int channel, qint64 position, QByteArrayView block)
{
    for (qint64 span = FirstSearchSpan; span <= LastSearchSpan; span *= 4) {
        const qsizetype at = InstrumentSignal::samples(channel, position, span).indexOf(block);
        if (at >= 0)
            return position + at;
    }
    return -1;
}

} // namespace

StreamCheck::Result StreamCheck::compare(const QString &path, int channelNumber, qint64 bytesSent)
{
    const int channel = channelNumber - 1;
    Result result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.readable = false;
        return result;
    }
    qint64 position = 0; // in the stream, just after the last block matched
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkSize);
        const qint64 whole = chunk.size() / SampleBlockBytes * SampleBlockBytes;
        result.recordedBytes += whole;
        if (chunk.first(whole) == InstrumentSignal::samples(channel, position, whole)) {
            position += whole;
            continue;
        }
        for (qint64 offset = 0; offset < whole; offset += SampleBlockBytes) {
            const QByteArrayView block(chunk.constData() + offset, SampleBlockBytes);
            const qint64 at = findAhead(channel, position, block);
            if (at < 0) {
                result.foreignBytes += SampleBlockBytes;
                continue;
            }
            result.lostBytes += at - position;
            position = at + SampleBlockBytes;
        }
        if (whole < chunk.size())
            break;
    }
    const qint64 wholeSent = bytesSent / SampleBlockBytes * SampleBlockBytes;
    result.lostBytes += std::max<qint64>(0, wholeSent - position);
    return result;
}
