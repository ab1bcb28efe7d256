#include "window/StatusText.h"

#include "link/SampleBlock.h"
#include "link/SerialAdapters.h"
#include "output/RecordingDescription.h"
#include "output/SnapshotName.h"

#include <QFileInfo>

namespace {

using Part = StatusText::Part;

constexpr qint32 SecondsPerHour = 3600;

// Russian counts take one of three forms: 1 (21, 101 …), 2–4 (22 …) and the rest,
// with 11–14 among the rest. The same rule chooses a noun's and its verb's form.
const char *form(qint64 count, const char *one, const char *few, const char *many)
{
    const qint64 lastTwo = count % 100;
    const qint64 last = count % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return many;
    return last == 1 ? one : (last >= 2 && last <= 4) ? few : many;
}

QString counted(qint64 count, const char *one, const char *few, const char *many)
{
    return QStringLiteral("%1 %2").arg(QString::number(count), QString::fromUtf8(form(count, one, few, many)));
}

QString bytes(qint64 count)
{
    return counted(count, "байт", "байта", "байт");
}

// 100 с; past an hour, 2 ч 05 мин.
QString duration(qint32 seconds)
{
    if (seconds < SecondsPerHour)
        return QStringLiteral("%1 с").arg(seconds);
    return QStringLiteral("%1 ч %2 мин")
        .arg(QString::number(seconds / SecondsPerHour),
             QString::number(seconds % SecondsPerHour / 60).rightJustified(2, QLatin1Char('0')));
}

QString written(const RunProgress &progress)
{
    const qint64 blocks = progress.blocksWritten;
    return QStringLiteral("%1 %2 (%3)")
        .arg(QString::fromUtf8(form(blocks, "записан", "записаны", "записано")),
             counted(blocks, "блок", "блока", "блоков"), bytes(blocks * SampleBlockBytes));
}

QString adapterCount(qint64 count)
{
    return QStringLiteral("%1 %2").arg(QString::fromUtf8(form(count, "подключён", "подключены", "подключено")),
                                       counted(count, "адаптер", "адаптера", "адаптеров"));
}

QList<Part> duringRecording(const RunProgress &progress)
{
    if (!progress.instrumentSilent) {
        return {{Part::Essential, QStringLiteral("Осталось %1 · %2 · текущий блок: %3 из %4 байт")
                                      .arg(duration(progress.secondsLeft), written(progress),
                                           QString::number(progress.bytesInBlock), QString::number(SampleBlockBytes))}};
    }
    // The line is short of room here: the device, the adapter and the setting come
    // first, the time left is in the tool tip.
    QList<Part> parts{{Part::Essential, QStringLiteral("Прибор молчит %1 на ").arg(duration(progress.secondsRecorded))},
                      {Part::Path, progress.deviceName}};
    const QString setting = QStringLiteral("LARVENTA_PORT%1").arg(progress.portNumber);
    switch (progress.adapters.size()) {
    case 0:
        parts.append({Part::Essential,
                      QStringLiteral(" · адаптеров ttyUSB и ttyACM нет; другое устройство задаёт %1").arg(setting)});
        break;
    case 1:
        parts.append({Part::Essential, QStringLiteral(" · адаптер: %1=").arg(setting)});
        parts.append({Part::Path, progress.adapters.first()});
        break;
    default:
        parts.append({Part::Essential, QStringLiteral(" · %1 (в подсказке), выбор: %2=…")
                                           .arg(adapterCount(progress.adapters.size()), setting)});
        break;
    }
    return parts;
}

QList<Part> ending(const RunProgress &progress)
{
    const QString after = duration(progress.secondsRecorded);
    switch (progress.stage) {
    case RunProgress::Stage::Completed:
        return {{Part::Essential, QStringLiteral("Запись окончена за %1").arg(after)}};
    case RunProgress::Stage::Stopped:
        return {{Part::Essential, QStringLiteral("Запись остановлена кнопкой «стоп» через %1").arg(after)}};
    case RunProgress::Stage::LinkLost:
        return {{Part::Essential, QStringLiteral("Связь с прибором (")},
                {Part::Path, progress.deviceName},
                {Part::Essential, QStringLiteral(") потеряна через %1").arg(after)}};
    case RunProgress::Stage::CommandFailed:
        return {{Part::Essential, QStringLiteral("Прибор (")},
                {Part::Path, progress.deviceName},
                {Part::Essential, QStringLiteral(") не принял команду, запись прервана через %1").arg(after)}};
    case RunProgress::Stage::WriteFailed:
        return {{Part::Essential, QStringLiteral("Файл данных не дописан, запись прервана через %1").arg(after)}};
    case RunProgress::Stage::Recording:
        break;
    }
    return {};
}

QString notWritten(const RunProgress &progress)
{
    const qint64 blocks = progress.blocksNotWritten;
    const QString partial = QStringLiteral("неполный блок (%1)").arg(bytes(progress.bytesInBlock));
    if (blocks == 0)
        return progress.bytesInBlock > 0 ? QStringLiteral(", %1 не записан").arg(partial) : QString();
    const QString received = counted(blocks, "принятый блок", "принятых блока", "принятых блоков");
    if (progress.bytesInBlock > 0)
        return QStringLiteral("; не записаны %1 и %2").arg(received, partial);
    return QStringLiteral("; не %1 %2").arg(QString::fromUtf8(form(blocks, "записан", "записаны", "записано")), received);
}

QList<Part> summary(const RunProgress &progress)
{
    QList<Part> parts = ending(progress);
    parts.append({Part::Essential, QStringLiteral(": ") + written(progress)});
    const QString left = notWritten(progress);
    if (!left.isEmpty())
        parts.append({Part::Detail, left});
    if (progress.pictureSaved) {
        // Beside the data file, whose folder the window shows above.
        parts.append({Part::Essential, QStringLiteral(". Рисунок: ")});
        parts.append({Part::Path, QFileInfo(SnapshotName::forDataFile(progress.dataFileName)).fileName()});
    } else {
        parts.append({Part::Essential, QStringLiteral(". Рисунок не сохранён.")});
    }
    return parts;
}

QString joined(const QList<Part> &parts)
{
    QString text;
    for (const Part &part : parts)
        text += part.text;
    return text;
}

} // namespace

