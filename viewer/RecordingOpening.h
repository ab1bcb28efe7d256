#pragma once

#include "viewer/Recording.h"

#include <QObject>
#include <QString>

#include <memory>

// Opens a recording on a thread of its own, so that the window goes on answering while a large
// file, or a file that is no recording at all (a disk image dropped on the window), is mapped
// and summarised. It tells how far it has come and can be cancelled; closing the program
// cancels it too.
class RecordingOpening : public QObject
{
    Q_OBJECT

public:
    explicit RecordingOpening(QObject *parent = nullptr);
    ~RecordingOpening() override;

    // Starts opening path; an opening under way is cancelled and reports nothing more.
    void start(const QString &path, Recording::Following following = Recording::Following::WhileRecording);
    void cancel();
    bool isRunning() const;
    QString path() const;
    // After finished(true): the recording opened, once.
    std::unique_ptr<Recording> take();

signals:
    // Of the data file's bytes, how many are summarised.
    void progressed(qint64 done, qint64 total);
    // opened: the recording is ready for take(). Otherwise message says in Russian which file
    // failed and why. Not sent for an opening cancelled.
    void finished(bool opened, const QString &message);
    void cancelled();

private:
    class Job;
    std::shared_ptr<Job> m_job;
    std::unique_ptr<Recording> m_opened;
};
