// RecordingDescription::fromJson fed any bytes: it never crashes, and a description it
// accepts is one it reads back the same after writing it again, so that what the viewer
// shows is what the recorder would have written.
#include "FuzzSupport.h"

#include "output/RecordingDescription.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    QString reason;
    const std::optional<RecordingDescription> read =
        RecordingDescription::fromJson(json, QStringLiteral("/data"), &reason);
    check(read.has_value() || !reason.isEmpty(), "a refusal always says why");
    if (!read)
        return 0;
    const QByteArray written = read->toJson();
    const std::optional<RecordingDescription> again =
        RecordingDescription::fromJson(written, QStringLiteral("/data"), &reason);
    check(again.has_value(), "what it writes, it reads back");
    check(again->toJson() == written, "reading back and writing again changes nothing");
    return 0;
}
