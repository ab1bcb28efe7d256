#include "recording/DescriptionKeeper.h"

#include "output/DataFile.h"

#include <QFile>

#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

namespace {

// A write that fails is tried again a few times, 10 ms apart, before its reason is taken:
// Windows refuses to replace a file for a moment while another program reads it without letting
// it be replaced (a viewer of another make, a virus scanner).
constexpr int WriteAttempts = 5;
constexpr std::chrono::milliseconds BetweenAttempts{10};

// On the writing thread: whatever goes wrong there comes back as a reason, never as an
// exception that would end the program where the result is taken.
QString written(const RecordingDescription &description)
{
    try {
        QString reason;
        for (int attempt = 1; attempt <= WriteAttempts; ++attempt) {
            if (description.write(&reason))
                return QString();
            if (attempt < WriteAttempts)
                std::this_thread::sleep_for(BetweenAttempts);
        }
        return reason;
    } catch (const std::exception &failure) {
        return QStringLiteral("сбой при записи (%1)").arg(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        return QStringLiteral("сбой при записи");
    }
}

} // namespace

DescriptionKeeper::~DescriptionKeeper()
{
    waitForBackground();
}

void DescriptionKeeper::begin(const RecordingDescription &atStart)
{
    waitForBackground();
    m_description = atStart;
    m_sinceChannelCode.invalidate();
    m_bytesBeforeChannelCode = 0;
    // Removed rather than left for the write below to replace, which may fail. A folder
    // of that name stays: it describes nothing.
    QFile::remove(RecordingDescription::pathFor(m_description.dataFileName));
    writeNow();
}

void DescriptionKeeper::channelCodeSent(qint64 bytesReceived)
{
    m_sinceChannelCode.start();
    m_bytesBeforeChannelCode = bytesReceived;
    m_description.started = QDateTime::currentDateTime();
    writeInBackground();
}

void DescriptionKeeper::runEnded(RecordingDescription::Ending ending, qint64 bytesReceived, qint64 partialBlockBytes)
{
    m_description.ending = ending;
    m_description.ended = QDateTime::currentDateTime();
    if (m_sinceChannelCode.isValid()) {
        m_description.recordedSeconds = double(m_sinceChannelCode.nsecsElapsed()) / 1e9;
        m_description.bytesAfterChannelCode = bytesReceived - m_bytesBeforeChannelCode;
    }
    m_description.partialBlockBytes = partialBlockBytes;
}

void DescriptionKeeper::finish(const DataFile &dataFile, bool dataFileClosed, const QString &snapshotFileName,
                               const QStringList &problems)
{
    using Ending = RecordingDescription::Ending;
    if (!dataFileClosed && (m_description.ending == Ending::Completed || m_description.ending == Ending::Stopped))
        m_description.ending = Ending::WriteFailed;
    m_description.bytes = dataFile.size();
    m_description.blocks = m_description.bytes / SampleBlockBytes;
    m_description.sha256 = dataFile.sha256();
    m_description.snapshotFileName = snapshotFileName;
    QStringList told = problems;
    told.removeAll(QString());
    m_description.problem = told.join(QLatin1Char(' '));
    writeNow();
}

QString DescriptionKeeper::problem() const
{
    return m_problem;
}

void DescriptionKeeper::writeNow()
{
    waitForBackground();
    m_problem = written(m_description);
}

void DescriptionKeeper::writeInBackground()
{
    waitForBackground();
    try {
        m_background = std::async(std::launch::async, [description = m_description] { return written(description); });
    } catch (const std::system_error &) {
        writeNow();
    }
}

void DescriptionKeeper::waitForBackground()
{
    if (m_background.valid())
        m_problem = m_background.get();
}
