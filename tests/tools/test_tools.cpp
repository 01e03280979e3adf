#include "hang_ceiling.h"
#include "test_meshes.h"
#include "../converter/vxs_reader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

ToolRun Start(const QString& exe, const QStringList& args, int timeoutMs = kHangMs)
{
    QProcess p;
    p.start(exe, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

VxsFileContents ReadOut(const QString& path, bool withPng = false)
{
    QFile f(path);
    VxsFileContents vxs;
    QString error;
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && ReadVxs(f.readAll(), withPng, vxs, error)) << qPrintable(error);
    return vxs;
}

// Every entry of a folder: the bytes of a regular file, a mark for anything else.
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QFile f(path);
        files[info.fileName()] = info.isSymLink() ? "link to " + info.symLinkTarget().toUtf8()
                                 : !info.isFile() ? QByteArray(info.isDir() ? "folder" : "special")
                                 : f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
    }
    return files;
}

struct HostileCase { QStringList args; QString message; }; // the message: part of stderr

class Tools : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Stl(const QString& name, const QVector<VSLTriangle3D>& tris)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(tris)));
        return path;
    }
    QString Fifo(const QString& name)
    {
        const QString path = dir.filePath(name);
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }
    // A Pellar30 job of a 2 mm cube on the frame `frame` (--width, --height, --rotate);
    // by default as the converter states a turned model's frame.
    QString Pellar30Job(const QStringList& frame = {"--width", "1440", "--height", "2560"})
    {
        const QString cube = Stl("cube.stl", testmesh::Cube(2));
        const QString job = dir.filePath("job.vxs30");
        EXPECT_EQ(Start(PIPELINE_EXE, frame + QStringList{"--pixel-um", "47.25", "--thickness", "0.05",
                                                          "--machine-code", "30", "--out", job, cube})
                      .exitCode,
                  0);
        QFile::remove(cube);
        return job;
    }
    // Runs each case; every one must exit 1 with its message and leave the
    // folder exactly as it was.
    void ExpectRefusedUnchanged(const char* exe, const QVector<HostileCase>& cases)
    {
        const QMap<QString, QByteArray> before = Snapshot(dir.path());
        for (const HostileCase& c : cases) {
            const ToolRun r = Start(exe, c.args, 30000);
            EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString() << "\n" << r.errors.toStdString();
            EXPECT_TRUE(r.errors.contains(c.message))
                << c.args.join(' ').toStdString() << "\n" << r.errors.toStdString();
            const QMap<QString, QByteArray> after = Snapshot(dir.path());
            EXPECT_TRUE(after == before) << c.args.join(' ').toStdString() << ": "
                                         << QStringList(after.keys()).join(' ').toStdString();
        }
    }
};

} // namespace

TEST_F(Tools, PipelineRunsTheWholeRoadAndReportsEachStep)
{
    const QString cube = Stl("cube.stl", testmesh::Cube(10));
    const QString out = dir.filePath("job.vxs");
    const ToolRun r = Start(PIPELINE_EXE, {"--width", "1440", "--height", "2560", "--pixel-um", "50", "--thickness",
                                           "0.1", "--machine-code", "10", "--plate-layers", "2", "--out", out, cube,
                                           cube});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    const QString load = "load " + cube + " triangles=12 vertices=8 shells=1 seconds=";
    const QString starts[] = {load, load, "instance 1 min=", "instance 2 min=", "slice layers=102 seconds=",
                              "islands support=0 model=0", "outline islands support=0 model=0",
                              "write " + out + " bytes=" + QString::number(QFile(out).size()) + " seconds=",
                              "total seconds="};
    ASSERT_EQ(r.lines.size(), int(std::size(starts))) << r.lines.join("\n").toStdString();
    for (int i = 0; i < r.lines.size(); ++i)
        EXPECT_TRUE(r.lines[i].startsWith(starts[i])) << r.lines[i].toStdString();
    const VxsFileContents vxs = ReadOut(out);
    EXPECT_TRUE(vxs.machineCode == 10 && vxs.layerCount == 102 && vxs.para.value(4) == 0.1f) << vxs.layerCount;
}

TEST_F(Tools, PipelineRunsSupportJobsBeforeSlicing)
{
    const QString slab = Stl("slab.stl", testmesh::FanSlab(0, 0, 20, 20, 2, 16));
    const ToolRun r = Start(PIPELINE_EXE, {"--width", "1440", "--height", "2560", "--pixel-um", "50", "--thickness",
                                           "0.1", "--supports", "1,0.6,1.1,3", slab});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    ASSERT_EQ(r.lines.size(), 8) << r.lines.join("\n").toStdString();
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
    EXPECT_EQ(r.lines[6], "outline islands support=0 model=0");
}

