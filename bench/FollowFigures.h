#pragma once

class BenchReport;

// The viewer as the instrument's second screen: a recording written as the recorder writes it,
// 512-byte blocks at the line's 5,600 samples/s through the recorder's own DataFile, followed
// by the viewer's window 1,600 px wide. How long a block takes from its write to a painted frame
// that holds it, what following costs the window's thread, and how much memory an hour of
// recording adds.
class FollowFigures
{
public:
    explicit FollowFigures(BenchReport &report);

    void measure();

private:
    BenchReport &m_report;
};
