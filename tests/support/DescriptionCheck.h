#pragma once

#include <QJsonObject>
#include <QString>

// The description a recording leaves beside its data file, held against that file as
// it is on disk.
class DescriptionCheck
{
public:
    // Empty if there is none or it is no JSON object.
    static QJsonObject read(const QString &dataFileName);
    // What the description gets wrong about the data file and how the recording ended;
    // empty if nothing.
    static QString mismatches(const QString &dataFileName, const QString &ending);
};
