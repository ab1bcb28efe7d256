#include "MappedFileCut.h"
#include "RecordingBeingMade.h"
#include "ScriptedMessageBoxes.h"
#include "TestFiles.h"

#include "output/RecordingDescription.h"
#include "sim/SimulatedRecording.h"
#include "viewer/Recording.h"
#include "viewerwindow/FileChoice.h"
#include "viewerwindow/DensityPlot.h"
#include "viewerwindow/TraceView.h"
#include "viewerwindow/ViewerWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <cmath>

namespace {

// Opening is cancelled; saving takes the prepared name.
class ScriptedFileChoice : public FileChoice
{
public:
    void setParentWidget(QWidget *) override {}
    QString fileToOpen(const QString &, const QString &) override { return QString(); }
    QString fileToSave(const QString &, const QString &, const QString &) override { return saveAs; }

    QString saveAs;
};

QAction *menuAction(const QWidget &window, const QString &menuTitle, const QString &text)
{
    for (const QMenu *menu : window.findChildren<QMenu *>()) {
        if (menu->title() != menuTitle)
            continue;
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
    }
    return nullptr;
}

// Opens path in the window and waits until it is on the screen.
bool openAndWait(ViewerWindow &window, const QString &path)
{
    QSignalSpy shown(&window, &ViewerWindow::recordingShown);
    window.openFile(path);
    return shown.wait(60000);
}

QString labelText(const QWidget &window, const char *name)
{
    const auto *label = window.findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("(no label %1)").arg(QLatin1String(name));
}

// The trace's own colour: a stroke of the drawn samples, never the grid, axes or cursors.
bool isTrace(QRgb pixel)
{
    return qRed(pixel) < 40 && qGreen(pixel) > 50 && qGreen(pixel) < 110 && qBlue(pixel) > 140;
}

} // namespace

class ViewerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aLoneOddSampleShowsAtFullZoomOut();
    void cursorsReadTheSamplesUnderTheClicks();
    void aCursorFarOffAtTheDeepestZoomIsNotDrawn();
    void theLabelsFollowAChangeOfFont();
    void aDropThatFailsSaysSoAfterTheDrop();
    void aLargeFileOpensBehindTheWindowAndCanBeCancelled();
    void aRecordingBeingMadeIsFollowedOnTheScreen();
    void aRecordingStillBeingMadeSaysSoAndF5ReadsItAgain();
    void theSpectrumReadsThePeakOfARealFile();

private:
    QTemporaryDir m_folder;
};

void ViewerWindowTest::initTestCase()
{
    qunsetenv("QT_QPA_PLATFORMTHEME");
    QVERIFY(m_folder.isValid());
}

// Ten million samples on 800-odd columns: a view that took one sample a column, or
// averaged them, would show a flat line.
void ViewerWindowTest::aLoneOddSampleShowsAtFullZoomOut()
{
    constexpr qint64 Samples = 10000003;
    constexpr qint64 OddSample = 6666667;
    QByteArray data(Samples, char(100));
    data[OddSample] = char(250);
    const QString path = m_folder.filePath(QStringLiteral("flat.bin"));
    QVERIFY(TestFiles::write(path, data));
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    QVERIFY2(recording, qPrintable(error));

    TraceView view;
    view.resize(900, 300);
    view.setRecording(recording.get());
    QVERIFY(view.span().showsWholeRecording());
    const QImage image = view.grab().toImage();

    int baseline = -1;
    QList<int> columnsAboveIt;
    int highest = image.height();
    int firstTraced = -1;
    int lastTraced = -1;
    for (int x = 0; x < image.width(); ++x) {
        int top = -1;
        for (int y = 0; y < image.height() && top < 0; ++y) {
            if (isTrace(image.pixel(x, y)))
                top = y;
        }
        if (top < 0)
            continue;
        if (firstTraced < 0)
            firstTraced = x;
        lastTraced = x;
        if (baseline < 0 || top > baseline)
            baseline = top;
        highest = std::min(highest, top);
    }
    QVERIFY(baseline > 0);
    // The whole recording spans the plot: its first and last columns are where the trace starts and ends.
    const int plotWidth = lastTraced - firstTraced + 1;
    QCOMPARE(plotWidth, view.span().width());
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < baseline - 20; ++y) {
            if (isTrace(image.pixel(x, y))) {
                columnsAboveIt.append(x);
                break;
            }
        }
    }
    QCOMPARE(columnsAboveIt.size(), 1);
    // 250 over 100 is 150 of the 255 the height spans.
    const double plotHeight = (baseline - highest) * 255.0 / 150.0;
    QVERIFY2(plotHeight > 150 && plotHeight < 300, qPrintable(QString::number(plotHeight)));
    // Column x of the plot covers samples [x, x + 1) times Samples / plotWidth.
    const int oddColumn = firstTraced + int(OddSample * plotWidth / Samples);
    QVERIFY2(std::abs(columnsAboveIt.first() - oddColumn) <= 1,
             qPrintable(QStringLiteral("odd sample drawn at %1, its column is %2").arg(columnsAboveIt.first()).arg(oddColumn)));
}

