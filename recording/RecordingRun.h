#pragma once

#include "link/SampleBlock.h"
#include "platform/EventPump.h"
#include "recording/DescriptionKeeper.h"
#include "recording/RunProgress.h"

#include <QElapsedTimer>
#include <QString>

class DataFile;
class InstrumentLink;
class MessageBoxes;
class RunControls;
class Timer;
class TracePlot;
struct RecordingState;

// One recording, from the Start click to the wind-up: checks the operator's choices,
// sends the start handshake, writes and draws every 512-byte block the instrument
// sends until the time runs out or Stop is pressed, then closes everything and saves
// the picture. It runs inside the Start click and lets the window handle its other
// events (Stop, the tick, repaints, closing) while it waits for data. The recording's
// description beside the data file says how far it has come.
class RecordingRun
{
public:
    static constexpr int TickMilliseconds = 1000;

    RecordingRun(RecordingState &state, InstrumentLink &link, DataFile &dataFile, Timer &timer,
                 RunControls &controls, TracePlot &plot, MessageBoxes &messages);

    void startRequest();
    void stopRequest();
    void tick();
    // The program is ending in the middle of whatever it does: the data file keeps the
    // blocks written so far, its description says the window was closed, and the port
    // is given back at once, with no wind-up.
    void abandon();

    static QString messageTitle();

private:
    struct Ending
    {
        RunProgress::Stage stage;
        QString problem;

        // Not to a line that is gone or refuses commands.
        bool sendsStopCode() const;
    };

    bool mayStart(qint32 *seconds);
    bool acquireResources();
    void lockControls();
    quint8 selectedChannelCode() const;
    Ending handshakeAndAcquire(quint8 channelCode, qint32 seconds);
    void waitForFirstTick();
    void waitForNextLook();
    Ending acquire(float xStep);
    Ending commandNotSent(const QString &problem) const;
    Ending linkLost() const;
    void drawBlock(qint64 blockIndex, const SampleBlock &block, float xStep);
    void windUp(const Ending &ending);
    void describeStart(quint8 channelCode, qint32 seconds);
    // Also what the run has not taken in.
    qint64 bytesReceived() const;
    RunProgress progress(RunProgress::Stage stage) const;
    void showProgress();
    void showError(const QString &text);

    RecordingState &m_state;
    InstrumentLink &m_link;
    DataFile &m_dataFile;
    Timer &m_timer;
    RunControls &m_controls;
    TracePlot &m_plot;
    MessageBoxes &m_messages;
    EventPump m_pump;
    bool m_running = false;
    // From the channel code to the wind-up.
    bool m_acquiring = false;
    qint32 m_seconds = 0;
    QElapsedTimer m_sinceProgressShown;
    qint64 m_blocksWritten = 0;
    // Taken from the line but not written: the block whose write failed.
    qint64 m_blocksTakenNotWritten = 0;
    DescriptionKeeper m_description;
};
