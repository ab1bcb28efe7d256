#pragma once

#include <QString>

// Qt shows a tool tip that looks like HTML as HTML. A path or a device name such as
// /tmp/<b>x</b>.bin must show as it is written.
class PlainToolTip
{
public:
    static QString of(const QString &text);
};