// 256 s at the assumed 100 samples/s, each sample's value its second: a click's readout
// says where it landed. The second cursor goes with Shift. The span between the cursors,
// both included, is what the statistics cover and what an export writes.
void ViewerWindowTest::cursorsReadTheSamplesUnderTheClicks()
{
    QByteArray ramp(25600, 0);
    for (int i = 0; i < ramp.size(); ++i)
        ramp[i] = char(i / 100);
    const QString path = m_folder.filePath(QStringLiteral("ramp.bin"));
    QVERIFY(TestFiles::write(path, ramp));

    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(openAndWait(window, path));
    window.openFile(m_folder.filePath(QStringLiteral("missing.bin")));
    QTRY_COMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown.first().text.contains(QStringLiteral("missing.bin")), qPrintable(messages.shown.first().text));

    auto *view = window.findChild<TraceView *>();
    QVERIFY(view);
    QVERIFY(view->span().showsWholeRecording());
    QCOMPARE(labelText(window, "StatisticsTitle"), QStringLiteral("Видимый участок"));
    QCOMPARE(labelText(window, "SpanStatistics"), QStringLiteral("отсчётов 25600 · мин 0 · макс 255 · среднее 127.50 · "
                                                                   "СКЗ 147.37 · размах 255"));

    // A plot 800 px wide shows 32 samples a column: its columns 160 and 600 show samples 5120
    // and 19200, 51.2 s and 192 s in.
    view->setFixedWidth(view->width() + 800 - view->span().width());
    QTRY_COMPARE(view->span().width(), 800);
    QVERIFY(view->span().showsWholeRecording());
    const QImage image = view->grab().toImage();
    // The plot starts where the trace does.
    int plotLeft = -1;
    for (int x = 0; x < image.width() && plotLeft < 0; ++x) {
        for (int row = 0; row < image.height() && plotLeft < 0; ++row) {
            if (isTrace(image.pixel(x, row)))
                plotLeft = x;
        }
    }
    QVERIFY(plotLeft >= 0);
    const int y = view->height() / 2;
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(plotLeft + 160, y));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(plotLeft + 600, y));
    QCOMPARE(view->cursor(0), std::optional<qint64>(5120));
    QCOMPARE(view->cursor(1), std::optional<qint64>(19200));
    QCOMPARE(labelText(window, "FirstCursor"), QStringLiteral("Курсор 1: 51.20 с · значение 51"));
    QCOMPARE(labelText(window, "SecondCursor"), QStringLiteral("Курсор 2: 0:03:12.00 · значение 192"));
    QCOMPARE(labelText(window, "CursorDifference"),
             QStringLiteral("Δt = 140.80 с (14080 отсч.) · ΔV = 141 · 1/Δt = 0.00710227 Гц"));
    QCOMPARE(labelText(window, "StatisticsTitle"), QStringLiteral("Между курсорами, оба отсчёта включительно"));
    QCOMPARE(labelText(window, "SpanStatistics"), QStringLiteral("отсчётов 14081 · мин 51 · макс 192 · среднее 121.10 · "
                                                                   "СКЗ 127.74 · размах 141"));

    files.saveAs = m_folder.filePath(QStringLiteral("span.csv"));
    QAction *exportSpan = menuAction(window, QStringLiteral("Экспорт &между курсорами"), QStringLiteral("CSV…"));
    QVERIFY(exportSpan && exportSpan->isEnabled());
    exportSpan->trigger();
    QCOMPARE(messages.shown.size(), 1);
    const QList<QByteArray> rows = TestFiles::read(files.saveAs).trimmed().split('\n');
    QCOMPARE(rows.size(), 14082);
    QCOMPARE(rows.at(1), QByteArray("51.2000,51"));
    QCOMPARE(rows.last(), QByteArray("192.0000,192"));

    // Another assumed rate: the length in seconds and the cursors' times follow it.
    auto *rate = window.findChild<QDoubleSpinBox *>(QStringLiteral("AssumedRate"));
    QVERIFY(rate && rate->isVisible());
    QCOMPARE(labelText(window, "Recorded"), QStringLiteral("25600 отсчётов · 256.00 с при принятой частоте"));
    rate->setValue(200);
    QCOMPARE(labelText(window, "Recorded"), QStringLiteral("25600 отсчётов · 128.00 с при принятой частоте"));
    QCOMPARE(labelText(window, "FirstCursor"), QStringLiteral("Курсор 1: 25.600 с · значение 51"));
}

