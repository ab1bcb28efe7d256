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

#include <system_error>

namespace {

constexpr int ChannelCount = 8;
constexpr qint64 BlockBytes = qint64(std::tuple_size<SampleBlock>::value);
constexpr int SegmentsPerBlock = int(BlockBytes) - 1;
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
    if (recording)
        noteTheEnd(RecordingDescription::Ending::WindowClosed, m_link.bytesWaiting() % BlockBytes);
    m_dataFile.close();
    m_link.release();
    if (recording)
        describeTheEnd({}, {});
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
    describeChannelCodeSent();
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
    noteTheEnd(describedAs(ending.stage), summary.bytesInBlock);
    m_acquiring = false;
    QString stopCodeProblem;
    if (ending.sendsStopCode())
        m_link.send(InstrumentLink::StopCode, &stopCodeProblem);
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
    describeTheEnd(snapshotSaved ? SnapshotName::forDataFile(m_state.FileNameNew) : QString(), problem);
    m_controls.setStartEnabled(true);
    m_controls.setSettingsEnabled(true);
    m_controls.setStopEnabled(false);
    summary.pictureSaved = snapshotSaved;
    summary.descriptionProblem = m_descriptionProblem;
    m_controls.showProgress(summary);

    if (!problem.isEmpty())
        showError(problem);
    if (!dataFileClosed)
        showError(closeProblem);
    if (!stopCodeProblem.isEmpty())
        showError(stopCodeProblem + QStringLiteral(" Прибор, возможно, продолжает передачу."));
    if (!snapshotSaved)
        showError(snapshotProblem);
}

void RecordingRun::describeStart(quint8 channelCode, qint32 seconds)
{
    m_description = RecordingDescription();
    m_description.dataFileName = m_state.FileNameNew;
    m_description.channelNumber = channelCode + 1;
    m_description.channelCode = channelCode;
    m_description.portNumber = m_link.portNumber();
    m_description.deviceName = m_link.deviceName();
    m_description.lineRate = m_link.lineRate();
    m_description.requestedSeconds = seconds;
    writeDescription();
}

void RecordingRun::describeChannelCodeSent()
{
    m_sinceChannelCode.start();
    m_bytesBeforeChannelCode = m_link.bytesReceived() + m_link.bytesUnread();
    m_description.started = QDateTime::currentDateTime();
    writeDescriptionAside();
}

// As the run ends, before the wind-up takes its time: the instrument's rate counts
// what the system has received by then, also what the run has not taken in.
void RecordingRun::noteTheEnd(RecordingDescription::Ending ending, qint64 bytesInBlock)
{
    m_description.ending = ending;
    m_description.ended = QDateTime::currentDateTime();
    if (m_acquiring) {
        m_description.recordedSeconds = double(m_sinceChannelCode.nsecsElapsed()) / 1e9;
        m_description.bytesAfterChannelCode =
            m_link.bytesReceived() + m_link.bytesUnread() - m_bytesBeforeChannelCode;
    }
    m_description.partialBlockBytes = bytesInBlock;
}

// Once the data file is closed.
void RecordingRun::describeTheEnd(const QString &snapshotFileName, const QString &problem)
{
    m_description.bytes = m_dataFile.size();
    m_description.blocks = m_description.bytes / DataFile::BlockSize;
    m_description.sha256 = m_dataFile.sha256();
    m_description.snapshotFileName = snapshotFileName;
    m_description.problem = problem;
    writeDescription();
}

// A description that cannot be written leaves the recording alone; the summary says so.
void RecordingRun::writeDescription()
{
    if (m_descriptionAside.valid())
        m_descriptionAside.get();
    m_descriptionProblem.clear();
    m_description.write(&m_descriptionProblem);
}

// While blocks are due. The file system takes its time to make the description safe
// on disk: a few milliseconds here, more on a slow stick or a network share. Only the
// description written at the end has its problem told.
void RecordingRun::writeDescriptionAside()
{
    try {
        m_descriptionAside = std::async(std::launch::async, [description = m_description] {
            QString problem;
            description.write(&problem);
        });
    } catch (const std::system_error &) {
        writeDescription();
    }
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
    progress.blocksNotWritten = m_blocksTakenNotWritten + waiting / BlockBytes;
    progress.bytesInBlock = waiting % BlockBytes;
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
