#include "viewerwindow/ViewerWindow.h"

#include "platform/MessageBoxes.h"
#include "viewer/IntegrityCheck.h"
#include "viewer/Recording.h"
#include "viewer/RecordingOpening.h"
#include "viewer/DensityExport.h"
#include "viewerwindow/DescriptionPanel.h"
#include "viewerwindow/FileChoice.h"
#include "viewerwindow/MeasurementPanel.h"
#include "viewerwindow/DensityView.h"
#include "viewerwindow/TraceView.h"

#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

const QString ProgramTitle = QStringLiteral("Ларвента: просмотр записей");
constexpr int MessageShownMs = 15000;
// How often the recording shown is looked at: a block the recorder writes is on the screen
// within this and a frame, and a recording made afresh in its place is noticed.
constexpr int FollowIntervalMs = 200;
constexpr int SpectrumDelayMs = 300;

struct ExportFormat
{
    RecordingExport::Format format;
    const char *menuText;
    const char *filters;
    const char *suffix;
};

const std::array<ExportFormat, 3> ExportFormats{{
    {RecordingExport::Format::Wav, "WAV…", "Звук WAV, 8 бит (*.wav)", "wav"},
    {RecordingExport::Format::Edf, "EDF+…", "EDF+ (*.edf)", "edf"},
    {RecordingExport::Format::Csv, "CSV…", "Таблица CSV (*.csv)", "csv"},
}};

// The one local file a drag carries, or empty.
QString droppedFile(const QMimeData *data)
{
    if (!data->hasUrls() || data->urls().size() != 1 || !data->urls().constFirst().isLocalFile())
        return QString();
    return data->urls().constFirst().toLocalFile();
}

} // namespace

