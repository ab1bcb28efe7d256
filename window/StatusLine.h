#pragma once

#include "recording/RunProgress.h"

#include <QLabel>

// The line below the plot that tells how a recording goes and how it ended. One line:
// what does not fit is in the tool tip.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);

    void showProgress(const RunProgress &progress);
};
