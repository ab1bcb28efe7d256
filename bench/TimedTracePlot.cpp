#include "TimedTracePlot.h"

#include "output/GraphikBox.h"

#include <QEvent>

TimedTracePlot::TimedTracePlot(GraphikBox &box, QObject *parent)
    : QObject(parent)
    , m_box(box)
{
    m_box.installEventFilter(this);
}

void TimedTracePlot::keepAllTimes(bool keep)
{
    m_keepAllTimes = keep;
}

void TimedTracePlot::PreparePlot()
{
    m_segmentsOfBlock = 0;
    m_blocksDrawn = 0;
    m_blockTimes.clear();
    m_repaintTimes.clear();
    m_box.PreparePlot();
}

void TimedTracePlot::drawSegment(float x1, float y1, float x2, float y2)
{
    m_box.drawSegment(x1, y1, x2, y2);
    if (++m_segmentsOfBlock < SegmentsPerBlock)
        return;
    m_segmentsOfBlock = 0;
    m_lastBlockDrawn = Clock::now();
    if (m_blocksDrawn++ == 0)
        m_firstBlockDrawn = m_lastBlockDrawn;
    if (m_keepAllTimes)
        m_blockTimes.push_back(m_lastBlockDrawn);
}

bool TimedTracePlot::saveSnapshot(const QString &dataFileName, QString *errorMessage)
{
    return m_box.saveSnapshot(dataFileName, errorMessage);
}

qint64 TimedTracePlot::blocksDrawn() const
{
    return m_blocksDrawn;
}

TimedTracePlot::Clock::time_point TimedTracePlot::firstBlockDrawn() const
{
    return m_firstBlockDrawn;
}

TimedTracePlot::Clock::time_point TimedTracePlot::lastBlockDrawn() const
{
    return m_lastBlockDrawn;
}

const std::vector<TimedTracePlot::Clock::time_point> &TimedTracePlot::blockTimes() const
{
    return m_blockTimes;
}

const std::vector<TimedTracePlot::Clock::time_point> &TimedTracePlot::repaintTimes() const
{
    return m_repaintTimes;
}

// The filter sees the paint event just before the box copies its image to the screen.
bool TimedTracePlot::eventFilter(QObject *watched, QEvent *event)
{
    if (m_keepAllTimes && watched == &m_box && event->type() == QEvent::Paint)
        m_repaintTimes.push_back(Clock::now());
    return QObject::eventFilter(watched, event);
}
