#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// How far a recording has come, for the operator: while it records, at each tick and
// each block taken, and once more when it has ended.
struct RunProgress
{
    enum class Stage {
        Recording,
        Completed, // the recording time ran out
        Stopped, // Stop was pressed
        LinkLost,
        CommandFailed,
        WriteFailed,
    };

    Stage stage = Stage::Recording;
    qint32 secondsLeft = 0;
    qint32 secondsRecorded = 0;
    qint64 blocksWritten = 0;
    // At the end: whole blocks received but not in the file (the one a failed write
    // could not take, those that came after it or after the last look).
    qint64 blocksNotWritten = 0;
    // Received towards the next block: while recording, the block being filled; at
    // the end, the partial block left out.
    qint64 bytesInBlock = 0;
    // Not a byte from the instrument in the SilenceSeconds since the channel code.
    bool instrumentSilent = false;
    // While the instrument is silent: the serial adapters plugged in, one of which
    // may be the instrument's.
    QStringList adapters;
    int portNumber = 1;
    QString deviceName;
    QString dataFileName;
    bool pictureSaved = false;
    // At the end: why the recording's description could not be written (the reason
    // alone, in Russian), empty if it was.
    QString descriptionProblem;

    static constexpr qint32 SilenceSeconds = 3;
};
