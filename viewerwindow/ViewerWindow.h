#pragma once

#include "viewer/RecordingExport.h"

#include <QMainWindow>

#include <memory>

class DescriptionPanel;
class FileChoice;
class IntegrityCheck;
class MeasurementPanel;
class MessageBoxes;
class QAction;
class QDockWidget;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class Recording;
class RecordingOpening;
class DensityView;
class TraceView;

// The viewer's window: one recording drawn whole or in part, its cursors and statistics,
// its description in words, its spectrum on demand, and the menu that opens, reads again
// and exports it. A data file or a description dropped on the window opens like one chosen
// from the menu.
class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    ViewerWindow(MessageBoxes &messages, FileChoice &files, QWidget *parent = nullptr);
    ~ViewerWindow() override;

    // path: a data file or its description. Opens it in the background, with progress and
    // a button to cancel; on failure says why in a message box and keeps the recording shown
    // before.
    void openFile(const QString &path);
    // The same for a file something is still writing, with or without a description: it is
    // followed as it grows until the window closes.
    void followFile(const QString &path);

signals:
    // A recording opened or read again is on the screen.
    void recordingShown();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    enum class Extent { Whole, BetweenCursors };
    enum class Opening { Open, ReadAgain, MadeAfresh };

    void createMenus();
    void chooseAndOpen();
    void reload();
    void startOpening(const QString &path, Opening purpose, bool followAlways);
    void takeInGrowth();
    void showGrowth();
    void openingProgressed(qint64 done, qint64 total);
    void openingFinished(bool opened, const QString &message);
    void hideOpening();
    void exportTo(RecordingExport::Format format, Extent extent);
    void showRecording();
    void showNotices();
    void showMeasurements();
    // Whole seconds of the recording shown at its rate; -1 without one.
    qint64 recordedSeconds() const;
    // The spectrum, if it is shown, follows the span or the cursors a moment later.
    void spectrumDue();
    // The span the statistics cover, to the spectrum if it is shown.
    void showSpectrum();
    void exportSpectrum();
    void startIntegrityCheckOnce();
    void integrityChecked(bool verified, const QString &message);
    void showError(const QString &title, const QString &text);

    MessageBoxes &m_messages;
    FileChoice &m_files;
    std::unique_ptr<Recording> m_recording;
    TraceView *m_view;
    MeasurementPanel *m_measurements;
    DescriptionPanel *m_description;
    QLabel *m_notices;
    DensityView *m_spectrum;
    QDockWidget *m_spectrumDock;
    // Gathers a run of zooms, scrolls, clicks or growths before the spectrum follows them.
    QTimer *m_spectrumDelay;
    IntegrityCheck *m_integrityCheck;
    RecordingOpening *m_opening;
    Opening m_openingPurpose = Opening::Open;
    // Told by followFile(): followed even without a description that says it is recording.
    bool m_followAlways = false;
    bool m_openingFollowsAlways = false;
    QTimer *m_followTimer;
    // The recording's whole seconds when the statistics were last redone.
    qint64 m_secondsMeasured = -1;
    QString m_madeAfreshNotice;
    bool m_retryingAfresh = false;
    QLabel *m_openingLabel;
    QProgressBar *m_openingProgress;
    QPushButton *m_cancelOpening;
    // Due from opening or reading again until the first frame is drawn, then running until
    // it reports; a report from a check of what was shown before is not awaited.
    enum class IntegrityState { None, Due, Running };
    IntegrityState m_integrityState = IntegrityState::None;
    QString m_integrityWarning;
    QAction *m_reloadAction = nullptr;
    QList<QAction *> m_wholeExports;
    QList<QAction *> m_spanExports;
};
