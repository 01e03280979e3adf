#include "VSL3DScene.h"
#include "slice_polygons.h"
#include "VSLModel3D.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstring>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Triangulation : public ::testing::Test {
protected:
    void SetUp() override { VSLModel3D::m_vT.clear(); }
    void TearDown() override { VSLModel3D::m_vT.clear(); }
    VSLModel3D m_model;
};

TEST_F(Triangulation, EveryThirdLayerGivesWallsAndPointTripleCaps)
{
    const QPolygonF square({QPointF(0, 0), QPointF(1, 0), QPointF(1, 1), QPointF(0, 1), QPointF(0, 0)});
    const QPolygonF pair(QVector<QPointF>{QPointF(0, 0), QPointF(2, 0)});
    const struct { const char* name; QVector<QVector<QPolygonF>> layers; int triangles; float topZ; } cases[] = {
        {"no layers", {}, 0, 0},
        {"closed square: 8 walls, caps (0,1,2), (2,3,4) twice", {{square}}, 8 + 4, 0.5f},
        {"two points: 2 walls, no caps", {{pair}}, 2, 0.5f},
        {"five layers: only 0 and 3", {{pair}, {square}, {square}, {pair}, {square}}, 4, 2.0f},
    };
    for (const auto& c : cases) {
        VSLModel3D::m_vT.clear();
        EXPECT_EQ(m_model.ConvertPolygonToTriangles(c.layers, 0.5f), 0) << c.name;
        ASSERT_EQ(VSLModel3D::m_vT.size(), c.triangles) << c.name;
        float top = 0;
        for (const VSLTriangle3D& t : VSLModel3D::m_vT)
            top = std::max(top, t.maxBound.z());
        EXPECT_FLOAT_EQ(top, c.topZ) << c.name;
    }
}

// The all-float file read back as floats.
QVector<float> Floats(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    QVector<float> out(b.size() / 4);
    for (int i = 0; i < out.size(); ++i) {
        const quint32 bits = qFromLittleEndian<quint32>(b.constData() + 4 * i);
        std::memcpy(&out[i], &bits, 4);
    }
    return out;
}

class LegacyExport : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    VSL3DScene m_scene;
    ST_MachinePara m_para{};
};

TEST_F(LegacyExport, FixedBlocksThenLayersClampingModelPointsNotSupportPointsThenTheCounts)
{
    const QString empty = m_dir.filePath("empty.dat");
    ASSERT_EQ(m_scene.generatePrintableData1(m_para, empty), 0);
    const QVector<float> e = Floats(empty);
    ASSERT_EQ(e.size(), 1025 + 1025 + 153601 + 1 + 3);
    EXPECT_EQ(QVector<float>({e[0], e[1], e[4], e[1025], e[2050]}),
              QVector<float>({1024, 9.2f, 999988.25f, 1024, 153600}));
    EXPECT_EQ(e.mid(e.size() - 4), QVector<float>({0, 0, 0, 0}));

    m_scene.m_nXResolution = 100;
    m_scene.m_nYResolution = 50;
    m_para.DotsPermmX = 7;
    m_scene.m_modelSliceLayers = ToSliceLayers({{QPolygonF({QPointF(-5, 10), QPointF(150, 60), QPointF(20, 30)})},
                                                {QPolygonF({QPointF(1, 2)})}});
    m_scene.m_supportSliceLayers = ToSliceLayers({{QPolygonF({QPointF(-5, 70)})}});
    const QString path = m_dir.filePath("two.dat");
    ASSERT_EQ(m_scene.generatePrintableData1(m_para, path), 0);
    const QVector<float> v = Floats(path);
    EXPECT_EQ(v[1026], 7.f);
    const int block4 = 1025 + 1025 + 153601;
    EXPECT_EQ(v.mid(block4, 3), QVector<float>({2, 7 + 3, 10 + 3}));
    EXPECT_EQ(v.mid(block4 + 3, 13), QVector<float>({999988.25f, 0, 10, 100, 50, 20, 30, 999988.25f, -5, 70,
                                                     999988.25f, 1, 2}));
    EXPECT_EQ(v.mid(block4 + 16), QVector<float>({2, 0, 5}));
    EXPECT_EQ(m_scene.m_nPrintLayerCount, 2);

    const QString missing = m_dir.filePath("missing/x.dat");
    EXPECT_NE(m_scene.generatePrintableData1(m_para, missing), 0);
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_FALSE(m_scene.saveSvg(1, m_dir.filePath("missing"), "x", 10, 10));
}

TEST_F(LegacyExport, SvgFilesLieInsideTheFolderAndRenderTheLayers)
{
    const QPolygonF square({QPointF(20, 20), QPointF(80, 20), QPointF(80, 80), QPointF(20, 80)});
    m_scene.m_modelSliceLayers = ToSliceLayers({{square}, {}, {}});
    const QString dir = m_dir.filePath("svg");
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(m_scene.saveSvg(0, dir, "layer", 100, 100));
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());
    ASSERT_TRUE(m_scene.saveSvg(3, dir, "layer", 100, 100));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList({"layer-0.svg", "layer-1.svg", "layer-2.svg"}));

    QSvgRenderer svg(QDir(dir).filePath("layer-0.svg"));
    ASSERT_TRUE(svg.isValid());
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter p(&image);
    svg.render(&p);
    p.end();
    image.save(QDir(QCoreApplication::applicationDirPath()).filePath("svg-layer-0.png"));
    EXPECT_EQ(QVector<QColor>({image.pixelColor(50, 50), image.pixelColor(5, 5), image.pixelColor(95, 50)}),
              QVector<QColor>({Qt::white, Qt::black, Qt::black}));

    // A layer beyond both lists is a black frame.
    QImage beyond(10, 10, QImage::Format_RGB32);
    beyond.fill(Qt::red);
    QPainter q(&beyond);
    m_scene.paint(q, 10, 10, 7);
    q.end();
    EXPECT_EQ(beyond.pixelColor(5, 5), QColor(Qt::black));
}

// Layer pictures saved again on a disk that fills up (a file-size limit
// below one picture, in a child process with SIGXFSZ ignored) are refused,
// and the pictures saved before stay byte for byte.
TEST_F(LegacyExport, SvgFilesThatDoNotFitKeepTheOldOnes)
{
    const QPolygonF square({QPointF(20, 20), QPointF(80, 20), QPointF(80, 80), QPointF(20, 80)});
    m_scene.m_modelSliceLayers = ToSliceLayers({{square}, {}});
    const QString dir = m_dir.filePath("svg");
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(m_scene.saveSvg(2, dir, "layer", 100, 100));
    const QByteArray first = testmesh::ReadFile(QDir(dir).filePath("layer-0.svg"));
    ASSERT_GT(first.size(), 200);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{rlim_t(200), rlim_t(200)};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(m_scene.saveSvg(2, dir, "layer", 100, 100) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "reported saved";
    EXPECT_EQ(testmesh::ReadFile(QDir(dir).filePath("layer-0.svg")), first);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"layer-0.svg", "layer-1.svg"}));
}

} // namespace