// A file dropped on the window that cannot be opened says so once the drop is over.
void ViewerWindowTest::aDropThatFailsSaysSoAfterTheDrop()
{
    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile(m_folder.filePath(QStringLiteral("gone.bin")))});
    const QPoint middle(window.width() / 2, window.height() / 2);
    QDragEnterEvent enter(middle, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(middle, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(messages.shown.size(), 0);
    QTRY_COMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown.first().text.contains(QStringLiteral("gone.bin")), qPrintable(messages.shown.first().text));
}

// At 20 pixels a sample, the first sample lies 20 × 214,748,370 − the plot's width pixels
// left of the plot's right edge: 2^32 + 104 − the width, which a 32-bit column number takes
// for 104 pixels left of that edge.
void ViewerWindowTest::aCursorFarOffAtTheDeepestZoomIsNotDrawn()
{
    const QString path = m_folder.filePath(QStringLiteral("long.bin"));
    QFile data(path);
    QVERIFY(data.open(QIODevice::WriteOnly) && data.resize(214748370));
    data.close();
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    QVERIFY2(recording, qPrintable(error));

    TraceView withCursor;
    TraceView without;
    for (TraceView *view : {&withCursor, &without}) {
        view->resize(900, 300);
        view->setRecording(recording.get());
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }
    QTest::mouseClick(&withCursor, Qt::LeftButton, Qt::NoModifier, QPoint(0, 150));
    QCOMPARE(withCursor.cursor(0), std::optional<qint64>(0));
    for (TraceView *view : {&withCursor, &without}) {
        for (double widest = view->span().samplesPerPixel() + 1; view->span().samplesPerPixel() < widest;) {
            widest = view->span().samplesPerPixel();
            QTest::keyClick(view, Qt::Key_Plus);
        }
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->span().samplesPerPixel(), 1 / ViewSpan::MaxPixelsPerSample);
    }
    QVERIFY(withCursor.span().width() > 104);
    QCOMPARE(withCursor.grab().toImage(), without.grab().toImage());
}

// The view keeps its labels laid out from frame to frame; a view whose font changes draws them as
// one that had that font from the start.
void ViewerWindowTest::theLabelsFollowAChangeOfFont()
{
    const QString path = m_folder.filePath(QStringLiteral("labels.bin"));
    QVERIFY(TestFiles::write(path, QByteArray(56000, '\x80')));
    QString error;
    const std::unique_ptr<Recording> recording = Recording::open(path, &error);
    QVERIFY2(recording, qPrintable(error));
    QFont larger = QApplication::font();
    larger.setPointSizeF(larger.pointSizeF() * 2);

    TraceView changed;
    TraceView fromTheStart;
    fromTheStart.setFont(larger);
    for (TraceView *view : {&changed, &fromTheStart}) {
        view->resize(900, 300);
        view->setRecording(recording.get());
    }
    const QImage before = changed.grab().toImage();
    changed.setFont(larger);

    const QImage after = changed.grab().toImage();
    QVERIFY(after != before);
    QCOMPARE(after, fromTheStart.grab().toImage());
}