StatusText::Line StatusText::describe(const RunProgress &progress)
{
    Line line;
    line.parts = progress.stage == RunProgress::Stage::Recording ? duringRecording(progress) : summary(progress);
    line.toolTip = joined(line.parts);
    if (progress.instrumentSilent) {
        line.toolTip = QStringLiteral("Осталось %1. Прибор молчит: с %2 за %3 не пришло ни байта. %4")
                           .arg(duration(progress.secondsLeft), progress.deviceName, duration(progress.secondsRecorded),
                                SerialAdapters::choiceHint(progress.adapters, progress.portNumber));
    } else if (progress.stage != RunProgress::Stage::Recording && progress.pictureSaved) {
        line.toolTip = joined(line.parts.mid(0, line.parts.size() - 1))
            + SnapshotName::forDataFile(progress.dataFileName);
    }
    if (progress.stage != RunProgress::Stage::Recording && !progress.descriptionProblem.isEmpty()) {
        const QString after = progress.pictureSaved ? QStringLiteral(". ") : QStringLiteral(" ");
        line.parts.append({Part::Essential, after + QStringLiteral("Описание не сохранено")});
        line.parts.append({Part::Detail, QStringLiteral(": ") + progress.descriptionProblem});
        line.toolTip += QStringLiteral("%1Описание «%2» не сохранено: %3.")
                            .arg(after, RecordingDescription::pathFor(progress.dataFileName),
                                 progress.descriptionProblem);
    }
    return line;
}