// A tower with a block hanging a hair beside it and one hanging clear of it,
// no supports: the pipeline counts the island the written file holds, and
// print_islands finds it in that file at the same layer and pixel.
TEST_F(Tools, PipelineCountsTheIslandsPrintIslandsFindsInTheFile)
{
    const QString stl = Stl("blocks.stl", testmesh::Box({0, 0, 0}, {4, 4, 6}) + testmesh::Box({4.03f, 0, 3}, {6, 4, 3.6f}) +
                                              testmesh::Box({-3, 0, 3}, {-1, 4, 3.6f}));
    const QString out = dir.filePath("blocks.vxs");
    const ToolRun r = Start(PIPELINE_EXE, {"--width", "400", "--height", "300", "--pixel-um", "100", "--thickness",
                                           "0.1", "--out", out, stl});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    const QStringList islands = r.lines.filter(QRegularExpression("^(support|model) island "));
    ASSERT_EQ(islands.size(), 1) << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines.contains("islands support=0 model=1")) << r.lines.join("\n").toStdString();
    EXPECT_TRUE(r.lines.contains("outline islands support=0 model=2")) << r.lines.join("\n").toStdString();
    const QRegularExpressionMatch at =
        QRegularExpression("^model island layer=(\\d+) at=(-?[0-9.]+),(-?[0-9.]+)$").match(islands[0]);
    ASSERT_TRUE(at.hasMatch()) << islands[0].toStdString();

    const ToolRun file = Start(PRINT_ISLANDS_EXE, {"--width", "400", "--height", "300", out});
    ASSERT_EQ(file.exitCode, 0) << file.errors.toStdString();
    // The middle of the island's first pixel, 0.1 mm pixels from the frame's middle.
    const int x = int(std::floor(at.captured(2).toDouble() * 10 + 200)), y = int(std::floor(at.captured(3).toDouble() * 10 + 150));
    EXPECT_EQ(file.lines, QStringList({QString("island layer=%1 pixel=%2,%3").arg(at.captured(1)).arg(x).arg(y),
                                       "islands=1"}));

    // The frame comes from the file's header; one that differs from it (the
    // same pixels turned a quarter turn) is refused, not read with its rows
    // broken elsewhere.
    const ToolRun header = Start(PRINT_ISLANDS_EXE, {out});
    ASSERT_EQ(header.exitCode, 0) << header.errors.toStdString();
    EXPECT_EQ(header.lines, file.lines);
    const std::pair<QStringList, const char*> wrong[] = {
        {{"--width", "300", "--height", "400"}, "not 300 x 400"},
        {{"--width", "401"}, "not 401 x 300"},
        {{"--height", "299"}, "not 400 x 299"},
    };
    for (const auto& [flags, message] : wrong) {
        const ToolRun r = Start(PRINT_ISLANDS_EXE, flags + QStringList{out});
        EXPECT_EQ(r.exitCode, 1) << flags.join(' ').toStdString();
        EXPECT_TRUE(r.lines.isEmpty()) << r.lines.join('\n').toStdString();
        EXPECT_TRUE(r.errors.contains(QString("its header states a frame of 400 x 300 pixels, ") + message))
            << r.errors.toStdString();
    }
}

