#include "dlpserialport.h"
#include "event_wait.h"
#include "slice_polygons.h"
#include "frmDLP.h"
#include "light_data.h"
#include "printer_simulator.h"
#include "printer_test_util.h"
#include "roadlayer.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace lightdata;

namespace {

class FakeLayers : public ProjectorLayerSource
{
public:
    SliceLayers model, supports;
    SliceLayers GetSliceData() const override { return model; }
    SliceLayers GetSliceDataSup() const override { return supports; }
};

QPolygonF rect(double x0, double y0, double x1, double y1)
{
    return QPolygonF({QPointF(x0, y0), QPointF(x1, y0), QPointF(x1, y1), QPointF(x0, y1)});
}

bool allBlack(const QImage& image)
{
    QImage black(image.size(), QImage::Format_Grayscale8);
    black.fill(0);
    return image.convertToFormat(QImage::Format_Grayscale8) == black;
}

int grey(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

// Light 100 under a target of 50: gain 0.5 everywhere, white 128.
const Grid kHalf{50, 64, 48, {32}, {24}, {100}};

class ProjectorWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedPara = DlpSerialPort::lightEnginePara;
        win = std::make_unique<frmDLP>();
        win->setDataFolder(m_dir.path());
        win->setReporter([this](const QString& title, const QString& text) { reports << title + "|" + text; });
        win->setTargetProvider([] { return QPoint(0, 0); });
        win->m_view = &layers;
        writeFile("GreyTestFinal.dat", greyFile(linearGrey(1.0)));
    }
    void TearDown() override
    {
        win.reset();
        DlpSerialPort::lightEnginePara = m_savedPara;
    }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    bool init(const Grid& g, int width = -1, int height = -1)
    {
        DlpSerialPort::lightEnginePara = reply(g);
        return win->frmDLP_init(25, 0.05f, 0.0f, width < 0 ? g.width : width, height < 0 ? g.height : height);
    }
    QImage render(int layer)
    {
        win->m_layer = layer;
        const QImage* image = win->renderLayerImage();
        return image ? *image : QImage();
    }

    // Pixels of `shown` that differ from the layer path (filled by the
    // odd-even rule, outlined with a pen `pen` wide) painted in one go and
    // corrected: 0 where nothing is painted, the pixel's white where all is,
    // else the look-up value of the painted coverage under the pixel's gain.
    int wrongPixels(const QImage& shown, const QVector<QPolygonF>& polygons, int pen, int* edges = nullptr)
    {
        const QImage out = shown.convertToFormat(QImage::Format_Grayscale8);
        QImage coverage(out.size(), QImage::Format_Grayscale8);
        coverage.fill(0);
        QPainter p(&coverage);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen > 0 ? QPen(QBrush(Qt::black), pen, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin) : QPen(Qt::NoPen));
        p.setBrush(Qt::white);
        QPainterPath path;
        for (const QPolygonF& polygon : polygons) {
            path.addPolygon(polygon);
            path.closeSubpath();
        }
        p.drawPath(path);
        p.end();
        int wrong = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const size_t i = size_t(y) * size_t(out.width()) + size_t(x);
                const int v = coverage.scanLine(y)[x];
                int want = v == 255 ? win->pixelWhite()[i] : 0;
                if (v > 0 && v < 255) {
                    const float n = std::ceil(win->greyCurve()[size_t(v)] * win->pixelGain()[i] * 1000.0f);
                    want = win->greyLut()[size_t(std::min(n, 1000.0f))];
                    edges && ++*edges;
                }
                wrong += out.scanLine(y)[x] != want;
            }
        return wrong;
    }

    QTemporaryDir m_dir;
    QList<QByteArray> m_savedPara;
    std::unique_ptr<frmDLP> win;
    FakeLayers layers;
    QStringList reports;
    LogCapture log;
};

}  // namespace

