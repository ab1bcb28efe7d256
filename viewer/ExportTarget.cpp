#include "viewer/ExportTarget.h"

#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ExportTarget::ExportTarget(const QString &path)
    : m_path(path)
{
}

ExportTarget::~ExportTarget()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temporaryPath.isEmpty())
        ::unlink(QFile::encodeName(m_temporaryPath).constData());
}

bool ExportTarget::create(QString *reason)
{
    const QFileInfo target(m_path);
    if (target.isDir()) {
        *reason = QStringLiteral("это папка, а не файл");
        return false;
    }
    if (target.exists() && !target.isFile()) {
        *reason = QStringLiteral("под этим именем не обычный файл");
        return false;
    }
    // Hidden and beside the target, so that the rename stays within one file system.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString candidate = target.dir().filePath(name);
        m_fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporaryPath = candidate;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    *reason = QStringLiteral("не удалось создать файл в папке «%1» (%2)")
                  .arg(target.dir().path(), SystemErrorText::forSystemError(errno));
    return false;
}

QString ExportTarget::temporaryPath() const
{
    return m_temporaryPath;
}

int ExportTarget::descriptor() const
{
    return m_fd;
}

bool ExportTarget::commit(QString *reason)
{
    const int synced = ::fdatasync(m_fd) == 0 ? 0 : errno;
    const int closed = ::close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    if (synced != 0 || closed != 0) {
        *reason = QStringLiteral("ошибка записи (%1)").arg(SystemErrorText::forSystemError(synced ? synced : closed));
        return false;
    }
    if (::rename(QFile::encodeName(m_temporaryPath).constData(), QFile::encodeName(m_path).constData()) != 0) {
        *reason = QStringLiteral("не удалось заменить прежний файл (%1)").arg(SystemErrorText::forSystemError(errno));
        return false;
    }
    m_committed = true;
    return true;
}
