#include "output/RecordingDescription.h"

#include "link/SampleBlock.h"
#include "output/SaveFailure.h"
#include "platform/DiskSync.h"
#include "platform/SystemErrorText.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

const char *endingName(RecordingDescription::Ending ending)
{
    switch (ending) {
    case RecordingDescription::Ending::Recording: return "recording";
    case RecordingDescription::Ending::Completed: return "completed";
    case RecordingDescription::Ending::Stopped: return "stopped";
    case RecordingDescription::Ending::LinkLost: return "link_lost";
    case RecordingDescription::Ending::WriteFailed: return "write_failed";
    case RecordingDescription::Ending::CommandFailed: return "command_failed";
    case RecordingDescription::Ending::WindowClosed: return "window_closed";
    }
    return "";
}

QString text(const QString &value)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            quoted += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20)
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

QString textOrNull(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("null") : text(value);
}

QString fileNameOrNull(const QString &path)
{
    return path.isEmpty() ? QStringLiteral("null") : text(QFileInfo(path).fileName());
}

// Local time with its offset from UTC, to the millisecond: 2026-12-08T14:03:58.563+03:00.
QString timeOrNull(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("null");
    const int offsetMinutes = time.offsetFromUtc() / 60;
    const QString offset = QString::asprintf("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', qAbs(offsetMinutes) / 60,
                                             qAbs(offsetMinutes) % 60);
    return text(time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + offset);
}

QString number(qint64 value)
{
    return QString::number(value);
}

QString notOnDisk(int errorNumber)
{
    return QStringLiteral("не удалось сохранить на диске (%1)").arg(SystemErrorText::forErrno(errorNumber));
}

} // namespace

QString RecordingDescription::pathFor(const QString &dataFileName)
{
    return dataFileName + QStringLiteral(".json");
}

QByteArray RecordingDescription::toJson() const
{
    const bool over = ending != Ending::Recording;
    const QString null = QStringLiteral("null");
    const auto ifOver = [over, &null](const QString &value) { return over ? value : null; };
    const QString samplesPerSecond = recordedSeconds > 0
        ? QString::number(double(bytesAfterChannelCode) / recordedSeconds, 'f', 1)
        : null;
    const QList<std::pair<const char *, QString>> keys{
        {"format", text(QStringLiteral("larventa-recording/1"))},
        {"program", text(QStringLiteral("larventa " LARVENTA_VERSION))},
        {"data_file", fileNameOrNull(dataFileName)},
        {"sample_format", text(QStringLiteral("uint8"))},
        {"block_bytes", number(SampleBlockBytes)},
        {"channel", number(channelNumber)},
        {"channel_code", number(channelCode)},
        {"port", number(portNumber)},
        {"device", text(deviceName)},
        {"line_rate", lineRate > 0 ? number(lineRate) : null},
        {"requested_seconds", number(requestedSeconds)},
        {"started", timeOrNull(started)},
        {"ended", ifOver(timeOrNull(ended))},
        {"recorded_seconds", ifOver(QString::number(recordedSeconds, 'f', 3))},
        {"ending", text(QString::fromLatin1(endingName(ending)))},
        {"blocks", ifOver(number(blocks))},
        {"bytes", ifOver(number(bytes))},
        {"partial_block_bytes", ifOver(number(partialBlockBytes))},
        {"samples_per_second", ifOver(samplesPerSecond)},
        {"sha256", ifOver(textOrNull(QString::fromLatin1(sha256)))},
        {"snapshot", ifOver(fileNameOrNull(snapshotFileName))},
        {"problem", textOrNull(problem)},
    };
    QStringList members;
    for (const auto &[key, value] : keys)
        members << QStringLiteral("  \"%1\": %2").arg(QLatin1String(key), value);
    return (QStringLiteral("{\n") + members.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n")).toUtf8();
}

bool RecordingDescription::write(QString *reason) const
{
    const QByteArray json = toJson();
    const QString path = pathFor(dataFileName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.flush()) {
        *reason = SaveFailure::reason(file);
        return false;
    }
    // QSaveFile's commit syncs too, but goes on when that fails.
    int error = DiskSync::file(file.handle());
    if (error != 0) {
        file.cancelWriting();
        *reason = notOnDisk(error);
        return false;
    }
    if (!file.commit()) {
        *reason = SaveFailure::reason(file);
        return false;
    }
    // The folder holds the new name only once it is synced too.
    error = DiskSync::folder(QFileInfo(path).absolutePath());
    if (error != 0) {
        *reason = notOnDisk(error);
        return false;
    }
    return true;
}