TEST_F(Tools, PipelineRefusesHostileCommandLinesAndTouchesNoFile)
{
    const QString cube = Stl("cube.stl", testmesh::Cube(10));
    const QString vxtInput = Stl("m.stl.vxt", testmesh::Cube(10));
    ASSERT_TRUE(QFile::link(cube, dir.filePath("link.stl")));
    ASSERT_EQ(::link(QFile::encodeName(cube).constData(), QFile::encodeName(dir.filePath("hard.stl")).constData()), 0);
    ASSERT_TRUE(testmesh::WriteFile(dir.filePath("empty.stl"), QByteArray()));
    const QString fifo = Fifo("fifo.stl");
    const QString device = Fifo("device.vxs"); // stands in for a device node
    Fifo("k.vxt");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.vxs"));
    const QStringList base = {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1"};
    auto with = [&](const QStringList& more) { return base + more; };
    QVector<HostileCase> cases = {
        {base, "no STL file given"},
        {with({dir.filePath("missing.stl")}), "does not exist"},
        {with({dir.filePath("empty.stl")}), "the file is empty"},
        {with({"--out", dir.filePath("no/such/folder/x.vxs"), cube}), "pipeline: "},

        {with({fifo}), "is not a regular file"},
        {with({"/dev/null"}), "is not a regular file"}, // a character device as input
        {with({"--out", dir.filePath("x.vxs"), cube, fifo}), "is not a regular file"},
        {with({"--out", device, cube}), "is not a regular file"},
        {with({"--out", dir.filePath("folder.vxs"), cube}), "is a folder"},
        // Code 120 writes a vector file beside the layer-image file.
        {with({"--machine-code", "120", "--out", dir.filePath("j.vxt"), cube}), "vector file"},
        {with({"--machine-code", "120", "--out", dir.filePath("k.vxs"), cube}), "k.vxt exists and is not a regular"},
        {with({"--machine-code", "120", "--out", dir.filePath("m.stl.vxs"), vxtInput}), "would overwrite the input"},
    };
    cases.append({with({"--supports", "1,0.6,1.1", cube}), "--supports needs four numbers"});
    // Each of the four only within what the support panel offers, named with its range.
    const std::pair<const char*, const char*> supports[] = {
        {"0,0.6,1.1,3", "--supports density D needs a number from 0.1 to 1.5, not \"0\""},
        {"20,0.6,1.1,3", "--supports density D needs a number from 0.1 to 1.5, not \"20\""},
        {"1000,0.6,1.1,3", "from 0.1 to 1.5"},
        {"1,nan,1.1,3", "--supports tip diameter T needs a number from 0.2 to 3, not \"nan\""},
        {"1,0.1,1.1,3", "--supports tip diameter T needs a number from 0.2 to 3"},
        {"1,0.6,4.5,3", "--supports shaft diameter S needs a number from 0.4 to 4"},
        {"1,0.6,1.1,-1", "--supports lift L needs a number from 0 to 20"},
        {"1,0.6,1.1,21", "--supports lift L needs a number from 0 to 20"},
        {"1,2,1.1,3", "--supports shaft diameter S needs a number from 2 (the tip diameter T) to 4, not \"1.1\""},
    };
    for (auto [spec, message] : supports)
        cases.append({with({"--supports", spec, cube}), message});
    for (const char* out : {"cube.stl", "link.stl", "hard.stl", "./sub/../cube.stl"})
        cases.append({with({"--out", dir.filePath(out), cube}), "would overwrite the input"});
    // Numbers: the whole text, finite, in range.
    const std::pair<const char*, const char*> numbers[] = {
        {"--pixel-um", "nan"}, {"--pixel-um", "inf"}, {"--pixel-um", "1e-30"}, {"--pixel-um", "0.05"},
        {"--pixel-um-y", "-50"}, {"--thickness", "nan"}, {"--thickness", "0"}, {"--thickness", "1000"},
        {"--thickness", "1e-9"}, {"--width", "3e9"}, {"--height", "16385"}, {"--width", "100abc"}, {"--width", "abc"},
        {"--machine-code", "1e12"}, {"--machine-code", "2147483648"}, {"--plate-layers", "1e10"},
        {"--plate-layers", "-1"}};
    for (auto [flag, value] : numbers)
        cases.append({with({flag, value, cube}), flag});
    ExpectRefusedUnchanged(PIPELINE_EXE, cases);
}

// The support ranges the README gives are the ones the tool takes: each
// edge is accepted (the run then stops at the missing model), a hair past it
// refused, and a shaft as thin as the thinnest tip is below the shaft's range.
TEST_F(Tools, PipelineTakesTheSupportRangesTheReadmeStates)
{
    QFile readme(README_PATH);
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll()).simplified();
    const QRegularExpressionMatch m =
        QRegularExpression("panel's ranges: density ([0-9.]+) to ([0-9.]+), tip ([0-9.]+) to ([0-9.]+) mm, shaft "
                           "([0-9.]+) to ([0-9.]+) mm and never thinner than the tip, lift ([0-9.]+) to ([0-9.]+) mm")
            .match(text);
    ASSERT_TRUE(m.hasMatch()) << "the README states no support ranges for pipeline";
    QStringList low, high;
    for (int k = 0; k < 4; ++k)
        low << m.captured(1 + 2 * k), high << m.captured(2 + 2 * k);
    const QString missing = dir.filePath("missing.stl");
    auto run = [&](const QStringList& values) {
        return Start(PIPELINE_EXE, {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness", "0.1",
                                    "--supports", values.join(','), missing});
    };
    for (const QStringList& edge : {low, high}) {
        const ToolRun r = run(edge);
        EXPECT_TRUE(r.errors.contains("does not exist")) << edge.join(',').toStdString() << ": " << r.errors.toStdString();
    }
    const char* const names[] = {"density D", "tip diameter T", "shaft diameter S", "lift L"};
    for (int k = 0; k < 4; ++k) {
        for (const bool below : {true, false}) {
            QStringList values = below ? low : high;
            values[k] = QString::number(values[k].toDouble() + (below ? -0.01 : 0.01));
            if (k == 1 && !below)  // a tip past its range stays under the shaft
                values[2] = "4";
            const ToolRun r = run(values);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.errors.contains(QString("--supports %1 needs a number from %2 to %3")
                                              .arg(names[k], low[k], high[k])))
                << values.join(',').toStdString() << ": " << r.errors.toStdString();
        }
    }
    // A shaft as thin as the thinnest tip.
    const ToolRun thin = run({low[0], low[1], low[1], low[3]});
    EXPECT_EQ(thin.exitCode, 1);
    EXPECT_TRUE(thin.errors.contains(QString("shaft diameter S needs a number from %1 to %2").arg(low[2], high[2])))
        << thin.errors.toStdString();
}

