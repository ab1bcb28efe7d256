#include "recording/RecordingRun.h"

#include "link/InstrumentLink.h"
#include "link/SerialAdapters.h"
#include "output/DataFile.h"
#include "output/SnapshotName.h"
#include "platform/MessageBoxes.h"
#include "platform/Timer.h"
#include "recording/RecordingState.h"
#include "recording/RecordingTime.h"
#include "recording/RunControls.h"
#include "recording/TracePlot.h"

namespace {

constexpr int ChannelCount = 8;
constexpr int SegmentsPerBlock = int(SampleBlockBytes) - 1;
constexpr float ValueOffset = 5.0f;
// 100 samples a second fill the plot's 2000 units in the recording time.
constexpr double PlotWidthPerSecond = 20.0;
// Blocks arrive up to 11 times a second; the operator needs the count only a few times.
constexpr qint64 BlockProgressIntervalMs = 500;

RecordingDescription::Ending describedAs(RunProgress::Stage stage)
{
    switch (stage) {
    case RunProgress::Stage::Recording: return RecordingDescription::Ending::Recording;
    case RunProgress::Stage::Completed: return RecordingDescription::Ending::Completed;
    case RunProgress::Stage::Stopped: return RecordingDescription::Ending::Stopped;
    case RunProgress::Stage::LinkLost: return RecordingDescription::Ending::LinkLost;
    case RunProgress::Stage::CommandFailed: return RecordingDescription::Ending::CommandFailed;
    case RunProgress::Stage::WriteFailed: return RecordingDescription::Ending::WriteFailed;
    }
    return RecordingDescription::Ending::Recording;
}

} // namespace

RecordingRun::RecordingRun(RecordingState &state, InstrumentLink &link, DataFile &dataFile, Timer &timer,
                           RunControls &controls, TracePlot &plot, MessageBoxes &messages)
    : m_state(state)
    , m_link(link)
    , m_dataFile(dataFile)
    , m_timer(timer)
    , m_controls(controls)
    , m_plot(plot)
    , m_messages(messages)
{
}

QString RecordingRun::messageTitle()
{
    // The fifth letter is the Latin C.
    return QStringLiteral("Вам Cообщение");
}

void RecordingRun::startRequest()
{
    if (m_running)
        return;
    qint32 seconds = 0;
    if (!mayStart(&seconds) || !acquireResources())
        return;
    m_running = true;
    m_blocksWritten = 0;
    m_blocksTakenNotWritten = 0;
    const quint8 channelCode = selectedChannelCode();
    describeStart(channelCode, seconds);

    m_plot.PreparePlot();
    lockControls();
    m_state.StopProcess = true;
    m_timer.setEnabled(true);
    m_link.emptyReceiveBuffer();
    windUp(handshakeAndAcquire(channelCode, seconds));
    m_running = false;
}

void RecordingRun::stopRequest()
{
    m_state.StopProcess = false;
    m_controls.setStopEnabled(false);
}

void RecordingRun::tick()
{
    if (m_state.GatheringTime == 0)
        m_timer.setEnabled(false);
    --m_state.GatheringTime;
    if (m_acquiring)
        showProgress();
}

void RecordingRun::abandon()
{
    // The data file stays open until the wind-up has ended the recording.
    const bool recording = m_running && m_dataFile.isOpen();
    if (recording) {
        m_description.runEnded(RecordingDescription::Ending::WindowClosed, bytesReceived(),
                               m_link.bytesWaiting() % SampleBlockBytes);
    }
    QString closeProblem;
    const bool dataFileClosed = m_dataFile.close(&closeProblem);
    m_link.release();
    if (recording)
        m_description.finish(m_dataFile, dataFileClosed, {}, {closeProblem});
}

bool RecordingRun::mayStart(qint32 *seconds)
{
    m_state.FileNameNew = m_controls.dialogFileName();
    if (m_state.FileNameNew.isEmpty()) {
        showError(QStringLiteral("Файл для записи не выбран!  Воспользуйтесь окном 'Файл записи'. "));
        return false;
    }
    QString problem;
    const std::optional<qint32> parsed = RecordingTime::parse(m_controls.recordingTimeText(), &problem);
    if (!parsed) {
        showError(problem);
        return false;
    }
    if (m_state.FileNameOld == m_state.FileNameNew) {
        const MessageBoxes::Answer answer = m_messages.show({QStringLiteral("Файл уже существует!  Переписать? "),
                                                             messageTitle(), MessageBoxes::Icon::Warning,
                                                             MessageBoxes::Buttons::YesNo});
        if (answer == MessageBoxes::Answer::No)
            return false;
    }
    *seconds = *parsed;
    return true;
}

