#pragma once

#include "recording/TracePlot.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QTransform>
#include <QWidget>

// The surface the trace is drawn on. Everything drawn goes into an image rather than
// straight onto the screen, so the trace survives the window being covered or
// minimised and can be saved as a picture.
//
// Plot units: x from 0 (left) to 2000 (right), y from 0 (bottom) to 280 (top).
class GraphikBox : public QWidget, public TracePlot
{
    Q_OBJECT

public:
    explicit GraphikBox(QWidget *parent = nullptr);

    // Clears the picture and sets the scale. Leaves visibility to the caller.
    void initialise();

    void PreparePlot() override;
    void drawSegment(float x1, float y1, float x2, float y2) override;
    // Saves the picture as a BMP file named by SnapshotName::forDataFile().
    bool saveSnapshot(const QString &dataFileName, QString *errorMessage) override;

    const QImage &image() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void resetImage();
    void flushBatch();
    void forgetDirtyArea();
    void endBatch() const;

    QImage m_image;
    QTransform m_toImage;
    QPen m_pen;
    // Stays open on m_image while a batch of segments comes in; ended before the
    // image is shown, saved, cleared or handed out.
    mutable QPainter m_painter;
    bool m_flushPosted = false;
    // What the batches drawn since the last flush cover, in plot units.
    float m_dirtyLeft;
    float m_dirtyRight;
    float m_dirtyBottom;
    float m_dirtyTop;
};
