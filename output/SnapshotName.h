#pragma once

#include <QString>

// Where the picture of a recording is saved: beside its data file.
class SnapshotName
{
public:
    // The data file's name with its last three characters replaced by "bmp"
    // (/data/run1.bin gives /data/run1.bmp). When that would give the data file's own
    // name, or leave nothing of the file name but "bmp", ".bmp" is appended instead.
    static QString forDataFile(const QString &dataFileName);
};