// The window stays on the recording it shows while another is summarised, and keeps it if the
// opening is cancelled; closing the window meanwhile stops the opening.
void ViewerWindowTest::aLargeFileOpensBehindTheWindowAndCanBeCancelled()
{
    const QString shownPath = m_folder.filePath(QStringLiteral("shown.bin"));
    QVERIFY(TestFiles::write(shownPath, QByteArray(5000, char(50))));
    const QString largePath = m_folder.filePath(QStringLiteral("large.bin"));
    QFile large(largePath);
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(qint64(1) << 30));
    large.close();

    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    auto window = std::make_unique<ViewerWindow>(messages, files);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(openAndWait(*window, shownPath));
    const auto *progress = window->findChild<QProgressBar *>(QStringLiteral("OpeningProgress"));
    auto *cancel = window->findChild<QPushButton *>(QStringLiteral("CancelOpening"));
    QVERIFY(progress && cancel);
    QVERIFY(!progress->isVisible());

    window->openFile(largePath);
    QVERIFY(progress->isVisible() && cancel->isVisible());
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("shown.bin")));
    cancel->click();
    QVERIFY(!progress->isVisible());
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Открытие отменено."));
    // Whatever the cancelled opening still sends arrives, and changes nothing.
    for (QThread *thread : window->findChildren<QThread *>())
        thread->wait();
    QCoreApplication::processEvents();
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("shown.bin")));
    QCOMPARE(labelText(*window, "SpanStatistics").section(QLatin1Char(' '), 0, 1), QStringLiteral("отсчётов 5000"));

    QVERIFY(openAndWait(*window, largePath));
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("large.bin")));
    QVERIFY(!progress->isVisible());
    QCOMPARE(window->findChild<TraceView *>()->span().sampleCount(), qint64(1) << 30);
    QCOMPARE(messages.shown.size(), 0);

    window->openFile(largePath);
    window.reset();
}

// As the recorder writes it: the window follows the recording, shown whole with its statistics
// or at its end with the zoom chosen until the operator moves away, the cursors where they were
// put, until the recorder's last description ends it; made afresh in the same file, it starts over.
void ViewerWindowTest::aRecordingBeingMadeIsFollowedOnTheScreen()
{
    const QString path = m_folder.filePath(QStringLiteral("growing.bin"));
    RecordingBeingMade recording;
    QString error;
    QVERIFY2(recording.make(path, 20, 5600, 50400, true, &error), qPrintable(error));
    const QByteArray &whole = recording.whole();

    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(openAndWait(window, path));
    auto *view = window.findChild<TraceView *>();
    const auto *notices = window.findChild<QLabel *>(QStringLiteral("Notices"));
    QVERIFY(view && notices);
    // Whole seconds at the line's 5,600 samples/s.
    QVERIFY2(notices->text().startsWith(QStringLiteral("Идёт запись: 9 с.")), qPrintable(notices->text()));

    // Shown whole, it stays whole, and the statistics of what is shown follow it.
    QVERIFY(recording.append(50400, 5600));
    QTRY_COMPARE_WITH_TIMEOUT(view->span().sampleCount(), qint64(56000), 30000);
    QVERIFY(view->span().showsWholeRecording());
    QTRY_VERIFY2_WITH_TIMEOUT(labelText(window, "SpanStatistics").startsWith(QStringLiteral("отсчётов 56000 ")),
                              qPrintable(labelText(window, "SpanStatistics")), 30000);

    // Zoomed in at the end, it stays at the end with that zoom.
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->width() / 2, view->height() / 2));
    const std::optional<qint64> cursor = view->cursor(0);
    QVERIFY(cursor);
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(view, Qt::Key_Plus);
    QTest::keyClick(view, Qt::Key_End);
    const double perPixel = view->span().samplesPerPixel();
    QVERIFY(recording.append(56000, 2800));
    QTRY_COMPARE_WITH_TIMEOUT(view->span().sampleCount(), qint64(58800), 30000);
    QCOMPARE(view->span().samplesPerPixel(), perPixel);
    QVERIFY2(std::fabs(view->span().endSample() - 58800) < 1e-6, qPrintable(QString::number(view->span().endSample())));
    QCOMPARE(view->cursor(0), cursor);

    // Moved away, it stays where the operator put it.
    QTest::keyClick(view, Qt::Key_Home);
    QVERIFY(recording.append(58800, 2800));
    QTRY_COMPARE_WITH_TIMEOUT(view->span().sampleCount(), qint64(61600), 30000);
    QVERIFY2(notices->text().startsWith(QStringLiteral("Идёт запись: 11 с.")), qPrintable(notices->text()));
    QCOMPARE(view->span().firstSample(), 0.0);
    QCOMPARE(view->span().samplesPerPixel(), perPixel);

    // The recorder's last description ends it: the measured rate, the check of the file.
    QVERIFY(recording.append(61600));
    QVERIFY(recording.end());
    QTRY_VERIFY_WITH_TIMEOUT(!notices->text().contains(QStringLiteral("Идёт запись")), 30000);
    QCOMPARE(view->span().sampleCount(), qint64(whole.size()));
    QCOMPARE(labelText(window, "Ending").left(29), QStringLiteral("записано всё заданное время, "));
    QTRY_VERIFY_WITH_TIMEOUT(labelText(window, "Integrity").contains(QStringLiteral("совпадают")), 30000);

    // Recorded afresh into the same file: the new recording, from its start. Where the file
    // cannot be cut short while it is shown, the recorder is refused and the view stays whole.
    if (!MappedFileCut::allowed()) {
        QVERIFY(!QFile::resize(path, 0));
        QCOMPARE(TestFiles::read(path), whole);
        QCOMPARE(view->span().sampleCount(), qint64(whole.size()));
        return;
    }
    QVERIFY(QFile::resize(path, 0));
    QVERIFY2(recording.describeStartedLater(60, &error), qPrintable(error));
    QVERIFY(recording.append(0, 11200));
    QTRY_VERIFY_WITH_TIMEOUT(notices->text().contains(QStringLiteral("записан заново")), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(view->span().sampleCount(), qint64(11200), 30000);
    QVERIFY2(notices->text().contains(QStringLiteral("Идёт запись: 2 с.")), qPrintable(notices->text()));
    QCOMPARE(view->cursor(0), std::optional<qint64>());
    QCOMPARE(messages.shown.size(), 0);
}