TEST_F(ProjectorWindowTest, MissingDataIsReportedAndEarlierTablesStay)
{
    m_dir.remove();  // neither file
    EXPECT_FALSE(win->frmDLP_init(25, 0.05f, 0, 64, 48));
    EXPECT_EQ(reports, QStringList{"Error!|GreyTestFinal data file missing!"});
    EXPECT_TRUE(win->greyLut().empty());

    ASSERT_TRUE(QDir().mkpath(m_dir.path()));
    writeFile("GreyTestFinal.dat", greyFile(linearGrey()));
    reports.clear();
    DlpSerialPort::lightEnginePara.clear();
    EXPECT_FALSE(win->frmDLP_init(25, 0.05f, 0, 64, 48));
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(log.has("No Light Engine Parameters Loaded!"));
    EXPECT_EQ(win->greyLut().size(), 1001u);
    EXPECT_FALSE(win->hasTables());

    // Header lines only: "machine.dat" completes them, and is asked for only
    // until light data was seen.
    DlpSerialPort::lightEnginePara = {"M701", "Light engine data", "Begin"};
    EXPECT_FALSE(win->frmDLP_init(25, 0.05f, 0, 64, 48));
    EXPECT_EQ(reports, QStringList{"Error!|Machine data file missing!"});
    QByteArray machine = "l1\nl2\nl3\n";
    for (const QByteArray& item : items(kHalf))
        machine += item + " ";
    writeFile("machine.dat", machine);
    reports.clear();
    EXPECT_TRUE(win->frmDLP_init(25, 0.05f, 0, 64, 48));
    EXPECT_EQ(win->pixelWhite()[100], 128);
    QFile::remove(m_dir.filePath("machine.dat"));
    EXPECT_TRUE(win->frmDLP_init(25, 0.05f, 0, 64, 48));
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(ProjectorWindowTest, MalformedDataKeepsEarlierTables)
{
    EXPECT_FALSE(init(Grid{50, 64, 48, {70}, {24}, {100}}));  // x beyond the width
    EXPECT_TRUE(reports.size() == 1 && reports[0].startsWith("Error!|Light engine data invalid: x position 1"))
        << reports.join(';').toStdString();
    EXPECT_FALSE(win->lightDataSeen() || win->hasTables());

    ASSERT_TRUE(init(kHalf));
    const std::vector<float> gain = win->pixelGain();
    reports.clear();
    EXPECT_TRUE(init(Grid{50, 64, 48, {}, {24}, {}}));  // nx 0
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(log.lines().filter("Light engine data invalid: nx 0").size(), 1);
    EXPECT_EQ(win->pixelGain(), gain);
    EXPECT_EQ(win->layerImage()->size(), QSize(64, 48));
}

// A grid value that would darken the layer around its point: no tables,
// so the print is not started, and the user is told why.
TEST_F(ProjectorWindowTest, AGridValueThatWouldDarkenTheLayerIsRefused)
{
    EXPECT_FALSE(init(Grid{50, 64, 48, {16, 48}, {24}, {100, 1e30f}}));
    EXPECT_TRUE(reports.size() == 1
                && reports[0].startsWith("Error!|Light engine data invalid: light value 1e+30 at point (2,1)"))
        << reports.join(';').toStdString();
    EXPECT_FALSE(win->lightDataSeen() || win->hasTables());
}

TEST_F(ProjectorWindowTest, SimulatorLightGrid)
{
    const PrinterSimulator::LightGrid grid{80, 320, 180, {40.5f, 160.5f, 280.5f}, {45.5f, 135.5f}};  // on pixel centres
    DlpSerialPort::lightEnginePara =
        QByteArray::fromStdString(PrinterSimulator::lightGridReply(grid) + "ok\n").split('\n');
    ASSERT_TRUE(win->frmDLP_init(25, 0.05f, 0, 320, 180));
    EXPECT_EQ(win->layerImage()->size(), QSize(320, 180));
    // The first measuring point read 100 under a target of 80.
    EXPECT_NEAR(win->pixelGain()[size_t(45) * 320 + 40], 0.8f, 1e-5f);
    EXPECT_GT(DlpSerialPort::lightEnginePara.size(), 3);  // read, not consumed
}

// Outlines of close polygons share pixels, and must come out as the
// whole path's outline would.
TEST_F(ProjectorWindowTest, LayerIsCorrectedPerPixel)
{
    ASSERT_TRUE(init(kHalf));
    const QVector<QPolygonF> square{rect(10.5, 8.25, 40.75, 30.5)};
    const QVector<QPolygonF> holes{rect(4.5, 4.5, 58.25, 43.75), rect(20.25, 14.5, 36.5, 30.5),
                                   rect(40.5, 10.75, 50.5, 35.5)};
    const QVector<QPolygonF> close{rect(4.5, 4.5, 58.25, 43.75), rect(20.25, 14.5, 36.5, 30.5),
                                   rect(37.5, 14.5, 50.5, 35.5)};
    struct Case { QVector<QPolygonF> polygons; int penSelect, penWidth; };  // pen 1 to 4: outline that wide, else none
    for (const Case& c : {Case{square, 0, 0}, Case{square, 5, 0}, Case{square, -1, 0}, Case{square, 2, 2},
                          Case{holes, 0, 0}, Case{holes, 1, 1}, Case{holes, 3, 3}, Case{close, 4, 4}}) {
        SCOPED_TRACE(testing::Message() << c.polygons.size() << " polygons, pen " << c.penSelect);
        layers.model = {ToSlicePolygons(c.polygons)};
        win->setPenSelect(c.penSelect);
        int edges = 0;
        EXPECT_EQ(wrongPixels(render(0), c.polygons, c.penWidth, &edges), 0);
        EXPECT_GT(edges, 50);
    }
    // A pen 2 wide darkens one whole pixel inside the edge, and no more.
    layers.model = ToSliceLayers({{rect(10, 10, 50, 40)}});
    win->setPenSelect(2);
    const QImage out = render(0);
    EXPECT_EQ(out.scanLine(25)[10], 0);
    EXPECT_EQ(out.scanLine(25)[11], 128);
}

TEST_F(ProjectorWindowTest, WhatEachLayerLights)
{
    struct Case { const char* name; QVector<QVector<QPolygonF>> model, supports; int layer; std::vector<QPoint> lit, dark; };
    const QPolygonF outer = rect(4, 4, 44, 44), inner = rect(14, 14, 34, 34);
    const Case cases[] = {
        {"nested model contours leave a hole", {{outer, inner}}, {}, 0, {{8, 8}}, {{24, 24}, {50, 40}}},
        {"a support in the hole is lit", {{outer, inner}}, {{rect(20, 20, 28, 28)}}, 0, {{8, 8}, {24, 24}}, {{16, 16}}},
        {"overlapping supports both lit", {}, {{rect(4, 4, 30, 30), rect(20, 20, 44, 44)}}, 0,
         {{8, 8}, {25, 25}, {40, 40}}, {{40, 8}}},
        {"supports only beyond the model layers", {{outer}}, {{}, {rect(4, 4, 12, 12)}}, 1, {{8, 8}}, {{24, 24}}},
        {"a polygon without points is skipped", {{QPolygonF(), outer}}, {{QPolygonF()}}, 0, {{8, 8}}, {{50, 40}}},
        {"beyond every layer", {{outer}}, {{outer}}, 3, {}, {}},
        {"dark frame", {{outer}}, {{outer}}, -1, {}, {}},
    };
    ASSERT_TRUE(init(kHalf));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        layers.model = ToSliceLayers(c.model);
        layers.supports = ToSliceLayers(c.supports);
        const QImage out = render(c.layer);
        for (QPoint p : c.lit)
            EXPECT_EQ(out.scanLine(p.y())[p.x()], 128) << p.x() << "," << p.y();
        for (QPoint p : c.dark)
            EXPECT_EQ(out.scanLine(p.y())[p.x()], 0) << p.x() << "," << p.y();
        EXPECT_EQ(allBlack(out), c.lit.empty());
    }
    // Nothing of a layer stays in the next.
    layers.model = ToSliceLayers({{rect(40, 30, 60, 45)}, {}});
    EXPECT_EQ(render(0).scanLine(35)[50], 128);
    EXPECT_TRUE(allBlack(render(1)));
    // A light grid of another size than the projector is refused, and the
    // earlier tables, made for 64 x 48, do not serve a 32 x 24 projector.
    for (QSize frame : {QSize(32, 24), QSize(128, 96), QSize(64, 24)}) {
        EXPECT_FALSE(init(kHalf, frame.width(), frame.height()));
        EXPECT_TRUE(win->lastProblem().contains(
            QStringLiteral("differs from the projector's %1 x %2").arg(frame.width()).arg(frame.height())))
            << win->lastProblem().toStdString();
    }
    EXPECT_TRUE(init(kHalf));
    EXPECT_TRUE(win->lastProblem().isEmpty());
}

