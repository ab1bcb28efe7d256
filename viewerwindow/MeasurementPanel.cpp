#include "viewerwindow/MeasurementPanel.h"

#include "viewer/Recording.h"
#include "viewerwindow/TimeAxisMarks.h"
#include "viewerwindow/TraceView.h"

#include <QLabel>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace {

std::optional<int> valueAt(const Recording &recording, qint64 sample)
{
    quint8 value = 0;
    if (recording.copySamples(sample, 1, &value) != 1)
        return std::nullopt;
    return value;
}

// "12.3456 с · 14:03:07.345 · значение 128", to the sample.
QString cursorText(const Recording &recording, qint64 sample)
{
    const double rate = recording.samplesPerSecond();
    const double seconds = sample / rate;
    QStringList parts{TimeAxisMarks::sinceStart(seconds, 1 / rate)};
    if (recording.started().isValid())
        parts.append(TimeAxisMarks::clockTime(recording.started(), seconds, 1 / rate));
    const std::optional<int> value = valueAt(recording, sample);
    parts.append(QStringLiteral("значение %1").arg(value ? QString::number(*value) : QStringLiteral("—")));
    return parts.join(QStringLiteral(" · "));
}

QString differenceText(const Recording &recording, qint64 first, qint64 second)
{
    const double rate = recording.samplesPerSecond();
    const double seconds = (second - first) / rate;
    const QString time = QString::number(seconds, 'f', std::max(0, int(std::ceil(std::log10(rate)))));
    const QString frequency = seconds == 0 ? QStringLiteral("—")
                                           : QStringLiteral("%1 Гц").arg(QString::number(1 / std::fabs(seconds), 'g', 6));
    const std::optional<int> firstValue = valueAt(recording, first);
    const std::optional<int> secondValue = valueAt(recording, second);
    const QString values = firstValue && secondValue ? QString::number(*secondValue - *firstValue) : QStringLiteral("—");
    return QStringLiteral("Δt = %1 с (%2 отсч.) · ΔV = %3 · 1/Δt = %4")
        .arg(time)
        .arg(second - first)
        .arg(values, frequency);
}

QString statisticsText(const SpanStatistics &statistics)
{
    if (statistics.count == 0)
        return QStringLiteral("отсчётов нет");
    return QStringLiteral("отсчётов %1 · мин %2 · макс %3 · среднее %4 · СКЗ %5 · размах %6")
        .arg(statistics.count)
        .arg(statistics.min)
        .arg(statistics.max)
        .arg(QString::number(statistics.mean, 'f', 2), QString::number(statistics.rms, 'f', 2))
        .arg(statistics.peakToPeak());
}

} // namespace

MeasurementPanel::MeasurementPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MeasurementPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_firstCursor = addLine("FirstCursor");
    m_secondCursor = addLine("SecondCursor");
    m_difference = addLine("CursorDifference");
    m_statisticsTitle = addLine("StatisticsTitle");
    m_statistics = addLine("SpanStatistics");
    layout->addStretch(1);
    QFont bold = m_statisticsTitle->font();
    bold.setBold(true);
    m_statisticsTitle->setFont(bold);
}

QLabel *MeasurementPanel::addLine(const char *name)
{
    auto *label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout()->addWidget(label);
    return label;
}

void MeasurementPanel::showFor(const Recording *recording, const TraceView &view)
{
    const std::optional<qint64> first = view.cursor(0);
    const std::optional<qint64> second = view.cursor(1);
    if (!recording) {
        for (QLabel *label : {m_firstCursor, m_secondCursor, m_difference, m_statisticsTitle, m_statistics})
            label->clear();
        return;
    }
    m_firstCursor->setText(QStringLiteral("Курсор 1: %1").arg(first ? cursorText(*recording, *first)
                                                                      : QStringLiteral("щелчок по записи")));
    m_secondCursor->setText(QStringLiteral("Курсор 2: %1").arg(second ? cursorText(*recording, *second)
                                                                       : QStringLiteral("Shift+щелчок по записи")));
    if (first && second) {
        m_difference->setText(differenceText(*recording, *first, *second));
        m_statisticsTitle->setText(QStringLiteral("Между курсорами, оба отсчёта включительно"));
        m_statistics->setText(statisticsText(recording->statistics(std::min(*first, *second),
                                                                   std::max(*first, *second) + 1)));
        return;
    }
    m_difference->setText(QStringLiteral("Δt: нужны оба курсора"));
    m_statisticsTitle->setText(QStringLiteral("Видимый участок"));
    const ViewSpan &span = view.span();
    m_statistics->setText(statisticsText(recording->statistics(qint64(std::floor(span.firstSample())),
                                                               qint64(std::ceil(span.endSample())))));
}
