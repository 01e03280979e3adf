// Files a user may pick that are no model, a cut download, and a plate the
// printer cannot build: the window says so and the plate stays as it was.
#include "../printfile/printfiledecoder.h"
#include "JobThreads.h"
#include "VSaveWidgetX.h"
#include "e2e_fixture.h"
#include "hang_ceiling.h"
#include "VSLModel3D.h"
#include "layer_checks.h"
#include "frmDeviceInterfaceSettings.h"
#include "language.h"
#include "logoutput.h"
#include "modal_answer.h"
#include "notices.h"
#include "ownedfile.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <functional>
#include <memory>

namespace {

class UserFiles : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        qputenv("VEXMOR_LOG_DIR", work.filePath("log").toUtf8());
        m_previousHandler = qInstallMessageHandler(VexmorMessageOutput);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousHandler);
        qunsetenv("VEXMOR_LOG_DIR");
        MainWindowTest::TearDown();
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = work.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, bytes));
        return path;
    }
    // Opens `path` through the bar's open command; the boxes it raised.
    ModalAnswers* openThroughBar(Vexmor& w, const QString& path, int boxes)
    {
        openAnswer = path;
        auto* modal = new ModalAnswers;
        w.navbarOpenFile();
        [&] { WAIT_TRUE(modal->texts.size() >= boxes, kHangMs); }();
        QTest::qWait(50);
        return modal;
    }
    // Opens the slice panel through the bar and presses its start; the boxes it raised.
    std::unique_ptr<ModalAnswers> startSliceThroughBar(Vexmor& w)
    {
        auto modal = std::make_unique<ModalAnswers>();
        [&] {
            WAIT_TRUE(stageRowInPlace(w), kHangMs);
            ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
            WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
            w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
            WAIT_TRUE(!modal->texts.isEmpty(), kHangMs);
        }();
        return modal;
    }
    QString dailyLog() const
    {
        QString all;
        for (const QFileInfo& f : QDir(work.filePath("log")).entryInfoList({"*log.txt"}, QDir::Files)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly))
                all += QString::fromUtf8(file.readAll());
        }
        return all;
    }

    QtMessageHandler m_previousHandler = nullptr;
};

TEST_F(UserFiles, NoModelLeavesThePlateAndACutDownloadIsTold)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "user_files_0_start");
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLModelPainter* cube = onlyInstance(w);
    ASSERT_NE(cube, nullptr);
    const QMatrix4x4 placed = cube->m_matrix;
    const QString job = w.jobFolder();
    const int cubeShown = shot(w, "user_files_1_cube");
    EXPECT_GT(cubeShown, 100);

    QByteArray passwords;
    for (int i = 0; passwords.size() < 2000; ++i)
        passwords += "user" + QByteArray::number(i) + ":x:" + QByteArray::number(1000 + i) + ":100::/home/u:/bin/sh\n";
    QByteArray random(200, '\0');
    quint32 seed = 99;
    for (char& c : random)
        c = char((seed = seed * 1664525u + 1013904223u) >> 24);
    auto huge = testmesh::Cube();
    huge[2].vertices[0].setZ(1e30f);
    const struct { const char* name; QByteArray bytes; const char* reason; } refused[] = {
        {"x.stl", passwords, "not an STL file"},
        {"noise.stl", random, "not an STL file"},
        {"huge.stl", testmesh::BinaryStl(huge), "beyond 100 m"},
        {"dent.stl", testmesh::AsciiStl(testmesh::Cube()).replace("vertex 10 ", "vertex 1O "),
         "has a number that cannot be read (\"1O\")"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, write(c.name, c.bytes), 1));
        ASSERT_EQ(modal->texts.size(), 1) << modal->texts.join('|').toStdString();
        EXPECT_EQ(modal->texts[0], "Open File Failed,check model please");
        EXPECT_TRUE(modal->informative[0].contains(c.reason)) << modal->informative[0].toStdString();
        EXPECT_TRUE(modal->informative[0].contains(c.name));
        // The plate as it was: the cube alone, where it stood.
        EXPECT_EQ(onlyInstance(w), cube);
        EXPECT_EQ(cube->m_matrix, placed);
        EXPECT_EQ(w.ui.GLWidget->scene()->models().size(), 1);
        // Nor does it name the job.
        EXPECT_EQ(w.jobFolder(), job);
    }
    // The cube still drawn as before, nothing else.
    EXPECT_NEAR(shot(w, "user_files_2_refused"), cubeShown, cubeShown / 20);

    // A cut download: kept as far as it goes, and told in the window and the log.
    const QByteArray whole = testmesh::BinaryStl(testmesh::Cube(8.f));
    const QString cut = write("cut.stl", whole.left(84 + 50 * 7 + 13));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, cut, 1));
        ASSERT_EQ(modal->texts.size(), 1);
        EXPECT_EQ(modal->texts[0], "The model file is incomplete");
        EXPECT_TRUE(modal->informative[0].contains("the file declares 12 triangles and holds 7"))
            << modal->informative[0].toStdString();
    }
    EXPECT_EQ(w.ui.GLWidget->scene()->instances().size(), 2);
    EXPECT_TRUE(dailyLog().contains("cut.stl: the file declares 12 triangles and holds 7")) << dailyLog().toStdString();
    EXPECT_GT(shot(w, "user_files_3_cut"), cubeShown);
}

