#include "viewer/DensityCommand.h"

#include "viewer/Recording.h"
#include "viewer/DensityExport.h"
#include "viewer/WelchEstimate.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

int refuse(const QString &message, int code)
{
    std::fprintf(stderr, "larventa-view: %s\n", message.toUtf8().constData());
    return code;
}

} // namespace

bool DensityCommand::isAskedFor(const QStringList &arguments)
{
    return arguments.size() >= 2 && arguments.at(0) == QLatin1String("--export")
        && arguments.at(1) == QLatin1String("spectrum");
}

int DensityCommand::run(const QStringList &arguments)
{
    const QString usage = QStringLiteral("так сохраняют спектр записи: larventa-view --export spectrum ДАННЫЕ ФАЙЛ "
                                         "[--from С] [--to С] [--segment ОТСЧЁТОВ]");
    if (!isAskedFor(arguments) || arguments.size() < 4)
        return refuse(usage, 2);
    std::optional<double> from;
    std::optional<double> to;
    std::optional<double> segment;
    for (qsizetype at = 4; at < arguments.size(); at += 2) {
        const QString &option = arguments.at(at);
        std::optional<double> *value = option == QLatin1String("--from") ? &from
            : option == QLatin1String("--to")                            ? &to
            : option == QLatin1String("--segment")                       ? &segment
                                                                         : nullptr;
        if (!value)
            return refuse(QStringLiteral("непонятный параметр «%1»; %2").arg(option, usage), 2);
        if (*value)
            return refuse(QStringLiteral("параметр %1 дан дважды; %2").arg(option, usage), 2);
        bool isNumber = false;
        const double number = arguments.value(at + 1).toDouble(&isNumber);
        if (!isNumber || !std::isfinite(number) || number < 0) {
            return refuse(QStringLiteral("после %1 нужно число %2, а не «%3»")
                              .arg(option,
                                   value == &segment ? QStringLiteral("отсчётов")
                                                     : QStringLiteral("секунд от начала записи, не меньше 0"),
                                   arguments.value(at + 1)),
                          2);
        }
        *value = number;
    }
    if (from && to && *from >= *to)
        return refuse(QStringLiteral("--from (%1 с) должно быть меньше --to (%2 с)").arg(*from).arg(*to), 2);
    if (segment && (*segment != std::floor(*segment) || *segment < WelchEstimate::ShortestSegment
                    || *segment > WelchEstimate::LongestSegment)) {
        return refuse(QStringLiteral("--segment — длина сегмента, целое число отсчётов от %1 до %2, а не %3")
                          .arg(WelchEstimate::ShortestSegment)
                          .arg(WelchEstimate::LongestSegment)
                          .arg(*segment),
                      2);
    }

    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(arguments.at(2), &error);
    if (!recording)
        return refuse(error, 1);
    const double rate = recording->samplesPerSecond();
    const qint64 first = from ? qint64(std::ceil(*from * rate)) : 0;
    const qint64 last = to ? qint64(std::floor(*to * rate)) + 1 : recording->sampleCount();
    if (first >= recording->sampleCount()) {
        return refuse(QStringLiteral("в записи «%1» нет отсчётов после %2 с: она длится %3 с")
                          .arg(recording->dataPath())
                          .arg(*from)
                          .arg(QString::number(recording->sampleCount() / rate, 'f', 3)),
                      1);
    }
    const std::optional<PowerDensity> spectrum =
        WelchEstimate::compute(*recording, {first, last, segment ? int(*segment) : 0, rate}, nullptr, nullptr, &error);
    if (!spectrum)
        return refuse(QStringLiteral("спектр записи «%1» не рассчитан. %2").arg(recording->dataPath(), error), 1);
    if (!DensityExport::write(*spectrum, arguments.at(3), &error))
        return refuse(error, 1);
    return 0;
}