// A cropped instance is written with a warning; a slice that lights nothing
// is warned about, and no print file of it is written.
TEST_F(Tools, PipelineWarnsAboutCroppedInstancesAndRefusesToWriteNothing)
{
    struct Case {
        QVector<VSLTriangle3D> mesh;
        QStringList warnings;
        bool written;
    };
    const float speck = 1e-40f;
    const QVector<Case> cases = {
        {testmesh::Cube(4), {}, true},
        {testmesh::Cube(20), {"warning instance 1: Model is out of range, please scale it"}, true},
        {{testmesh::Tri({0, 0, 0}, {3, 0, 1}, {0, 3, 2})}, {"warning nothing to print"}, false},
        {testmesh::Box({0, 0, 0}, {3, 3, 0}), {"warning nothing to print"}, false}, // flat
        {testmesh::Box({0, 0, 0}, {speck, speck, speck}), {"warning nothing to print"}, false},
        {testmesh::Box({0, 0, 0}, {0.001f, 0.001f, 3}), {"warning nothing to print"}, false}, // sliced, unseen
        // A part hanging beside the post, unsupported: told as the window tells it.
        {testmesh::Box({0, 0, 0}, {1.5f, 1.5f, 3}) + testmesh::Box({2.5f, 0, 1.2f}, {4, 1.5f, 2}),
         {"warning regions in mid-air: 1 in the models, 0 in their supports, the lowest at layer 2 of part.stl"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.warnings.join(' ').toStdString());
        const QString stl = Stl("part.stl", c.mesh);
        const QString out = dir.filePath("part.vxs");
        ASSERT_TRUE(testmesh::WriteFile(out, "the user's earlier file"));
        // A 5 by 5 mm plate.
        const ToolRun r = Start(PIPELINE_EXE, {"--width", "100", "--height", "100", "--pixel-um", "50", "--thickness",
                                               "0.5", "--out", out, stl});
        EXPECT_EQ(r.lines.filter(QRegExp("^warning ")), c.warnings) << r.lines.join("\n").toStdString();
        EXPECT_EQ(r.exitCode, c.written ? 0 : 1) << r.errors.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        if (c.written) {
            EXPECT_EQ(bytes.left(8), "Vexmor3D");
            continue;
        }
        EXPECT_EQ(r.errors, "pipeline: " + out + ": Nothing to print.\n");
        EXPECT_EQ(bytes, "the user's earlier file");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"part.stl", "part.vxs"}));
    }
}