TEST_F(UserFiles, APlateTallerThanThePrinterIsNotSlicedAndSaysSo)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "user_files_start");
    // Pellar10 builds 140 mm high; the tower is 300 mm.
    const QString tower = write("tower.stl", testmesh::BinaryStl(testmesh::Box({-5, -5, 0}, {5, 5, 300})));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, tower, 1));
        EXPECT_EQ(modal->texts, QStringList{"Model is out of range, please scale it"});
    }
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    const ModalAnswers& modal = *started;
    EXPECT_EQ(modal.texts, QStringList{"Slicing cannot start now."});
    EXPECT_TRUE(modal.informative.value(0).contains(
        "The plate is 300.00 mm tall, more than the printer's build height of 140 mm"))
        << modal.informative.value(0).toStdString();
    EXPECT_FALSE(w.isWorking());
    EXPECT_FALSE(w.sceneSliced());
    EXPECT_EQ(w.ui.GLWidget->scene()->runningSliceJobs(), 0);
    EXPECT_TRUE(dailyLog().contains("more than the printer's build height of 140 mm")) << dailyLog().toStdString();
    EXPECT_GT(shot(w, "user_files_4_too_tall", w.m_pSliceWidget), 100);
}

// A model lower than one layer slices to no layer: the window says why at
// once, rather than Save refusing a slice that slicing again cannot mend.
TEST_F(UserFiles, AModelLowerThanALayerSlicesToNothingAndTheWindowSaysWhy)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    const QString foil = write("foil.stl", testmesh::BinaryStl(testmesh::Box({-5, -5, 0}, {5, 5, 0.01f})));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, foil, 0));
        WAIT_TRUE(w.ui.GLWidget->scene()->instances().size() == 1, kHangMs);
    }
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(started->texts, QStringList{"Nothing to print."});
    EXPECT_TRUE(started->informative.value(0).startsWith("No layer was sliced"))
        << started->informative.value(0).toStdString();
    EXPECT_EQ(w.ui.GLWidget->GetSliceData().size(), 0);
    EXPECT_FALSE(w.isWorking());
    EXPECT_FALSE(w.sceneSliced()) << "the panel offers no result to save";
    EXPECT_TRUE(dailyLog().contains("No layer was sliced")) << dailyLog().toStdString();
}

// A model moved half off the plate after it loaded is sliced (cut at the
// frame's edge, as the tools write it), but the window says so first.
TEST_F(UserFiles, AModelOffThePlateIsSlicedAfterTheWindowSaysItIsCut)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLModelPainter* cube = onlyInstance(w);
    ASSERT_NE(cube, nullptr);
    cube->Move({48, 0, 0}); // Pellar10's plate ends 49.3 mm right of its centre
    ASSERT_EQ(w.ui.GLWidget->scene()->CountLeavingPlate(), 1);
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    const ModalAnswers& modal = *started;
    EXPECT_EQ(modal.texts, QStringList{"Some models leave the build plate."});
    EXPECT_TRUE(modal.informative.value(0).startsWith("1 of 1 models stand partly or wholly off the build plate"))
        << modal.informative.value(0).toStdString();
    WAIT_TRUE(w.sceneSliced(), kHangMs);
    EXPECT_GT(w.ui.GLWidget->GetSliceData().size(), 0);
    EXPECT_TRUE(dailyLog().contains("off the build plate")) << dailyLog().toStdString();
}

// A model with a part that hangs beside its body, unsupported: the slice is
// kept, and the window says that part starts in mid-air and where, at the
// layer the preview shows it first.
TEST_F(UserFiles, APartInMidAirIsSlicedAndTheWindowSaysWhere)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "user_files_5_start");
    QVector<VSLTriangle3D> tris = testmesh::Box({0, 0, 0}, {10, 10, 10});
    tris += testmesh::Box({14, 0, 5.01f}, {20, 6, 8});
    const QString floating = write("floating.stl", testmesh::BinaryStl(tris));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, floating, 0));
        WAIT_TRUE(w.ui.GLWidget->scene()->instances().size() == 1, kHangMs);
    }
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(started->texts, QStringList{"Some regions start in mid-air."});
    const QString told = started->informative.value(0);
    EXPECT_TRUE(told.startsWith("Regions resting on nothing in the layer below them: 1 in the models, 0 in their supports.")) << told.toStdString();
    EXPECT_TRUE(told.contains(", in floating.stl.")) << told.toStdString();
    EXPECT_TRUE(w.sceneSliced()) << "the slice is kept";
    EXPECT_FALSE(w.isWorking());
    const QRegularExpressionMatch at = QRegularExpression("at layer (\\d+),").match(told);
    ASSERT_TRUE(at.hasMatch()) << told.toStdString();
    const int layer = at.captured(1).toInt();
    const SliceLayers shown = w.ui.GLWidget->GetSliceData();
    ASSERT_GT(layer, 0);
    ASSERT_LT(layer, shown.size());
    EXPECT_EQ(shown[layer].size(), 2) << "the body and the hanging part";
    EXPECT_EQ(shown[layer - 1].size(), 1) << "the body alone";
    EXPECT_TRUE(dailyLog().contains("Regions resting on nothing in the layer below them")) << dailyLog().toStdString();
    EXPECT_GT(shot(w, "user_files_6_mid_air", w.m_pSliceWidget), 100);
}

