#include "viewer/IntegrityCheck.h"

#include "output/Sha256.h"
#include "platform/SystemErrorText.h"
#include "viewer/Recording.h"

#include <QFile>
#include <QThread>

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome
{
    bool verified = false;
    QString message;
};

// Reads the file through a descriptor of its own, so that a file cut short meanwhile just
// reads shorter.
Outcome check(const QString &path, qint64 expectedSize, const QByteArray &expectedHash)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return {false, QStringLiteral("Не удалось прочитать файл данных «%1» для проверки: %2.")
                           .arg(path, SystemErrorText::forSystemError(errno))};
    }
    struct stat status;
    Outcome outcome;
    if (::fstat(fd, &status) != 0) {
        outcome.message = QStringLiteral("Не удалось прочитать файл данных «%1» для проверки: %2.")
                              .arg(path, SystemErrorText::forSystemError(errno));
    } else if (status.st_size != expectedSize) {
        outcome.message = QStringLiteral("Размер файла данных «%1» не совпадает с описанием: в файле %2 байт, "
                                         "в описании %3 байт.")
                              .arg(path)
                              .arg(status.st_size)
                              .arg(expectedSize);
    } else {
        Sha256 hash;
        std::vector<char> buffer(size_t(1) << 20);
        qint64 total = 0;
        int readError = 0;
        for (;;) {
            if (QThread::currentThread()->isInterruptionRequested())
                break;
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                readError = errno;
            if (got <= 0)
                break;
            hash.add(buffer.data(), got);
            total += got;
        }
        const QByteArray found = hash.hex();
        if (readError != 0) {
            outcome.message = QStringLiteral("Не удалось прочитать файл данных «%1» для проверки: %2.")
                                  .arg(path, SystemErrorText::forSystemError(readError));
        } else if (total != expectedSize) {
            outcome.message = QStringLiteral("Файл данных «%1» изменился во время проверки: прочитано %2 байт "
                                             "вместо %3.")
                                  .arg(path)
                                  .arg(total)
                                  .arg(expectedSize);
        } else if (found != expectedHash.toLower()) {
            outcome.message = QStringLiteral("SHA-256 файла данных «%1» не совпадает с описанием: в файле %2, "
                                             "в описании %3.")
                                  .arg(path, QString::fromLatin1(found), QString::fromLatin1(expectedHash));
        } else {
            outcome.verified = true;
            outcome.message = QStringLiteral("Размер (%1 байт) и SHA-256 файла данных совпадают с описанием.")
                                  .arg(total);
        }
    }
    ::close(fd);
    return outcome;
}

} // namespace

IntegrityCheck::IntegrityCheck(QObject *parent)
    : QObject(parent)
{
}

IntegrityCheck::~IntegrityCheck()
{
    const QList<QThread *> threads = findChildren<QThread *>(Qt::FindDirectChildrenOnly);
    for (QThread *thread : threads) {
        thread->requestInterruption();
        thread->wait();
    }
}

void IntegrityCheck::start(const Recording &recording)
{
    for (QThread *thread : findChildren<QThread *>(Qt::FindDirectChildrenOnly))
        thread->requestInterruption();

    const std::optional<RecordingDescription> &description = recording.description();
    QString nothingToCheck;
    if (!description)
        nothingToCheck = QStringLiteral("Описания нет: файл данных не с чем сверить.");
    else if (description->ending == RecordingDescription::Ending::Recording)
        nothingToCheck = QStringLiteral("Запись ещё шла, когда писалось описание: размера и SHA-256 в нём ещё нет.");
    else if (description->sha256.isEmpty())
        nothingToCheck = QStringLiteral("В описании нет SHA-256: файл данных не с чем сверить.");
    if (!nothingToCheck.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, nothingToCheck] { emit finished(false, nothingToCheck); }, Qt::QueuedConnection);
        return;
    }

    const QString path = recording.dataPath();
    const qint64 size = description->bytes;
    const QByteArray hash = description->sha256;
    QThread *thread = QThread::create([this, path, size, hash] {
        QThread *self = QThread::currentThread();
        const Outcome outcome = check(path, size, hash);
        // Delivered on this object's thread, before the worker is deleted; a check dropped
        // meanwhile says nothing.
        QMetaObject::invokeMethod(
            this,
            [this, self, outcome] {
                if (!self->isInterruptionRequested())
                    emit finished(outcome.verified, outcome.message);
            },
            Qt::QueuedConnection);
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}
