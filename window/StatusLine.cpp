#include "window/StatusLine.h"

#include "window/StatusText.h"

#include <QFontMetrics>

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
{
}

void StatusLine::showProgress(const RunProgress &progress)
{
    const QString text = StatusText::describe(progress);
    setText(QFontMetrics(font()).elidedText(text, Qt::ElideRight, width()));
    setToolTip(text);
}
