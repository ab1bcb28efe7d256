#pragma once

#include "recording/TracePlot.h"

#include <QObject>

#include <chrono>
#include <vector>

class GraphikBox;

// Passes everything the run draws on to a GraphikBox and notes when each block's
// segments are in the plot's image (the run draws 511 segments a block) and when the
// plot is repainted.
class TimedTracePlot : public QObject, public TracePlot {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int SegmentsPerBlock = 511;

    explicit TimedTracePlot(GraphikBox &box, QObject *parent = nullptr);

    // Also keep the time of every block and every repaint (off by default: a long
    // flood would grow the lists by megabytes).
    void keepAllTimes(bool keep);

    void PreparePlot() override;
    void drawSegment(float x1, float y1, float x2, float y2) override;
    bool saveSnapshot(const QString &dataFileName, QString *errorMessage) override;

    qint64 blocksDrawn() const;
    Clock::time_point firstBlockDrawn() const;
    Clock::time_point lastBlockDrawn() const;
    const std::vector<Clock::time_point> &blockTimes() const;
    const std::vector<Clock::time_point> &repaintTimes() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    GraphikBox &m_box;
    bool m_keepAllTimes = false;
    int m_segmentsOfBlock = 0;
    qint64 m_blocksDrawn = 0;
    Clock::time_point m_firstBlockDrawn;
    Clock::time_point m_lastBlockDrawn;
    std::vector<Clock::time_point> m_blockTimes;
    std::vector<Clock::time_point> m_repaintTimes;
};