namespace {

// A keel: a prism along Y whose cross-section is a triangle pointing down,
// its ridge at (x, ridgeZ), its sides rising `slope` mm in x for each mm in
// z up to `height` above the ridge; `length` mm long from y = 0.
QVector<VSLTriangle3D> Keel(float x, float ridgeZ, float slope, float height, float length)
{
    const float top = ridgeZ + height, half = slope * height;
    const QVector3D cap[3] = {{x, 0, ridgeZ}, {x + half, 0, top}, {x - half, 0, top}};
    const QVector3D along(0, length, 0);
    QVector<VSLTriangle3D> tris;
    tris << testmesh::Tri(cap[0], cap[1], cap[2]) << testmesh::Tri(cap[0] + along, cap[2] + along, cap[1] + along);
    for (int i = 0; i < 3; ++i) {
        const QVector3D p = cap[i], q = cap[(i + 1) % 3];
        tris << testmesh::Tri(p, q + along, q) << testmesh::Tri(p, p + along, q + along);
    }
    return tris;
}

// The same keel standing on the plate, its ridge up.
QVector<VSLTriangle3D> Ridge(float x, float slope, float height, float length)
{
    QVector<VSLTriangle3D> tris = Keel(x, 0, slope, height, length);
    for (VSLTriangle3D& t : tris) {
        for (QVector3D& v : t.vertices)
            v.setZ(height - v.z());
        std::swap(t.vertices[1], t.vertices[2]);
        t.UpdateNormal();
        t.UpdateBound();
    }
    return tris;
}

struct MidAirCount {
    int model = 0, support = 0, lowestLayer = -1;
    QString where; // the model's file name
};

} // namespace

// Regions in mid-air that only the pixels show: the foot of a keel hanging
// beside a block, its lowest plane a hair (0.1 um) above its ridge, so that
// the first outline is a sliver that lights no pixel, and one whose first
// outline is lit too faintly to cure (a twentieth of a pixel wide). Each
// outline rests on the sliver below it; the pixels of the layer above the
// sliver rest on nothing. The window's box has the numbers and the layer
// that the pipeline tool reports for the same plate, and the file the window
// saves holds as many islands from that layer on. Plates without: no box.
// One plate per case: the cases fall into the suite's parts apart.
class MidAirPlates : public UserFiles, public ::testing::WithParamInterface<int>
{
};

struct MidAirPlate {
    const char* name;
    QVector<VSLTriangle3D> tris;
    int told; // regions in mid-air
};

MidAirPlate MidAirPlateNumber(int k)
{
    const QVector<VSLTriangle3D> block = testmesh::Box({0, 0, 0}, {8, 10, 8});
    // Planes lie at 0.0251 + 0.05 k mm: a ridge at 3.025 mm is 0.1 um under one.
    switch (k) {
    case 0: return {"sliver_foot", block + Keel(12, 3.025f, 3, 0.5f, 10), 1};
    case 1: return {"faint_foot", block + Keel(12, 4.024f, 2, 0.5f, 10), 1};
    case 2: return {"both_feet", block + Keel(12, 3.025f, 3, 0.5f, 10) + Keel(-4, 4.024f, 2, 0.5f, 10), 2};
    case 3: return {"standing_ridge", block + Ridge(12, 3, 0.5f, 10), 0};
    default: return {"block", block, 0};
    }
}

