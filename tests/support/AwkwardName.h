#pragma once

#include <QString>

// A file name, without its extension, as awkward as the system allows: Cyrillic letters and
// spaces, and on Linux a quote and a backslash too, which a description's JSON must escape.
// Windows allows neither in a name.
class AwkwardName
{
public:
    static QString stem();
};
