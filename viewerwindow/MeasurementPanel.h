#pragma once

#include <QWidget>

class QLabel;
class Recording;
class TraceView;

// What the cursors read: each one's time and value, the difference in time and value
// between them and 1/Δt; and the statistics of the samples between them or, short of two
// cursors, of the visible span.
class MeasurementPanel : public QWidget
{
    Q_OBJECT

public:
    explicit MeasurementPanel(QWidget *parent = nullptr);

    // recording may be null: nothing to read.
    void showFor(const Recording *recording, const TraceView &view);

private:
    QLabel *addLine(const char *name);

    QLabel *m_firstCursor;
    QLabel *m_secondCursor;
    QLabel *m_difference;
    QLabel *m_statisticsTitle;
    QLabel *m_statistics;
};
