#include "output/GraphikBox.h"
#include "output/SnapshotName.h"

#include <QDir>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <cmath>

namespace {

constexpr int BlockSize = 512;

int sampleValue(int n)
{
    return qRound(125 + 120 * std::sin(n * 2 * M_PI / 128));
}

// Draws a block the way a recording run does: neighbouring samples joined, 5 units off
// the axis, nothing joining one block to the next. xOrigin moves the view along.
void drawBlock(TracePlot &plot, int block, float xStep, float xOrigin = 0)
{
    for (int n = BlockSize * block; n + 1 < BlockSize * (block + 1); ++n)
        plot.drawSegment(xStep * n - xOrigin, sampleValue(n) + 5.0f,
                         xStep * (n + 1) - xOrigin, sampleValue(n + 1) + 5.0f);
}

// Where a point in plot units belongs on the picture, give or take a pixel.
QPointF pixelFor(const QImage &picture, float x, float y)
{
    return {x / 2000 * (picture.width() - 1), (280 - y) / 280 * (picture.height() - 1)};
}

QImage readBmp(const QString &path)
{
    QFile file(path);
    QImage picture;
    if (file.open(QIODevice::ReadOnly) && file.peek(2) == "BM")
        picture.load(&file, "BMP");
    return picture;
}

class PaintWatcher : public QObject
{
public:
    QRegion painted;
    bool paintedAll(const QRect &area) const { return QRegion(area).subtracted(painted).isEmpty(); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

class GraphikBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void traceLandsWhereMapped_data();
    void traceLandsWhereMapped();
    void preparePlotLeavesOnlyTheAxes();
    void drawingReachesTheScreen();
    void saveSnapshot_data();
    void saveSnapshot();
    void snapshotName_data();
    void snapshotName();

private:
    QImage savedPicture(GraphikBox &box)
    {
        const bool saved = box.saveSnapshot(m_dir->filePath("p.bin"), nullptr);
        return saved ? readBmp(m_dir->filePath("p.bmp")) : QImage();
    }
    bool marked(const QImage &picture, QPointF at) const;
    QString firstMarkedIn(const QImage &picture, const QRect &area) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QRgb m_background = 0;
};

void GraphikBoxTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    GraphikBox blank;
    blank.initialise();
    m_background = blank.image().pixel(0, 0);
}

bool GraphikBoxTest::marked(const QImage &picture, QPointF at) const
{
    return !firstMarkedIn(picture, QRect(at.toPoint() - QPoint(1, 1), QSize(3, 3))).isEmpty();
}

QString GraphikBoxTest::firstMarkedIn(const QImage &picture, const QRect &area) const
{
    const QRect inside = area & picture.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (picture.pixel(x, y) != m_background)
                return QStringLiteral("marked pixel at %1,%2").arg(x).arg(y);
    return {};
}

void GraphikBoxTest::traceLandsWhereMapped_data()
{
    QTest::addColumn<float>("xStep");
    QTest::addColumn<float>("xOrigin");
    QTest::addColumn<int>("firstInside");
    QTest::addColumn<int>("lastInside");
    QTest::newRow("one block across") << 2000.0f / 511 << 0.0f << 0 << 511;
    QTest::newRow("1 s recording ends at right edge") << 20.0f << 0.0f << 0 << 100;
    // Viewed from sample 500 at 100 units a sample, so the gap after sample 511 is 36 pixels.
    QTest::newRow("gap between blocks") << 100.0f << 50000.0f << 500 << 520;
}

void GraphikBoxTest::traceLandsWhereMapped()
{
    QFETCH(float, xStep);
    QFETCH(float, xOrigin);
    QFETCH(int, firstInside);
    QFETCH(int, lastInside);
    GraphikBox box;
    box.PreparePlot();
    drawBlock(box, 0, xStep, xOrigin);
    drawBlock(box, 1, xStep, xOrigin);
    const QImage picture = savedPicture(box);
    QVERIFY(!picture.isNull());

    for (int n = firstInside; n <= lastInside; ++n) {
        if (!marked(picture, pixelFor(picture, xStep * n - xOrigin, sampleValue(n) + 5.0f)))
            QFAIL(qPrintable(QStringLiteral("sample %1 missing").arg(n)));
    }

    // Outside the axes, a column may be marked only where a drawn segment crosses it.
    QVector<int> top(picture.width(), INT_MAX), bottom(picture.width(), INT_MIN);
    for (int n = 0; n + 1 < 2 * BlockSize; ++n) {
        if (n % BlockSize == BlockSize - 1)
            continue;
        const QPointF a = pixelFor(picture, xStep * n - xOrigin, sampleValue(n) + 5.0f);
        const QPointF b = pixelFor(picture, xStep * (n + 1) - xOrigin, sampleValue(n + 1) + 5.0f);
        const int last = std::min(qCeil(b.x()) + 1, picture.width() - 1);
        for (int x = std::max(qFloor(a.x()) - 1, 0); x <= last; ++x) {
            top[x] = std::min(top[x], qFloor(std::min(a.y(), b.y())) - 1);
            bottom[x] = std::max(bottom[x], qCeil(std::max(a.y(), b.y())) + 1);
        }
    }
    for (int x = 2; x < picture.width(); ++x) {
        const int lowest = picture.height() - 3;
        const QString above = firstMarkedIn(picture, QRect(QPoint(x, 0), QPoint(x, std::min(top[x] - 1, lowest))));
        const QString below = firstMarkedIn(picture, QRect(QPoint(x, std::max(bottom[x] + 1, 0)), QPoint(x, lowest)));
        QVERIFY2(above.isEmpty() && below.isEmpty(), qPrintable(above + below));
    }
}

void GraphikBoxTest::preparePlotLeavesOnlyTheAxes()
{
    GraphikBox box;
    box.PreparePlot();
    drawBlock(box, 0, 2000.0f / 511);
    box.PreparePlot();
    const QImage picture = savedPicture(box);
    QVERIFY(!picture.isNull());

    const int right = picture.width() - 1;
    const int bottom = picture.height() - 1;
    for (int x = 0; x <= right; ++x)
        QVERIFY(marked(picture, QPointF(x, bottom)));
    for (int y = 0; y <= bottom; ++y)
        QVERIFY(marked(picture, QPointF(0, y)));
    const QString stray = firstMarkedIn(picture, QRect(QPoint(2, 0), QPoint(right, bottom - 2)));
    QVERIFY2(stray.isEmpty(), qPrintable(stray));
}

void GraphikBoxTest::drawingReachesTheScreen()
{
    GraphikBox box;
    PaintWatcher watcher;
    box.installEventFilter(&watcher);
    box.PreparePlot();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTRY_VERIFY(watcher.paintedAll(box.rect()));
    QCoreApplication::processEvents();
    watcher.painted = QRegion();

    box.drawSegment(100, 100, 300, 200);
    const qreal ratio = box.image().devicePixelRatio();
    const QRect segment(pixelFor(box.image(), 100, 200).toPoint() / ratio,
                        pixelFor(box.image(), 300, 100).toPoint() / ratio);
    QTRY_VERIFY(watcher.paintedAll(segment));
    QVERIFY(!watcher.paintedAll(box.rect()));

    // Its corners fall on whole pixels at every scaling tested, 125 % included.
    const QRect area(20, 48, 300, 200);
    const QImage expected = box.image().copy(QRect(area.topLeft() * ratio, area.size() * ratio));
    QCOMPARE(box.grab(area).toImage().convertToFormat(expected.format()), expected);
}

void GraphikBoxTest::saveSnapshot_data()
{
    QTest::addColumn<QString>("dataFile");
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<bool>("saved");
    QTest::newRow("replaces an older picture") << "run1.bin" << "file" << true;
    QTest::newRow("missing directory") << "missing/run1.bin" << "" << false;
    QTest::newRow("directory in its place") << "run1.bin" << "directory" << false;
}

void GraphikBoxTest::saveSnapshot()
{
    QFETCH(QString, dataFile);
    QFETCH(QString, inTheWay);
    QFETCH(bool, saved);
    const QDir dir(m_dir->path());
    const QString picturePath = SnapshotName::forDataFile(dir.filePath(dataFile));
    QFile older(picturePath);
    if (inTheWay == "file")
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(QByteArray(100000, 'x')) > 0);
    older.close();
    if (inTheWay == "directory")
        QVERIFY(dir.mkdir(picturePath));
    const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    GraphikBox box;
    box.PreparePlot();
    drawBlock(box, 0, 2000.0f / 511);
    QString error;
    QCOMPARE(box.saveSnapshot(dir.filePath(dataFile), &error), saved);

    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    if (saved) {
        QImage expected = box.image();
        expected.setDevicePixelRatio(1);
        QCOMPARE(readBmp(picturePath), expected);
    } else {
        QVERIFY2(error.contains(QDir::toNativeSeparators(picturePath)), qPrintable(error));
        QVERIFY2(error.contains(QRegularExpression("[а-яА-Я]")), qPrintable(error));
        QVERIFY(!QFileInfo(picturePath).isFile());
    }
}

