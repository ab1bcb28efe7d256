#pragma once

#include "recording/RunProgress.h"

#include <QString>

// The status line's wording: how a recording goes, and how it ended.
class StatusText
{
public:
    static QString describe(const RunProgress &progress);
};
