#pragma once

#include "FakeRunControls.h"

#include "window/StatusLine.h"

// The window's settings as plain values, with its status line shown and kept up to
// date as the window keeps it, so that its cost counts in the figures.
class ShownRunControls : public FakeRunControls
{
public:
    ShownRunControls();

    void showProgress(const RunProgress &progress) override;

private:
    StatusLine m_statusLine;
};
