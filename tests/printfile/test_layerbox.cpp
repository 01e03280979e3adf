// The writer renders and encodes only the box a layer lights, in groups of
// far-apart outlines. Its files must be byte for byte those of the plain road,
// kept here as the reference: fill the whole frame black, draw the layer as one
// odd-even path, scan every pixel.
#include "printfiledecoder.h"
#include "slice_polygons.h"
#include "printfile/layerrender.h"
#include "printfile/layerrenderpool.h"
#include "printfile/printfilewriter.h"
#include "printfile/runlength.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>

#include <cmath>
#include <random>

namespace {

// Layers as written here; the writer is given them as stored slice polygons.
using Literal = QVector<QVector<QPolygonF>>;

QImage referenceFrame(const QVector<QPolygonF>& layer, bool swapXY, int imageWidth, int imageHeight)
{
    QImage image(imageWidth, imageHeight, QImage::Format_Grayscale8);
    image.fill(0);
    QPainterPath path;
    for (const QPolygonF& polygon : layer) {
        QPolygonF copy;
        for (QPointF p : polygon) {
            if (swapXY)
                p = QPointF(imageWidth - p.y(), p.x());
            copy << QPointF(qBound(0.0, p.x(), double(imageWidth)), qBound(0.0, p.y(), double(imageHeight)));
        }
        path.addPolygon(copy);
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(path);
    return image;
}

QByteArray referenceCode(const QImage& image, int bits)
{
    const uint8_t mask = uint8_t(0xFF << (8 - bits));
    QByteArray out;
    auto put = [&](uint8_t level, uint64_t count) {
        QByteArray digits;
        for (; count != 0; count >>= 8 - bits)
            digits.prepend(char(level | (count & ((1u << (8 - bits)) - 1))));
        out += digits;
    };
    uint8_t level = image.constScanLine(0)[0] & mask;
    uint64_t count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const uint8_t l = row[x] & mask;
            if (l != level) {
                put(level, count);
                level = l;
                count = 0;
            }
            ++count;
        }
    }
    put(level, count);
    return out;
}

QPolygonF rect(double x0, double y0, double x1, double y1)
{
    return QPolygonF({QPointF(x0, y0), QPointF(x1, y0), QPointF(x1, y1), QPointF(x0, y1)});
}

QPolygonF circle(double cx, double cy, double r, int points)
{
    QPolygonF c;
    for (int k = 0; k < points; ++k)
        c << QPointF(cx + r * std::cos(k * 2 * M_PI / points), cy + r * std::sin(k * 2 * M_PI / points));
    return c;
}

// Cuts of a 40 mm sphere at 50 um pixels, pole to equator and back.
Literal sphere()
{
    Literal layers;
    for (double z : {-19.97, -19.0, -12.3, -0.02, 7.5, 19.97})
        layers.append({circle(1920.3, 1199.6, std::sqrt(400 - z * z) / 0.05, 1002)});
    return layers;
}

Literal cubePlate()
{
    QVector<QPolygonF> layer;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j)
            layer << rect(40 + i * 37.6, 25 + j * 23.5, 40 + i * 37.6 + 20.5, 25 + j * 23.5 + 12.25);
    return {layer, {layer.first()}, layer};
}

Literal wholeFrame(int w, int h)
{
    const QPolygonF emptyExtentPlate({QPointF(w, h), QPointF(-w, h), QPointF(-w, -h), QPointF(w, -h)});
    return {{emptyExtentPlate},
            {rect(-5, -5, w + 5, h + 5), circle(w / 2.0, h / 2.0, h / 3.0, 64)},
            {rect(3, 3, 9, 9)}};
}

Literal frameEdges(int w, int h)
{
    return {{rect(0, 10.5, 7.25, 30), rect(20, 0, 41.5, 6.75), rect(w - 6.5, 50, w, 60), rect(60, h - 3.3, 90, h)},
            {rect(-3, -3, 4, 4), rect(w - 4, h - 4, w + 3, h + 3)},
            {},
            {rect(w - 1, 12, w, 40.5)},            // one pixel wide at the last column
            {rect(w - 0.5, 0, w, h), rect(0, h - 1, w, h)}};
}

Literal plateLayers(int w, int h)
{
    const QPolygonF plate({QPointF(100, 50), QPointF(900, 50), QPointF(900, 400), QPointF(100, 400)});
    Literal layers{{plate}, {plate}};
    layers.append({circle(500, 225, 170, 90), circle(500, 225, 60, 40)});
    layers.append({rect(w / 2.0, h / 2.0, w / 2.0 + 0.4, h / 2.0 + 0.6)});
    return layers;
}

// The layer, then the same moved by a fraction of a pixel.
Literal withShiftedCopy(const QVector<QPolygonF>& layer)
{
    QVector<QPolygonF> shifted;
    for (const QPolygonF& p : layer)
        shifted << p.translated(0.37, 0.61);
    return {layer, shifted};
}

