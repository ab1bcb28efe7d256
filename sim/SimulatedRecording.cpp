#include "sim/SimulatedRecording.h"

#include "output/DataFile.h"
#include "output/RecordingDescription.h"
#include "sim/InstrumentSignal.h"

#include <QDateTime>

#include <cmath>

bool SimulatedRecording::write(const QString &dataPath, double seconds, double samplesPerSecond,
                               QString *errorMessage)
{
    const qint64 blocks = qint64(std::floor(seconds * samplesPerSecond)) / DataFile::BlockSize;
    if (!(samplesPerSecond > 0) || blocks < 1) {
        *errorMessage = QStringLiteral("--seconds × --rate must give at least one block of %1 samples")
                            .arg(DataFile::BlockSize);
        return false;
    }
    DataFile file;
    if (!file.createAfresh(dataPath, errorMessage))
        return false;
    constexpr qint64 ChunkBlocks = 2048;
    for (qint64 block = 0; block < blocks; block += ChunkBlocks) {
        const qint64 count = qMin(ChunkBlocks, blocks - block);
        const QByteArray chunk =
            InstrumentSignal::samples(0, block * DataFile::BlockSize, count * DataFile::BlockSize);
        for (qint64 i = 0; i < count; ++i) {
            const QByteArrayView one(chunk.constData() + i * DataFile::BlockSize, DataFile::BlockSize);
            if (!file.writeBlock(block + i, one, errorMessage))
                return false;
        }
    }
    if (!file.close(errorMessage))
        return false;

    RecordingDescription description;
    description.dataFileName = dataPath;
    description.channelNumber = 1;
    description.channelCode = 0;
    description.portNumber = 1;
    description.deviceName = QStringLiteral("larventa-sim");
    description.lineRate = 56000;
    description.requestedSeconds = qint32(std::ceil(seconds));
    description.bytes = file.size();
    description.blocks = blocks;
    description.partialBlockBytes = 0;
    description.bytesAfterChannelCode = file.size();
    description.recordedSeconds = double(file.size()) / samplesPerSecond;
    description.ended = QDateTime::currentDateTime();
    description.started = description.ended.addMSecs(-qint64(std::llround(description.recordedSeconds * 1000)));
    description.ending = RecordingDescription::Ending::Completed;
    description.sha256 = file.sha256();
    return description.write(errorMessage);
}
