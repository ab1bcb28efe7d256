#pragma once

#include <QWidget>

class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class Recording;

// The recording's description in words: channel, device, start, how the run ended, the
// recorded seconds, the measured rate and any problem, and how its data file fared against
// it. Without a description the rate is an assumption the operator may change here.
class DescriptionPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Integrity { Verified, Differs, Unchecked };

    explicit DescriptionPanel(QWidget *parent = nullptr);

    // recording may be null: nothing to describe. The integrity shows as being checked.
    void showFor(const Recording *recording);
    void showIntegrity(Integrity integrity, const QString &message);
    // The recorded amount again, after the rate it is reckoned at has changed.
    void showRecorded(const Recording *recording);

signals:
    void assumedRateChanged(double samplesPerSecond);

private:
    QLabel *addRow(const QString &title, const char *name);

    QFormLayout *m_form;
    QLabel *m_file;
    QLabel *m_channel;
    QLabel *m_device;
    QLabel *m_started;
    QLabel *m_ending;
    QLabel *m_recorded;
    QLabel *m_rate;
    QDoubleSpinBox *m_assumedRate;
    QLabel *m_problem;
    QLabel *m_integrity;
};