// The port is opened first so that a recording that cannot start leaves an existing
// data file alone.
bool RecordingRun::acquireResources()
{
    QString problem;
    if (!m_link.open(&problem)) {
        showError(problem);
        return false;
    }
    if (!m_dataFile.createAfresh(m_state.FileNameNew, &problem)) {
        m_link.close();
        showError(problem);
        return false;
    }
    return true;
}

void RecordingRun::lockControls()
{
    m_controls.setSettingsEnabled(false);
    m_controls.setStartEnabled(false);
    m_controls.setStopEnabled(true);
}

quint8 RecordingRun::selectedChannelCode() const
{
    quint8 code = 0;
    for (int number = 1; number <= ChannelCount; ++number) {
        if (m_controls.channelSelected(number))
            code = quint8(number - 1);
    }
    return code;
}

RecordingRun::Ending RecordingRun::handshakeAndAcquire(quint8 channelCode, qint32 seconds)
{
    QString problem;
    if (!m_link.send(InstrumentLink::StopCode, &problem))
        return commandNotSent(problem);
    waitForFirstTick();
    if (m_link.isLost())
        return linkLost();
    if (!m_link.send(channelCode, &problem))
        return commandNotSent(problem);
    m_state.GatheringTime = seconds;
    m_seconds = seconds;
    m_acquiring = true;
    m_description.channelCodeSent(bytesReceived());
    showProgress();
    return acquire(float(PlotWidthPerSecond / m_state.GatheringTime));
}

// Up to one second: the first tick of the timer ends it, Stop does not. What arrives
// meanwhile belongs to the first block.
void RecordingRun::waitForFirstTick()
{
    m_state.GatheringTime = 1;
    while (m_state.GatheringTime > 0) {
        m_link.receive();
        if (m_link.isLost())
            return;
        waitForNextLook();
    }
}

// Events are handled meanwhile: Stop, the tick and closing the window end the wait too.
void RecordingRun::waitForNextLook()
{
    const ReceivePace::Wait wait = m_link.nextLook();
    m_link.watchForDelivery(wait.untilDelivery);
    m_pump.waitAndPump(wait.milliseconds);
    m_link.watchForDelivery(false);
}