TEST_P(MidAirPlates, RegionsInMidAirOnlyThePixelsShowAreToldAsThePipelineAndTheFileCountThem)
{
    {
        const MidAirPlate plate = MidAirPlateNumber(GetParam());
        SCOPED_TRACE(plate.name);
        const QString stl = write(QStringLiteral("%1.stl").arg(plate.name), testmesh::BinaryStl(plate.tris));
        out = work.filePath(QStringLiteral("%1.vxs").arg(plate.name));
        Vexmor w;
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        {
            std::unique_ptr<ModalAnswers> modal(openThroughBar(w, stl, 0));
            WAIT_TRUE(w.ui.GLWidget->scene()->instances().size() == 1, kHangMs);
            ASSERT_TRUE(modal->texts.isEmpty()) << modal->texts.join('|').toStdString();
        }
        // Slice, as a person does; what the box says.
        MidAirCount window;
        {
            ModalAnswers modal;
            // The box as a person sees it, over the window.
            QImage box, under;
            modal.onShown = [&](QMessageBox* shown) {
                box = shown->grab().toImage();
                under = w.grab().toImage();
            };
            ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
            WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
            ASSERT_GT(slice(w), 0);
            QTest::qWait(50);
            if (plate.told) {
                ASSERT_EQ(modal.texts, QStringList{"Some regions start in mid-air."});
                const QString told = modal.informative.value(0);
                const QRegularExpressionMatch m =
                    QRegularExpression("^Regions resting on nothing in the layer below them: (\\d+) in the models, "
                                       "(\\d+) in their supports. The lowest is at layer (\\d+), in ([^,]+)\\.")
                        .match(told);
                ASSERT_TRUE(m.hasMatch()) << told.toStdString();
                window = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4)};
                ASSERT_FALSE(box.isNull());
                box.save(QStringLiteral("e2e_midair_%1_box.png").arg(plate.name));
                under.save(QStringLiteral("e2e_midair_%1_window.png").arg(plate.name));
                // Its text drawn: dark on the box's light ground, or light on a dark one.
                int differing = 0;
                const QRgb ground = box.pixel(box.width() - 3, box.height() / 2);
                for (int y = 0; y < box.height(); ++y)
                    for (int x = 0; x < box.width(); ++x)
                        differing += std::abs(qGray(box.pixel(x, y)) - qGray(ground)) > 80;
                EXPECT_GT(differing, 500) << "the box shows its text";
            } else {
                EXPECT_EQ(modal.texts, QStringList()) << "no box";
            }
        }
        shot(w, QStringLiteral("midair_%1").arg(plate.name).toUtf8().constData(), w.m_pSliceWidget);
        EXPECT_EQ(window.model + window.support, plate.told);
        if (plate.told) {
            EXPECT_EQ(window.where, QStringLiteral("%1.stl").arg(plate.name));
        }

        // Saved through the save panel; the file's own islands, read back.
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "saveButton"));
        WAIT_TRUE(w.m_pSaveWidget->isVisible(), kHangMs);
        {
            ModalAnswers modal;
            QSignalSpy ready(&w.m_dataThread, &MyThread2::signal_PrintDataReady);
            w.m_pSaveWidget->findChild<QPushButton*>("btn_StartPrint")->click();
            WAIT_TRUE(ready.count() == 1 && !w.isWorking(), kHangMs);
        }
        const VxsFile f = ReadVxs(out, false);
        ASSERT_TRUE(f.valid) << f.error;
        ASSERT_EQ(int(f.params[2]), 854);
        ASSERT_EQ(int(f.params[3]), 480);
        // Pellar10 turns its image: the layers stand 480 pixels wide, 854 high.
        ASSERT_TRUE(w.ui.GLWidget->scene()->m_bImageRotate);
        const int width = 480, height = 854;
        int fileIslands = 0, fileFirst = -1;
        QVector<uint8_t> below;
        for (int L = 0; L < f.layers.size(); ++L) {
            const QVector<uint8_t> here = ExpandRuns(DecodeRuns(f.layers[L], f.bits), uint64_t(width) * height);
            ASSERT_EQ(here.size(), width * height) << L;
            if (L > 0) {
                const int n = layercheck::FloatingRegions(here, below, width, height, 8);
                if (n > 0 && fileFirst < 0)
                    fileFirst = L;
                fileIslands += n;
            }
            below = here;
        }
        EXPECT_EQ(fileIslands, plate.told);
        EXPECT_EQ(window.lowestLayer, fileFirst);

#ifdef PIPELINE_EXE
        // The pipeline tool on the same file, at the window's frame, layers
        // and printer model.
        QProcess pipeline;
        pipeline.start(PIPELINE_EXE, {"--width", "854", "--height", "480", "--pixel-um", "115.5", "--thickness",
                                      "0.05", "--machine-code", "10", stl});
        ASSERT_TRUE(pipeline.waitForFinished(300000));
        ASSERT_EQ(pipeline.exitCode(), 0) << pipeline.readAllStandardError().toStdString();
        const QString said = QString::fromLocal8Bit(pipeline.readAllStandardOutput());
        MidAirCount tool;
        const QRegularExpressionMatch m =
            QRegularExpression("warning regions in mid-air: (\\d+) in the models, (\\d+) in their supports, the "
                               "lowest at layer (\\d+) of (\\S+)")
                .match(said);
        if (m.hasMatch())
            tool = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4)};
        EXPECT_EQ(m.hasMatch(), plate.told > 0) << said.toStdString();
        EXPECT_EQ(window.model, tool.model) << said.toStdString();
        EXPECT_EQ(window.support, tool.support);
        EXPECT_EQ(window.lowestLayer, tool.lowestLayer);
        EXPECT_EQ(window.where, tool.where);
#endif
    }
}
INSTANTIATE_TEST_SUITE_P(Plates, MidAirPlates, ::testing::Range(0, 5));

