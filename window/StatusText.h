#pragma once

#include "recording/RunProgress.h"

#include <QList>
#include <QString>

// The status line's wording: how a recording goes, and how it ended.
class StatusText
{
public:
    struct Part
    {
        enum Kind {
            Essential, // always shown
            Path, // may lose its middle where the line is narrow
            Detail, // left to the tool tip where the line is narrow
        };
        Kind kind;
        QString text;
    };

    struct Line
    {
        QList<Part> parts;
        // Everything, in full.
        QString toolTip;
    };

    static Line describe(const RunProgress &progress);
};
