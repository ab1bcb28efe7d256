#pragma once

#include <QString>
#include <QtGlobal>

// What the window keeps from one recording to the next, and what the Stop button
// and the one-second tick change while a recording runs.
struct RecordingState
{
    // Seconds left; during the start handshake a one-tick wait counter.
    qint32 GatheringTime = 0;
    // False once Stop was pressed.
    bool StopProcess = true;
    // Data file of the last recording that was wound up.
    QString FileNameOld;
    // Data file of the recording being started.
    QString FileNameNew;
};
