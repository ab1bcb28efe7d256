#include "window/PlainToolTip.h"

#include <QTextDocument>

QString PlainToolTip::of(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped());
}
