#include "output/RecordingDescription.h"

#include "link/SampleBlock.h"
#include "output/JsonKeyReader.h"
#include "output/JsonMemberNames.h"
#include "output/SaveFailure.h"
#include "platform/DiskSync.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <cmath>
#include <limits>

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
    return QStringLiteral("не удалось сохранить на диске (%1)").arg(SystemErrorText::forSystemError(errorNumber));
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

std::optional<RecordingDescription> RecordingDescription::fromJson(const QByteArray &json, const QString &folder,
                                                                   QString *reason, double *samplesPerSecond)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *reason = QStringLiteral("это не JSON (%1, байт %2)").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *reason = QStringLiteral("это JSON, но не объект с ключами");
        return std::nullopt;
    }
    // QJsonObject keeps one of a key's two values: which one was meant cannot be told.
    const QString repeated = JsonMemberNames::firstRepeated(json);
    if (!repeated.isEmpty()) {
        *reason = QStringLiteral("ключ «%1» записан в нём дважды").arg(repeated);
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    JsonKeyReader keys(object);
    const QString format = keys.text("format");
    if (keys.failure().isEmpty() && format != QLatin1String("larventa-recording/1")) {
        *reason = QStringLiteral("это описание другого формата («%1»), а не larventa-recording/1").arg(format);
        return std::nullopt;
    }
    const QString sampleFormat = keys.text("sample_format");
    if (keys.failure().isEmpty() && sampleFormat != QLatin1String("uint8"))
        keys.fail("sample_format", QStringLiteral("«uint8»"));
    keys.text("program");
    keys.integer("block_bytes", 1, std::numeric_limits<int>::max());

    // The description names its files without their folder: a name with a folder in it, or one
    // that is a folder, names no file beside the description.
    const QDir dir(folder);
    const auto fileBeside = [&dir, &keys](const char *key) {
        const QString name = keys.text(key, true);
        if (name.isEmpty())
            return QString();
        if (name.contains(u'/') || name == QLatin1String(".") || name == QLatin1String("..")) {
            keys.fail(key, QStringLiteral("именем файла без папки"));
            return QString();
        }
        return dir.filePath(name);
    };
    RecordingDescription description;
    description.dataFileName = fileBeside("data_file");
    description.snapshotFileName = fileBeside("snapshot");
    description.channelNumber = int(keys.integer("channel", 1, 8));
    description.channelCode = quint8(keys.integer("channel_code", 0, 255));
    description.portNumber = int(keys.integer("port", 1, std::numeric_limits<int>::max()));
    description.deviceName = keys.text("device");
    description.lineRate = quint32(keys.integer("line_rate", 1, std::numeric_limits<quint32>::max(), true));
    description.requestedSeconds = qint32(keys.integer("requested_seconds", 0, std::numeric_limits<qint32>::max()));
    description.started = keys.time("started");
    description.ended = keys.time("ended");
    // To the millisecond, as the description keeps it.
    constexpr double Century = 100.0 * 366 * 24 * 3600;
    description.recordedSeconds = std::round(keys.real("recorded_seconds", Century) * 1000) / 1000;
    const QString ending = keys.text("ending");
    bool endingKnown = false;
    for (const Ending candidate : {Ending::Recording, Ending::Completed, Ending::Stopped, Ending::LinkLost,
                                   Ending::WriteFailed, Ending::CommandFailed, Ending::WindowClosed}) {
        if (ending == QLatin1String(endingName(candidate))) {
            description.ending = candidate;
            endingKnown = true;
        }
    }
    if (!endingKnown)
        keys.fail("ending", QStringLiteral("одним из recording, completed, stopped, link_lost, write_failed, "
                                           "command_failed, window_closed"));
    constexpr qint64 most = std::numeric_limits<qint64>::max() / 2;
    description.blocks = keys.integer("blocks", 0, most, true);
    description.bytes = keys.integer("bytes", 0, most, true);
    description.partialBlockBytes = keys.integer("partial_block_bytes", 0, most, true);
    const double rate = keys.real("samples_per_second", 1e9);
    description.bytesAfterChannelCode = qint64(std::llround(rate * description.recordedSeconds));
    const QString sha256 = keys.text("sha256", true);
    static const QRegularExpression hexadecimal(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!sha256.isEmpty() && !hexadecimal.match(sha256).hasMatch())
        keys.fail("sha256", QStringLiteral("строкой из 64 шестнадцатеричных цифр или null"));
    description.sha256 = sha256.toLatin1();
    description.problem = keys.text("problem", true);
    if (!keys.failure().isEmpty()) {
        *reason = keys.failure();
        return std::nullopt;
    }
    if (samplesPerSecond)
        *samplesPerSecond = rate;
    return description;
}
