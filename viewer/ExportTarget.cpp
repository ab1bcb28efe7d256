#include "viewer/ExportTarget.h"

#include "platform/DiskSync.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

ExportTarget::ExportTarget(const QString &path)
    : m_path(path)
{
}

ExportTarget::~ExportTarget()
{
    if (m_fd >= 0)
        closeDescriptor();
    if (!m_committed && !m_temporaryPath.isEmpty())
        remove(m_temporaryPath);
    m_removalOnStop.reset();
}

bool ExportTarget::create(QString *reason)
{
    const QFileInfo target(m_path);
    if (target.isDir()) {
        *reason = SystemErrorText::wording(SystemErrorText::Meaning::IsFolder);
        return false;
    }
    if (target.exists() && !target.isFile()) {
        *reason = QStringLiteral("под этим именем не обычный файл");
        return false;
    }
    // Hidden and beside the target, so that the rename stays within one file system.
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString candidate = target.dir().filePath(name);
        error = createTemporary(candidate);
        if (error == 0) {
            m_temporaryPath = candidate;
            return true;
        }
        if (!alreadyExists(error))
            break;
    }
    *reason = QStringLiteral("не удалось создать файл в папке «%1» (%2)")
                  .arg(target.dir().path(), SystemErrorText::forSystemError(error));
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
    const int synced = DiskSync::file(m_fd);
    const int closed = closeDescriptor();
    if (synced != 0 || closed != 0) {
        *reason = QStringLiteral("ошибка записи (%1)").arg(SystemErrorText::forSystemError(synced ? synced : closed));
        return false;
    }
    if (const int error = putInPlace()) {
        *reason = QStringLiteral("не удалось заменить прежний файл (%1)").arg(SystemErrorText::forSystemError(error));
        return false;
    }
    m_committed = true;
    m_removalOnStop.reset();
    // The folder holds the new name only once it is synced too; a file the disk may lose is
    // not left under the name as if it were safe.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (const int error = DiskSync::folder(folder)) {
        remove(m_path);
        *reason = QStringLiteral("папку «%1» не удалось сохранить на диск (%2)")
                      .arg(folder, SystemErrorText::forSystemError(error));
        return false;
    }
    return true;
}