TEST_F(ProjectorWindowTest, PictureFullScreenUncorrectedAndNullNameCloses)
{
    ASSERT_TRUE(init(kHalf));
    QImage picture(16, 12, QImage::Format_RGB32);
    picture.fill(qRgb(200, 200, 200));
    const QString path = m_dir.filePath("picture.png");
    ASSERT_TRUE(picture.save(path));
    layers.model = ToSliceLayers({{rect(0, 0, 64, 48)}});
    int asked = 0;
    win->setTargetProvider([&] { return ++asked, QPoint(0, 0); });
    win->slot_showImage(path);
    ASSERT_TRUE(WaitUntilExposed(win.get()));
    EXPECT_EQ(asked, 1);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(WaitUntil([&] { return win->isFullScreen() && win->geometry() == screen; }, kHangMs));
    const QImage shot = win->grab().toImage();
    // No gain of 0.5, and the picture covers the projector size.
    EXPECT_EQ(QVector<int>({grey(shot, 30, 20), grey(shot, 63, 47), grey(shot, 64, 48)}), QVector<int>({200, 200, 0}));

    win->slot_showImage(QString());
    EXPECT_FALSE(win->isVisible());
    // A fresh init ends picture mode.
    win->slot_showImage(path);
    ASSERT_TRUE(init(kHalf));
    EXPECT_TRUE(win->picturePath().isNull());
    win->close();
}