// A field of supports a pixel apart, joined in rows by long thin outlines,
// around a ring with its hole: one group of thousands of outlines whose
// pixels touch, drawn a strip of columns at a time.
Literal supportField()
{
    QVector<QPolygonF> layer;
    for (int i = 0; i < 90; ++i)
        for (int j = 0; j < 60; ++j)
            layer << circle(300.25 + i * 11.3, 200.6 + j * 11.7, 5.1 + 0.013 * (i % 7), 16);
    for (int j = 0; j < 60; j += 5)
        layer << rect(290, 195 + j * 11.7, 1320, 196.5 + j * 11.7);
    layer << circle(2500, 1200, 700, 400) << circle(2500, 1200, 300, 300);
    return withShiftedCopy(layer);
}

// Supports standing inside a model wall's hole, some against its edge; a
// small walled cavity with supports in its hole; a long outline with small
// ones inside it, where one path makes them holes. The long outlines are
// drawn apart from the supports that touch none of their pixels.
Literal supportsInsideAWall()
{
    QVector<QPolygonF> layer{circle(1900.2, 1200.4, 1000, 700), circle(1900.2, 1200.4, 850, 600),
                             rect(1500, 900, 1600, 1000), rect(1520, 920, 1580, 980),
                             circle(2300.5, 1200.25, 150, 300)};
    for (int i = -60; i <= 60; ++i)
        for (int j = -60; j <= 60; ++j) {
            const double x = 1900.2 + i * 12.3, y = 1200.4 + j * 12.1, r = std::hypot(x - 1900.2, y - 1200.4);
            if (r < 835 || (r > 844 && r < 853)) // in the hole, or on its edge
                layer << circle(x, y, 5.2, 16);
        }
    layer << circle(1550, 950, 8, 16) << circle(1562.5, 950.5, 3, 12);
    // A walled cavity across the hole's edge: drawn with the wall, and so is its hole.
    layer << rect(2700, 1150, 2800, 1250) << rect(2710, 1160, 2740, 1240);
    return withShiftedCopy(layer);
}

// What a lattice of columns and braces unites to: one outline round it all
// with scalloped edges, and the gaps between the columns as its holes, in
// rows. The long outline runs through every strip and back; most of its
// points lie far to one side of any one strip.
Literal supportLattice()
{
    QPolygonF outer;
    const double x0 = 200.3, y0 = 150.6, x1 = 2600.7, y1 = 1350.2;
    auto scallop = [](double t) { return 3.0 * std::sin(t * 0.37) + 1.5 * std::sin(t * 1.9); };
    for (double x = x0; x < x1; x += 2.7)
        outer << QPointF(x, y0 + scallop(x));
    for (double y = y0; y < y1; y += 2.3)
        outer << QPointF(x1 + scallop(y), y);
    for (double x = x1; x > x0; x -= 2.9)
        outer << QPointF(x, y1 + scallop(x + 7));
    for (double y = y1; y > y0; y -= 2.1)
        outer << QPointF(x0 + scallop(y + 3), y);
    QVector<QPolygonF> layer{outer};
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 20; ++j) {
            QPolygonF hole = circle(260.25 + i * 58.3, 210.4 + j * 56.1, 18 + (i + j) % 5, 24);
            std::reverse(hole.begin(), hole.end());
            layer << hole;
        }
    // The next layer: the braces moved by a fraction of a pixel.
    QVector<QPolygonF> next = layer;
    for (int k = 1; k < next.size(); k += 3)
        next[k].translate(0.37, -0.21);
    return Literal{layer, next};
}

// Outlines whose pixels come closest without sharing one: gaps from a
// hundredth of the rasteriser's 1/64 pixel step to a pixel, edges on whole
// pixels and a step or two off them, in rows of squares and of 12-gons and
// down columns. Each pair either shares a pixel and is drawn in one group,
// or is drawn apart: either way the pixels must be those of one path.
Literal nearlyTouching()
{
    const double gaps[] = {0.0001, 1.0 / 128, 1.0 / 64 - 1e-6, 1.0 / 64, 1.0 / 64 + 1e-6, 1.0 / 32, 0.1, 0.5, 0.99, 1.0, 1.01};
    const double offsets[] = {0.0, 1.0 / 128, 1.0 / 64, 1.0 - 1.0 / 64, 1.0 - 1.0 / 128, 0.5};
    std::mt19937 random(47);
    auto pick = [&random](const auto& from) { return from[random() % (sizeof(from) / sizeof(from[0]))]; };
    Literal layers;
    for (int layer = 0; layer < 4; ++layer) {
        QVector<QPolygonF> polygons;
        for (int row = 0; row < 24; ++row) {
            double x = 20 + pick(offsets);
            const double y = 30 + row * 40 + pick(offsets);
            const double size = 5 + int(random() % 7) + pick(offsets);
            for (int k = 0; k < 60; ++k) {
                const double w = 3 + int(random() % 5) + pick(offsets);
                if (row % 2 == 0) {
                    polygons << rect(x, y, x + w, y + size);
                    // One below it across a vertical gap.
                    const double below = y + size + pick(gaps);
                    polygons << rect(x, below, x + w, below + 3 + pick(offsets));
                } else {
                    polygons << circle(x + w / 2, y + w / 2, w / 2, 12);
                }
                x += w + pick(gaps);
            }
        }
        layers.append(polygons);
    }
    return layers;
}