TEST_F(Tools, ConvertArchiveRefusesHostileCommandLinesAndTouchesNoFile)
{
    const QString archive = dir.filePath("a.zip");
    ASSERT_EQ(Start(MAKE_TEST_ARCHIVE_EXE, {archive, "3", "200", "100"}).exitCode, 0);
    // The model's check row in the header, layers of another frame.
    const QString lying = dir.filePath("lying.zip");
    ASSERT_EQ(Start(MAKE_TEST_ARCHIVE_EXE, {lying, "2", "100", "100", "--model", "Pellar30"}).exitCode, 0);
    const QString job = Pellar30Job();
    QFile f(job);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray vxs = f.readAll();
    auto variant = [&](const QString& name, QByteArray bytes) {
        EXPECT_TRUE(testmesh::WriteFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    };
    auto withCount = [&](const QString& name, qint32 count) {
        QByteArray b = vxs;
        for (int i = 0; i < 4; ++i)
            b[164 + i] = char(quint32(count) >> (8 * i));
        return variant(name, b);
    };
    const QString truncated = variant("truncated.vxs", vxs.left(vxs.size() - 3));
    const QString billion = withCount("billion.vxs", 1000000000);
    const QString trailing = variant("trailing.vxs", vxs + QByteArray(1000, '\x5A'));
    const qint32 layers = LittleEndianInt(vxs, 164);
    const QString uncounted = withCount("uncounted.vxs", layers - 1);
    QByteArray thick = vxs;
    const float mm = 0.1009f;
    thick.replace(28 + 4 * 4, 4, reinterpret_cast<const char*>(&mm), 4);
    const QString tooThick = variant("thick.vxs", thick);
    // Pellar10's check row in the header, layers of one pixel.
    const QString dots = dir.filePath("dots.zip");
    ASSERT_EQ(Start(MAKE_TEST_ARCHIVE_EXE, {dots, "2", "1", "1", "--model", "Pellar10"}).exitCode, 0);
    ASSERT_TRUE(QFile::link(archive, dir.filePath("link.zip")));
    ASSERT_EQ(::link(QFile::encodeName(archive).constData(), QFile::encodeName(dir.filePath("hard.zip")).constData()),
              0);
    ASSERT_TRUE(QFile::link(job, dir.filePath("link.vxs30")));
    const QString fifo = Fifo("fifo.zip");
    const QString device = Fifo("device.vxs");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.vxs"));
    const QString x = dir.filePath("x.vxs");
    auto convert = [](const QString& out, const QString& in) {
        return QStringList{"--model", "bench", "--machine-code", "7", "--out", out, in};
    };
    auto resave = [](const QString& src, const QString& out, const char* model = "Pellar30") {
        return QStringList{"--resave", src, "--model", model, "--out", out};
    };
    QVector<HostileCase> cases = {
        {convert(x, fifo), "is not a regular file"},
        {convert(device, archive), "is not a regular file"},
        {convert(dir.filePath("folder.vxs"), archive), "is a folder"},
        {convert(x, "/dev/zero"), "is not a regular file"},
        {resave(job, job), "would overwrite the input"},
        {resave(job, dir.filePath("link.vxs30")), "would overwrite the input"},
        {resave(fifo, x), "is not a regular file"},
        {resave("/dev/zero", x), "is not a regular file"},
        {resave(job, device), "is not a regular file"},
        {resave(truncated, x), "cut short"},
        {resave(billion, x), "claims 1000000000 layers"},
        {resave(trailing, x), "trailing.vxs holds 1000 bytes after its last layer"},
        {resave(uncounted, x), QString("holds %1 layer records, not the %2 its header counts").arg(layers).arg(layers - 1)},
        {resave(tooThick, x), "Wrong layer thickness!"},
        {{"--model", "Pellar10", "--out", x, dots}, "is 1 x 1 pixels, the header states 960 x 1708"},
        // An archive for another printer names both frames.
        {{"--model", "Pellar30", "--out", x, dots},
         "Image setting does not match! The archive is made for 55.44 x 98.637 x 140 mm at 960 x 1708 pixels; "
         "Pellar30 builds 68.04 x 120.96 x 170 mm at 1440 x 2560 pixels."},
        {resave(archive, x), "is not a VXS print file"},
        // The model's frame must be the source's.
        {resave(job, x, "Pellar10"), "Image setting does not match!"},
        {resave(job, x, "Pellar4K"), "Image setting does not match!"},
        {resave(job, x, "NoSuchModel"), "unknown printer model"},
        {{"--model", "Pellar30", "--out", x, archive}, "Image setting does not match!"},
        {{"--model", "Pellar30", "--out", x, lying}, "is 100 x 100 pixels, the header states 1440 x 2560"},
        {{"--model", "bench", "--machine-code", "1e12", "--out", x, archive}, "--machine-code"},
        {{"--model", "Pellar30", "--machine-code", "10", "--out", x, archive}, "not the code"},
    };
    for (const QString& out : {archive, dir.filePath("link.zip"), dir.filePath("hard.zip")})
        cases.append({convert(out, archive), "would overwrite the input"});
    // Beyond the recipe editor's ranges too: no recipe holds them.
    for (auto [flag, value] : {std::pair{"--thickness", "0.05"}, {"--exposure-ms", "nan"}, {"--lift1-mm", "-1"},
                               {"--exposure-ms", "100000"}, {"--lift-speed1", "601"}, {"--bottom-mm", "2"}})
        cases.append({resave(job, x) + QStringList{flag, value}, flag});
    ExpectRefusedUnchanged(CONVERT_ARCHIVE_EXE, cases);
}

// An archive whose preview and first layer carry 140 text and profile
// chunks of 7.9 MB unpacked stays small, and converts to the very file its
// plain twin does; a chunk count out of range is refused.
TEST_F(Tools, TextChunksOfATestArchiveChangeNoConvertedByte)
{
    const QString plain = dir.filePath("plain.zip"), stuffed = dir.filePath("stuffed.zip");
    ASSERT_EQ(Start(MAKE_TEST_ARCHIVE_EXE, {plain, "3", "200", "100"}).exitCode, 0);
    ToolRun r = Start(MAKE_TEST_ARCHIVE_EXE, {stuffed, "3", "200", "100", "--text-chunks", "140"});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_LT(QFileInfo(stuffed).size(), QFileInfo(plain).size() + (4 << 20));
    QByteArray converted[2];
    for (int i : {0, 1}) {
        const QString out = dir.filePath(QStringLiteral("out%1.vxs").arg(i));
        r = Start(CONVERT_ARCHIVE_EXE, {"--model", "bench", "--machine-code", "7", "--out", out, i ? stuffed : plain});
        ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
        EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        converted[i] = f.readAll();
    }
    EXPECT_EQ(ReadOut(dir.filePath("out1.vxs")).layerCount, 3);
    EXPECT_TRUE(converted[0] == converted[1]);
    for (const char* count : {"-1", "1001", "many"}) {
        r = Start(MAKE_TEST_ARCHIVE_EXE, {dir.filePath("x.zip"), "3", "--text-chunks", count});
        EXPECT_EQ(r.exitCode, 1) << count;
        EXPECT_EQ(r.errors, "make_test_archive: --text-chunks takes a number from 0 to 1000\n") << count;
        EXPECT_FALSE(QFile::exists(dir.filePath("x.zip"))) << count;
    }
}

TEST_F(Tools, ConvertArchiveResavesForTheModelKeepingThicknessAndLayers)
{
    const QString out = dir.filePath("new.vxs30");
    const QStringList args = {"--resave", dir.filePath("job.vxs30"), "--model", "Pellar30", "--exposure-ms", "7000",
                              "--stable-ms", "1500", "--out", out};
    // A source of another frame is refused.
    Pellar30Job({"--width", "1920", "--height", "1080"});
    ToolRun r = Start(CONVERT_ARCHIVE_EXE, args);
    EXPECT_TRUE(r.exitCode == 1 && r.errors.contains("Image setting does not match! the source is 1920 x 1080") &&
                !QFile::exists(out))
        << r.errors.toStdString();

    // Either frame of the model: the converter's (turned) and the one the
    // application's own print file states over its turned layers. Each keeps its own.
    const struct { const char* name; QStringList frame; float x, y; } sources[] = {
        {"as the converter states it", {"--width", "1440", "--height", "2560"}, 1440, 2560},
        {"as the application saves it", {"--width", "2560", "--height", "1440", "--rotate"}, 2560, 1440},
    };
    for (const auto& s : sources) {
        SCOPED_TRACE(s.name);
        QFile::remove(out);
        const QString job = Pellar30Job(s.frame);
        r = Start(CONVERT_ARCHIVE_EXE, args);
        ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
        QFile a(job), b(out);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray source = a.readAll(), copy = b.readAll();
        ASSERT_EQ(copy.size(), source.size());
        // Only the block changes: not the header, layer count, preview nor any layer.
        EXPECT_TRUE(copy.left(28) == source.left(28) && copy.mid(164) == source.mid(164));
        // The source's frame and thickness (4), not a default; the recipe's values.
        const std::pair<int, float> block[] = {{0, 1000.0f / 47.25f}, {2, s.x}, {3, s.y}, {4, 0.05f}, {5, 7000},
                                               {7, 10},  {8, 1500}, {9, 1500}, {28, 150}, {30, 170}};
        const VxsFileContents vxs = ReadOut(out);
        for (auto [index, value] : block)
            EXPECT_FLOAT_EQ(vxs.para.value(index), value) << index;
    }
}

namespace {

// A printer's frame as the tool takes it.
struct Frame {
    const char* name;
    int width, height;
    double pixelUmX, pixelUmY;
    int machineCode; // its model turns the layers it stores
};
const Frame kFrames[] = {
    {"Pellar10", 854, 480, 115.5, 115.5, 10},
    {"Pellar30", 2560, 1440, 47.25, 47.25, 30},
    {"Pellar4K", 3840, 6480, 31.5, 10.5, 4000},
};

QStringList FrameArgs(const Frame& f)
{
    return {"--width", QString::number(f.width), "--height", QString::number(f.height), "--pixel-um",
            QString::number(f.pixelUmX), "--pixel-um-y", QString::number(f.pixelUmY)};
}

// Layer `n` of a written file in the frame's own orientation (width by
// height): a file of a model that turns its layers stores each one turned a
// quarter turn, the frame's point (x, y) at (height - y, x) of an image
// `height` pixels wide. Empty, with a failure, when it does not cover the frame.
QVector<quint8> FrameLayer(const VxsFileContents& vxs, int n, int width, int height, bool turned)
{
    QVector<quint8> stored;
    const qint64 pixels = qint64(width) * height;
    if (n >= vxs.layerCodes.size() || !DecodeLayerLevels(vxs.layerCodes[n], vxs.bitsPerPixel, pixels, stored) ||
        stored.size() != pixels) {
        ADD_FAILURE() << "layer " << n << " does not cover the frame";
        return {};
    }
    if (!turned)
        return stored;
    QVector<quint8> frame(stored.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame[y * width + x] = stored[x * height + (height - 1 - y)];
    return frame;
}

// Lit pixels on the frame's outermost rows and columns.
int LitOnTheEdge(const QVector<quint8>& layer, int width, int height)
{
    int lit = 0;
    for (int x = 0; x < width; ++x)
        lit += (layer[x] != 0) + (layer[(height - 1) * width + x] != 0);
    for (int y = 1; y + 1 < height; ++y)
        lit += (layer[y * width] != 0) + (layer[y * width + width - 1] != 0);
    return lit;
}

} // namespace

// Slabs that fill the plate up to a hair, lifted onto supports, on each
// printer's frame, written unturned (code 0) and as the model writes them
// (turned): whenever a support is cut at the frame's edge in the written
// file, the tool says so, as the window's Slice does; a slab well inside
// the plate is cut nowhere and warned about by no line.
TEST_F(Tools, PipelineWarnsWheneverTheFileHoldsASupportCutAtTheFrameEdge)
{
    const double liftMm = 2, thicknessMm = 0.25;
    int cut = 0, runs = 0;
    for (const Frame& frame : kFrames) {
        const double plateX = frame.width * frame.pixelUmX / 1000, plateY = frame.height * frame.pixelUmY / 1000;
        for (const double margin : {0.0, 0.2, 6.0}) {
            const QString slab =
                Stl("slab.stl", testmesh::Box({0, 0, 0}, {float(plateX - 2 * margin), float(plateY - 2 * margin), 0.5f}));
            for (const bool rotate : {false, true}) {
                SCOPED_TRACE(QStringLiteral("%1 margin %2 mm%3").arg(frame.name).arg(margin).arg(rotate ? " turned" : "")
                                 .toStdString());
                const QString out = dir.filePath("slab.vxs");
                QStringList args = FrameArgs(frame) + QStringList{"--thickness", QString::number(thicknessMm),
                                                                  "--supports", QStringLiteral("0.3,0.6,1.1,%1").arg(liftMm),
                                                                  "--out", out, slab};
                if (rotate)
                    args << "--machine-code" << QString::number(frame.machineCode) << "--rotate";
                const ToolRun r = Start(PIPELINE_EXE, args, 600000);
                ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
                ++runs;
                const QStringList warnings = r.lines.filter(QRegularExpression("^warning "));
                const VxsFileContents vxs = ReadOut(out);
                ASSERT_EQ(vxs.machineCode, rotate ? frame.machineCode : 0);
                // The layers of supports alone, under the slab.
                ASSERT_GT(vxs.layerCount, int(liftMm / thicknessMm));
                int lit = 0;
                for (int i = 0; i + 1 < int(liftMm / thicknessMm); ++i) {
                    const QVector<quint8> layer = FrameLayer(vxs, i, frame.width, frame.height, rotate);
                    ASSERT_FALSE(layer.isEmpty());
                    lit += LitOnTheEdge(layer, frame.width, frame.height);
                }
                if (lit) {
                    ++cut;
                    // What leaned on a cut support may then start in mid-air, and is told too.
                    EXPECT_EQ(warnings.value(0), "warning instance 1: its supports reach past the build plate's "
                                                 "edge and are cut there")
                        << lit << " support pixels lit on the frame's edge\n" << r.lines.join('\n').toStdString();
                    EXPECT_LE(warnings.size(), 2);
                    if (warnings.size() == 2) {
                        EXPECT_TRUE(warnings[1].startsWith("warning regions in mid-air: 0 in the models, ")) << warnings[1].toStdString();
                    }
                }
                if (margin > 1) {
                    EXPECT_EQ(lit, 0);
                    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
                }
            }
            QFile::remove(slab);
        }
    }
    std::printf("%d of %d runs cut supports at the frame's edge\n", cut, runs);
    // The plate-filling slabs must reach the edge for this to test anything.
    EXPECT_GT(cut, 0);
}

// A tower with a block hanging clear of it: the file of every frame, written
// unturned and turned (with --rotate, and by a model's code alone, which the
// window always turns), holds the one island the tool counts, at its layer
// and place, and a copy re-saved by the converter reads the same; a turned
// cube holds none. --rotate with a code whose model keeps its layers
// unturned is refused.
TEST_F(Tools, PrintIslandsAgreesWithPipelineOnTurnedAndUnturnedFiles)
{
    const QString blocks =
        Stl("blocks.stl", testmesh::Box({0, 0, 0}, {4, 4, 2}) + testmesh::Box({-3, 0, 1}, {-1, 4, 1.6f}));
    const QString cube = Stl("cube.stl", testmesh::Cube(1.5f));
    for (const Frame& frame : kFrames) {
        const QStringList writes[] = {{}, {"--machine-code", QString::number(frame.machineCode)},
                                      {"--machine-code", QString::number(frame.machineCode), "--rotate"}};
        for (const QStringList& how : writes) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(frame.name, how.join(' ')).toStdString());
            const QString out = dir.filePath("job.vxs");
            const ToolRun r =
                Start(PIPELINE_EXE, FrameArgs(frame) + how + QStringList{"--thickness", "0.1", "--out", out, blocks});
            ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
            const QStringList islands = r.lines.filter(QRegularExpression("^(support|model) island "));
            ASSERT_EQ(islands.size(), 1) << r.lines.join("\n").toStdString();
            const QRegularExpressionMatch at =
                QRegularExpression("^model island layer=(\\d+) at=(-?[0-9.]+),(-?[0-9.]+)$").match(islands[0]);
            ASSERT_TRUE(at.hasMatch()) << islands[0].toStdString();
            const int x = int(std::floor(at.captured(2).toDouble() * 1000 / frame.pixelUmX + frame.width / 2));
            const int y = int(std::floor(at.captured(3).toDouble() * 1000 / frame.pixelUmY + frame.height / 2));
            const QStringList expected = {QString("island layer=%1 pixel=%2,%3").arg(at.captured(1)).arg(x).arg(y),
                                          "islands=1"};
            const ToolRun file = Start(PRINT_ISLANDS_EXE, {out});
            ASSERT_EQ(file.exitCode, 0) << file.errors.toStdString();
            EXPECT_EQ(file.lines.join('\n').toStdString(), expected.join('\n').toStdString());
            // The stored layers: turned for a model's code.
            const bool turned = !how.isEmpty();
            const VxsFileContents vxs = ReadOut(out);
            const int layer = at.captured(1).toInt();
            const QVector<quint8> here = FrameLayer(vxs, layer, frame.width, frame.height, turned);
            const QVector<quint8> below = FrameLayer(vxs, layer - 1, frame.width, frame.height, turned);
            ASSERT_TRUE(!here.isEmpty() && !below.isEmpty());
            EXPECT_NE(here[y * frame.width + x], 0);
            EXPECT_EQ(below[y * frame.width + x], 0);

            if (how.contains("--rotate")) {
                // Re-saved by the converter for the model, layers untouched.
                const QString copy = dir.filePath("copy.vxs");
                QFile::remove(copy);
                const ToolRun resave = Start(CONVERT_ARCHIVE_EXE, {"--resave", out, "--model", frame.name, "--out", copy});
                ASSERT_EQ(resave.exitCode, 0) << resave.errors.toStdString();
                EXPECT_EQ(Start(PRINT_ISLANDS_EXE, {copy}).lines.join('\n').toStdString(),
                          expected.join('\n').toStdString());

                const ToolRun c =
                    Start(PIPELINE_EXE, FrameArgs(frame) + how + QStringList{"--thickness", "0.1", "--out", out, cube});
                ASSERT_EQ(c.exitCode, 0) << c.errors.toStdString();
                EXPECT_TRUE(c.lines.contains("islands support=0 model=0")) << c.lines.join('\n').toStdString();
                EXPECT_EQ(Start(PRINT_ISLANDS_EXE, {out}).lines.join('\n').toStdString(), "islands=0");
            }
        }
    }
    const ToolRun refused = Start(PIPELINE_EXE, FrameArgs(kFrames[0]) + QStringList{"--thickness", "0.2", "--rotate",
                                                                                    "--out", dir.filePath("r.vxs"), cube});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.errors.contains(
        "--rotate needs the machine code of a printer model that turns its layers (10, 30, 120, 4000, 4500), not 0"))
        << refused.errors.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("r.vxs")));
}