void ViewerWindowTest::aRecordingStillBeingMadeSaysSoAndF5ReadsItAgain()
{
    const QString path = m_folder.filePath(QStringLiteral("live.bin"));
    QVERIFY(TestFiles::write(path, QByteArray(1000, char(7))));
    RecordingDescription description;
    description.dataFileName = path;
    description.deviceName = QStringLiteral("/dev/ttyS0");
    description.lineRate = 56000;
    description.requestedSeconds = 60;
    description.started = QDateTime::currentDateTime();
    description.ending = RecordingDescription::Ending::Recording;
    QString reason;
    QVERIFY2(description.write(&reason), qPrintable(reason));

    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(openAndWait(window, path));
    const auto *notices = window.findChild<QLabel *>(QStringLiteral("Notices"));
    QVERIFY(notices && notices->isVisible());
    QVERIFY2(notices->text().contains(QStringLiteral("Идёт запись: 0 с")), qPrintable(notices->text()));
    QVERIFY(labelText(window, "SpanStatistics").startsWith(QStringLiteral("отсчётов 1000 ")));

    QFile data(path);
    QVERIFY(data.open(QIODevice::Append));
    QCOMPARE(data.write(QByteArray(1000, char(9))), qint64(1000));
    data.close();
    QSignalSpy shown(&window, &ViewerWindow::recordingShown);
    QTest::keyClick(&window, Qt::Key_F5);
    QVERIFY(shown.wait(60000));
    QCOMPARE(messages.shown.size(), 0);
    QCOMPARE(window.findChild<TraceView *>()->span().sampleCount(), qint64(2000));
    QVERIFY2(labelText(window, "SpanStatistics").startsWith(QStringLiteral("отсчётов 2000 · мин 7 · макс 9 ")),
             qPrintable(labelText(window, "SpanStatistics")));
}

