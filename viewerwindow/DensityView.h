#pragma once

#include "viewer/PowerDensity.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class Recording;
class DensityCalculation;
class DensityPlot;

// The «Спектр» view: the power spectral density of a span of the recording, worked out in
// the background with its progress and a Cancel button, drawn against a linear or
// logarithmic frequency axis, with the highest peak and the point under the mouse read out.
// The operator may choose the segment length; the export of what is shown is the window's.
class DensityView : public QWidget
{
    Q_OBJECT

public:
    explicit DensityView(QWidget *parent = nullptr);

    // Works out the spectrum of samples [first, last) at the recording's rate, unless that is
    // what is shown or being worked out already. title names the span in words. The
    // recording must stay, unchanged, until the next call or forgetRecording().
    void showSpan(const Recording &recording, qint64 first, qint64 last, const QString &title);
    // The recording is about to change or go: the calculation stops and nothing shows.
    void forgetRecording();
    const std::optional<PowerDensity> &spectrum() const { return m_spectrum; }
    // A calculation is reading the recording on a thread of its own.
    bool isCalculating() const;

signals:
    void exportRequested();

private:
    void calculate();
    void cancel();
    void calculated(const PowerDensity &spectrum);
    void calculationFailed(const QString &message);
    void showCalculating(bool calculating);
    void showPointed(int bin);
    QString levelText(int bin) const;

    DensityCalculation *m_calculation;
    DensityPlot *m_plot;
    QComboBox *m_segment;
    QComboBox *m_scale;
    QPushButton *m_recalculate;
    QPushButton *m_export;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    QLabel *m_span;
    QLabel *m_peak;
    QLabel *m_pointer;
    QLabel *m_status;

    const Recording *m_recording = nullptr;
    qint64 m_first = 0;
    qint64 m_last = 0;
    double m_rate = 0;
    int m_segmentLength = 0;
    QString m_title;
    std::optional<PowerDensity> m_spectrum;
};
