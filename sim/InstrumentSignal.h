#pragma once

#include <QByteArray>
#include <QtGlobal>

// The signal the simulated instrument streams: a sine whose period depends on the channel, with a small hashed
// jitter, so that a host test can predict every byte and any lost or repeated byte shows.
class InstrumentSignal
{
public:
    // channel 0…7, n = index of the sample since its stream started (n >= 0).
    static quint8 sample(int channel, qint64 n);
    static QByteArray samples(int channel, qint64 first, qint64 count);
};
