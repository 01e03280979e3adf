#include "test_meshes.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

ToolRun Start(const QString& exe, const QStringList& args)
{
    QProcess p;
    p.start(exe, args);
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// Reads the header words of a layer-image file: magic, machine code, the
// parameter count and the layer count.
struct VxsHead {
    QByteArray magic;
    qint32 machineCode = 0, paramCount = 0, layers = 0;
    float thicknessMm = 0;
};
bool ReadHead(const QString& path, VxsHead& h)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&f);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    h.magic = f.read(8);
    qint32 words[4];
    for (qint32& w : words)
        in >> w;
    h.machineCode = words[2];
    in >> h.paramCount;
    float params[34];
    for (float& p : params)
        in >> p;
    h.thicknessMm = params[4];
    in >> h.layers;
    return in.status() == QDataStream::Ok;
}

class Tools : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Stl(const QString& name, const QVector<VSLTriangle3D>& tris)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(tris)));
        return path;
    }
};

} // namespace

TEST_F(Tools, PipelineRunsTheWholeRoadAndReportsEachStep)
{
    const QString cube = Stl("cube.stl", testmesh::Cube(10));
    const QString out = dir.filePath("job.vxs");
    const ToolRun r = Start(PIPELINE_EXE, {"--width", "1440", "--height", "2560", "--pixel-um", "50", "--thickness", "0.1",
                                       "--machine-code", "10", "--plate-layers", "2", "--out", out, cube, cube});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 8) << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines[0].startsWith("load " + cube + " triangles=12 vertices=8 shells=1 seconds="));
    EXPECT_TRUE(r.lines[1].startsWith("load " + cube + " triangles=12 vertices=8 shells=1 seconds="));
    EXPECT_TRUE(r.lines[2].startsWith("instance 1 min="));
    EXPECT_TRUE(r.lines[3].startsWith("instance 2 min="));
    EXPECT_TRUE(r.lines[4].startsWith("slice layers=102 seconds=")) << r.lines[4].toStdString();
    EXPECT_EQ(r.lines[5], "islands support=0 model=0");
    EXPECT_TRUE(r.lines[6].startsWith("write " + out + " bytes=" + QString::number(QFile(out).size()) + " seconds="));
    EXPECT_TRUE(r.lines[7].startsWith("total seconds="));
    VxsHead h;
    ASSERT_TRUE(ReadHead(out, h));
    EXPECT_EQ(h.magic, QByteArray("Vexmor3D"));
    EXPECT_EQ(h.machineCode, 10);
    EXPECT_EQ(h.paramCount, 34);
    EXPECT_EQ(h.layers, 102);
    EXPECT_FLOAT_EQ(h.thicknessMm, 0.1f);
}

TEST_F(Tools, PipelineRunsSupportJobsBeforeSlicing)
{
    const QString slab = Stl("slab.stl", testmesh::FanSlab(0, 0, 20, 20, 2, 16));
    const ToolRun r = Start(PIPELINE_EXE, {"--width", "1440", "--height", "2560", "--pixel-um", "50", "--thickness",
                                           "0.1", "--supports", "1,0.6,1.1,3", slab});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 7) << r.lines.join("\n").toStdString();
    const QRegularExpression line("^support instance=1 faces=64/(\\d+) records=(\\d+) seconds=");
    const QRegularExpressionMatch m = line.match(r.lines[2]);
    ASSERT_TRUE(m.hasMatch()) << r.lines[2].toStdString();
    EXPECT_GT(m.captured(1).toInt(), 64);
    // A 20 mm square underside at density 1: one support per few mm^2.
    EXPECT_GT(m.captured(2).toInt(), 20);
    EXPECT_TRUE(r.lines[3].startsWith("removed instance=1 contacts=")) << r.lines[3].toStdString();
    // Lifted by 3 mm onto its supports: 5 mm in 0.1 mm layers.
    EXPECT_TRUE(r.lines[4].startsWith("slice layers=50 ")) << r.lines[4].toStdString();
    EXPECT_EQ(r.lines[5], "islands support=0 model=0");
}

TEST_F(Tools, PipelineRefusesBadInputWithAMessage)
{
    const QString cube = Stl("cube.stl", testmesh::Cube(10));
    const QString empty = dir.filePath("empty.stl");
    ASSERT_TRUE(testmesh::WriteFile(empty, QByteArray()));
    const QList<QStringList> cases = {
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", dir.filePath("missing.stl")},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", empty},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0", cube},
        {"--width", "abc", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", cube},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1"},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", "--supports", "1,0.6,1.1", cube},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", "--supports", "0,0.6,1.1,3", cube},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", "--supports", "1,nan,1.1,3", cube},
        {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1", "--out",
         dir.filePath("no/such/folder/x.vxs"), cube},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = Start(PIPELINE_EXE, args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.errors.contains("pipeline: ")) << r.errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("no/such/folder/x.vxs")));
}

TEST_F(Tools, ConvertArchiveResavesWithANewThicknessAndRefusesNonVxsInput)
{
    const QString cube = Stl("cube.stl", testmesh::Cube(10));
    const QString job = dir.filePath("job.vxs");
    ASSERT_EQ(Start(PIPELINE_EXE, {"--width", "480", "--height", "854", "--pixel-um", "50", "--thickness", "0.05",
                                   "--machine-code", "10", "--out", job, cube})
                  .exitCode,
              0);
    const QString resaved = dir.filePath("resaved.vxs");
    const ToolRun r = Start(CONVERT_ARCHIVE_EXE, {"--resave", job, "--thickness", "0.025", "--out", resaved});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 1);
    EXPECT_TRUE(r.lines[0].startsWith("layers=200 seconds=")) << r.lines[0].toStdString();
    VxsHead before, after;
    ASSERT_TRUE(ReadHead(job, before));
    ASSERT_TRUE(ReadHead(resaved, after));
    EXPECT_FLOAT_EQ(after.thicknessMm, 0.025f);
    EXPECT_EQ(after.layers, before.layers);

    const ToolRun bad = Start(CONVERT_ARCHIVE_EXE, {"--resave", cube, "--out", dir.filePath("x.vxs")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(bad.errors.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("x.vxs")));
}
