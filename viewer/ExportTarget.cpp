#include "viewer/ExportTarget.h"

#include "platform/DiskSync.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
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
    m_removalOnStop.reset();
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
    int openError = EEXIST;
    for (int attempt = 0; attempt < 100 && openError == EEXIST; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString candidate = target.dir().filePath(name);
        // A stop signal waits until the new file is marked for removal, and spares a file
        // of that name that was there before.
        const sigset_t stopSignals = RemovalOnStopSignal::signalSet();
        sigset_t unblocked;
        ::pthread_sigmask(SIG_BLOCK, &stopSignals, &unblocked);
        m_fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        openError = errno;
        if (m_fd >= 0)
            m_removalOnStop = std::make_unique<RemovalOnStopSignal>(candidate);
        ::pthread_sigmask(SIG_SETMASK, &unblocked, nullptr);
        if (m_fd >= 0) {
            m_temporaryPath = candidate;
            return true;
        }
    }
    *reason = QStringLiteral("не удалось создать файл в папке «%1» (%2)")
                  .arg(target.dir().path(), SystemErrorText::forSystemError(openError));
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
    const int closed = ::close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    if (synced != 0 || closed != 0) {
        *reason = QStringLiteral("ошибка записи (%1)").arg(SystemErrorText::forSystemError(synced ? synced : closed));
        return false;
    }
    const QByteArray path = QFile::encodeName(m_path);
    if (::rename(QFile::encodeName(m_temporaryPath).constData(), path.constData()) != 0) {
        *reason = QStringLiteral("не удалось заменить прежний файл (%1)").arg(SystemErrorText::forSystemError(errno));
        return false;
    }
    m_committed = true;
    m_removalOnStop.reset();
    // The folder holds the new name only once it is synced too; a file the disk may lose is
    // not left under the name as if it were safe.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (const int error = DiskSync::folder(folder)) {
        ::unlink(path.constData());
        *reason = QStringLiteral("папку «%1» не удалось сохранить на диск (%2)")
                      .arg(folder, SystemErrorText::forSystemError(error));
        return false;
    }
    return true;
}
