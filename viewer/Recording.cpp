#include "viewer/Recording.h"

#include "viewer/DescriptionFile.h"
#include "viewer/MappedSamples.h"

#include <QFileInfo>

namespace {

// The summary takes a 30th of the data file in memory: up to this size it stays near 340 MB.
// 22 days at the line's 5,600 samples a second; a larger file is no recording of this
// instrument (a disk image, say).
constexpr qint64 LargestDataFile = qint64(10) << 30;

} // namespace

// Keeps the pieces of a recording together: its data file's samples, its description file,
// the rates, the warnings, and whether it is followed.
struct Recording::Private
{
    bool load(const QString &path, QString *errorMessage, const Progress &progress, Following following);
    bool openData(QString *errorMessage);
    bool summarise(QString *errorMessage, const Progress &progress);
    bool loadDescription(QString *errorMessage);
    void takeRate(const RecordingDescription &read, double rate);
    void noteSizeDiffers();
    Growth takeInGrowth();
    // Whether the file's description has been replaced by that of a recording since, and, for a
    // recording followed, takes in the one that ends it: *ended.
    bool descriptionStartedOver(bool *ended);

    QString openedPath;
    QString dataPath;
    DescriptionFile descriptionFile;
    std::optional<RecordingDescription> description;
    double measuredRate = 0;
    double assumedRate = AssumedSamplesPerSecond;
    bool assumedRateChosen = false;
    QStringList warnings;
    MappedSamples samples;
    bool followed = false;
};

bool Recording::Private::load(const QString &path, QString *errorMessage, const Progress &progress,
                             Following following)
{
    openedPath = path;
    if (path.endsWith(QLatin1String(".json"))) {
        descriptionFile.setPath(path);
        dataPath = path.chopped(5);
    } else {
        dataPath = path;
        const QString beside = RecordingDescription::pathFor(path);
        if (QFileInfo::exists(beside) || QFileInfo(beside).isSymLink())
            descriptionFile.setPath(beside);
    }
    if (descriptionFile.isSet() && !loadDescription(errorMessage))
        return false;
    followed = description ? description->ending == RecordingDescription::Ending::Recording
                           : following == Following::Always;
    if (!openData(errorMessage) || !summarise(errorMessage, progress))
        return false;
    noteSizeDiffers();
    return true;
}

bool Recording::Private::openData(QString *errorMessage)
{
    QString reason;
    const QFileInfo dataInfo(dataPath);
    if (!dataInfo.exists() && !dataInfo.isSymLink() && descriptionFile.isSet())
        reason = QStringLiteral("его нет, хотя описание «%1» к нему есть").arg(descriptionFile.path());
    // A file followed keeps room to grow to the largest a recording may be.
    if (!reason.isEmpty() || !samples.open(dataPath, &reason, followed ? LargestDataFile : 0)) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: %2.").arg(dataPath, reason);
        return false;
    }
    if (samples.mappedSize() > LargestDataFile) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: он слишком велик для записи прибора — "
                                       "%2 ГБ, а просмотр открывает файлы до %3 ГБ (22 суток записи).")
                            .arg(dataPath)
                            .arg(double(samples.mappedSize()) / (1 << 30), 0, 'f', 1)
                            .arg(LargestDataFile >> 30);
        return false;
    }
    return true;
}

void Recording::Private::noteSizeDiffers()
{
    if (description && description->ending != RecordingDescription::Ending::Recording
        && description->bytes != samples.sampleCount()) {
        warnings << QStringLiteral("Размер файла данных «%1» — %2 байт, а в описании — %3 байт: показано то, "
                                   "что в файле.")
                        .arg(dataPath)
                        .arg(samples.sampleCount())
                        .arg(description->bytes);
    }
}

bool Recording::Private::summarise(QString *errorMessage, const Progress &progress)
{
    qint64 summarised = 0;
    try {
        summarised = samples.summarise(progress);
    } catch (const std::bad_alloc &) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: не хватает памяти для его сводки.")
                            .arg(dataPath);
        return false;
    }
    if (summarised < 0) {
        *errorMessage = QStringLiteral("Открытие файла данных «%1» отменено.").arg(dataPath);
        return false;
    }
    if (samples.sampleCount() < samples.mappedSize()) {
        warnings << QStringLiteral("Файл данных «%1» укоротился, пока его открывали: показаны первые %2 байт.")
                        .arg(dataPath)
                        .arg(summarised);
    }
    return true;
}

void Recording::Private::takeRate(const RecordingDescription &read, double rate)
{
    measuredRate = read.ending == RecordingDescription::Ending::Recording ? 0 : rate;
    // A recording without a measured rate is taken at the line's: ten bits a byte.
    if (measuredRate <= 0 && read.lineRate > 0 && !assumedRateChosen)
        assumedRate = read.lineRate / 10.0;
}

