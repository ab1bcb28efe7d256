#include "window/DataGatheringSystem.h"

#include "link/InstrumentLink.h"
#include "output/GraphikBox.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "platform/SaveDialog.h"
#include "platform/Timer.h"
#include "window/PlainToolTip.h"
#include "window/StatusLine.h"
#include "window/Twips.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int SerialPortNumber = 1;
constexpr std::array<int, 8> ChannelLefts{120, 445, 770, 1095, 1420, 1745, 2070, 2400};

// Where FileToWriteLabel may grow to the left, in twips of its frame.
constexpr int FileLabelRoomLeft = 120;
constexpr int FileLabelRight = 1590 + 105;

// The window's own face where the system has it, else a sans-serif with Cyrillic letters.
// Windows keeps MS Sans Serif as a bitmap font, which DirectWrite (and so Qt's font engine
// there, where it uses it) cannot draw; its outline is Microsoft Sans Serif.
QFont windowFont(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

template <typename Control>
Control *place(QWidget *container, const char *name, const QRect &twips, qreal pointSize, bool bold)
{
    auto *control = new Control(container);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(Twips::toPixels(twips.x(), twips.y(), twips.width(), twips.height()));
    control->setFont(windowFont(pointSize, bold));
    return control;
}

} // namespace

DataGatheringSystem::DataGatheringSystem(MessageBoxes &messages, SaveDialog &saveDialog, QWidget *parent)
    : QWidget(parent)
    , m_saveDialog(saveDialog)
    , m_timer(new Timer(this))
    , m_comPort(new InstrumentLink(this))
    , m_graphikBox(new GraphikBox(this))
    , m_run(m_state, *m_comPort, m_dataFile, *m_timer, *this, *m_graphikBox, messages)
{
    setObjectName(QStringLiteral("DataGatheringSystem"));
    messages.setParentWidget(this);
    m_saveDialog.setParentWidget(this);
    setWindowTitle(QStringLiteral("Ларвента   "));
    setFont(windowFont(13.5, true));
    setFixedSize(Twips::toPixels(11880), Twips::toPixels(8550));
    createControls();
    setTabOrder();

    connect(m_selectFileToWriteButton, &QPushButton::clicked, this, &DataGatheringSystem::selectFileToWrite);
    connect(m_startButton, &QPushButton::clicked, this, [this] { m_run.startRequest(); });
    connect(m_stopButton, &QPushButton::clicked, this, [this] { m_run.stopRequest(); });
    connect(m_timer, &Timer::tick, this, [this] { m_run.tick(); });

    load();
}

void DataGatheringSystem::createControls()
{
    m_selectChannelFrame = place<QGroupBox>(this, "SelectChannelFrame", {113, -120, 2775, 1095}, 13.5, false);
    m_selectChannelLabel =
        place<QLabel>(m_selectChannelFrame, "SelectChannelLabel", {120, 240, 1620, 360}, 9.75, true);
    m_selectChannelLabel->setText(QStringLiteral("Выбор канала "));
    for (int i = 0; i < int(m_channels.size()); ++i) {
        const QByteArray name = "Channel" + QByteArray::number(i + 1);
        m_channels[i] = place<QRadioButton>(m_selectChannelFrame, name.constData(), {ChannelLefts[i], 600, 255, 255},
                                            8.25, false);
        m_channels[i]->setText(QString::number(i + 1));
    }
    // The buttons are too narrow for a round mark and a digit side by side: the digit
    // itself shows the channel, the chosen one highlighted.
    m_selectChannelFrame->setStyleSheet(QStringLiteral(
        "QRadioButton { spacing: 0px; padding-left: 4px; border: 1px solid palette(mid); border-radius: 3px; }"
        "QRadioButton::indicator { image: none; border: none; width: 0px; height: 0px; }"
        "QRadioButton:checked { background: palette(highlight); color: palette(highlighted-text); }"
        "QRadioButton:disabled { color: palette(mid); }"));
    m_channels[0]->setChecked(true);

    m_setTimeFrame = place<QGroupBox>(this, "SetTimeFrame", {3068, -65, 2775, 1040}, 9.75, true);
    m_setTimeLabel = place<QLabel>(m_setTimeFrame, "SetTimeLabel", {120, 240, 2040, 250}, 9.75, true);
    m_setTimeLabel->setText(QStringLiteral("Время записи, сек"));
    m_setTimeBox = place<QLineEdit>(m_setTimeFrame, "SetTimeBox", {120, 600, 735, 345}, 9.75, false);
    m_setTimeBox->setText(QStringLiteral("100"));

    m_fileToWriteFrame = place<QGroupBox>(this, "FileToWriteFrame", {6023, -35, 2775, 1010}, 8.25, false);
    m_selectFileToWriteLabel =
        place<QLabel>(m_fileToWriteFrame, "SelectFileToWriteLabel", {120, 240, 1560, 240}, 9.75, true);
    m_selectFileToWriteLabel->setText(QStringLiteral("Файл записи"));
    m_fileToWriteLabel = place<QLabel>(m_fileToWriteFrame, "FileToWriteLabel", {1590, 600, 105, 255}, 8.25, false);
    m_fileToWriteLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_fileToWriteLabel->setTextFormat(Qt::PlainText);
    m_selectFileToWriteButton =
        place<QPushButton>(m_fileToWriteFrame, "SelectFileToWriteButton", {1920, 420, 495, 435}, 18, true);
    m_selectFileToWriteButton->setText(QStringLiteral("..."));

    m_startStopFrame = place<QGroupBox>(this, "StartStopFrame", {8993, -120, 2775, 1095}, 13.5, true);
    m_startButton = place<QPushButton>(m_startStopFrame, "StartButton", {120, 240, 1695, 315}, 12, true);
    m_startButton->setText(QStringLiteral("пуск"));
    m_stopButton = place<QPushButton>(m_startStopFrame, "StopButton", {120, 720, 1695, 315}, 12, true);
    m_stopButton->setText(QStringLiteral("стоп"));
    // Below the plot, in the strip the layout leaves empty.
    m_statusLabel = place<StatusLine>(this, "StatusLabel", {473, 8295, 10935, 255}, 8.25, false);

    m_graphikBox->setObjectName(QStringLiteral("GraphikBox"));
    m_graphikBox->move(Twips::toPixels(473), Twips::toPixels(1560));
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_comPort->setObjectName(QStringLiteral("ComPort"));
}

