#include "RecordingBeingMade.h"

#include "TestFiles.h"

#include "sim/SimulatedRecording.h"

#include <QFile>
#include <QFileInfo>

bool RecordingBeingMade::make(const QString &dataPath, double seconds, double samplesPerSecond, qint64 kept,
                              bool described, QString *error)
{
    m_dataPath = dataPath;
    if (!SimulatedRecording::write(dataPath, seconds, samplesPerSecond, error))
        return false;
    m_whole = TestFiles::read(dataPath);
    m_lastDescription = TestFiles::read(descriptionPath());
    m_recording = RecordingDescription::fromJson(m_lastDescription, QFileInfo(dataPath).path(), error);
    if (!m_recording)
        return false;
    m_recording->ending = RecordingDescription::Ending::Recording;
    m_recording->ended = QDateTime();
    m_recording->sha256.clear();
    if (described && !m_recording->write(error))
        return false;
    if (!described && !QFile::remove(descriptionPath())) {
        *error = QStringLiteral("could not remove %1").arg(descriptionPath());
        return false;
    }
    if (!QFile::resize(dataPath, kept)) {
        *error = QStringLiteral("could not cut %1 to %2 bytes").arg(dataPath).arg(kept);
        return false;
    }
    return true;
}

const QByteArray &RecordingBeingMade::whole() const
{
    return m_whole;
}

QString RecordingBeingMade::descriptionPath() const
{
    return RecordingDescription::pathFor(m_dataPath);
}

bool RecordingBeingMade::append(qint64 from, qint64 count) const
{
    const QByteArray bytes = m_whole.mid(from, count);
    QFile file(m_dataPath);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

bool RecordingBeingMade::end() const
{
    return TestFiles::write(descriptionPath(), m_lastDescription);
}

bool RecordingBeingMade::describeStartedLater(qint64 seconds, QString *error)
{
    m_recording->started = m_recording->started.addSecs(seconds);
    return m_recording->write(error);
}
