#include "viewer/Recording.h"

#include "platform/ReadOnlyFile.h"
#include "platform/SystemErrorText.h"
#include "viewer/BusErrorGuard.h"
#include "viewer/MappedDataFile.h"
#include "viewer/SampleSummary.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

// A description is a page of text; anything much larger is not one.
constexpr qint64 LargestDescription = 1 << 20;
// The summary takes a 30th of the data file in memory: up to this size it stays near 340 MB.
// 22 days at the line's 5,600 samples a second; a larger file is no recording of this
// instrument (a disk image, say).
constexpr qint64 LargestDataFile = qint64(10) << 30;

// The system's reason, or, for a name that could not be found and came from bytes that are
// not UTF-8, that reason: Qt stands a replacement character for each such byte.
QString openFailure(const QString &path, int error)
{
    if (ReadOnlyFile::isNotFound(error) && path.contains(QChar::ReplacementCharacter))
        return QStringLiteral("имя файла не в кодировке UTF-8, и программа не может его прочитать; "
                              "переименуйте файл");
    return SystemErrorText::forSystemError(error);
}

bool readDescriptionText(const QString &path, QByteArray *text, QString *reason)
{
    ReadOnlyFile file;
    if (const int error = file.open(path); error != 0) {
        *reason = openFailure(path, error);
        return false;
    }
    ReadOnlyFile::Kind kind = ReadOnlyFile::Kind::Other;
    qint64 size = 0;
    if (const int error = file.inspect(&kind, &size); error != 0) {
        *reason = SystemErrorText::forSystemError(error);
        return false;
    }
    if (kind == ReadOnlyFile::Kind::Folder) {
        *reason = QStringLiteral("это папка, а не файл");
        return false;
    }
    if (kind != ReadOnlyFile::Kind::Regular) {
        *reason = QStringLiteral("это не обычный файл");
        return false;
    }
    if (size > LargestDescription) {
        *reason = QStringLiteral("файл слишком велик для описания (%1 байт)").arg(size);
        return false;
    }
    text->resize(qsizetype(size));
    qint64 done = 0;
    while (done < text->size()) {
        int error = 0;
        const qint64 got = file.read(text->data() + done, text->size() - done, &error);
        if (got < 0) {
            *reason = SystemErrorText::forSystemError(error);
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    text->resize(qsizetype(done));
    return true;
}

} // namespace

struct Recording::Private
{
    bool load(const QString &path, QString *errorMessage, const Progress &progress, Following following);
    bool summarise(QString *errorMessage, const Progress &progress);
    bool loadDescription(QString *errorMessage);
    // The description in text as it is on disk now; false with the reason if it cannot be read.
    bool readDescriptionText(QByteArray *text, QString *reason) const;
    std::optional<RecordingDescription> parseDescription(const QByteArray &text, double *rate, QString *reason) const;
    void takeRate(const RecordingDescription &read, double rate);
    void noteSizeDiffers();
    Growth takeInGrowth();
    qint64 presentSamples() const;
    // Of samples [first, last), all in the file when asked; reading them must be guarded.
    SampleSummary::Totals unguardedTotals(qint64 first, qint64 last) const;
    ColumnRange unguardedRange(qint64 first, qint64 last) const;
    // Of samples [first, last) as far as the file still holds them: *end is where they stop.
    SampleSummary::Totals spanTotals(qint64 first, qint64 last, qint64 *end) const;

    QString openedPath;
    QString dataPath;
    QString descriptionPath;
    std::optional<RecordingDescription> description;
    double measuredRate = 0;
    double assumedRate = AssumedSamplesPerSecond;
    bool assumedRateChosen = false;
    QStringList warnings;
    MappedDataFile file;
    SampleSummary summary;
    qint64 sampleCount = 0;
    bool followed = false;
    // The description's text as last read, to tell when the recorder has written another.
    QByteArray descriptionText;
};

bool Recording::Private::load(const QString &path, QString *errorMessage, const Progress &progress,
                             Following following)
{
    openedPath = path;
    if (path.endsWith(QLatin1String(".json"))) {
        descriptionPath = path;
        dataPath = path.chopped(5);
    } else {
        dataPath = path;
        const QString beside = RecordingDescription::pathFor(path);
        if (QFileInfo::exists(beside) || QFileInfo(beside).isSymLink())
            descriptionPath = beside;
    }
    if (!descriptionPath.isEmpty() && !loadDescription(errorMessage))
        return false;

    QString reason;
    const QFileInfo dataInfo(dataPath);
    const bool missing = !dataInfo.exists() && !dataInfo.isSymLink();
    if (missing && !descriptionPath.isEmpty())
        reason = QStringLiteral("его нет, хотя описание «%1» к нему есть").arg(descriptionPath);
    else if (missing)
        reason = openFailure(dataPath, ENOENT);
    followed = description ? description->ending == RecordingDescription::Ending::Recording
                           : following == Following::Always;
    // A file followed keeps room to grow to the largest a recording may be.
    if (!reason.isEmpty() || !file.open(dataPath, &reason, followed ? LargestDataFile : 0)) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: %2.").arg(dataPath, reason);
        return false;
    }
    if (file.mappedSize() > LargestDataFile) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: он слишком велик для записи прибора — "
                                       "%2 ГБ, а просмотр открывает файлы до %3 ГБ (22 суток записи).")
                            .arg(dataPath)
                            .arg(double(file.mappedSize()) / (1 << 30), 0, 'f', 1)
                            .arg(LargestDataFile >> 30);
        return false;
    }
    if (!summarise(errorMessage, progress))
        return false;
    noteSizeDiffers();
    return true;
}