RecordingRun::Ending RecordingRun::acquire(float xStep)
{
    SampleBlock block;
    while (m_state.GatheringTime >= 1 && m_state.StopProcess) {
        // Events are handled only in the pump, so the two conditions above cannot
        // change while the blocks already received are taken.
        m_link.receive();
        const qint64 blocksBefore = m_blocksWritten;
        while (m_link.readBlock(block)) {
            QString problem;
            const QByteArrayView bytes(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
            if (!m_dataFile.writeBlock(m_blocksWritten, bytes, &problem)) {
                m_blocksTakenNotWritten = 1;
                return {RunProgress::Stage::WriteFailed, problem + QStringLiteral(" Запись остановлена.")};
            }
            drawBlock(m_blocksWritten, block, xStep);
            ++m_blocksWritten;
        }
        if (m_blocksWritten != blocksBefore && m_sinceProgressShown.hasExpired(BlockProgressIntervalMs))
            showProgress();
        if (m_link.isLost())
            return linkLost();
        waitForNextLook();
    }
    return {m_state.StopProcess ? RunProgress::Stage::Completed : RunProgress::Stage::Stopped, {}};
}

RecordingRun::Ending RecordingRun::commandNotSent(const QString &problem) const
{
    return {RunProgress::Stage::CommandFailed, problem + QStringLiteral(" Запись остановлена.")};
}

RecordingRun::Ending RecordingRun::linkLost() const
{
    return {RunProgress::Stage::LinkLost,
            QStringLiteral("Связь с прибором потеряна: устройство %1 отключено. Запись остановлена.")
                .arg(m_link.deviceName())};
}

bool RecordingRun::Ending::sendsStopCode() const
{
    return stage != RunProgress::Stage::LinkLost && stage != RunProgress::Stage::CommandFailed;
}

void RecordingRun::drawBlock(qint64 blockIndex, const SampleBlock &block, float xStep)
{
    const qint64 first = blockIndex * qint64(block.size());
    const auto x = [xStep](qint64 sample) { return float(double(xStep) * double(sample)); };
    for (int k = 0; k < SegmentsPerBlock; ++k) {
        m_plot.drawSegment(x(first + k), block[k] + ValueOffset, x(first + k + 1), block[k + 1] + ValueOffset);
    }
}

void RecordingRun::windUp(const Ending &ending)
{
    RunProgress summary = progress(ending.stage);
    m_description.runEnded(describedAs(ending.stage), bytesReceived(), summary.bytesInBlock);
    m_acquiring = false;
    QString stopCodeProblem;
    if (ending.sendsStopCode() && !m_link.send(InstrumentLink::StopCode, &stopCodeProblem))
        stopCodeProblem += QStringLiteral(" Прибор, возможно, продолжает передачу.");
    QString closeProblem;
    const bool dataFileClosed = m_dataFile.close(&closeProblem);
    m_state.FileNameOld = m_state.FileNameNew;
    m_link.close();
    m_timer.setEnabled(false);
    QString snapshotProblem;
    const bool snapshotSaved = m_plot.saveSnapshot(m_state.FileNameNew, &snapshotProblem);
    QString problem;
    if (!ending.problem.isEmpty()) {
        problem = ending.problem
            + QStringLiteral(" В файле «%1» сохранены все блоки, принятые до этого (%2).")
                  .arg(m_state.FileNameNew, QString::number(m_blocksWritten));
    }
    m_description.finish(m_dataFile, dataFileClosed,
                         snapshotSaved ? SnapshotName::forDataFile(m_state.FileNameNew) : QString(),
                         {problem, closeProblem, stopCodeProblem});
    m_controls.setStartEnabled(true);
    m_controls.setSettingsEnabled(true);
    m_controls.setStopEnabled(false);
    summary.pictureSaved = snapshotSaved;
    summary.descriptionProblem = m_description.problem();
    m_controls.showProgress(summary);

    if (!problem.isEmpty())
        showError(problem);
    if (!dataFileClosed)
        showError(closeProblem);
    if (!stopCodeProblem.isEmpty())
        showError(stopCodeProblem);
    if (!snapshotSaved)
        showError(snapshotProblem);
}

void RecordingRun::describeStart(quint8 channelCode, qint32 seconds)
{
    RecordingDescription atStart;
    atStart.dataFileName = m_state.FileNameNew;
    atStart.channelNumber = channelCode + 1;
    atStart.channelCode = channelCode;
    atStart.portNumber = m_link.portNumber();
    atStart.deviceName = m_link.deviceName();
    atStart.lineRate = m_link.lineRate();
    atStart.requestedSeconds = seconds;
    m_description.begin(atStart);
}

qint64 RecordingRun::bytesReceived() const
{
    return m_link.bytesReceived() + m_link.bytesUnread();
}

RunProgress RecordingRun::progress(RunProgress::Stage stage) const
{
    RunProgress progress;
    progress.stage = stage;
    if (m_acquiring) {
        progress.secondsLeft = qMax(m_state.GatheringTime, 0);
        progress.secondsRecorded = m_seconds - qBound(0, m_state.GatheringTime, m_seconds);
    }
    progress.blocksWritten = m_blocksWritten;
    const qint64 waiting = m_link.bytesWaiting();
    progress.blocksNotWritten = m_blocksTakenNotWritten + waiting / SampleBlockBytes;
    progress.bytesInBlock = waiting % SampleBlockBytes;
    progress.instrumentSilent = stage == RunProgress::Stage::Recording
        && progress.secondsRecorded >= RunProgress::SilenceSeconds && m_link.bytesReceived() == 0;
    if (progress.instrumentSilent)
        progress.adapters = SerialAdapters::present();
    progress.portNumber = m_link.portNumber();
    progress.deviceName = m_link.deviceName();
    progress.dataFileName = m_state.FileNameNew;
    return progress;
}

void RecordingRun::showProgress()
{
    m_controls.showProgress(progress(RunProgress::Stage::Recording));
    m_sinceProgressShown.start();
}

void RecordingRun::showError(const QString &text)
{
    m_messages.show({text, messageTitle(), MessageBoxes::Icon::Error, MessageBoxes::Buttons::Ok});
}
