#include "viewer/DensityCalculation.h"

#include "viewer/Recording.h"

#include <QThread>

#include <optional>

DensityCalculation::DensityCalculation(QObject *parent)
    : QObject(parent)
{
}

DensityCalculation::~DensityCalculation()
{
    cancel();
}

void DensityCalculation::start(const Recording &recording, const WelchEstimate::Request &request)
{
    cancel();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelled = cancelled;
    m_thread = QThread::create([this, &recording, request, cancelled] {
        // Each report is delivered on this object's thread, and dropped there once the
        // calculation is cancelled.
        const auto deliver = [this, cancelled](auto report) {
            QMetaObject::invokeMethod(
                this,
                [cancelled, report] {
                    if (!*cancelled)
                        report();
                },
                Qt::QueuedConnection);
        };
        QString error;
        const std::optional<PowerDensity> spectrum = WelchEstimate::compute(
            recording, request, cancelled.get(),
            [this, &deliver](int percent) { deliver([this, percent] { emit progressed(percent); }); }, &error);
        if (spectrum)
            deliver([this, spectrum] { emit finished(*spectrum); });
        else
            deliver([this, error] { emit failed(error); });
    });
    m_thread->start();
}

void DensityCalculation::cancel()
{
    if (!m_thread)
        return;
    *m_cancelled = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

bool DensityCalculation::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}