void Recording::Private::noteSizeDiffers()
{
    if (description && description->ending != RecordingDescription::Ending::Recording
        && description->bytes != sampleCount) {
        warnings << QStringLiteral("Размер файла данных «%1» — %2 байт, а в описании — %3 байт: показано то, "
                                   "что в файле.")
                        .arg(dataPath)
                        .arg(sampleCount)
                        .arg(description->bytes);
    }
}

bool Recording::Private::summarise(QString *errorMessage, const Progress &progress)
{
    qint64 summarised = 0;
    try {
        summarised = summary.build(file.bytes(), file.mappedSize(), progress);
    } catch (const std::bad_alloc &) {
        *errorMessage = QStringLiteral("Не удалось открыть файл данных «%1»: не хватает памяти для его сводки.")
                            .arg(dataPath);
        return false;
    }
    if (summarised < 0) {
        *errorMessage = QStringLiteral("Открытие файла данных «%1» отменено.").arg(dataPath);
        return false;
    }
    sampleCount = file.mappedSize();
    if (summarised < (file.mappedSize() & ~(SampleSummary::BlockSamples - 1))) {
        sampleCount = summarised;
        warnings << QStringLiteral("Файл данных «%1» укоротился, пока его открывали: показаны первые %2 байт.")
                        .arg(dataPath)
                        .arg(summarised);
    }
    return true;
}

bool Recording::Private::readDescriptionText(QByteArray *text, QString *reason) const
{
    return ::readDescriptionText(descriptionPath, text, reason);
}

std::optional<RecordingDescription> Recording::Private::parseDescription(const QByteArray &text, double *rate,
                                                                         QString *reason) const
{
    return RecordingDescription::fromJson(text, QFileInfo(descriptionPath).path(), reason, rate);
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
    if (readDescriptionText(&descriptionText, &reason))
        description = parseDescription(descriptionText, &measuredRate, &reason);
    if (!description) {
        *errorMessage = QStringLiteral("Не удалось прочитать описание записи «%1»: %2.").arg(descriptionPath, reason);
        return false;
    }
    // A recording copied or renamed keeps the name it was made under in its description.
    const QString namedData = QFileInfo(description->dataFileName).fileName();
    if (!namedData.isEmpty() && namedData != QFileInfo(dataPath).fileName()) {
        warnings << QStringLiteral("Описание «%1» написано для файла данных «%2», а открыт «%3»: запись, видимо, "
                                   "скопирована или переименована. Показан «%3».")
                        .arg(descriptionPath, namedData, QFileInfo(dataPath).fileName());
    }
    takeRate(*description, measuredRate);
    return true;
}

