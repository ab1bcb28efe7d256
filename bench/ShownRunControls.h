#pragma once

#include "FakeRunControls.h"

#include "window/StatusLine.h"

// The window's settings as plain values, with its status line in the given window,
// kept up to date as the program keeps it, so that its cost counts in the figures.
class ShownRunControls : public FakeRunControls
{
public:
    explicit ShownRunControls(QWidget *window);

    void showProgress(const RunProgress &progress) override;

private:
    StatusLine *m_statusLine;
};
