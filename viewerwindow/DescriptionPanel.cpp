#include "viewerwindow/DescriptionPanel.h"

#include "viewer/Recording.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

QString endingWords(RecordingDescription::Ending ending)
{
    switch (ending) {
    case RecordingDescription::Ending::Recording:
        return QStringLiteral("запись ещё шла, когда описание было записано");
    case RecordingDescription::Ending::Completed:
        return QStringLiteral("записано всё заданное время");
    case RecordingDescription::Ending::Stopped:
        return QStringLiteral("остановлена оператором");
    case RecordingDescription::Ending::LinkLost:
        return QStringLiteral("прервана: потеряна связь с прибором");
    case RecordingDescription::Ending::WriteFailed:
        return QStringLiteral("прервана: не удалось записать файл данных");
    case RecordingDescription::Ending::CommandFailed:
        return QStringLiteral("прервана: прибор не принял команду");
    case RecordingDescription::Ending::WindowClosed:
        return QStringLiteral("прервана: окно закрыто во время записи");
    }
    return QString();
}

QString dateTimeText(const QDateTime &at)
{
    return at.isValid() ? at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz")) : QStringLiteral("неизвестно");
}

} // namespace

DescriptionPanel::DescriptionPanel(QWidget *parent)
    : QWidget(parent)
    , m_form(new QFormLayout(this))
    , m_assumedRate(new QDoubleSpinBox(this))
{
    setObjectName(QStringLiteral("DescriptionPanel"));
    m_form->setContentsMargins(0, 0, 0, 0);
    m_file = addRow(QStringLiteral("Файл данных:"), "DataFile");
    m_channel = addRow(QStringLiteral("Канал:"), "Channel");
    m_device = addRow(QStringLiteral("Устройство:"), "Device");
    m_started = addRow(QStringLiteral("Начало:"), "Started");
    m_ending = addRow(QStringLiteral("Окончание:"), "Ending");
    m_recorded = addRow(QStringLiteral("Записано:"), "Recorded");

    m_rate = new QLabel(this);
    m_rate->setObjectName(QStringLiteral("Rate"));
    m_rate->setTextFormat(Qt::PlainText);
    m_assumedRate->setObjectName(QStringLiteral("AssumedRate"));
    m_assumedRate->setRange(0.001, 10000000);
    m_assumedRate->setDecimals(3);
    m_assumedRate->setSuffix(QStringLiteral(" отсч./с"));
    m_assumedRate->setKeyboardTracking(false);
    m_assumedRate->setToolTip(QStringLiteral("Частота отсчётов не измерена, а принята: её можно изменить"));
    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(m_assumedRate);
    rateRow->addWidget(m_rate, 1);
    m_form->addRow(QStringLiteral("Частота:"), rateRow);

    m_problem = addRow(QStringLiteral("Неполадка:"), "Problem");
    m_integrity = addRow(QStringLiteral("Проверка файла:"), "Integrity");
    connect(m_assumedRate, &QDoubleSpinBox::valueChanged, this, &DescriptionPanel::assumedRateChanged);
    showFor(nullptr);
}

QLabel *DescriptionPanel::addRow(const QString &title, const char *name)
{
    auto *label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_form->addRow(title, label);
    return label;
}

void DescriptionPanel::showFor(const Recording *recording)
{
    for (QLabel *label : {m_file, m_channel, m_device, m_started, m_ending, m_recorded, m_rate, m_problem, m_integrity})
        label->clear();
    m_integrity->setStyleSheet(QString());
    m_assumedRate->setVisible(recording && recording->rateIsAssumed());
    if (!recording)
        return;

    m_file->setText(QFileInfo(recording->dataPath()).fileName());
    m_file->setToolTip(recording->dataPath());
    if (recording->rateIsAssumed()) {
        const QSignalBlocker quiet(m_assumedRate);
        m_assumedRate->setValue(recording->samplesPerSecond());
        m_rate->setText(recording->description() ? QStringLiteral("принята: измеренной частоты в описании нет")
                                                 : QStringLiteral("принята: описания нет"));
    } else {
        m_rate->setText(QStringLiteral("%1 отсч./с, измерена").arg(QString::number(recording->samplesPerSecond(), 'f', 3)));
    }

    const std::optional<RecordingDescription> &description = recording->description();
    if (!description) {
        for (QLabel *label : {m_channel, m_device, m_started, m_ending, m_problem})
            label->setText(QStringLiteral("описания нет"));
        showRecorded(recording);
        return;
    }
    m_channel->setText(QStringLiteral("%1 (код %2)").arg(description->channelNumber).arg(description->channelCode));
    m_device->setText(description->lineRate > 0 ? QStringLiteral("%1, %2 бит/с")
                                                      .arg(description->deviceName)
                                                      .arg(description->lineRate)
                                                : description->deviceName);
    m_started->setText(dateTimeText(description->started));
    const QString ending = endingWords(description->ending);
    m_ending->setText(description->ended.isValid() ? QStringLiteral("%1, %2").arg(ending, dateTimeText(description->ended))
                                                   : ending);
    showRecorded(recording);
    m_problem->setText(description->problem.isEmpty() ? QStringLiteral("нет") : description->problem);
    m_integrity->setText(QStringLiteral("идёт проверка размера и SHA-256…"));
}

void DescriptionPanel::showRecorded(const Recording *recording)
{
    const QString samples = QStringLiteral("%1 отсчётов").arg(recording->sampleCount());
    const std::optional<RecordingDescription> &description = recording->description();
    if (description) {
        m_recorded->setText(QStringLiteral("%1 с из заданных %2 · %3")
                                .arg(QString::number(description->recordedSeconds, 'f', 3))
                                .arg(description->requestedSeconds)
                                .arg(samples));
        return;
    }
    m_recorded->setText(QStringLiteral("%1 · %2 с при принятой частоте")
                            .arg(samples,
                                 QString::number(recording->sampleCount() / recording->samplesPerSecond(), 'f', 2)));
}

void DescriptionPanel::showIntegrity(Integrity integrity, const QString &message)
{
    m_integrity->setText(message);
    switch (integrity) {
    case Integrity::Verified:
        m_integrity->setStyleSheet(QStringLiteral("color: #1a7f37;"));
        break;
    case Integrity::Differs:
        m_integrity->setStyleSheet(QStringLiteral("color: #b00020; font-weight: bold;"));
        break;
    case Integrity::Unchecked:
        m_integrity->setStyleSheet(QString());
        break;
    }
}
