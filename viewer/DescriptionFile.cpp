#include "viewer/DescriptionFile.h"

#include "platform/ReadOnlyFile.h"
#include "platform/SystemErrorText.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

// A description is a page of text; anything much larger is not one.
constexpr qint64 LargestDescription = 1 << 20;
// The coarsest modification times a file system keeps (FAT's): a file replaced within this of
// its last change may keep its time.
constexpr qint64 FileTimeStepMs = 2000;

} // namespace

void DescriptionFile::setPath(const QString &path)
{
    m_path = path;
}

QString DescriptionFile::path() const
{
    return m_path;
}

bool DescriptionFile::isSet() const
{
    return !m_path.isEmpty();
}

std::optional<RecordingDescription> DescriptionFile::read(double *rate, QString *reason)
{
    QByteArray text;
    if (!readText(&text, reason))
        return std::nullopt;
    std::optional<RecordingDescription> description = parse(text, rate, reason);
    if (description)
        m_taken = text;
    m_changed = text;
    return description;
}

std::optional<RecordingDescription> DescriptionFile::readChanged(double *rate)
{
    QString reason;
    if (!unchangedSinceRead() && !readText(&m_changed, &reason))
        return std::nullopt;
    if (m_changed == m_taken)
        return std::nullopt;
    return parse(m_changed, rate, &reason);
}

bool DescriptionFile::unchangedSinceRead() const
{
    const QFileInfo file(m_path);
    return m_readSize >= 0 && file.size() == m_readSize
           && file.lastModified().toMSecsSinceEpoch() == m_readModifiedMs
           && m_readModifiedMs + FileTimeStepMs <= m_readAtMs;
}

void DescriptionFile::take()
{
    m_taken = m_changed;
}

// The file's size and time are taken before it is read: a change in between shows at the next look.
bool DescriptionFile::readText(QByteArray *text, QString *reason)
{
    m_readSize = -1;
    const qint64 readAtMs = QDateTime::currentMSecsSinceEpoch();
    const QFileInfo seen(m_path);
    const qint64 seenSize = seen.size();
    const qint64 seenModifiedMs = seen.lastModified().toMSecsSinceEpoch();
    ReadOnlyFile file;
    qint64 size = 0;
    if (!file.openRegular(m_path, &size, reason))
        return false;
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
    m_readSize = seen.exists() ? seenSize : -1;
    m_readModifiedMs = seenModifiedMs;
    m_readAtMs = readAtMs;
    return true;
}

std::optional<RecordingDescription> DescriptionFile::parse(const QByteArray &text, double *rate,
                                                           QString *reason) const
{
    return RecordingDescription::fromJson(text, QFileInfo(m_path).path(), reason, rate);
}
