#pragma once

#include "recording/RunProgress.h"
#include "window/StatusText.h"

#include <QLabel>

// The line below the plot that tells how a recording goes and how it ended. One
// line: where it is too narrow, details go to the tool tip first, then paths lose
// their middle, so that what matters and the ends of the paths stay in sight.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);

    void showProgress(const RunProgress &progress);

private:
    QString fitted(QList<StatusText::Part> parts) const;
};
