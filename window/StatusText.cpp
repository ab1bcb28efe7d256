#include "window/StatusText.h"

#include "link/SampleBlock.h"
#include "link/SerialAdapters.h"
#include "output/SnapshotName.h"

namespace {

constexpr qint64 BlockSize = qint64(std::tuple_size<SampleBlock>::value);

// 1 блок, 2 блока, 5 блоков.
QString counted(qint64 count, const char *one, const char *few, const char *many)
{
    const qint64 lastTwo = count % 100;
    const qint64 last = count % 10;
    const char *word = (lastTwo >= 11 && lastTwo <= 14) ? many : last == 1 ? one : (last >= 2 && last <= 4) ? few : many;
    return QStringLiteral("%1 %2").arg(QString::number(count), QString::fromUtf8(word));
}

QString written(const RunProgress &progress)
{
    return QStringLiteral("записано %1 (%2)")
        .arg(counted(progress.blocksWritten, "блок", "блока", "блоков"),
             counted(progress.blocksWritten * BlockSize, "байт", "байта", "байт"));
}

QString duringRecording(const RunProgress &progress)
{
    const QString left = QStringLiteral("Осталось %1 с").arg(progress.secondsLeft);
    if (progress.instrumentSilent) {
        return QStringLiteral("%1 · прибор молчит: с %2 не пришло ни байта за %3 с. %4")
            .arg(left, progress.deviceName, QString::number(progress.secondsRecorded),
                 SerialAdapters::choiceHint(SerialAdapters::present(), progress.portNumber));
    }
    return QStringLiteral("%1 · %2 · текущий блок: %3 из %4 байт")
        .arg(left, written(progress), QString::number(progress.bytesInBlock), QString::number(BlockSize));
}

QString ending(const RunProgress &progress)
{
    const QString after = QString::number(progress.secondsRecorded);
    switch (progress.stage) {
    case RunProgress::Stage::Completed:
        return QStringLiteral("Запись окончена за %1 с").arg(after);
    case RunProgress::Stage::Stopped:
        return QStringLiteral("Запись остановлена кнопкой «стоп» через %1 с").arg(after);
    case RunProgress::Stage::LinkLost:
        return QStringLiteral("Связь с прибором (%1) потеряна через %2 с").arg(progress.deviceName, after);
    case RunProgress::Stage::CommandFailed:
        return QStringLiteral("Прибор (%1) не принял команду, запись прервана через %2 с")
            .arg(progress.deviceName, after);
    case RunProgress::Stage::WriteFailed:
        return QStringLiteral("Файл данных не удалось дописать, запись прервана через %1 с").arg(after);
    case RunProgress::Stage::Recording:
        break;
    }
    return {};
}

QString summary(const RunProgress &progress)
{
    QString text = QStringLiteral("%1: %2").arg(ending(progress), written(progress));
    if (progress.bytesInBlock > 0) {
        text += QStringLiteral(", неполный блок (%1) не записан")
                    .arg(counted(progress.bytesInBlock, "байт", "байта", "байт"));
    }
    if (progress.pictureSaved)
        return QStringLiteral("%1. Рисунок: %2").arg(text, SnapshotName::forDataFile(progress.dataFileName));
    return QStringLiteral("%1. Рисунок не сохранён.").arg(text);
}

} // namespace

QString StatusText::describe(const RunProgress &progress)
{
    return progress.stage == RunProgress::Stage::Recording ? duringRecording(progress) : summary(progress);
}
