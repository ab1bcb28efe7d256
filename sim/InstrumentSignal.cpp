#include "sim/InstrumentSignal.h"

// M_PI on every platform: mingw-w64 leaves it out of <cmath> in strict C++17.
#include <QtMath>

#include <array>
#include <cmath>

namespace {

constexpr int kSineBits = 10;
constexpr int kCentre = 128;
constexpr int kAmplitude = 98;
constexpr int kJitterOffset = 7; // the jitter is 0…15, so samples stay within 23…234

// Sine periods in samples, one per channel.
constexpr std::array<double, 8> kPeriods = { 100, 131, 173, 227, 293, 359, 443, 521 };

// The sine is a 32-bit phase accumulator: n samples in, the phase is n * step (mod 2^32).
quint32 phaseStep(int channel)
{
    return quint32(std::llround(4294967296.0 / kPeriods[channel]));
}

const std::array<qint16, 1 << kSineBits> &sineTable()
{
    static const auto table = [] {
        std::array<qint16, 1 << kSineBits> t{};
        for (int i = 0; i < int(t.size()); ++i)
            t[i] = qint16(std::lround(kAmplitude * std::sin(2 * M_PI * i / t.size())));
        return t;
    }();
    return table;
}

// splitmix64's finaliser: every bit of n affects the jitter, so the stream never repeats.
quint64 mix(quint64 z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

quint64 seed(int channel)
{
    return quint64(channel + 1) * 0x9E3779B97F4A7C15ULL;
}

quint8 compose(const std::array<qint16, 1 << kSineBits> &sine, quint32 phase, quint64 seedOfChannel, qint64 n)
{
    const int jitter = int(mix(seedOfChannel + quint64(n)) >> 60);
    return quint8(kCentre + sine[phase >> (32 - kSineBits)] + jitter - kJitterOffset);
}

} // namespace

quint8 InstrumentSignal::sample(int channel, qint64 n)
{
    Q_ASSERT(channel >= 0 && channel < int(kPeriods.size()) && n >= 0);
    return compose(sineTable(), quint32(quint64(n) * phaseStep(channel)), seed(channel), n);
}

QByteArray InstrumentSignal::samples(int channel, qint64 first, qint64 count)
{
    Q_ASSERT(channel >= 0 && channel < int(kPeriods.size()) && first >= 0 && count >= 0);
    QByteArray out(qsizetype(count), Qt::Uninitialized);
    const auto &sine = sineTable();
    const quint32 step = phaseStep(channel);
    const quint64 channelSeed = seed(channel);
    quint32 phase = quint32(quint64(first) * step);
    char *p = out.data();
    for (qint64 i = 0; i < count; ++i, phase += step)
        p[i] = char(compose(sine, phase, channelSeed, first + i));
    return out;
}
