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
class QTimer;
class Recording;
class SpectrumView;
class TraceView;

// The viewer's window: one recording drawn whole or in part, its cursors and statistics,
// its description in words, its spectrum on demand, and the menu that opens, reads again
// and exports it. A data
// file or a description dropped on the window opens like one chosen from the menu.
class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    ViewerWindow(MessageBoxes &messages, FileChoice &files, QWidget *parent = nullptr);
    ~ViewerWindow() override;

    // path: a data file or its description. On failure says why in a message box and
    // keeps the recording shown before.
    bool openFile(const QString &path);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    enum class Extent { Whole, BetweenCursors };

    void createMenus();
    void chooseAndOpen();
    void reload();
    void exportTo(RecordingExport::Format format, Extent extent);
    void showRecording();
    void showNotices();
    void showMeasurements();
    // The span the statistics cover, to the spectrum if it is shown.
    void showSpectrum();
    void exportSpectrum();
    void forgetRecording();
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
    SpectrumView *m_spectrum;
    QDockWidget *m_spectrumDock;
    // Lets a run of zooms, scrolls and clicks settle before the spectrum follows them.
    QTimer *m_spectrumDelay;
    IntegrityCheck *m_integrityCheck;
    // Due from opening or reading again until the first frame is drawn, then running until
    // it reports; a report from a check of what was shown before is not awaited.
    enum class IntegrityState { None, Due, Running };
    IntegrityState m_integrityState = IntegrityState::None;
    QString m_integrityWarning;
    QAction *m_reloadAction = nullptr;
    QList<QAction *> m_wholeExports;
    QList<QAction *> m_spanExports;
};
