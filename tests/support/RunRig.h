#pragma once

#include "FakeRunControls.h"
#include "RecordingPlot.h"
#include "ScriptedMessageBoxes.h"

#include "link/InstrumentLink.h"
#include "output/DataFile.h"
#include "platform/Timer.h"
#include "recording/RecordingRun.h"
#include "recording/RecordingState.h"
#include "sim/InstrumentSimulator.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <limits>

// A recording run wired as the window wires it, with the instrument simulator on the other end
// of serial port 1 (SimulatorEnd), a real data file in a temporary folder, and the
// window's controls, plot and message boxes standing in as plain values.
class RunRig
{
public:
    // A shorter tick makes a recording of n "seconds" last n ticks of tickMilliseconds.
    explicit RunRig(int tickMilliseconds = RecordingRun::TickMilliseconds);

    // A tick no test outlasts: the run's seconds pass only as the test ticks them.
    static constexpr int TickedByTest = std::numeric_limits<int>::max();
    // One tick of the timer, as if it had fallen due, unless it is off; from inside the run's
    // event pumps.
    void tick();

    QString path(const QString &name) const;
    QByteArray dataFile() const;
    QList<quint8> commandBytes() const;
    // The bytes the instrument streams on this channel, from its first sample.
    static QByteArray stream(int channelNumber, qint64 bytes);
    // The test has just seen what ends the run (its Stop, the last tick, the hang-up).
    void seeTheEnd();
    // What the description's recorded_seconds and samples_per_second get wrong about the
    // run as the test saw it; empty if nothing. The time from the channel code to the
    // end lies between the instrument's receipt of the channel code and seeTheEnd(), and
    // between the first tick and now; the bytes between the data file's size and what
    // the instrument sent.
    QString rateMismatch() const;

    QTemporaryDir folder;
    InstrumentSimulator sim;
    // Serial port 1, the host's end of the simulator's line.
    const QString hostPort;
    RecordingState state;
    InstrumentLink link;
    DataFile file;
    Timer timer;
    FakeRunControls controls;
    RecordingPlot plot;
    ScriptedMessageBoxes messages;
    RecordingRun run;

private:
    // Times on m_clock, in nanoseconds: whole milliseconds can be one off, more than the
    // description's own rounding to the millisecond leaves room for.
    QElapsedTimer m_clock;
    qint64 m_firstTickAt = -1;
    qint64 m_channelCodeAt = -1;
    qint64 m_endSeenAt = -1;
    qint64 m_samplesSent = 0;
};