// 12 s of the simulated instrument's channel 1 at 5,597.3 samples/s: a tone of a period of
// 100 samples, 55.973 Hz, seen in bins of 5597.3 / 8192 Hz. The readouts of the peak and of
// the point under the mouse agree with the spectrum the window exports.
void ViewerWindowTest::theSpectrumReadsThePeakOfARealFile()
{
    const QString path = m_folder.filePath(QStringLiteral("tone.bin"));
    QString error;
    QVERIFY2(SimulatedRecording::write(path, 12, 5597.3, &error), qPrintable(error));
    ScriptedMessageBoxes messages;
    ScriptedFileChoice files;
    ViewerWindow window(messages, files);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(openAndWait(window, path));
    QAction *spectrum = menuAction(window, QStringLiteral("&Вид"), QStringLiteral("&Спектр"));
    QVERIFY(spectrum);
    spectrum->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(labelText(window, "SpectrumPeak").startsWith(QStringLiteral("Пик: ")), 20000);
    QVERIFY2(labelText(window, "SpectrumSpan").startsWith(QStringLiteral("Видимый участок: 0.000–11.983 с")),
             qPrintable(labelText(window, "SpectrumSpan")));

    // "Пик: 55.969 Гц · 31.2 дБ", with a minus sign for a level below 0 dB.
    const auto reading = [&](const char *label) {
        const QStringList words = labelText(window, label).replace(QChar(0x2212), QLatin1Char('-')).split(QLatin1Char(' '));
        return std::make_pair(words.value(1).toDouble(), words.value(4).toDouble());
    };
    const auto [peakHertz, peakLevel] = reading("SpectrumPeak");
    const double binWidth = 5597.3 / 8192;
    QVERIFY2(std::fabs(peakHertz - 55.973) <= binWidth, qPrintable(labelText(window, "SpectrumPeak")));

    files.saveAs = m_folder.filePath(QStringLiteral("tone.csv"));
    auto *exportButton = window.findChild<QPushButton *>(QStringLiteral("DensityExport"));
    QVERIFY(exportButton && exportButton->isEnabled());
    exportButton->click();
    QCOMPARE(messages.shown.size(), 0);
    const QList<QByteArray> rows = TestFiles::read(files.saveAs).trimmed().split('\n');
    QCOMPARE(rows.size(), 1 + 4097);
    QCOMPARE(rows.first(), QByteArray("hertz,db"));
    const auto levelAt = [&](double hertz) {
        const QList<QByteArray> row = rows.value(1 + int(std::lround(hertz / binWidth))).split(',');
        return row.value(1).toDouble();
    };
    QVERIFY2(std::fabs(levelAt(peakHertz) - peakLevel) < 0.06, qPrintable(QString::number(levelAt(peakHertz))));

    // Across the plot, left to right, the mouse reads from the lowest frequency up to half the
    // rate, never back, each time the level the export gives at the frequency it names.
    auto *plot = window.findChild<DensityPlot *>();
    QVERIFY(plot && plot->isVisible());
    const auto scan = [&] {
        QList<double> frequencies;
        for (int x = 0; x < plot->width(); x += 5) {
            QTest::mouseMove(plot, QPoint(x, plot->height() / 2));
            if (!labelText(window, "SpectrumPointer").contains(QStringLiteral("Гц")))
                continue;
            const auto [hertz, level] = reading("SpectrumPointer");
            if (std::fabs(levelAt(hertz) - level) >= 0.06 || (!frequencies.isEmpty() && hertz < frequencies.last()))
                return QList<double>{-1, hertz, level};
            frequencies.append(hertz);
        }
        return frequencies;
    };
    QList<double> frequencies = scan();
    QVERIFY2(frequencies.size() > plot->width() / 5 * 3 / 4, qPrintable(QStringLiteral("%1 %2 %3").arg(frequencies.value(0)).arg(frequencies.value(1)).arg(frequencies.value(2))));
    // Five pixels of the plot span less than 40 Hz.
    QVERIFY2(frequencies.first() < 40 && frequencies.last() > 5597.3 / 2 - 40,
             qPrintable(QStringLiteral("%1 … %2 Hz").arg(frequencies.first()).arg(frequencies.last())));
    // On the logarithmic axis 0 Hz is left out: the first bin is at the left edge, and five
    // pixels at the right edge span a few per cent.
    auto *scale = window.findChild<QComboBox *>(QStringLiteral("FrequencyScale"));
    QVERIFY(scale);
    scale->setCurrentIndex(1);
    frequencies = scan();
    QVERIFY2(frequencies.size() > plot->width() / 5 * 3 / 4, qPrintable(QStringLiteral("%1 %2 %3").arg(frequencies.value(0)).arg(frequencies.value(1)).arg(frequencies.value(2))));
    QVERIFY2(frequencies.first() > 0 && frequencies.first() < 2 * binWidth && frequencies.last() > 5597.3 / 2 * 0.9,
             qPrintable(QStringLiteral("%1 … %2 Hz").arg(frequencies.first()).arg(frequencies.last())));

    // Two cursors: the spectrum follows them, here to the first half of the recording.
    auto *view = window.findChild<TraceView *>();
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(view->width() / 2, view->height() / 2));
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(0, view->height() / 2));
    QVERIFY(view->cursor(0) && view->cursor(1));
    QTRY_VERIFY_WITH_TIMEOUT(labelText(window, "SpectrumSpan").startsWith(QStringLiteral("Между курсорами: 0.000–")),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(labelText(window, "SpectrumPeak").startsWith(QStringLiteral("Пик: ")), 20000);
    QVERIFY2(std::fabs(reading("SpectrumPeak").first - 55.973) <= 5597.3 / 8192,
             qPrintable(labelText(window, "SpectrumPeak")));
}

QTEST_MAIN(ViewerWindowTest)
#include "ViewerWindowTest.moc"