void DataGatheringSystem::setTabOrder()
{
    QWidget *previous = m_channels[0];
    for (QWidget *next : {static_cast<QWidget *>(m_channels[1]), static_cast<QWidget *>(m_channels[2]),
                          static_cast<QWidget *>(m_channels[3]), static_cast<QWidget *>(m_channels[4]),
                          static_cast<QWidget *>(m_channels[5]), static_cast<QWidget *>(m_channels[6]),
                          static_cast<QWidget *>(m_channels[7]), static_cast<QWidget *>(m_setTimeBox),
                          static_cast<QWidget *>(m_selectFileToWriteButton), static_cast<QWidget *>(m_startButton),
                          static_cast<QWidget *>(m_stopButton), static_cast<QWidget *>(m_graphikBox)}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
}

void DataGatheringSystem::load()
{
    m_timer->setEnabled(false);
    m_timer->setInterval(RecordingRun::TickMilliseconds);
    m_comPort->configure(SerialPortNumber);
    m_saveDialog.setTitle(QStringLiteral("Файл для записи данных"));
    m_saveDialog.setFilter(QStringLiteral("Бинарные файлы"), QStringLiteral("*.bin"));
    m_graphikBox->initialise();
    m_state.StopProcess = true;
    m_graphikBox->hide();
    m_stopButton->setEnabled(false);
}

void DataGatheringSystem::selectFileToWrite()
{
    m_saveDialog.showSave();
    showFileToWrite(m_saveDialog.fileName());
}

// The label keeps its right edge by the "..." button and grows to the left as far as
// the frame allows; a path longer still loses its beginning, the whole path is in the
// tool tip.
void DataGatheringSystem::showFileToWrite(const QString &fileName)
{
    const int right = Twips::toPixels(FileLabelRight);
    const int room = right - Twips::toPixels(FileLabelRoomLeft);
    const QFontMetrics metrics(m_fileToWriteLabel->font());
    const QString shown = metrics.elidedText(fileName, Qt::ElideLeft, room);
    const int width = qMax(Twips::toPixels(105), metrics.horizontalAdvance(shown) + 2);
    QRect geometry = m_fileToWriteLabel->geometry();
    geometry.setLeft(right - width);
    m_fileToWriteLabel->setGeometry(geometry);
    m_fileToWriteLabel->setText(shown);
    m_fileToWriteLabel->setToolTip(PlainToolTip::of(fileName));
}

QString DataGatheringSystem::dialogFileName() const
{
    return m_saveDialog.fileName();
}

bool DataGatheringSystem::channelSelected(int number) const
{
    return m_channels.at(number - 1)->isChecked();
}

QString DataGatheringSystem::recordingTimeText() const
{
    return m_setTimeBox->text();
}

void DataGatheringSystem::setSettingsEnabled(bool enabled)
{
    m_selectChannelFrame->setEnabled(enabled);
    m_setTimeFrame->setEnabled(enabled);
    m_fileToWriteFrame->setEnabled(enabled);
}

void DataGatheringSystem::setStartEnabled(bool enabled)
{
    m_startButton->setEnabled(enabled);
}

void DataGatheringSystem::setStopEnabled(bool enabled)
{
    m_stopButton->setEnabled(enabled);
}

void DataGatheringSystem::showProgress(const RunProgress &progress)
{
    m_statusLabel->showProgress(progress);
}

// Ends the program at once, also in the middle of a recording: the data file is
// closed with every block written so far, the port is released for other users, and
// nothing of the wind-up is done.
void DataGatheringSystem::closeEvent(QCloseEvent *event)
{
    m_run.abandon();
    event->accept();
    ProgramEnd::now();
}