// Meshes with what the repair panel shows for each once the Fix stage is
// chosen, read off its labels, and whether its Fix button then says the
// mesh needs nothing more.
namespace {

// A closed UV sphere without 12 facets that share no corner: 12 holes of
// three open edges each.
QVector<VSLTriangle3D> SphereWithTwelveHoles()
{
    QVector<VSLTriangle3D> tris = testmesh::UvSphere(8.f, 24, 12, {0, 0, 8});
    QVector<QVector3D> used;
    QVector<VSLTriangle3D> kept;
    int removed = 0;
    for (int i = 0; i < tris.size(); ++i) {
        const VSLTriangle3D& t = tris[i];
        bool touches = false;
        for (const QVector3D& c : t.vertices)
            for (const QVector3D& u : used)
                touches = touches || (c - u).length() < 1e-3f;
        if (removed < 12 && i % 7 == 3 && !touches) {
            ++removed;
            for (const QVector3D& c : t.vertices)
                used.append(c);
            continue;
        }
        kept.append(t);
    }
    return removed == 12 ? kept : QVector<VSLTriangle3D>();
}

} // namespace

TEST_F(UserFiles, TheRepairPanelShowsWhatTheMeshHolds)
{
    const QVector<VSLTriangle3D> cube = testmesh::Cube(10.f);
    QVector<VSLTriangle3D> holed = cube;
    holed.removeAt(4);
    QVector<VSLTriangle3D> finned = cube;
    const VSLTriangle3D& edgeOwner = cube[0];
    const QVector3D a = edgeOwner.vertices[0], b = edgeOwner.vertices[1];
    finned.append(testmesh::Tri(a, b, (a + b) * 0.5f + QVector3D(3, 3, 3)));
    QVector<VSLTriangle3D> turned = cube;
    std::swap(turned[7].vertices[1], turned[7].vertices[2]);
    turned[7].UpdateNormal();
    const QVector<VSLTriangle3D> sphere = SphereWithTwelveHoles();
    ASSERT_FALSE(sphere.isEmpty());

    const struct {
        const char* name;
        QVector<VSLTriangle3D> tris;
        QStringList shown; // holes, non-manifold edges, inverted normals
        QString afterFix;
    } rows[] = {
        {"closed", cube, {"0", "0", "0"}, "Fix completed"},
        {"one_facet_out", holed, {"1", "0", "0"}, ""},
        {"twelve_facets_out", sphere, {"12", "0", "0"}, ""},
        {"edge_of_three_faces", finned, {"1", "1", "0"}, ""},
        {"face_inside_out", turned, {"0", "0", "1"}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Vexmor w;
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(r.tris)));
        opened = 0;
        ASSERT_NO_FATAL_FAILURE(load(w));
        const auto& models = w.ui.GLWidget->scene()->models();
        WAIT_TRUE(!models.isEmpty() && models.first()->isReady(), kHangMs);
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "fixButton"));
        WAIT_TRUE(w.m_pFixWidget->isVisible(), kHangMs);
        auto label = [&](const char* name) { return w.m_pFixWidget->findChild<QLabel*>(name)->text(); };
        const QStringList shown{label("label_info"), label("label_info2"), label("label_info3")};
        EXPECT_EQ(shown.join(" / ").toStdString(), r.shown.join(" / ").toStdString());
        QTest::mouseClick(w.m_pFixWidget->findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
        EXPECT_EQ(label("label_result").toStdString(), r.afterFix.toStdString());
        // The report changes nothing of the mesh.
        EXPECT_EQ(models.first()->TriangleCount(), r.tris.size());
        QTest::qWait(100);
        w.grab().save(QStringLiteral("e2e_repair_%1.png").arg(r.name));
    }
}

// Fix chosen straight after loading a large mesh with three facets out,
// while its check still runs (held here until the test lets it end): the
// window says it is checking and stays usable, the panel shows no count it
// has not made, and the counts appear as soon as the check ends.
// Lets the held topology passes go before the window (and the models waiting
// on them) is destroyed.
struct PassHoldLetGo {
    MeshReadyGate& hold;
    ~PassHoldLetGo()
    {
        hold.Open();
        VSLModel3D::SetPassHold(nullptr);
    }
};

