#include "viewer/CsvExport.h"

#include "platform/SystemErrorText.h"
#include "viewer/ExportTarget.h"
#include "viewer/Recording.h"

#include <QString>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

bool writeAll(const ExportTarget &target, const std::vector<char> &text, QString *reason)
{
    int error = 0;
    if (!target.write(text.data(), qint64(text.size()), &error)) {
        *reason = QStringLiteral("ошибка записи (%1)").arg(SystemErrorText::forSystemError(error));
        return false;
    }
    return true;
}

} // namespace

bool CsvExport::write(const Recording &recording, qint64 first, qint64 last, const ExportTarget &target,
                      QString *reason)
{
    const double rate = recording.samplesPerSecond();
    // Two digits beyond the sample period's first.
    const int decimals = qBound(3, int(std::ceil(std::log10(rate))) + 2, 9);
    constexpr qint64 Chunk = 64 * 1024;
    std::vector<quint8> samples(static_cast<size_t>(Chunk));
    std::vector<char> text;
    text.reserve(size_t(Chunk) * 24);
    const char header[] = "seconds,value\n";
    text.insert(text.end(), header, header + sizeof header - 1);
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    char line[64];
    for (qint64 at = first; at < last; at += Chunk) {
        const qint64 count = qMin(Chunk, last - at);
        if (recording.copySamples(at, count, samples.data()) != count) {
            *reason = QStringLiteral("файл данных «%1» укоротился во время сохранения").arg(recording.dataPath());
            return false;
        }
        for (qint64 i = 0; i < count; ++i) {
            // Printed as whole numbers, so that the user's locale cannot turn the point into a comma.
            const long long scaled = std::llround(double(at + i) / rate * double(scale));
            const int length = std::snprintf(line, sizeof line, "%lld.%0*lld,%u\n", scaled / scale, decimals,
                                             scaled % scale, unsigned(samples[size_t(i)]));
            text.insert(text.end(), line, line + length);
        }
        if (!writeAll(target, text, reason))
            return false;
        text.clear();
    }
    return text.empty() || writeAll(target, text, reason);
}
