#include "viewer/WelchEstimate.h"

#include "viewer/RealFourierTransform.h"
#include "viewer/Recording.h"

#include <QLocale>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

// Fewer segments than this a core are not worth a thread.
constexpr qint64 SegmentsPerThread = 32;
constexpr int MostThreads = 8;

enum class Outcome { Done, Stopped, FileCut };

struct Segments
{
    const Recording &recording;
    qint64 spanFirst;
    int length;
    std::vector<double> window;
    // The span's mean under the window, taken off each windowed sample.
    std::vector<double> windowedMean;
    const std::atomic<bool> *cancelled;
    std::atomic<bool> stop{false};
    std::atomic<qint64> done{0};

    bool stopped() const { return stop.load(std::memory_order_relaxed) || (cancelled && cancelled->load()); }

    // Adds the periodograms of segments [from, to) to sums; tick() after each.
    template <typename Tick>
    Outcome sum(qint64 from, qint64 to, std::vector<double> *sums, Tick tick)
    {
        RealFourierTransform transform(length);
        std::vector<quint8> bytes(static_cast<size_t>(length));
        const qint64 hop = length / 2;
        for (qint64 segment = from; segment < to; ++segment) {
            if (stopped())
                return Outcome::Stopped;
            if (recording.copySamples(spanFirst + segment * hop, length, bytes.data()) != length) {
                stop = true;
                return Outcome::FileCut;
            }
            double *input = transform.input();
            for (int i = 0; i < length; ++i)
                input[i] = double(bytes[size_t(i)]) * window[size_t(i)] - windowedMean[size_t(i)];
            transform.addPowerTo(sums->data());
            done.fetch_add(1, std::memory_order_relaxed);
            tick();
        }
        return Outcome::Done;
    }
};

QString number(qint64 value)
{
    return QLocale(QLocale::Russian).toString(value);
}

} // namespace

int WelchEstimate::defaultSegmentLength(qint64 samples)
{
    int length = ShortestSegment;
    while (length < LongestDefaultSegment && qint64(length) * 2 * 4 <= samples)
        length *= 2;
    return length;
}

std::optional<PowerDensity> WelchEstimate::compute(const Recording &recording, const Request &request,
                                                    const std::atomic<bool> *cancelled,
                                                    const std::function<void(int percent)> &progress,
                                                    QString *errorMessage)
{
    const qint64 first = std::max<qint64>(0, request.first);
    const qint64 last = std::min(request.last, recording.sampleCount());
    const qint64 span = std::max<qint64>(0, last - first);
    const int length = request.segmentLength > 0 ? request.segmentLength : defaultSegmentLength(span);
    if (!(request.samplesPerSecond > 0)) {
        *errorMessage = QStringLiteral("Частота отсчётов записи «%1» неизвестна.").arg(recording.dataPath());
        return std::nullopt;
    }
    if (length < ShortestSegment || length > LongestSegment) {
        *errorMessage = QStringLiteral("Длина сегмента %1 отсчётов вне пределов: от %2 до %3 отсчётов.")
                            .arg(number(length), number(ShortestSegment), number(LongestSegment));
        return std::nullopt;
    }
    if (span < length) {
        *errorMessage = QStringLiteral("В участке %1 отсчётов, а для спектра нужен хотя бы один сегмент "
                                       "в %2 отсчётов. Выберите участок длиннее%3.")
                            .arg(number(span), number(length),
                                 length > ShortestSegment ? QStringLiteral(" или сегмент короче") : QString());
        return std::nullopt;
    }
    const auto fileCut = [&] {
        *errorMessage = QStringLiteral("Файл данных «%1» укоротился во время расчёта спектра.").arg(recording.dataPath());
        return std::nullopt;
    };
    const SpanStatistics statistics = recording.statistics(first, last);
    if (statistics.count != span)
        return fileCut();

    const qint64 hop = length / 2;
    const qint64 segmentCount = (span - length) / hop + 1;
    Segments segments{recording, first, length, std::vector<double>(size_t(length)),
                      std::vector<double>(size_t(length)), cancelled};
    // The periodic Hann window, as spectral estimates use.
    double windowSquares = 0;
    for (int i = 0; i < length; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / length);
        segments.window[size_t(i)] = w;
        segments.windowedMean[size_t(i)] = w * statistics.mean;
        windowSquares += w * w;
    }

    const int bins = length / 2 + 1;
    const int threads = int(std::clamp<qint64>(segmentCount / SegmentsPerThread, 1,
                                               std::clamp(int(std::thread::hardware_concurrency()), 1, MostThreads)));
    std::vector<std::vector<double>> sums(static_cast<size_t>(threads), std::vector<double>(static_cast<size_t>(bins)));
    std::vector<Outcome> outcomes(size_t(threads), Outcome::Done);
    const auto boundary = [&](int part) { return segmentCount * part / threads; };
    int reported = -1;
    const auto report = [&] {
        const int percent = int(segments.done.load(std::memory_order_relaxed) * 100 / segmentCount);
        if (progress && percent != reported)
            progress(reported = percent);
    };
    report();
    std::vector<std::thread> helpers;
    for (int part = 1; part < threads; ++part) {
        helpers.emplace_back([&, part] {
            outcomes[size_t(part)] = segments.sum(boundary(part), boundary(part + 1), &sums[size_t(part)], [] {});
        });
    }
    outcomes[0] = segments.sum(boundary(0), boundary(1), &sums[0], report);
    for (std::thread &helper : helpers)
        helper.join();
    for (const Outcome outcome : outcomes) {
        if (outcome == Outcome::FileCut)
            return fileCut();
    }
    if (segments.stopped()) {
        *errorMessage = QStringLiteral("Расчёт спектра отменён.");
        return std::nullopt;
    }
    report();

    PowerDensity spectrum;
    spectrum.samplesPerSecond = request.samplesPerSecond;
    spectrum.segmentLength = length;
    spectrum.segmentCount = segmentCount;
    spectrum.first = first;
    spectrum.last = last;
    spectrum.density.assign(size_t(bins), 0.0);
    // One-sided: every bin but the mean's and the Nyquist frequency's stands for its mirror too.
    const double scale = 1 / (double(segmentCount) * request.samplesPerSecond * windowSquares);
    for (int k = 0; k < bins; ++k) {
        double total = 0;
        for (const std::vector<double> &part : sums)
            total += part[size_t(k)];
        spectrum.density[size_t(k)] = total * scale * (k == 0 || k == bins - 1 ? 1 : 2);
    }
    return spectrum;
}
