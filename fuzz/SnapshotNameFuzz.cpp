// SnapshotName::forDataFile on any string: the picture's name is never the data file's, not
// even on a file system that ignores case, ends in "bmp", lies in the data file's folder and
// keeps every surrogate pair whole.
#include "FuzzSupport.h"

#include "output/SnapshotName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &dataFile : asTexts(data, size)) {
        const QString picture = SnapshotName::forDataFile(dataFile);
        check(picture.compare(dataFile, Qt::CaseInsensitive) != 0, "never the data file's name, in any case");
        check(picture.endsWith(QStringLiteral("bmp"), Qt::CaseInsensitive), "ends in bmp");
        const qsizetype nameStart = dataFile.lastIndexOf(u'/') + 1;
        check(picture.lastIndexOf(u'/') + 1 == nameStart && picture.startsWith(dataFile.left(nameStart)),
              "in the data file's folder");
        check(!dataFile.isValidUtf16() || picture.isValidUtf16(), "no surrogate pair split");
    }
    return 0;
}
