#include "output/GraphikBox.h"

#include "output/SaveFailure.h"
#include "output/SnapshotName.h"

#include <QDir>
#include <QImageWriter>
#include <QPaintEvent>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float XMax = 2000.0f;
constexpr float YMax = 280.0f;

// 10935 × 6735 twips at 15 twips a pixel.
constexpr QSize SurfaceSize(729, 449);

// Fixed rather than taken from the palette, so the saved picture looks the same
// whatever the desktop theme.
constexpr Qt::GlobalColor Background = Qt::white;
constexpr Qt::GlobalColor Ink = Qt::black;

} // namespace

GraphikBox::GraphikBox(QWidget *parent)
    : QWidget(parent)
    , m_pen(Ink, 1)
{
    m_pen.setCosmetic(true);
    setFixedSize(SurfaceSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resetImage();
}

void GraphikBox::initialise()
{
    resetImage();
}

void GraphikBox::PreparePlot()
{
    setVisible(true);
    resetImage();
    drawSegment(0, 0, XMax, 0);
    drawSegment(0, 0, 0, YMax);
}

void GraphikBox::drawSegment(float x1, float y1, float x2, float y2)
{
    // Once a recording runs past the right edge every further segment lands here,
    // so this test comes first and costs two comparisons.
    if (x1 > XMax && x2 > XMax)
        return;
    if ((x1 < 0 && x2 < 0) || (y1 > YMax && y2 > YMax) || (y1 < 0 && y2 < 0))
        return;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return;

    if (!m_painter.isActive()) {
        m_painter.begin(&m_image);
        m_painter.setPen(m_pen);
        m_painter.setTransform(m_toImage);
    }
    m_painter.drawLine(QLineF(x1, y1, x2, y2));

    m_dirtyLeft = std::min({m_dirtyLeft, x1, x2});
    m_dirtyRight = std::max({m_dirtyRight, x1, x2});
    m_dirtyBottom = std::min({m_dirtyBottom, y1, y2});
    m_dirtyTop = std::max({m_dirtyTop, y1, y2});

    // The caller draws a whole block in one go; the screen is brought up to date
    // once it hands control back to the event loop.
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(this, &GraphikBox::flushBatch, Qt::QueuedConnection);
    }
}

bool GraphikBox::saveSnapshot(const QString &dataFileName, QString *errorMessage)
{
    endBatch();
    const QString path = SnapshotName::forDataFile(dataFileName);

    // QSaveFile writes beside the target and renames over it only when all went well,
    // so a failed save leaves no half-written picture.
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = SaveFailure::reason(file);
    } else {
        QImageWriter writer(&file, "BMP");
        if (!writer.write(m_image))
            reason = file.error() != QFileDevice::NoError ? SaveFailure::reason(file) : writer.errorString();
        else if (!file.commit())
            reason = SaveFailure::reason(file);
    }
    if (reason.isEmpty())
        return true;

    if (errorMessage) {
        *errorMessage = QStringLiteral("Не удалось сохранить рисунок «%1»: %2.")
                            .arg(QDir::toNativeSeparators(path), reason);
    }
    return false;
}

const QImage &GraphikBox::image() const
{
    endBatch();
    return m_image;
}

void GraphikBox::paintEvent(QPaintEvent *event)
{
    endBatch();
    const QRect exposed = event->rect();
    const qreal ratio = m_image.devicePixelRatio();
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), m_image,
                      QRectF(QPointF(exposed.topLeft()) * ratio, QSizeF(exposed.size()) * ratio));
}

// Takes the screen's pixel ratio afresh at every clear, so a window moved to another
// screen gets a sharp picture from the next recording on.
void GraphikBox::resetImage()
{
    endBatch();
    const qreal ratio = devicePixelRatioF();
    // Rounded up so that the image covers the whole widget at fractional ratios.
    const QSize pixels(int(std::ceil(SurfaceSize.width() * ratio)),
                       int(std::ceil(SurfaceSize.height() * ratio)));
    if (m_image.size() != pixels || m_image.devicePixelRatio() != ratio) {
        m_image = QImage(pixels, QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
    }
    m_image.fill(Background);

    // The plot's edges fall on the centres of the outermost pixels: x = 0 and x = 2000
    // on the first and last columns, y = 280 and y = 0 on the first and last rows, so
    // both axes are fully visible. Unantialiased lines fill the pixel whose square
    // holds the point, so half a pixel of rounding either way keeps them there.
    // The painter scales by the ratio itself, hence the final division.
    QTransform toImage;
    toImage.scale(1 / ratio, 1 / ratio);
    toImage.translate(0.5, 0.5);
    toImage.scale((pixels.width() - 1) / XMax, -(pixels.height() - 1) / YMax);
    toImage.translate(0, -YMax);
    m_toImage = toImage;

    forgetDirtyArea();
    update();
}

void GraphikBox::flushBatch()
{
    m_flushPosted = false;
    endBatch();
    if (m_dirtyLeft > m_dirtyRight)
        return;

    // A margin of one pixel for the pen and for rounding.
    const QRectF plotArea(QPointF(m_dirtyLeft, m_dirtyTop), QPointF(m_dirtyRight, m_dirtyBottom));
    update(m_toImage.mapRect(plotArea).toAlignedRect().adjusted(-1, -1, 1, 1) & rect());
    forgetDirtyArea();
}

void GraphikBox::forgetDirtyArea()
{
    m_dirtyLeft = m_dirtyBottom = std::numeric_limits<float>::max();
    m_dirtyRight = m_dirtyTop = std::numeric_limits<float>::lowest();
}

void GraphikBox::endBatch() const
{
    if (m_painter.isActive())
        m_painter.end();
}