QPolygonF deepCopy(const QPolygonF& p)
{
    QPolygonF q;
    for (QPointF point : p)
        q << point;
    return q;
}

// Layers that repeat the one below them by shared data or by value, between
// layers that differ from it in one corner, by a quarter pixel, in order or
// by one outline less, and returns to an earlier layer: every repeated code
// must be the one its own render gives.
Literal repeatsAndChanges()
{
    const QVector<QPolygonF> a{circle(800.3, 600.7, 300, 200), circle(800.3, 600.7, 120, 90),
                               rect(1500, 200, 1900.5, 260.25), circle(2300, 1200, 40, 16)};
    QVector<QPolygonF> byValue;
    for (const QPolygonF& p : a)
        byValue << deepCopy(p);
    QVector<QPolygonF> cornerMoved = byValue;
    cornerMoved[2][3] = QPointF(1500, 900);
    QVector<QPolygonF> quarterPixel = byValue;
    quarterPixel[3][0].rx() += 0.25;
    const QVector<QPolygonF> reordered{a[3], a[2], a[1], a[0]};
    const QVector<QPolygonF> oneLess = a.mid(0, 3);
    return Literal({a, a, byValue, byValue, cornerMoved, cornerMoved, a, oneLess, {}, {}, reordered, a,
                          quarterPixel, quarterPixel, a});
}

struct FileCase {
    const char* name;
    int width, height;
    bool rotate;
    int machineCode, workers; // workers 0: the default pool
    Literal layers;
};

TEST(LayerBox, FilesMatchTheFullFrameWriter)
{
    const int W = 3840, H = 2400;
    const Literal mixed{sphere()[3], frameEdges(W, H)[0], {}, plateLayers(W, H)[2]};
    const FileCase cases[] = {
        {"sphere", W, H, false, 10, 1, sphere()},
        {"10,000-cube plate", W, H, false, 10, 2, cubePlate()},
        {"whole frame", W, H, false, 10, 1, wholeFrame(W, H)},
        {"frame edges", W, H, false, 10, 1, frameEdges(W, H)},
        {"frame edges, rotated", 2560, 1440, true, 10, 1, frameEdges(2560, 1440)},
        {"sphere, rotated", W, H, true, 4500, 3, sphere()},
        {"plate layers", W, H, false, 10, 1, plateLayers(W, H)},
        {"support field", W, H, false, 10, 2, supportField()},
        {"support field, rotated", W, H, true, 10, 1, supportField()},
        {"supports inside a wall", W, H, false, 10, 2, supportsInsideAWall()},
        {"supports inside a wall, rotated", W, H, true, 10, 1, supportsInsideAWall()},
        {"support lattice", W, H, false, 10, 2, supportLattice()},
        {"support lattice, rotated", W, H, true, 10, 1, supportLattice()},
        {"nearly touching", 2560, 1440, false, 10, 2, nearlyTouching()},
        {"nearly touching, rotated", 2560, 1440, true, 10, 1, nearlyTouching()},
        {"code 30", W, H, false, 30, 2, mixed},
        {"code 120", W, H, false, 120, 1, mixed},
        {"code 4500", W, H, false, 4500, 0, mixed},
        {"repeated layers, one worker", 2560, 1440, false, 10, 1, repeatsAndChanges()},
        {"repeated layers, three workers", 2560, 1440, false, 10, 3, repeatsAndChanges()},
        {"repeated layers, rotated, default pool", 2560, 1440, true, 10, 0, repeatsAndChanges()},
    };
    QTemporaryDir dir;
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SliceLayers layers = ToSliceLayers(c.layers);
        PrintJobInput input;
        input.modelLayers = layers;
        input.machineCode = c.machineCode;
        input.machineName = "Pellar120";
        input.imageRotate = c.rotate;
        input.saveFileName = dir.filePath("job.vxs");
        ST_MachinePara para{};
        para.XResolution = float(c.width);
        para.YResolution = float(c.height);
        ASSERT_EQ(PrintFile::generatePrintableData_VXS(input, para, QString(), c.workers), 0);

        const VxsFile f = ReadVxs(input.saveFileName, c.machineCode == 120);
        ASSERT_TRUE(f.valid && f.layers.size() == c.layers.size()) << f.error;
        const int iw = c.rotate ? c.height : c.width, ih = c.rotate ? c.width : c.height;
        for (int i = 0; i < c.layers.size(); ++i) {
            const QByteArray expected = referenceCode(referenceFrame(ToPolygonsF(layers[i]), c.rotate, iw, ih), 4);
            ASSERT_TRUE(f.layers[i] == expected)
                << "layer " << i << ": " << f.layers[i].size() << " bytes, expected " << expected.size();
        }
    }
}

