#include "MneEdfReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

// Prints the rate and the annotations as JSON on one line, then the samples in hexadecimal.
const char ReadingScript[] = R"(
import json, sys
import mne
import numpy
raw = mne.io.read_raw_edf(sys.argv[1], preload=True, verbose='error')
values = raw.get_data()[0]
if values.min() < 0 or values.max() > 255 or not numpy.array_equal(values, numpy.round(values)):
    sys.exit('values outside 0...255 or not whole: %r...%r' % (values.min(), values.max()))
print(json.dumps({'rate': raw.info['sfreq'],
                  'annotations': [[a['onset'], a['duration'], a['description']] for a in raw.annotations]}))
print(values.astype(numpy.uint8).tobytes().hex())
)";

} // namespace

bool MneEdfReader::read(const QString &path, QString *error)
{
    QProcess python;
    // Debian's own, which python3-mne (installed by scripts/test) is for, whatever else is first on the path.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(ReadingScript), path});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        *error = QStringLiteral("MNE-Python did not read %1: %2")
                     .arg(path, QString::fromUtf8(python.readAllStandardError()).trimmed());
        return false;
    }
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');
    const QJsonObject read = QJsonDocument::fromJson(lines.value(0)).object();
    m_samplesPerSecond = read.value(QStringLiteral("rate")).toDouble();
    m_samples = QByteArray::fromHex(lines.value(1));
    m_annotations.clear();
    for (const QJsonValue &value : read.value(QStringLiteral("annotations")).toArray()) {
        const QJsonArray annotation = value.toArray();
        m_annotations.append({annotation.at(0).toDouble(), annotation.at(1).toDouble(), annotation.at(2).toString()});
    }
    return true;
}
