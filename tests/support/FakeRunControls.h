#pragma once

#include "recording/RunControls.h"

#include <array>

// The window's settings and controls as plain values.
class FakeRunControls : public RunControls
{
public:
    QString dialogFileName() const override { return fileName; }
    bool channelSelected(int number) const override { return channels.at(number - 1); }
    QString recordingTimeText() const override { return timeText; }
    void setSettingsEnabled(bool enabled) override { settingsEnabled = enabled; }
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    void setStopEnabled(bool enabled) override { stopEnabled = enabled; }
    void showProgress(const RunProgress &shown) override { lastProgress = shown; }

    void selectChannel(int number)
    {
        channels.fill(false);
        channels.at(number - 1) = true;
    }

    QString fileName;
    std::array<bool, 8> channels{true, false, false, false, false, false, false, false};
    QString timeText = QStringLiteral("100");
    bool settingsEnabled = true;
    bool startEnabled = true;
    bool stopEnabled = false;
    RunProgress lastProgress;
};