// Which layers count as repeats of the one below: exactly the same bits only.
TEST(LayerBox, RepeatsAreTheSameBitsOnly)
{
    const QPolygonF square = rect(1, 2, 30, 40.5);
    QPolygonF negativeZero = deepCopy(square);
    negativeZero[0].rx() = -0.0;
    QPolygonF positiveZero = deepCopy(square);
    positiveZero[0].rx() = 0.0;
    QPolygonF nan = deepCopy(square);
    nan[1].ry() = std::nan("");
    QPolygonF nextFloat = deepCopy(square);
    nextFloat[0].rx() = double(std::nextafter(float(square[0].x()), 2.f));
    QPolygonF shorter = deepCopy(square);
    shorter.removeLast();
    const QVector<QPolygonF> pair{square, rect(5, 5, 6, 6)};
    struct Case {
        const char* name;
        QVector<QPolygonF> a, b;
        bool same;
    } cases[] = {
        {"shared list", pair, pair, true},
        {"copied points", pair, {deepCopy(pair[0]), deepCopy(pair[1])}, true},
        {"both empty", {}, {}, true},
        {"empty polygon", {QPolygonF()}, {QPolygonF()}, true},
        {"empty and not", {}, {square}, false},
        {"one outline less", pair, {pair[0]}, false},
        {"other order", pair, {pair[1], pair[0]}, false},
        {"one point less", {square}, {shorter}, false},
        {"zero signs", {negativeZero}, {positiveZero}, false},
        {"same NaN", {nan}, {deepCopy(nan)}, true},
        {"one float step", {square}, {nextFloat}, false},
    };
    for (const Case& c : cases) {
        const QVector<SlicePolygon> a = ToSlicePolygons(c.a), b = ToSlicePolygons(c.b);
        EXPECT_EQ(LayerRenderPool::sameOutlines(a, b), c.same) << c.name;
        EXPECT_EQ(LayerRenderPool::sameOutlines(b, a), c.same) << c.name;
    }
}

// The box encoder against the plain one and the decoder: images black outside
// a box, lit runs meeting the box's edges, the frame's edges and each other.
TEST(LayerBox, BoxEncoderMatchesAFullScan)
{
    std::mt19937 rng(13);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Box { int x0, y0, x1, y1; }; // inclusive; x1 < x0 for an empty box
    for (int round = 0; round < 400; ++round) {
        const int w = pick(1, 40), h = pick(1, 12), bits = pick(1, 7);
        Box box{pick(0, w - 1), pick(0, h - 1), 0, 0};
        box.x1 = pick(box.x0, w - 1);
        box.y1 = pick(box.y0, h - 1);
        if (round % 7 == 0)
            box = {0, 0, w - 1, h - 1};
        if (round % 11 == 0)
            box = {w - 1, h - 1, w - 1, h - 1};
        if (round % 13 == 0)
            box = {0, 0, -1, -1};
        QImage image(w, h, QImage::Format_Grayscale8);
        image.fill(0);
        const int style = round % 3; // noise, long runs, all white
        for (int y = box.y0; y <= box.y1; ++y)
            for (int x = box.x0; x <= box.x1; ++x)
                image.scanLine(y)[x] = style == 2 ? 0xFF : style == 1 ? ((x / 5 + y) % 3) * 0x70 : pick(0, 255);
        const QRect r(QPoint(box.x0, box.y0), QPoint(box.x1, box.y1));
        QVector<unsigned char> out;
        ASSERT_TRUE(EncodeRunLength(image, bits, out, r));
        const QByteArray code(reinterpret_cast<const char*>(out.constData()), out.size());
        SCOPED_TRACE(testing::Message() << "round " << round << " " << w << "x" << h << " bits " << bits);
        ASSERT_TRUE(code == referenceCode(image, bits));
        // And read back by the independent decoder: the masked pixels.
        const QVector<uint8_t> levels = ExpandRuns(DecodeRuns(code, bits), uint64_t(w) * h);
        ASSERT_EQ(levels.size(), w * h);
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(levels[i], image.constScanLine(i / w)[i % w] & uint8_t(0xFF << (8 - bits))) << i;
    }
}

} // namespace
