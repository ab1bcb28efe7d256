#include "output/SnapshotName.h"

QString SnapshotName::forDataFile(const QString &dataFileName)
{
    const QString extension = QStringLiteral("bmp");
    const qsizetype nameStart = dataFileName.lastIndexOf(QLatin1Char('/')) + 1;

    // Characters are counted as code points so that a surrogate pair is never split.
    qsizetype cut = dataFileName.size();
    for (int dropped = 0; dropped < 3 && cut > nameStart; ++dropped) {
        --cut;
        if (cut > nameStart && dataFileName.at(cut).isLowSurrogate()
            && dataFileName.at(cut - 1).isHighSurrogate())
            --cut;
    }

    if (cut == nameStart || dataFileName.endsWith(extension, Qt::CaseInsensitive))
        return dataFileName + QLatin1Char('.') + extension;
    return dataFileName.left(cut) + extension;
}