TEST_F(UserFiles, FixChosenDuringTheCheckShowsTheCountsWhenItEnds)
{
    QVector<VSLTriangle3D> sphere = testmesh::SphereWithTriangles(300000, 20.f);
    const int n = sphere.size();
    for (int i : {n * 3 / 4, n / 2, n / 4}) // facets far apart, highest first
        sphere.remove(i);

    MeshReadyGate hold;
    VSLModel3D::SetPassHold(&hold);
    Vexmor w;
    // Let go before the window (and the model waiting on it) is destroyed.
    PassHoldLetGo letGo{hold};
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(sphere)));
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSL3DScene* scene = w.ui.GLWidget->scene();
    ASSERT_EQ(scene->ModelsBeingChecked(), 1);

    auto busyText = [&] { return w.m_pBusyWidget->findChild<QLabel*>("label_Info")->text(); };
    auto label = [&](const char* name) { return w.m_pFixWidget->findChild<QLabel*>(name)->text(); };
    auto counts = [&] { return QStringList{label("label_info"), label("label_info2"), label("label_info3")}; };
    EXPECT_TRUE(w.m_pBusyWidget->isVisible());
    EXPECT_EQ(busyText(), "Checking the model");
    EXPECT_TRUE(w.m_pNavBar->isEnabled());
    EXPECT_FALSE(w.isWorking());

    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "fixButton"));
    WAIT_TRUE(w.m_pFixWidget->isVisible(), kHangMs);
    const QString ellipsis = QStringLiteral("\u2026");
    EXPECT_EQ(counts(), (QStringList{ellipsis, ellipsis, ellipsis}));
    const QString checking = "Checking the model: its defects are shown here as soon as the check ends.";
    EXPECT_EQ(label("label_result"), checking);
    QTest::mouseClick(w.m_pFixWidget->findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
    EXPECT_EQ(label("label_result"), checking);
    EXPECT_FALSE(w.m_bRepaired);
    // As a person sees it: the notice's dark red text at the right, the
    // panel's own text at the bottom left.
    QTest::qWait(100);
    const QImage during = w.grab().toImage();
    during.save("e2e_repair_during_check.png");
    auto reddish = [&](const QImage& img, QWidget* area) {
        const QRect r(area->mapTo(&w, QPoint(0, 0)), area->size());
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                n += c.red() > 100 && c.green() < 60 && c.blue() < 60;
            }
        return n;
    };
    EXPECT_GT(reddish(during, w.m_pBusyWidget), 20);
    EXPECT_EQ(shownPanels(w), QList<QWidget*>{w.m_pFixWidget});

    hold.Open();
    WAIT_TRUE(label("label_info") == "3", kHangMs);
    EXPECT_EQ(counts(), (QStringList{"3", "0", "0"}));
    EXPECT_EQ(label("label_result"), "");
    EXPECT_TRUE(w.m_bRepaired);
    WAIT_TRUE(!w.m_pBusyWidget->isVisible(), kHangMs);
    QTest::qWait(100);
    const QImage after = w.grab().toImage();
    after.save("e2e_repair_after_check.png");
    EXPECT_EQ(reddish(after, w.m_pBusyWidget), 0);
    EXPECT_EQ(scene->ModelsBeingChecked(), 0);
}

// Reads the repair panel on every event the window's thread delivers.
class EveryEvent : public QObject
{
public:
    explicit EveryEvent(std::function<void()> look) : m_look(std::move(look)) { qApp->installEventFilter(this); }
    ~EveryEvent() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent*) override
    {
        m_look();
        return false;
    }

private:
    std::function<void()> m_look;
};

// The Fix panel shows a first model's counts (or "Fix completed"); a second
// model is loaded while the panel stays up, and its check is held here.
// From the moment the load returns, on every event until the check ends,
// the panel shows no count of the first and no "Fix completed"; then the
// counts of both. Removing the first shows the second's alone at once.
TEST_F(UserFiles, FixShowsNoCountOfTheLastPlateWhileAnAddedModelIsChecked)
{
    QVector<VSLTriangle3D> holedCube = testmesh::Cube(10.f);
    holedCube.removeAt(4);
    const struct {
        const char* name;
        QVector<VSLTriangle3D> first;
        QStringList firstShown;
        QString firstFix;
        QStringList bothShown;
    } rows[] = {
        {"twelve_holes_then_one", SphereWithTwelveHoles(), {"12", "0", "0"}, "", {"13", "0", "0"}},
        {"closed_and_fixed_then_one_hole", testmesh::Cube(10.f), {"0", "0", "0"}, "Fix completed", {"1", "0", "0"}},
    };
    const QString ellipsis = QStringLiteral("\u2026");
    const QStringList pending{ellipsis, ellipsis, ellipsis};
    const QString checking = "Checking the model: its defects are shown here as soon as the check ends.";
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MeshReadyGate hold;
        Vexmor w;
        PassHoldLetGo letGo{hold};
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        VSL3DScene* scene = w.ui.GLWidget->scene();
        auto label = [&](const char* name) { return w.m_pFixWidget->findChild<QLabel*>(name)->text(); };
        auto counts = [&] { return QStringList{label("label_info"), label("label_info2"), label("label_info3")}; };
        auto said = [](const QStringList& texts) { return texts.join(" / ").toStdString(); };

        openAnswer = write("first.stl", testmesh::BinaryStl(r.first));
        opened = 0;
        ASSERT_NO_FATAL_FAILURE(load(w));
        WAIT_TRUE(scene->ModelsBeingChecked() == 0, kHangMs);
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "fixButton"));
        WAIT_TRUE(w.m_pFixWidget->isVisible(), kHangMs);
        ASSERT_EQ(said(counts()), said(r.firstShown));
        QTest::mouseClick(w.m_pFixWidget->findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
        ASSERT_EQ(label("label_result").toStdString(), r.firstFix.toStdString());
        VSLModelPainter* first = onlyInstance(w);
        ASSERT_NE(first, nullptr);

        // Whatever the panel shows while the second is checked, and after.
        QStringList wrong;
        bool bothCounted = false;
        int looked = 0;
        EveryEvent watch([&] {
            if (scene->models().size() < 2)
                return; // the plate has not changed yet
            ++looked;
            const QStringList shown = counts();
            const QString result = label("label_result");
            if (shown == pending && result == checking)
                return;
            // The counts of both, once the check has ended.
            if (scene->ModelsBeingChecked() == 0 && shown == r.bothShown && result.isEmpty()) {
                bothCounted = true;
                return;
            }
            if (wrong.size() < 5)
                wrong << shown.join(" / ") + " | " + result;
        });
        VSLModel3D::SetPassHold(&hold);
        openAnswer = write("second.stl", testmesh::BinaryStl(holedCube));
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "loadButton"));
        // The load has returned: the plate has changed.
        ASSERT_EQ(scene->models().size(), 2);
        EXPECT_EQ(scene->ModelsBeingChecked(), 1);
        EXPECT_EQ(said(counts()), said(pending));
        EXPECT_EQ(label("label_result").toStdString(), checking.toStdString());
        EXPECT_TRUE(w.m_pFixWidget->isVisible());
        // Fix confirms nothing while the check runs.
        QTest::mouseClick(w.m_pFixWidget->findChild<QPushButton*>("btn_AutoFix"), Qt::LeftButton);
        EXPECT_EQ(label("label_result").toStdString(), checking.toStdString());
        // As a person sees it, the check still held: the notice at the
        // right, the panel at the bottom left.
        QLabel* note = w.m_pFixWidget->findChild<QLabel*>("label_result");
        WAIT_TRUE(w.m_pBusyWidget->isVisible() && navItem(w, "saveButton") != nullptr && note->height() > 0, kHangMs);
        const QImage during = w.grab().toImage();
        during.save(QStringLiteral("e2e_repair_second_model_%1.png").arg(r.name));
        EXPECT_EQ(w.m_pBusyWidget->findChild<QLabel*>("label_Info")->text(), "Checking the model");
        EXPECT_EQ(shownPanels(w), QList<QWidget*>{w.m_pFixWidget});
        auto light = [&](QWidget* area) { // white text
            const QRect r(area->mapTo(&w, QPoint(0, 0)), area->size());
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    n += qGray(during.pixel(x, y)) > 200;
            return n;
        };
        EXPECT_GT(light(w.m_pFixWidget), 200);
        EXPECT_GT(light(note), 50); // the note is on screen

        hold.Open();
        WAIT_TRUE(bothCounted, kHangMs);
        EXPECT_EQ(said(counts()), said(r.bothShown));
        EXPECT_TRUE(wrong.isEmpty()) << wrong.join("\n").toStdString();
        EXPECT_GT(looked, 0);

        // The first removed: the plate is the second alone.
        scene->SetPickModelPainter(first->pickId());
        w.ui.RemoveButton->click();
        ASSERT_EQ(scene->models().size(), 1);
        EXPECT_EQ(said(counts()), "1 / 0 / 0");
        EXPECT_EQ(label("label_result").toStdString(), "");
    }
}

