#pragma once

#include "TimedTracePlot.h"

#include "ShownRunControls.h"
#include "ScriptedMessageBoxes.h"

#include "link/InstrumentLink.h"
#include "output/DataFile.h"
#include "output/GraphikBox.h"
#include "platform/Timer.h"
#include "recording/RecordingRun.h"
#include "recording/RecordingState.h"

#include <QStringList>
#include <QWidget>

// A recording run wired as the window wires it, with the real one-second tick, the
// link on port 1 (made the given device), a real data file, and the plot and the
// status line shown in one window where the program's window has them. The window's
// other controls and its message boxes stand in as plain values.
class BenchRecording {
public:
    BenchRecording(const QString &devicePath, const QString &dataFilePath);

    // Records until the time runs out or stop() is called; returns after the wind-up.
    void record(int channelNumber, qint64 seconds);
    void stop();

    TimedTracePlot &plot();
    // What the run told the operator, if anything went wrong.
    QStringList problems() const;

private:
    QWidget m_window;
    RecordingState m_state;
    InstrumentLink m_link;
    DataFile m_file;
    Timer m_timer;
    ShownRunControls m_controls;
    GraphikBox m_box;
    TimedTracePlot m_plot;
    ScriptedMessageBoxes m_messages;
    RecordingRun m_run;
};