bool Recording::Private::loadDescription(QString *errorMessage)
{
    QString reason;
    description = descriptionFile.read(&measuredRate, &reason);
    if (!description) {
        *errorMessage = QStringLiteral("Не удалось прочитать описание записи «%1»: %2.")
                            .arg(descriptionFile.path(), reason);
        return false;
    }
    // A recording copied or renamed keeps the name it was made under in its description.
    const QString namedData = QFileInfo(description->dataFileName).fileName();
    if (!namedData.isEmpty() && namedData != QFileInfo(dataPath).fileName()) {
        warnings << QStringLiteral("Описание «%1» написано для файла данных «%2», а открыт «%3»: запись, видимо, "
                                   "скопирована или переименована. Показан «%3».")
                        .arg(descriptionFile.path(), namedData, QFileInfo(dataPath).fileName());
    }
    takeRate(*description, measuredRate);
    return true;
}

bool Recording::Private::descriptionStartedOver(bool *ended)
{
    if (followed && !descriptionFile.isSet() && QFileInfo::exists(RecordingDescription::pathFor(dataPath)))
        descriptionFile.setPath(RecordingDescription::pathFor(dataPath));
    if (!descriptionFile.isSet())
        return false;
    double rate = 0;
    std::optional<RecordingDescription> read = descriptionFile.readChanged(&rate);
    if (!read)
        return false;
    if (description && read->started != description->started)
        return true;
    if (followed) {
        descriptionFile.take();
        takeRate(*read, rate);
        *ended = read->ending != RecordingDescription::Ending::Recording;
        description = std::move(read);
    }
    return false;
}

// The recorder writes the data before the description that ends the recording, and replaces
// a description whole: one read here is always one the recorder wrote. A recording that has
// ended is still watched for one made afresh in its place.
Recording::Growth Recording::Private::takeInGrowth()
{
    bool ended = false;
    if (descriptionStartedOver(&ended))
        return Growth::StartedOver;

    qint64 size = samples.fileSize();
    if (size < 0)
        size = samples.sampleCount();
    if (size < samples.sampleCount())
        return Growth::StartedOver;
    if (!followed)
        return Growth::Unchanged;
    bool grew = false;
    if (size > samples.sampleCount() && size <= LargestDataFile) {
        try {
            grew = samples.grow(size);
        } catch (const std::bad_alloc &) {
            warnings << QStringLiteral("Не хватает памяти для сводки файла данных «%1»: показаны первые %2 байт.")
                            .arg(dataPath)
                            .arg(samples.sampleCount());
            followed = false;
        }
    }
    if (ended) {
        followed = false;
        noteSizeDiffers();
        return Growth::Ended;
    }
    return grew ? Growth::Grew : Growth::Unchanged;
}

Recording::Recording()
    : d(std::make_unique<Private>())
{
}

Recording::~Recording() = default;

std::unique_ptr<Recording> Recording::open(const QString &path, QString *errorMessage, const Progress &progress,
                                           Following following)
{
    std::unique_ptr<Recording> recording(new Recording);
    if (!recording->d->load(path, errorMessage, progress, following))
        return nullptr;
    return recording;
}

QString Recording::dataPath() const
{
    return d->dataPath;
}

const std::optional<RecordingDescription> &Recording::description() const
{
    return d->description;
}

QStringList Recording::warnings() const
{
    return d->warnings;
}

qint64 Recording::sampleCount() const
{
    return d->samples.sampleCount();
}

double Recording::samplesPerSecond() const
{
    return rateIsAssumed() ? d->assumedRate : d->measuredRate;
}

bool Recording::rateIsAssumed() const
{
    return d->measuredRate <= 0;
}

void Recording::setAssumedRate(double samplesPerSecond)
{
    if (!rateIsAssumed() || !(samplesPerSecond > 0))
        return;
    d->assumedRate = samplesPerSecond;
    d->assumedRateChosen = true;
}

QDateTime Recording::started() const
{
    return d->description ? d->description->started : QDateTime();
}

bool Recording::stillRecording() const
{
    return d->description && d->description->ending == RecordingDescription::Ending::Recording;
}

void Recording::summarise(double first, double perColumn, ColumnRange *columns, int count) const
{
    d->samples.columns(first, perColumn, columns, count);
}

qint64 Recording::copySamples(qint64 first, qint64 count, quint8 *out) const
{
    return d->samples.copy(first, count, out);
}

SpanStatistics Recording::statistics(qint64 first, qint64 last) const
{
    return d->samples.statistics(first, last);
}

QString Recording::openedPath() const
{
    return d->openedPath;
}

void Recording::keepAssumedRateOf(const Recording &earlier)
{
    if (earlier.d->assumedRateChosen)
        setAssumedRate(earlier.d->assumedRate);
}

bool Recording::isFollowed() const
{
    return d->followed;
}

Recording::Growth Recording::takeInGrowth()
{
    return d->takeInGrowth();
}
