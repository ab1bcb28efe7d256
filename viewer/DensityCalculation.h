#pragma once

#include "viewer/PowerDensity.h"
#include "viewer/WelchEstimate.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class Recording;

// Works out a spectrum on a thread of its own, so that a long span never holds up the
// window, and reports back on this object's thread. A calculation started while another
// runs, or cancelled, stops that one; it reports nothing more.
class DensityCalculation : public QObject
{
    Q_OBJECT

public:
    explicit DensityCalculation(QObject *parent = nullptr);
    // Cancels a calculation under way and waits for it to stop.
    ~DensityCalculation() override;

    // The recording must stay, unchanged, until finished() or failed(), or cancel().
    void start(const Recording &recording, const WelchEstimate::Request &request);
    // Stops the calculation under way, waiting the moment it takes to leave the segment it
    // is on, so that the recording may change afterwards.
    void cancel();
    // A calculation started is still reading the recording.
    bool isRunning() const;

signals:
    void progressed(int percent);
    void finished(const PowerDensity &spectrum);
    // A message in Russian: a span too short, a file cut short.
    void failed(const QString &message);

private:
    // Kept, finished or not, until the next start() or cancel().
    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};
