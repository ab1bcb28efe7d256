#include "BenchRecording.h"

namespace {

// The program's window and the plot's place in it, in pixels.
constexpr QSize WindowSize{792, 570};
constexpr QPoint PlotPosition{32, 104};

} // namespace

BenchRecording::BenchRecording(const QString &devicePath, const QString &dataFilePath)
    : m_controls(&m_window)
    , m_box(&m_window)
    , m_plot(m_box)
    , m_run(m_state, m_link, m_file, m_timer, m_controls, m_plot, m_messages)
{
    qputenv("LARVENTA_PORT1", devicePath.toLocal8Bit());
    m_link.configure(1);
    m_timer.setInterval(RecordingRun::TickMilliseconds);
    QObject::connect(&m_timer, &Timer::tick, &m_timer, [this] { m_run.tick(); });
    m_controls.fileName = dataFilePath;
    m_window.resize(WindowSize);
    m_box.move(PlotPosition);
    m_window.show();
}

void BenchRecording::record(int channelNumber, qint64 seconds)
{
    m_controls.selectChannel(channelNumber);
    m_controls.timeText = QString::number(seconds);
    m_messages.shown.clear();
    // A run asks before it overwrites the file of the run before.
    m_messages.yesNoAnswers = {MessageBoxes::Answer::Yes};
    m_run.startRequest();
}

void BenchRecording::stop()
{
    m_run.stopRequest();
}

TimedTracePlot &BenchRecording::plot()
{
    return m_plot;
}

QStringList BenchRecording::problems() const
{
    QStringList texts;
    for (const MessageBoxes::Message &message : m_messages.shown) {
        if (message.icon == MessageBoxes::Icon::Error)
            texts << message.text;
    }
    return texts;
}
