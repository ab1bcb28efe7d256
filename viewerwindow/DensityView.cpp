#include "viewerwindow/DensityView.h"

#include "viewer/Recording.h"
#include "viewer/DensityCalculation.h"
#include "viewer/WelchEstimate.h"
#include "viewerwindow/DensityPlot.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString number(qint64 value)
{
    return QLocale(QLocale::Russian).toString(value);
}

// Enough decimals to tell neighbouring bins apart.
QString hertzText(const PowerDensity &spectrum, double hertz)
{
    const int decimals = qBound(0, 2 - int(std::floor(std::log10(spectrum.binWidth()))), 6);
    return QString::number(hertz, 'f', decimals);
}

QString decibelText(double decibels)
{
    return QString::number(decibels, 'f', 1).replace(u'-', u'−');
}

QLabel *readout(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

DensityView::DensityView(QWidget *parent)
    : QWidget(parent)
    , m_calculation(new DensityCalculation(this))
    , m_plot(new DensityPlot(this))
    , m_segment(new QComboBox(this))
    , m_scale(new QComboBox(this))
    , m_recalculate(new QPushButton(QStringLiteral("Пересчитать"), this))
    , m_export(new QPushButton(QStringLiteral("Экспорт CSV…"), this))
    , m_progress(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Отмена"), this))
    , m_span(readout("SpectrumSpan", this))
    , m_peak(readout("SpectrumPeak", this))
    , m_pointer(readout("SpectrumPointer", this))
    , m_status(readout("SpectrumStatus", this))
{
    setObjectName(QStringLiteral("DensityView"));
    m_segment->setObjectName(QStringLiteral("SegmentLength"));
    m_segment->addItem(QStringLiteral("по участку"), 0);
    for (int length = WelchEstimate::ShortestSegment; length <= WelchEstimate::LongestSegment; length *= 2)
        m_segment->addItem(QString::number(length), length);
    m_scale->setObjectName(QStringLiteral("FrequencyScale"));
    m_scale->addItems({QStringLiteral("линейная"), QStringLiteral("логарифмическая")});
    m_export->setObjectName(QStringLiteral("DensityExport"));
    m_export->setEnabled(false);
    m_cancel->setObjectName(QStringLiteral("SpectrumCancel"));
    m_status->setWordWrap(true);
    m_status->setStyleSheet(QStringLiteral("color: #8a1c1c;"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Сегмент, отсчётов:"), this));
    controls->addWidget(m_segment);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Шкала частот:"), this));
    controls->addWidget(m_scale);
    controls->addSpacing(12);
    controls->addWidget(m_recalculate);
    controls->addWidget(m_export);
    controls->addStretch(1);
    controls->addWidget(m_progress);
    controls->addWidget(m_cancel);
    auto *readouts = new QHBoxLayout;
    readouts->addWidget(m_peak);
    readouts->addSpacing(24);
    readouts->addWidget(m_pointer, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_span);
    layout->addWidget(m_status);
    layout->addWidget(m_plot, 1);
    layout->addLayout(readouts);
    showCalculating(false);
    m_status->hide();

    connect(m_segment, &QComboBox::currentIndexChanged, this, &DensityView::calculate);
    connect(m_scale, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_plot->setLogarithmic(index == 1); });
    connect(m_recalculate, &QPushButton::clicked, this, &DensityView::calculate);
    connect(m_export, &QPushButton::clicked, this, &DensityView::exportRequested);
    connect(m_cancel, &QPushButton::clicked, this, &DensityView::cancel);
    connect(m_calculation, &DensityCalculation::progressed, m_progress, &QProgressBar::setValue);
    connect(m_calculation, &DensityCalculation::finished, this, &DensityView::calculated);
    connect(m_calculation, &DensityCalculation::failed, this, &DensityView::calculationFailed);
    connect(m_plot, &DensityPlot::pointed, this, &DensityView::showPointed);
}

void DensityView::showSpan(const Recording &recording, qint64 first, qint64 last, const QString &title)
{
    m_title = title;
    if (&recording == m_recording && first == m_first && last == m_last && recording.samplesPerSecond() == m_rate
        && m_segment->currentData().toInt() == m_segmentLength)
        return;
    m_recording = &recording;
    m_first = first;
    m_last = last;
    calculate();
}

void DensityView::forgetRecording()
{
    m_calculation->cancel();
    m_recording = nullptr;
    m_spectrum.reset();
    m_plot->setSpectrum(std::nullopt);
    showCalculating(false);
    m_export->setEnabled(false);
    for (QLabel *label : {m_span, m_peak, m_pointer, m_status})
        label->clear();
}

bool DensityView::isCalculating() const
{
    return m_calculation->isRunning();
}

void DensityView::calculate()
{
    if (!m_recording)
        return;
    m_rate = m_recording->samplesPerSecond();
    m_segmentLength = m_segment->currentData().toInt();
    m_calculation->start(*m_recording, {m_first, m_last, m_segmentLength, m_rate});
    m_span->setText(QStringLiteral("%1: %2–%3 с, %4 отсчётов; считается…")
                        .arg(m_title, QString::number(m_first / m_rate, 'f', 3),
                             QString::number(m_last / m_rate, 'f', 3), number(m_last - m_first)));
    m_status->hide();
    // What is shown until the new spectrum comes is no longer of the span named.
    m_export->setEnabled(false);
    showCalculating(true);
}

void DensityView::cancel()
{
    m_calculation->cancel();
    m_spectrum.reset();
    m_plot->setSpectrum(std::nullopt);
    m_export->setEnabled(false);
    showCalculating(false);
    m_peak->clear();
    m_status->setText(QStringLiteral("Расчёт спектра отменён. «Пересчитать» начнёт его снова."));
    m_status->show();
}

void DensityView::calculated(const PowerDensity &spectrum)
{
    m_spectrum = spectrum;
    m_plot->setSpectrum(spectrum);
    showCalculating(false);
    m_export->setEnabled(true);
    m_span->setText(QStringLiteral("%1: %2–%3 с, %4 отсчётов · сегмент %5 отсчётов, сегментов %6, "
                                   "шаг по частоте %7 Гц · %8 %9 отсч./с")
                        .arg(m_title, QString::number(spectrum.first / m_rate, 'f', 3),
                             QString::number(spectrum.last / m_rate, 'f', 3), number(spectrum.last - spectrum.first),
                             number(spectrum.segmentLength), number(spectrum.segmentCount),
                             hertzText(spectrum, spectrum.binWidth()),
                             m_recording->rateIsAssumed() ? QStringLiteral("при принятой частоте")
                                                          : QStringLiteral("при измеренной частоте"),
                             QString::number(m_rate, 'g', 8)));
    const int peak = spectrum.peakBin();
    m_peak->setText(QStringLiteral("Пик: %1").arg(levelText(peak)));
    showPointed(-1);
}

void DensityView::calculationFailed(const QString &message)
{
    m_spectrum.reset();
    m_plot->setSpectrum(std::nullopt);
    m_export->setEnabled(false);
    showCalculating(false);
    m_span->setText(QStringLiteral("%1: %2–%3 с, %4 отсчётов")
                        .arg(m_title, QString::number(m_first / m_rate, 'f', 3),
                             QString::number(m_last / m_rate, 'f', 3), number(m_last - m_first)));
    m_peak->clear();
    m_status->setText(message);
    m_status->show();
}

void DensityView::showCalculating(bool calculating)
{
    m_progress->setValue(0);
    m_progress->setVisible(calculating);
    m_cancel->setVisible(calculating);
}

void DensityView::showPointed(int bin)
{
    m_pointer->setText(m_spectrum && bin >= 0 ? QStringLiteral("Мышь: %1").arg(levelText(bin))
                                              : QStringLiteral("Мышь: наведите на спектр"));
}

// "55.973 Гц · 31.2 дБ"
QString DensityView::levelText(int bin) const
{
    return QStringLiteral("%1 Гц · %2 дБ")
        .arg(hertzText(*m_spectrum, m_spectrum->frequencyOf(bin)), decibelText(m_spectrum->decibelsAt(bin)));
}