// A block whose right side hangs out at 45 degrees, 1 mm from the plate's
// right edge: its supports lean out with that side and still stand on the
// plate, and Slice has nothing to warn of. Moved on until its supports reach
// past the edge, while the block itself stays on the plate, it is drawn out
// of range and Slice says the plate is cut before it slices.
TEST_F(UserFiles, SupportsPastThePlatesEdgeAreToldBeforeSlicing)
{
    const QVector3D lo[4] = {{-5, -5, 0}, {1, -5, 0}, {1, 5, 0}, {-5, 5, 0}};
    const QVector3D hi[4] = {{-5, -5, 4}, {5, -5, 4}, {5, 5, 4}, {-5, 5, 4}};
    QVector<VSLTriangle3D> ledge;
    ledge << testmesh::Tri(lo[0], lo[2], lo[1]) << testmesh::Tri(lo[0], lo[3], lo[2])
          << testmesh::Tri(hi[0], hi[1], hi[2]) << testmesh::Tri(hi[0], hi[2], hi[3]);
    for (int i = 0; i < 4; ++i)
        ledge << testmesh::Tri(lo[i], lo[(i + 1) % 4], hi[(i + 1) % 4]) << testmesh::Tri(lo[i], hi[(i + 1) % 4], hi[i]);

    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_TRUE(testmesh::WriteFile(stl, testmesh::BinaryStl(ledge)));
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLModelPainter* p = onlyInstance(w);
    ASSERT_NE(p, nullptr);
    VSL3DScene* scene = w.ui.GLWidget->scene();
    QVector3D bmax, bmin;
    scene->GetBound(bmax, bmin);

    // Edit: the transform panel's X position takes it to 1 mm from the edge.
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "editButton"));
    WAIT_TRUE(w.m_pTransformWidget->isVisible(), kHangMs);
    scene->SetPickModelPainter(p->pickId());
    QTest::qWait(50);
    auto* posX = w.m_pTransformWidget->findChild<QDoubleSpinBox*>("Position_X");
    ASSERT_NE(posX, nullptr);
    posX->setValue(posX->value() + double(bmax.x() - 1.f - p->m_maxBound.x()));
    QTest::qWait(50);
    ASSERT_NEAR(p->m_maxBound.x(), bmax.x() - 1.f, 0.02f);

    ASSERT_NO_FATAL_FAILURE(generateSupports(w));
    ASSERT_FALSE(p->m_supportMap.isEmpty());
    EXPECT_TRUE(scene->CheckPlatform(p)) << "supports generated at the edge stand on the plate";
    shot(w, "edge_1_supported");
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
        WAIT_TRUE(w.m_pSliceWidget->isVisible(), kHangMs);
        EXPECT_GT(slice(w), 0);
        EXPECT_EQ(modal.texts, QStringList());
    }
    shot(w, "edge_2_sliced");

    // How far the supports reach right of the model; moved on until they
    // reach 0.3 mm past the edge.
    float reach = -1e9f;
    for (const DLP_Support& s : qAsConst(p->m_supportMap))
        for (const QVector<vcg::Point3f>& c : s.cones)
            for (int end = 0; end < 2; ++end)
                reach = std::max(reach, p->m_supportMatrix.map(QVector3D(c[end][0], c[end][1], c[end][2])).x() +
                                            c[2][end]);
    const float step = bmax.x() + 0.3f - reach;
    ASSERT_GT(p->m_maxBound.x() + step, bmax.x() - 1.f) << "the supports reach out past the model";
    ASSERT_LT(p->m_maxBound.x() + step, bmax.x()) << "the model itself stays on the plate";
    ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "editButton"));
    WAIT_TRUE(w.m_pTransformWidget->isVisible(), kHangMs);
    scene->SetPickModelPainter(p->pickId());
    QTest::qWait(50);
    const float before = p->m_maxBound.x();
    posX->setValue(posX->value() + double(step));
    QTest::qWait(50);
    ASSERT_NEAR(p->m_maxBound.x(), before + step, 0.02f);
    scene->SetPickModelPainter(0); // seen as the plate shows it, not as the selection
    w.ui.GLWidget->update();
    ASSERT_FALSE(p->m_supportMap.isEmpty());
    EXPECT_FALSE(scene->CheckPlatform(p)) << "drawn out of range";
    shot(w, "edge_3_supports_past_the_edge");
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(started->texts, QStringList{"Some models leave the build plate."});
    EXPECT_TRUE(started->informative.value(0).startsWith("1 of 1 models stand partly or wholly off the build plate"))
        << started->informative.value(0).toStdString();
    WAIT_TRUE(w.sceneSliced(), kHangMs);
    shot(w, "edge_4_sliced_after_warning");
}

