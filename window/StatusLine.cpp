#include "window/StatusLine.h"

#include "window/PlainToolTip.h"

#include <QFontMetrics>

#include <algorithm>

namespace {

using Part = StatusText::Part;

// A path cut shorter than this says little more than its ellipsis.
constexpr int ShortestPathCharacters = 12;

} // namespace

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void StatusLine::showProgress(const RunProgress &progress)
{
    const StatusText::Line line = StatusText::describe(progress);
    setText(fitted(line.parts));
    setToolTip(PlainToolTip::of(line.toolTip));
}

QString StatusLine::fitted(QList<Part> parts) const
{
    const QFontMetrics metrics(font());
    const int shortestPath = metrics.averageCharWidth() * ShortestPathCharacters;
    // The width of the line with every path cut as short as it may be.
    const auto narrowest = [&] {
        int total = 0;
        for (const Part &part : parts) {
            const int natural = metrics.horizontalAdvance(part.text);
            total += part.kind == Part::Path ? std::min(natural, shortestPath) : natural;
        }
        return total;
    };

    // Details go first, the last one first.
    for (qsizetype i = parts.size() - 1; i >= 0 && narrowest() > width(); --i) {
        if (parts[i].kind == Part::Detail)
            parts.removeAt(i);
    }

    // What the paths may have, shared out: a path shorter than its share leaves the
    // rest to the longer ones.
    QList<qsizetype> paths;
    // Measured part by part, the line as a whole may come out a pixel or two wider.
    int room = width() - metrics.averageCharWidth();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i].kind == Part::Path)
            paths.append(i);
        else
            room -= metrics.horizontalAdvance(parts[i].text);
    }
    std::sort(paths.begin(), paths.end(), [&](qsizetype a, qsizetype b) {
        return metrics.horizontalAdvance(parts[a].text) < metrics.horizontalAdvance(parts[b].text);
    });
    for (qsizetype left = paths.size(); left > 0; --left) {
        Part &path = parts[paths[paths.size() - left]];
        const int share = std::max(0, room) / int(left);
        path.text = metrics.elidedText(path.text, Qt::ElideMiddle, share);
        room -= metrics.horizontalAdvance(path.text);
    }

    QString text;
    for (const Part &part : parts)
        text += part.text;
    // Only where what matters alone is too wide.
    return metrics.elidedText(text, Qt::ElideRight, width());
}
