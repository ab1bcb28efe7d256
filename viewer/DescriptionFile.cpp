#include "viewer/DescriptionFile.h"

#include "platform/ReadOnlyFile.h"
#include "platform/SystemErrorText.h"

#include <QFileInfo>

namespace {

// A description is a page of text; anything much larger is not one.
constexpr qint64 LargestDescription = 1 << 20;

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
    return description;
}

std::optional<RecordingDescription> DescriptionFile::readChanged(double *rate)
{
    QString reason;
    if (!readText(&m_changed, &reason) || m_changed == m_taken)
        return std::nullopt;
    return parse(m_changed, rate, &reason);
}

void DescriptionFile::take()
{
    m_taken = m_changed;
}

bool DescriptionFile::readText(QByteArray *text, QString *reason) const
{
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
    return true;
}

std::optional<RecordingDescription> DescriptionFile::parse(const QByteArray &text, double *rate,
                                                           QString *reason) const
{
    return RecordingDescription::fromJson(text, QFileInfo(m_path).path(), reason, rate);
}
