#pragma once

#include <QDateTime>

class Recording;

// When a span of a recording begins: the recording's start plus the span's first sample's
// time, to a tenth of a millisecond, in the recording's own offset from UTC.
class SpanStart
{
public:
    SpanStart(const Recording &recording, qint64 firstSample);

    // False for a recording whose start is unknown.
    bool isKnown() const;
    // To the millisecond.
    QDateTime time() const;
    // The tenths of a millisecond beyond time(), 0…9.
    int tenthsOfMillisecond() const;

private:
    QDateTime m_time;
    int m_tenths = 0;
};