// A start with no clicks in a configuration folder whose files are links to
// system files, and one that cannot be parsed: nothing outside the folder
// changes, the unparsable file is kept aside, and the window says so.
TEST_F(UserFiles, AStartNeverWritesThroughLinksOutOfTheConfigurationFolder)
{
    const QString system = work.filePath("system");
    ASSERT_TRUE(QDir(work.path()).mkdir("system"));
    const QString configDir = config.path();
    qputenv("VEXMOR_LOG_DIR", configDir.toUtf8());
    const QDateTime day(QDate(2032, 7, 8), QTime(9, 10, 11));
    setVexmorLogClock([day] { return day; });
    struct Linked { const char* name; const char* target; QByteArray bytes; };
    const Linked links[] = {
        {"VexmorMachine.ini", "passwd", "root:x:0:0:root:/root:/bin/bash\n"},
        {"Light.ini", "hosts", "127.0.0.1 localhost\n"},
        {"Pellar10Material.ini", "fstab", "proc /proc proc defaults 0 0\n"},
        {"2032_07_08log.txt", "syslog", "kernel: started\n"},
    };
    for (const Linked& l : links) {
        ASSERT_TRUE(testmesh::WriteFile(system + "/" + l.target, l.bytes));
        ASSERT_TRUE(QFile::link(system + "/" + l.target, configDir + "/" + l.name)) << l.name;
    }
    const QByteArray broken = "[Recipe\nmine\\CuringTime=5000\n";
    ASSERT_TRUE(testmesh::WriteFile(configDir + "/Pellar10Recipe.ini", broken));

    EXPECT_EQ(vexmorTranslationFile(), ":/Resources/lang/en.qm"); // as start-up reads it
    {
        ModalAnswers modal;
        Vexmor w;
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        WAIT_TRUE(!modal.texts.isEmpty(), kHangMs);
        EXPECT_EQ(modal.texts.value(0), "A settings file was not used as it is.");
        const QString told = modal.informative.value(0);
        for (const char* name : {"VexmorMachine.ini", "Light.ini", "Pellar10Recipe.ini"})
            EXPECT_TRUE(told.contains(name)) << name << ": " << told.toStdString();
        EXPECT_EQ(w.m_pDeviceSettings->m_machineType, "Pellar10");
        shot(w, "user_files_5_linked_config");
    }
    for (const Linked& l : links) {
        EXPECT_EQ([&] { QFile f(system + "/" + l.target); f.open(QIODevice::ReadOnly); return f.readAll(); }(), l.bytes)
            << l.target;
        EXPECT_TRUE(QFileInfo(configDir + "/" + l.name).isSymLink()) << l.name;
    }
    const QStringList aside = QDir(configDir).entryList({"Pellar10Recipe.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ([&] { QFile f(configDir + "/" + aside[0]); f.open(QIODevice::ReadOnly); return f.readAll(); }(), broken);
    setVexmorLogClock({});
}

} // namespace