// The recorder writes the data before the description that ends the recording, and replaces
// a description whole: one read here is always one the recorder wrote. A recording that has
// ended is still watched for one made afresh in its place.
Recording::Growth Recording::Private::takeInGrowth()
{
    if (followed && descriptionPath.isEmpty() && QFileInfo::exists(RecordingDescription::pathFor(dataPath)))
        descriptionPath = RecordingDescription::pathFor(dataPath);
    bool ended = false;
    QByteArray text;
    QString reason;
    if (!descriptionPath.isEmpty() && readDescriptionText(&text, &reason) && text != descriptionText) {
        double rate = 0;
        if (std::optional<RecordingDescription> read = parseDescription(text, &rate, &reason)) {
            if (description && read->started != description->started)
                return Growth::StartedOver;
            if (followed) {
                descriptionText = text;
                takeRate(*read, rate);
                ended = read->ending != RecordingDescription::Ending::Recording;
                description = std::move(read);
            }
        }
    }

    qint64 size = file.fileSize();
    if (size < 0)
        size = sampleCount;
    if (size < sampleCount)
        return Growth::StartedOver;
    if (!followed)
        return Growth::Unchanged;
    bool grew = false;
    if (size > sampleCount && size <= LargestDataFile && file.grow(size)) {
        try {
            const qint64 summarised = summary.extend(file.bytes(), size);
            sampleCount = summarised < (size & ~(SampleSummary::BlockSamples - 1)) ? summarised : size;
            grew = true;
        } catch (const std::bad_alloc &) {
            warnings << QStringLiteral("Не хватает памяти для сводки файла данных «%1»: показаны первые %2 байт.")
                            .arg(dataPath)
                            .arg(sampleCount);
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

qint64 Recording::Private::presentSamples() const
{
    return std::min(sampleCount, file.presentSize());
}

SampleSummary::Totals Recording::Private::unguardedTotals(qint64 first, qint64 last) const
{
    const qint64 blockFirst = (first + SampleSummary::BlockSamples - 1) >> SampleSummary::BlockShift;
    const qint64 blockLast = std::min(last >> SampleSummary::BlockShift, summary.blockCount());
    const uchar *bytes = file.bytes();
    if (blockFirst >= blockLast)
        return SampleSummary::Totals::of(bytes + first, last - first);
    SampleSummary::Totals totals = summary.totals(blockFirst, blockLast);
    totals.add(SampleSummary::Totals::of(bytes + first, (blockFirst << SampleSummary::BlockShift) - first));
    totals.add(SampleSummary::Totals::of(bytes + (blockLast << SampleSummary::BlockShift),
                                         last - (blockLast << SampleSummary::BlockShift)));
    return totals;
}

ColumnRange Recording::Private::unguardedRange(qint64 first, qint64 last) const
{
    const qint64 blockFirst = (first + SampleSummary::BlockSamples - 1) >> SampleSummary::BlockShift;
    const qint64 blockLast = std::min(last >> SampleSummary::BlockShift, summary.blockCount());
    const uchar *bytes = file.bytes();
    if (blockFirst >= blockLast)
        return SampleSummary::rangeOf(bytes + first, last - first);
    SampleSummary::Totals range;
    range.range = summary.range(blockFirst, blockLast);
    range.add({SampleSummary::rangeOf(bytes + first, (blockFirst << SampleSummary::BlockShift) - first)});
    range.add({SampleSummary::rangeOf(bytes + (blockLast << SampleSummary::BlockShift),
                                      last - (blockLast << SampleSummary::BlockShift))});
    return range.range;
}

SampleSummary::Totals Recording::Private::spanTotals(qint64 first, qint64 last, qint64 *end) const
{
    // Each failure means the file is shorter now, which the next try sees.
    for (int attempt = 0; attempt < 4; ++attempt) {
        *end = std::min(last, presentSamples());
        SampleSummary::Totals span;
        auto read = [&] { span = unguardedTotals(first, *end); };
        if (first >= *end || BusErrorGuard::run(read))
            return span;
    }
    *end = first;
    return SampleSummary::Totals();
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
    return d->sampleCount;
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
    const qint64 present = d->presentSamples();
    volatile int done = 0;
    auto fill = [&] {
        for (int i = done; i < count; ++i) {
            const double start = first + i * perColumn;
            const double end = first + (i + 1) * perColumn;
            const qint64 from = std::max<qint64>(0, qint64(std::floor(start)));
            const qint64 to = std::min(present, qint64(std::ceil(end)));
            columns[i] = from < to ? d->unguardedRange(from, to) : ColumnRange();
            // Column i is stored before it is counted, also as a bus error would see it.
            std::atomic_signal_fence(std::memory_order_release);
            done = i + 1;
        }
    };
    if (!BusErrorGuard::run(fill)) {
        for (int i = done; i < count; ++i)
            columns[i] = ColumnRange();
    }
}

qint64 Recording::copySamples(qint64 first, qint64 count, quint8 *out) const
{
    if (first < 0 || count <= 0)
        return 0;
    const qint64 available = std::min(count, d->sampleCount - first);
    return available > 0 ? d->file.copy(first, available, out) : 0;
}

SpanStatistics Recording::statistics(qint64 first, qint64 last) const
{
    first = std::max<qint64>(0, first);
    last = std::min(last, d->sampleCount);
    if (first >= last)
        return SpanStatistics();
    qint64 end = first;
    const SampleSummary::Totals totals = d->spanTotals(first, last, &end);
    const qint64 count = end - first;
    if (count <= 0)
        return SpanStatistics();
    SpanStatistics statistics;
    statistics.count = count;
    statistics.min = totals.range.min;
    statistics.max = totals.range.max;
    statistics.mean = double(totals.sum) / double(count);
    statistics.rms = std::sqrt(double(totals.squares) / double(count));
    return statistics;
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