void GraphikBoxTest::snapshotName_data()
{
    QTest::addColumn<QString>("dataFile");
    QTest::addColumn<QString>("picture");
    const auto row = [](const char *name, const char *dataFile, const char *picture) {
        QTest::newRow(name) << QString::fromUtf8(dataFile) << QString::fromUtf8(picture);
    };
    row(".bin", "/data/run1.bin", "/data/run1.bmp");
    row("longer extension", "/runs/a.data", "/runs/a.dbmp");
    row("relative", "run1.bin", "run1.bmp");
    row("Cyrillic", "/опыты/запись.дат", "/опыты/запись.bmp");
    row("surrogate pair kept whole", "/d/a\U0001D11E.bin", "/d/a\U0001D11E.bmp");
    row("surrogate pair dropped whole", "/d/run\U0001D11Eab", "/d/runbmp");
    row("ends in .bmp", "/d/x.bmp", "/d/x.bmp.bmp");
    row("ends in bmp", "/d/xbmp", "/d/xbmp.bmp");
    row("ends in .BMP", "/d/X.BMP", "/d/X.BMP.bmp");
    row("two characters", "/d/ab", "/d/ab.bmp");
    row("three characters", "/d/abc", "/d/abc.bmp");
    row("four characters", "/d/abcd", "/d/abmp");
}

void GraphikBoxTest::snapshotName()
{
    QFETCH(QString, dataFile);
    QFETCH(QString, picture);
    QCOMPARE(SnapshotName::forDataFile(dataFile), picture);
}

QTEST_MAIN(GraphikBoxTest)
#include "GraphikBoxTest.moc"
