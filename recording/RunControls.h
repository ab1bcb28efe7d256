#pragma once

#include "recording/RunProgress.h"

#include <QString>

// The window as the recording run sees it: the operator's settings and the controls
// the run locks while it records.
class RunControls
{
public:
    virtual ~RunControls() = default;

    virtual QString dialogFileName() const = 0;
    // number 1 ... 8
    virtual bool channelSelected(int number) const = 0;
    virtual QString recordingTimeText() const = 0;

    // The channel, recording time and file frames, in that order.
    virtual void setSettingsEnabled(bool enabled) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
    virtual void showProgress(const RunProgress &progress) = 0;
};
