#include "viewer/RecordingOpening.h"

#include <QThread>

#include <atomic>

// One opening: what it opens and whether it is still wanted. Its thread holds it too, so that
// a job dropped while the thread still runs is not freed under it.
class RecordingOpening::Job
{
public:
    QString path;
    std::atomic<bool> wanted{true};
};

RecordingOpening::RecordingOpening(QObject *parent)
    : QObject(parent)
{
}

RecordingOpening::~RecordingOpening()
{
    if (m_job)
        m_job->wanted = false;
    for (QThread *thread : findChildren<QThread *>(Qt::FindDirectChildrenOnly))
        thread->wait();
}

void RecordingOpening::start(const QString &path, Recording::Following following)
{
    if (m_job)
        m_job->wanted = false;
    m_opened.reset();
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    // Progress is passed on only when it has moved by a thousandth, not for every chunk.
    auto progress = [this, job, reported = qint64(-1)](qint64 done, qint64 total) mutable {
        if (!job->wanted)
            return false;
        if (reported < 0 || (done - reported) * 1000 >= total || done == total) {
            reported = done;
            QMetaObject::invokeMethod(
                this, [this, job, done, total] {
                    if (m_job == job)
                        emit progressed(done, total);
                },
                Qt::QueuedConnection);
        }
        return true;
    };
    QThread *thread = QThread::create([this, job, progress, following] {
        QString message;
        // Shared, so that a result never delivered is freed with the call that carried it.
        auto opened = std::make_shared<std::unique_ptr<Recording>>(Recording::open(job->path, &message, progress, following));
        // Delivered on this object's thread; an opening dropped meanwhile says nothing.
        QMetaObject::invokeMethod(
            this, [this, job, opened, message] {
                if (m_job != job || !job->wanted)
                    return;
                m_job.reset();
                m_opened = std::move(*opened);
                emit finished(bool(m_opened), message);
            },
            Qt::QueuedConnection);
    });
    thread->setParent(this);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

void RecordingOpening::cancel()
{
    if (!m_job)
        return;
    m_job->wanted = false;
    m_job.reset();
    emit cancelled();
}

bool RecordingOpening::isRunning() const
{
    return bool(m_job);
}

QString RecordingOpening::path() const
{
    return m_job ? m_job->path : QString();
}

std::unique_ptr<Recording> RecordingOpening::take()
{
    return std::move(m_opened);
}
