#pragma once

#include "output/DataFile.h"
#include "recording/RecordingRun.h"
#include "recording/RecordingState.h"
#include "recording/RunControls.h"

#include <QWidget>

#include <array>

class GraphikBox;
class InstrumentLink;
class MessageBoxes;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SaveDialog;
class StatusLine;
class Timer;

// The program's one window: the channel, recording time and data file settings, the
// Start and Stop buttons and the plot. Closing it ends the program.
class DataGatheringSystem : public QWidget, public RunControls
{
    Q_OBJECT

public:
    DataGatheringSystem(MessageBoxes &messages, SaveDialog &saveDialog, QWidget *parent = nullptr);

    QString dialogFileName() const override;
    bool channelSelected(int number) const override;
    QString recordingTimeText() const override;
    void setSettingsEnabled(bool enabled) override;
    void setStartEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void showProgress(const RunProgress &progress) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void setTabOrder();
    void load();
    void selectFileToWrite();
    void showFileToWrite(const QString &fileName);

    SaveDialog &m_saveDialog;
    RecordingState m_state;
    DataFile m_dataFile;
    Timer *m_timer;
    InstrumentLink *m_comPort;
    GraphikBox *m_graphikBox;

    QGroupBox *m_selectChannelFrame;
    QLabel *m_selectChannelLabel;
    std::array<QRadioButton *, 8> m_channels;
    QGroupBox *m_setTimeFrame;
    QLabel *m_setTimeLabel;
    QLineEdit *m_setTimeBox;
    QGroupBox *m_fileToWriteFrame;
    QLabel *m_selectFileToWriteLabel;
    QLabel *m_fileToWriteLabel;
    QPushButton *m_selectFileToWriteButton;
    QGroupBox *m_startStopFrame;
    QPushButton *m_startButton;
    QPushButton *m_stopButton;
    StatusLine *m_statusLabel;

    RecordingRun m_run;
};
