#include "viewer/SpanStart.h"

#include "viewer/Recording.h"

#include <cmath>

SpanStart::SpanStart(const Recording &recording, qint64 firstSample)
{
    const QDateTime started = recording.started();
    if (!started.isValid())
        return;
    const qint64 tenths = started.toMSecsSinceEpoch() * 10
        + std::llround(double(firstSample) / recording.samplesPerSecond() * 10000.0);
    const qint64 milliseconds = tenths >= 0 ? tenths / 10 : (tenths - 9) / 10;
    m_time = QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::OffsetFromUTC, started.offsetFromUtc());
    m_tenths = int(tenths - milliseconds * 10);
}

bool SpanStart::isKnown() const
{
    return m_time.isValid();
}

QDateTime SpanStart::time() const
{
    return m_time;
}

int SpanStart::tenthsOfMillisecond() const
{
    return m_tenths;
}