// Black without tables and on a dark frame. The print thread sets the layer
// and asks for a repaint; the painting happens on the GUI thread.
TEST_F(ProjectorWindowTest, BlackUntilALayerIsAskedForFromThePrintThread)
{
    layers.model = ToSliceLayers({{rect(8, 8, 40, 40)}});
    win->m_layer = 0;
    win->resize(64, 48);
    EXPECT_TRUE(allBlack(win->grab().toImage()));
    ASSERT_TRUE(init(kHalf));
    win->m_layer = -1;
    win->show();
    ASSERT_TRUE(WaitUntilExposed(win.get()));
    EXPECT_TRUE(allBlack(win->grab().toImage()));
    std::thread printThread([this] {
        win->m_layer = 0;
        win->requestRepaint();
    });
    printThread.join();
    EXPECT_TRUE(WaitUntil([&] { return win->layerImage()->scanLine(20)[20] == 128; }, kHangMs));
    EXPECT_FALSE(allBlack(win->grab().toImage()));
    win->close();
}

// A reviewer's view: the road layer under light brighter in the middle, so
// the corrected deck is darker there than near its ends.
TEST_F(ProjectorWindowTest, RoadLayerScreenshot)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int W = screen.width(), H = screen.height();
    Grid g = evenGrid(W, H, 9, 60.0f);
    for (float x : g.xs)
        for (float y : g.ys) {
            const float dx = (x - W / 2.0f) / (W / 2.0f), dy = (y - H / 2.0f) / (H / 2.0f);
            g.values.push_back(60.0f + 60.0f * std::max(0.0f, 1.0f - (dx * dx + dy * dy) / 2.0f));
        }
    ASSERT_TRUE(init(g));
    // The road layer of a 3840 x 2400 projector, scaled to this screen.
    const double scale = std::min(W / 3840.0, H / 2400.0);
    QVector<QPolygonF> road = MakeRoadLayer(3840, 2400);
    for (QPolygonF& polygon : road)
        for (QPointF& p : polygon)
            p *= scale;
    // Stored as float points, as the slicer stores them; the reference draws the same.
    layers.model = {ToSlicePolygons(road)};
    road = ToPolygonsF(layers.model[0]);
    win->setPenSelect(1);
    win->m_layer = 0;
    win->showOnProjector();
    ASSERT_TRUE(WaitUntilExposed(win.get()));
    const QImage shot = win->grab().toImage();
    shot.save(QStringLiteral(VSL_SHOT_DIR "/projector_road_layer.png"));

    // Deck points mid-way and near its left end (clear of the holes).
    const QPoint mid = (QPointF(1920, 1350) * scale).toPoint(), end = (QPointF(468, 1483) * scale).toPoint();
    EXPECT_LT(grey(shot, mid.x(), mid.y()) + 20, grey(shot, end.x(), end.y()));
    EXPECT_EQ(wrongPixels(shot, road, 1), 0);
    win->close();
}