ViewerWindow::ViewerWindow(MessageBoxes &messages, FileChoice &files, QWidget *parent)
    : QMainWindow(parent)
    , m_messages(messages)
    , m_files(files)
    , m_view(new TraceView(this))
    , m_measurements(new MeasurementPanel(this))
    , m_description(new DescriptionPanel(this))
    , m_notices(new QLabel(this))
    , m_spectrum(new DensityView(this))
    , m_spectrumDock(new QDockWidget(QStringLiteral("Спектр"), this))
    , m_spectrumDelay(new QTimer(this))
    , m_integrityCheck(new IntegrityCheck(this))
    , m_opening(new RecordingOpening(this))
    , m_followTimer(new QTimer(this))
    , m_openingLabel(new QLabel(this))
    , m_openingProgress(new QProgressBar(this))
    , m_cancelOpening(new QPushButton(QStringLiteral("Отменить"), this))
{
    setObjectName(QStringLiteral("ViewerWindow"));
    m_messages.setParentWidget(this);
    m_files.setParentWidget(this);
    setWindowTitle(ProgramTitle);
    setAcceptDrops(true);

    m_notices->setObjectName(QStringLiteral("Notices"));
    m_notices->setTextFormat(Qt::PlainText);
    m_notices->setWordWrap(true);
    m_notices->setStyleSheet(QStringLiteral("background: #fff3cd; color: #5c3c00; padding: 6px;"));
    m_notices->hide();

    auto *measurementsBox = new QGroupBox(QStringLiteral("Курсоры и статистика"), this);
    (new QVBoxLayout(measurementsBox))->addWidget(m_measurements);
    auto *descriptionBox = new QGroupBox(QStringLiteral("Описание записи"), this);
    (new QVBoxLayout(descriptionBox))->addWidget(m_description);
    auto *panels = new QHBoxLayout;
    panels->addWidget(measurementsBox, 3);
    panels->addWidget(descriptionBox, 2);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_notices);
    layout->addWidget(m_view, 1);
    layout->addLayout(panels);
    setCentralWidget(central);
    m_spectrumDock->setObjectName(QStringLiteral("SpectrumDock"));
    m_spectrumDock->setWidget(m_spectrum);
    addDockWidget(Qt::BottomDockWidgetArea, m_spectrumDock);
    m_spectrumDock->hide();
    m_spectrumDelay->setSingleShot(true);
    m_spectrumDelay->setInterval(SpectrumDelayMs);
    createMenus();
    // A message of the moment covers the help for a while, then the help returns.
    statusBar()->addWidget(new QLabel(QStringLiteral("Колесо — масштаб, Shift+колесо или перетаскивание — сдвиг, "
                                                     "щелчок — курсор 1, Shift+щелчок — курсор 2, F — вся запись"),
                                      statusBar()));
    m_openingProgress->setObjectName(QStringLiteral("OpeningProgress"));
    m_openingProgress->setRange(0, 1000);
    m_openingProgress->setMaximumWidth(200);
    m_cancelOpening->setObjectName(QStringLiteral("CancelOpening"));
    statusBar()->addPermanentWidget(m_openingLabel);
    statusBar()->addPermanentWidget(m_openingProgress);
    statusBar()->addPermanentWidget(m_cancelOpening);
    hideOpening();
    connect(m_cancelOpening, &QPushButton::clicked, m_opening, &RecordingOpening::cancel);
    connect(m_opening, &RecordingOpening::progressed, this, &ViewerWindow::openingProgressed);
    connect(m_opening, &RecordingOpening::finished, this, &ViewerWindow::openingFinished);
    connect(m_opening, &RecordingOpening::cancelled, this, [this] {
        hideOpening();
        statusBar()->showMessage(QStringLiteral("Открытие отменено."), MessageShownMs);
    });
    m_followTimer->setInterval(FollowIntervalMs);
    connect(m_followTimer, &QTimer::timeout, this, &ViewerWindow::takeInGrowth);
    resize(1100, 720);

    connect(m_view, &TraceView::spanChanged, this, &ViewerWindow::showMeasurements);
    connect(m_view, &TraceView::cursorsChanged, this, &ViewerWindow::showMeasurements);
    connect(m_view, &TraceView::spanChanged, this, &ViewerWindow::spectrumDue);
    connect(m_view, &TraceView::cursorsChanged, this, &ViewerWindow::spectrumDue);
    connect(m_spectrumDelay, &QTimer::timeout, this, &ViewerWindow::showSpectrum);
    connect(m_spectrumDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            showSpectrum();
    });
    connect(m_spectrum, &DensityView::exportRequested, this, &ViewerWindow::exportSpectrum);
    connect(m_view, &TraceView::cursorsChanged, this, [this] {
        const bool both = m_view->cursor(0) && m_view->cursor(1);
        for (QAction *action : m_spanExports)
            action->setEnabled(both);
    });
    // The hash of a large file takes a while: it starts once the recording is on the screen.
    connect(m_view, &TraceView::drawn, this, &ViewerWindow::startIntegrityCheckOnce, Qt::QueuedConnection);
    connect(m_integrityCheck, &IntegrityCheck::finished, this, &ViewerWindow::integrityChecked);
    connect(m_description, &DescriptionPanel::assumedRateChanged, this, [this](double rate) {
        if (!m_recording)
            return;
        m_recording->setAssumedRate(rate);
        m_description->showRecorded(m_recording.get());
        m_view->recordingChanged();
        showSpectrum();
    });
    showRecording();
    m_view->setFocus();
}

// The recording goes before the child widgets, and with it the spectrum's calculation.
ViewerWindow::~ViewerWindow()
{
    m_spectrum->forgetRecording();
}

void ViewerWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("&Файл"));
    QAction *open = fileMenu->addAction(QStringLiteral("&Открыть…"), this, &ViewerWindow::chooseAndOpen);
    open->setShortcut(QKeySequence::Open);
    m_reloadAction = fileMenu->addAction(QStringLiteral("Прочитать &снова"), this, &ViewerWindow::reload);
    m_reloadAction->setShortcut(Qt::Key_F5);
    fileMenu->addSeparator();
    QMenu *wholeMenu = fileMenu->addMenu(QStringLiteral("&Экспорт всей записи"));
    QMenu *spanMenu = fileMenu->addMenu(QStringLiteral("Экспорт &между курсорами"));
    for (const ExportFormat &format : ExportFormats) {
        const RecordingExport::Format chosen = format.format;
        m_wholeExports.append(wholeMenu->addAction(QString::fromUtf8(format.menuText), this,
                                                   [this, chosen] { exportTo(chosen, Extent::Whole); }));
        m_spanExports.append(spanMenu->addAction(QString::fromUtf8(format.menuText), this,
                                                 [this, chosen] { exportTo(chosen, Extent::BetweenCursors); }));
    }
    fileMenu->addSeparator();
    QAction *quit = fileMenu->addAction(QStringLiteral("В&ыход"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu *viewMenu = menuBar()->addMenu(QStringLiteral("&Вид"));
    QAction *spectrum = m_spectrumDock->toggleViewAction();
    spectrum->setText(QStringLiteral("&Спектр"));
    spectrum->setShortcut(Qt::CTRL | Qt::Key_P);
    viewMenu->addAction(spectrum);
}

void ViewerWindow::openFile(const QString &path)
{
    startOpening(path, Opening::Open, false);
}

void ViewerWindow::followFile(const QString &path)
{
    startOpening(path, Opening::Open, true);
}

void ViewerWindow::chooseAndOpen()
{
    const QString path = m_files.fileToOpen(QStringLiteral("Открыть запись"),
                                            QStringLiteral("Записи: данные и описания (*.bin *.json);;"
                                                           "Описания записей (*.json);;Все файлы (*)"));
    if (!path.isEmpty())
        openFile(path);
}

void ViewerWindow::reload()
{
    if (m_recording)
        startOpening(m_recording->openedPath(), Opening::ReadAgain, m_followAlways);
}

void ViewerWindow::startOpening(const QString &path, Opening purpose, bool followAlways)
{
    m_openingPurpose = purpose;
    m_openingFollowsAlways = followAlways;
    m_opening->start(path, followAlways ? Recording::Following::Always : Recording::Following::WhileRecording);
    m_openingLabel->setText((purpose == Opening::Open ? QStringLiteral("Открывается «%1»…")
                                                      : QStringLiteral("Читается снова «%1»…"))
                                .arg(QFileInfo(path).fileName()));
    m_openingProgress->setValue(0);
    // A recording made afresh is small when it is noticed, and may be tried again at each look.
    if (purpose == Opening::MadeAfresh)
        return;
    for (QWidget *widget : std::initializer_list<QWidget *>{m_openingLabel, m_openingProgress, m_cancelOpening})
        widget->show();
}

void ViewerWindow::openingProgressed(qint64 done, qint64 total)
{
    m_openingProgress->setValue(total > 0 ? int(done * 1000 / total) : 0);
}

void ViewerWindow::openingFinished(bool opened, const QString &message)
{
    hideOpening();
    if (!opened && m_openingPurpose == Opening::MadeAfresh) {
        // The recorder may not have written the new recording's first bytes or description
        // yet: tried again at the next look, without a message box each time.
        m_madeAfreshNotice = QStringLiteral("Файл «%1» записывается заново: новая запись появится, как только "
                                            "её можно будет прочитать (%2)")
                                 .arg(m_recording->dataPath(), message);
        m_retryingAfresh = true;
        showNotices();
        return;
    }
    if (!opened) {
        showError(m_openingPurpose == Opening::Open ? QStringLiteral("Запись не открыта")
                                                    : QStringLiteral("Запись не прочитана снова"),
                  message);
        return;
    }
    // Nothing may read the earlier recording on another thread once it goes.
    m_spectrum->forgetRecording();
    std::unique_ptr<Recording> earlier = std::move(m_recording);
    m_recording = m_opening->take();
    m_followAlways = m_openingFollowsAlways;
    m_retryingAfresh = false;
    m_madeAfreshNotice.clear();
    if (m_openingPurpose == Opening::MadeAfresh) {
        m_madeAfreshNotice = QStringLiteral("Файл «%1» записан заново: показана новая запись, прежней в нём больше нет.")
                                 .arg(m_recording->dataPath());
    }
    if (m_openingPurpose == Opening::ReadAgain && earlier) {
        m_recording->keepAssumedRateOf(*earlier);
        m_view->replaceRecording(m_recording.get());
        m_description->showFor(m_recording.get());
        m_integrityWarning.clear();
        m_integrityState = IntegrityState::Due;
        showNotices();
    } else {
        m_view->setRecording(nullptr);
        showRecording();
    }
    m_followTimer->start();
    showSpectrum();
    emit recordingShown();
}

// The spectrum's calculation reads the recording on a thread of its own, and taking in growth
// changes what it reads: the growth waits for a later look.
void ViewerWindow::takeInGrowth()
{
    if (!m_recording || m_opening->isRunning() || m_spectrum->isCalculating())
        return;
    if (m_retryingAfresh) {
        startOpening(m_recording->openedPath(), Opening::MadeAfresh, m_followAlways);
        return;
    }
    switch (m_recording->takeInGrowth()) {
    case Recording::Growth::Unchanged:
        return;
    case Recording::Growth::Grew:
        showGrowth();
        return;
    case Recording::Growth::Ended:
        m_view->recordingGrew();
        m_description->showFor(m_recording.get());
        m_integrityWarning.clear();
        m_integrityState = IntegrityState::Due;
        showNotices();
        statusBar()->showMessage(QStringLiteral("Запись закончена: описание прочитано, файл данных проверяется."),
                                 MessageShownMs);
        return;
    case Recording::Growth::StartedOver:
        startOpening(m_recording->openedPath(), Opening::MadeAfresh, m_followAlways);
        return;
    }
}

// A recording followed grows five times a second, and each change of the statistics' text redoes
// the window's layout: they follow the growth once a second, with the notice that counts the
// seconds. What the operator does shows at once.
void ViewerWindow::showGrowth()
{
    {
        const QSignalBlocker quiet(m_view);
        m_view->recordingGrew();
    }
    spectrumDue();
    if (recordedSeconds() != m_secondsMeasured)
        showMeasurements();
    showNotices();
}

void ViewerWindow::hideOpening()
{
    for (QWidget *widget : std::initializer_list<QWidget *>{m_openingLabel, m_openingProgress, m_cancelOpening})
        widget->hide();
}

void ViewerWindow::exportTo(RecordingExport::Format format, Extent extent)
{
    if (!m_recording)
        return;
    qint64 first = 0;
    qint64 last = m_recording->sampleCount();
    if (extent == Extent::BetweenCursors) {
        if (!m_view->cursor(0) || !m_view->cursor(1))
            return;
        first = std::min(*m_view->cursor(0), *m_view->cursor(1));
        last = std::max(*m_view->cursor(0), *m_view->cursor(1)) + 1;
    }
    const auto chosen = std::find_if(ExportFormats.begin(), ExportFormats.end(),
                                     [format](const ExportFormat &entry) { return entry.format == format; });
    const QFileInfo data(m_recording->dataPath());
    const QString suggested = data.dir().filePath(data.completeBaseName() + QLatin1Char('.') +
                                                  QLatin1String(chosen->suffix));
    const QString title = extent == Extent::Whole ? QStringLiteral("Экспорт всей записи")
                                                  : QStringLiteral("Экспорт между курсорами");
    const QString path = m_files.fileToSave(title, QString::fromUtf8(chosen->filters), suggested);
    if (path.isEmpty())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool written = RecordingExport::write(*m_recording, first, last, format, path, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!written) {
        showError(QStringLiteral("Экспорт не выполнен"), error);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Записано %1 отсчётов в %2").arg(last - first).arg(path), MessageShownMs);
}

void ViewerWindow::showRecording()
{
    const Recording *recording = m_recording.get();
    setWindowTitle(recording ? QStringLiteral("%1 — %2").arg(QFileInfo(recording->dataPath()).fileName(), ProgramTitle)
                             : ProgramTitle);
    m_reloadAction->setEnabled(recording);
    for (QAction *action : m_wholeExports)
        action->setEnabled(recording);
    m_description->showFor(recording);
    m_integrityWarning.clear();
    m_integrityState = recording ? IntegrityState::Due : IntegrityState::None;
    m_view->setRecording(recording);
    showNotices();
}

void ViewerWindow::showNotices()
{
    QStringList notices;
    if (!m_madeAfreshNotice.isEmpty())
        notices.append(m_madeAfreshNotice);
    if (m_recording && m_recording->isFollowed()) {
        // Whole seconds: the notice, and with it the window's layout, changes once a second.
        notices.append(QStringLiteral("Идёт запись: %1 с. Новые отсчёты появляются по мере записи; "
                                      "End — к концу записи.")
                           .arg(recordedSeconds()));
    } else if (m_recording && m_recording->stillRecording()) {
        notices.append(QStringLiteral("Запись ещё шла: показано то, что файл содержал при открытии. "
                                      "F5 — прочитать файл снова."));
    }
    if (m_recording)
        notices.append(m_recording->warnings());
    if (!m_integrityWarning.isEmpty())
        notices.append(m_integrityWarning);
    const QString text = notices.join(QLatin1Char('\n'));
    if (text != m_notices->text())
        m_notices->setText(text);
    m_notices->setVisible(!notices.isEmpty());
}

void ViewerWindow::showMeasurements()
{
    m_secondsMeasured = recordedSeconds();
    m_measurements->showFor(m_recording.get(), *m_view);
}

qint64 ViewerWindow::recordedSeconds() const
{
    return m_recording ? qint64(m_recording->sampleCount() / m_recording->samplesPerSecond()) : -1;
}

// Not restarted by each change, so that a recording followed as it grows still gets its
// spectrum between growths.
void ViewerWindow::spectrumDue()
{
    if (m_spectrumDock->isVisible() && !m_spectrumDelay->isActive())
        m_spectrumDelay->start();
}

void ViewerWindow::showSpectrum()
{
    m_spectrumDelay->stop();
    if (!m_recording || !m_spectrumDock->isVisible())
        return;
    if (m_view->cursor(0) && m_view->cursor(1)) {
        m_spectrum->showSpan(*m_recording, std::min(*m_view->cursor(0), *m_view->cursor(1)),
                             std::max(*m_view->cursor(0), *m_view->cursor(1)) + 1,
                             QStringLiteral("Между курсорами"));
        return;
    }
    const ViewSpan &span = m_view->span();
    m_spectrum->showSpan(*m_recording, qint64(std::floor(span.firstSample())), qint64(std::ceil(span.endSample())),
                         QStringLiteral("Видимый участок"));
}

void ViewerWindow::exportSpectrum()
{
    if (!m_recording || !m_spectrum->spectrum())
        return;
    const QFileInfo data(m_recording->dataPath());
    const QString path = m_files.fileToSave(QStringLiteral("Экспорт спектра"), QStringLiteral("Таблица CSV (*.csv)"),
                                            data.dir().filePath(data.completeBaseName() + QStringLiteral("-спектр.csv")));
    if (path.isEmpty())
        return;
    QString error;
    if (!DensityExport::write(*m_spectrum->spectrum(), path, &error)) {
        showError(QStringLiteral("Экспорт спектра не выполнен"), error);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Спектр записан в %1").arg(path), MessageShownMs);
}

void ViewerWindow::startIntegrityCheckOnce()
{
    if (m_integrityState != IntegrityState::Due || !m_recording)
        return;
    m_integrityState = IntegrityState::Running;
    m_integrityCheck->start(*m_recording);
}

// A description without a hash (a recording still being made) leaves nothing to hold the
// file against; only a hash or size that differs is a warning.
void ViewerWindow::integrityChecked(bool verified, const QString &message)
{
    if (m_integrityState != IntegrityState::Running)
        return;
    m_integrityState = IntegrityState::None;
    const bool checkable = m_recording && m_recording->description() && !m_recording->description()->sha256.isEmpty();
    if (verified) {
        m_description->showIntegrity(DescriptionPanel::Integrity::Verified, message);
        return;
    }
    if (!checkable) {
        m_description->showIntegrity(DescriptionPanel::Integrity::Unchecked, message);
        return;
    }
    m_description->showIntegrity(DescriptionPanel::Integrity::Differs, message);
    m_integrityWarning = QStringLiteral("Файл данных не совпадает с описанием: %1 Запись показана как есть.").arg(message);
    showNotices();
}

void ViewerWindow::showError(const QString &title, const QString &text)
{
    m_messages.show({text, QStringLiteral("%1 — %2").arg(title, ProgramTitle), MessageBoxes::Icon::Error,
                     MessageBoxes::Buttons::Ok});
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opening says how it went later: a message box shown inside the drop would keep the
    // drag's source waiting until it closed.
    openFile(path);
}
