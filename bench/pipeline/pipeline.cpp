// pipeline --width W --height H --pixel-um PX [--pixel-um-y PY] --thickness MM
// pipeline --width W --height H --pixel-um PX [--pixel-um-y PY] --thickness MM
//          [--machine-code C] [--rotate] [--plate-layers N] [--supports D,T,S,L]
//          [--out FILE] STL...
// Loads each STL into a scene (topology pass, automatic placement), runs
// every instance's support job (density, tip and shaft diameter, lift) when
// asked, slices through the scene's slice jobs and optionally writes the
// print file through the scene's writer, printing one line per step. Numbers
// are taken whole and in range (width and height 1 to 16384, pixel size 1 to
// 1000 um, thickness 0.001 to 1 mm, supports within the support panel's
// ranges); an instance outside the build volume, supports that reach past
// the plate's edge and a slice that lights no pixel each add a "warning ..."
// line; a print file that would light no pixel is not written ("Nothing to
// print.", exit code 1). The layers of a machine code whose printer model
// turns its image are written a quarter turned, as the window writes them;
// --rotate is taken with such a code only.
// Islands are counted on the lit pixels of each instance's layers, as the
// layer-image file holds them, turned where the model's code turns them
// ("islands", with each one's layer and place in the unturned frame),
// and on its outlines ("outline islands", which part where pixels join).
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "layers/islands.h"
#include "dlp/slicebuildconfig.h"
#include "dlp/valueranges.h"
#include "bench/tooloptions.h"
#include "layers/platelayers.h"
#include "printfile/filesafety.h"
#include "printfile/printfilewriter.h"
#include "printfile/printjobinput.h"
#include "bench/eventwait.h"
#include "bench/turnedlayers.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QCoreApplication>
#include <QStringList>

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Options {
    int width = 0;
    int height = 0;
    double pixelUmX = 0;
    double pixelUmY = 0;
    double thicknessMm = 0;
    int machineCode = 0;
    bool rotate = false;
    int plateLayers = 0;
    bool supports = false;
    double supportParams[4] = {0, 0, 0, 0}; // density, tip, shaft, lift
    QString out;
    QStringList stls;
};

int Fail(const QString& message)
{
    std::fprintf(stderr, "pipeline: %s\n", qPrintable(message));
    return 1;
}

// ---- arguments, destination checks and warnings

// Largest frame side, as the printers and the writers take it.
constexpr qint64 kMaxFrameSide = 16384;

bool ParseOptions(const QStringList& args, Options& o, QString& error)
{
    using namespace tooloptions;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool takesValue = a == "--width" || a == "--height" || a == "--machine-code" || a == "--plate-layers" ||
                                a == "--pixel-um" || a == "--pixel-um-y" || a == "--thickness" || a == "--out";
        if (takesValue && i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        qint64 whole = 0;
        bool ok = true;
        if (a == "--width" || a == "--height") {
            ok = Whole(a, args[++i], 1, kMaxFrameSide, whole, error);
            (a == "--width" ? o.width : o.height) = int(whole);
        } else if (a == "--machine-code") {
            ok = Whole(a, args[++i], INT_MIN, INT_MAX, whole, error);
            o.machineCode = int(whole);
        } else if (a == "--plate-layers") {
            ok = Whole(a, args[++i], 0, layers::kMaxPlateLayers, whole, error);
            o.plateLayers = int(whole);
        } else if (a == "--pixel-um" || a == "--pixel-um-y") {
            // Micrometres: 0.05 is a millimetre value typed by mistake.
            ok = Real(a, args[++i], 1, 1000, a == "--pixel-um" ? o.pixelUmX : o.pixelUmY, error);
        } else if (a == "--thickness") {
            ok = Real(a, args[++i], 0.001, 1, o.thicknessMm, error);
        } else if (a == "--supports") {
            // What the support panel offers, and nothing else: a density of 20
            // would grow without end.
            static const struct { const char* name; DLP::ValueRange range; } kSupportValues[4] = {
                {"density D", DLP::Ranges::supportDensity},
                {"tip diameter T", DLP::Ranges::supportTipMm},
                {"shaft diameter S", DLP::Ranges::supportShaftMm},
                {"lift L", DLP::Ranges::supportLiftMm},
            };
            const QStringList parts = i + 1 < args.size() ? args[i + 1].split(',') : QStringList();
            if (parts.size() != 4) {
                error = "--supports needs four numbers D,T,S,L: density, tip and shaft diameter and lift";
                return false;
            }
            for (int k = 0; k < 4 && ok; ++k) {
                const DLP::ValueRange& r = kSupportValues[k].range;
                ok = Real(QStringLiteral("--supports %1").arg(kSupportValues[k].name), parts[k], r.min, r.max,
                          o.supportParams[k], error);
            }
            if (ok && o.supportParams[2] < o.supportParams[1]) {
                error = QStringLiteral("--supports shaft diameter S needs a number from %1 (the tip diameter T) to "
                                       "%2, not \"%3\"")
                            .arg(parts[1], QString::number(DLP::Ranges::supportShaftMm.max), parts[2]);
                ok = false;
            }
            o.supports = true;
            ++i;
        } else if (a == "--rotate") {
            o.rotate = true;
        } else if (a == "--out") {
            o.out = args[++i];
        } else if (a.startsWith("--")) {
            error = "unknown option " + a;
            return false;
        } else {
            o.stls << a;
        }
        if (!ok)
            return false;
    }
    if (o.pixelUmY <= 0)
        o.pixelUmY = o.pixelUmX;
    if (o.width <= 0 || o.height <= 0 || o.pixelUmX <= 0 || o.thicknessMm <= 0) {
        error = "--width, --height, --pixel-um and --thickness must be given";
        return false;
    }
    if (o.stls.isEmpty()) {
        error = "no STL file given";
        return false;
    }
    // Turned layers under any other code would be read unturned.
    if (o.rotate && !MachineCodeTurnsLayers(o.machineCode)) {
        QStringList codes;
        for (const frmDeviceInterfaceSettings::MachinePara& row : frmDeviceInterfaceSettings::builtInMachineParas())
            if (row.rotate && !codes.contains(QString::number(PrinterModels::MachineCode(row.modelName))))
                codes << QString::number(PrinterModels::MachineCode(row.modelName));
        error = QStringLiteral("--rotate needs the machine code of a printer model that turns its layers (%1), "
                               "not %2")
                    .arg(codes.join(", "))
                    .arg(o.machineCode);
        return false;
    }
    o.rotate = MachineCodeTurnsLayers(o.machineCode);
    return true;
}

// Inputs must be regular files (a FIFO would hang the reader); a destination
// must not be an input, a device, FIFO or folder, and the two files of code
// 120 must not share a name. Checked before anything is read or written.
bool CheckFiles(const Options& o, QString& error)
{
    for (const QString& stl : o.stls) {
        error = InputFileProblem(stl);
        if (!error.isEmpty())
            return false;
    }
    if (o.out.isEmpty())
        return true;
    QStringList destinations = {o.out};
    if (o.machineCode == 120) {
        const QString vxt = PrintFile::VxtFileName(o.out);
        if (NamesSameFile(vxt, o.out)) {
            error = QStringLiteral("--out %1 is also the name of the vector file of machine code 120").arg(o.out);
            return false;
        }
        destinations << vxt;
    }
    for (const QString& d : destinations) {
        error = DestinationProblem(d);
        if (!error.isEmpty())
            return false;
        for (const QString& stl : o.stls)
            if (NamesSameFile(d, stl)) {
                error = QStringLiteral("%1 would overwrite the input %2").arg(d, stl);
                return false;
            }
    }
    return true;
}

// True when some model layer (after the plate layers) lights a pixel of the frame.
bool AnythingLit(const SliceLayers& layers, int plateLayers, int width, int height)
{
    const QRectF frame(0, 0, width, height);
    for (int i = qMax(0, plateLayers); i < layers.size(); ++i)
        for (const SlicePolygon& polygon : layers[i]) {
            double area = 0;
            for (int k = 0; k < polygon.size(); ++k) {
                const QPointF& p = polygon[k];
                const QPointF& q = polygon[(k + 1) % polygon.size()];
                area += p.x() * q.y() - q.x() * p.y();
            }
            if (std::fabs(area) / 2 >= 0.5 && polygon.boundingRect().intersects(frame))
                return true;
        }
    return false;
}

void Warn(const QString& line)
{
    std::printf("warning %s\n", qPrintable(line));
}

// ---- end of arguments, destination checks and warnings

QString Vec(const QVector3D& v)
{
    return QStringLiteral("%1,%2,%3").arg(double(v.x()), 0, 'f', 3).arg(double(v.y()), 0, 'f', 3).arg(double(v.z()), 0, 'f', 3);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    QString error;
    if (app.arguments().contains("--help") || app.arguments().contains("-h")) {
        std::printf("pipeline --width W --height H --pixel-um PX [--pixel-um-y PY] --thickness MM\n"
                    "         [--machine-code C] [--rotate] [--plate-layers N] [--supports D,T,S,L]\n"
                    "         [--out FILE] STL...\n"
                    "Loads, supports (density, tip and shaft diameter, lift), slices and writes, one line per step.\n");
        return 0;
    }
    if (!ParseOptions(app.arguments(), o, error) || !CheckFiles(o, error))
        return Fail(error);

    QElapsedTimer total;
    total.start();
    VSL3DScene scene;
    scene.m_fnOutOfRangeWarning = [] {};
    const float plateX = float(o.width * o.pixelUmX / 1000.0), plateY = float(o.height * o.pixelUmY / 1000.0);
    scene.SetBound(QVector3D(plateX / 2, plateY / 2, 200), QVector3D(-plateX / 2, -plateY / 2, 0), float(o.pixelUmX),
                   float(o.pixelUmY));

    for (const QString& stl : o.stls) {
        QElapsedTimer t;
        t.start();
        const QList<int> before = scene.models().keys();
        const int instancesBefore = scene.instances().size();
        if (!scene.AddModel(stl))
            return Fail(scene.lastLoadError());
        if (!scene.lastLoadWarning().isEmpty())
            Warn(scene.lastLoadWarning());
        if (scene.instances().size() != instancesBefore + 1)
            return Fail(QStringLiteral("%1: no instance was created").arg(stl));
        VSLModel3D* model = nullptr;
        for (VSLModel3D* m : scene.models())
            if (QFileInfo(m->m_strFileName) == QFileInfo(stl))
                model = m;
        if (!model)
            return Fail(QStringLiteral("%1: model missing after loading").arg(stl));
        if (!WaitFor([model] { return model->isReady(); }))
            return Fail(QStringLiteral("%1: topology pass did not finish").arg(stl));
        model->CountShells();
        const double seconds = t.nsecsElapsed() / 1e9;
        std::printf("load %s triangles=%d vertices=%d shells=%d seconds=%.3f\n", qPrintable(stl),
                    model->m_vTriangles.size(), model->m_mesh.vn, model->m_nShellCount, seconds);
        Q_UNUSED(before);
    }
    int n = 0;
    for (VSLModelPainter* p : scene.instances())
        std::printf("instance %d min=%s max=%s\n", ++n, qPrintable(Vec(p->m_minBound)), qPrintable(Vec(p->m_maxBound)));
    n = 0;
    std::vector<bool> outOfRange;
    for (VSLModelPainter* p : scene.instances()) {
        outOfRange.push_back(scene.IsOutRange(p));
        if (++n, outOfRange.back())
            Warn(QStringLiteral("instance %1: Model is out of range, please scale it").arg(n));
    }
    std::fflush(stdout);

    if (o.supports) {
        n = 0;
        for (VSLModelPainter* p : scene.instances()) {
            ++n;
            QElapsedTimer t;
            t.start();
            const uint faces = p->m_pModel->m_mesh.FaceCount();
            p->m_dSupportDensity = o.supportParams[0];
            p->m_dTipDiameter = o.supportParams[1];
            p->m_dShaftDiameter = o.supportParams[2];
            p->m_dLiftDistance = o.supportParams[3];
            if (scene.StartSupportJob(p) != SceneOp::Done)
                return Fail(QStringLiteral("the support job of instance %1 was refused").arg(n));
            if (!WaitFor([&] { return scene.runningSupportJobs() == 0; }))
                return Fail(QStringLiteral("the support job of instance %1 did not finish").arg(n));
            const SupportRunCounts& c = p->m_supportRun.m_counts;
            std::printf("support instance=%d faces=%u/%u records=%d seconds=%.3f\n", n, faces,
                        p->m_pModel->m_mesh.FaceCount(), p->m_supportMap.size(), t.nsecsElapsed() / 1e9);
            std::printf("removed instance=%d contacts=%d tips=%d bridged=%d columns=%d mended=%d linked=%d\n", n,
                        c.contacts, c.tipsRemoved, c.bridged, c.columnsErased, c.landingsMended, c.looseLinked);
            std::fflush(stdout);
        }
        // Supports past the plate's edge are cut there, and what stands on
        // them starts in mid-air: the window's Slice warns of them with the
        // same test.
        n = 0;
        for (VSLModelPainter* p : scene.instances())
            if (++n, !outOfRange[size_t(n - 1)] && scene.LeavesBoundXY(p))
                Warn(QStringLiteral("instance %1: its supports reach past the build plate's edge and are cut there")
                         .arg(n));
        std::fflush(stdout);
    }

    // Islands per instance, counted by each slice job as it makes the layers,
    // in the frame the file stores them in.
    scene.m_bImageRotate = o.rotate;
    for (VSLModelPainter* p : scene.instances())
        p->m_bCountSliceIslands = true;
    scene.setCountSliceIslands(true);
    QElapsedTimer sliceTimer;
    sliceTimer.start();
    int slicedLayers = -1;
    QObject::connect(&scene, &VSL3DScene::sig_SliceSceneDone, [&](int n) { slicedLayers = n; });
    const SceneOp op = scene.StartSliceScene(o.width, o.height, float(1000.0 / o.pixelUmX), float(1000.0 / o.pixelUmY),
                                             float(o.thicknessMm), o.plateLayers);
    if (op == SceneOp::BadParameters)
        return Fail(QStringLiteral("the slice parameters were refused"));
    if (op != SceneOp::Done)
        return Fail(QStringLiteral("slicing was refused (code %1) %2").arg(int(op)).arg(scene.lastSliceError()));
    if (!WaitFor([&] { return slicedLayers >= 0; }))
        return Fail("slicing did not finish");
    if (!scene.lastSliceError().isEmpty())
        return Fail(scene.lastSliceError());
    std::printf("slice layers=%d seconds=%.3f\n", slicedLayers, sliceTimer.nsecsElapsed() / 1e9);
    if (!AnythingLit(scene.m_modelSliceLayers, scene.m_nPlateLayers, o.width, o.height))
        Warn(QStringLiteral("nothing to print"));
    {
        // As the print file lights them (each instance's own pixels), then
        // as the outlines alone show them.
        layers::IslandCount all, outlines;
        for (VSLModelPainter* p : scene.instances()) {
            all.Add(p->m_sliceIslands);
            outlines.Add(p->m_sliceOutlineIslands);
        }
        for (const auto& at : all.supportAt)
            std::printf("support island layer=%d at=%.3f,%.3f\n", at.first, at.second.X / 1000.0,
                        at.second.Y / 1000.0);
        for (const auto& at : all.modelAt)
            std::printf("model island layer=%d at=%.3f,%.3f\n", at.first, at.second.X / 1000.0, at.second.Y / 1000.0);
        std::printf("islands support=%d model=%d\n", all.support, all.model);
        std::printf("outline islands support=%d model=%d\n", outlines.support, outlines.model);
        // As the window's Slice tells the user.
        const SliceMidAir midAir = scene.LastSliceMidAir();
        if (midAir.any())
            Warn(QStringLiteral("regions in mid-air: %1 in the models, %2 in their supports, the lowest at layer %3 "
                                "of %4")
                     .arg(midAir.model)
                     .arg(midAir.support)
                     .arg(midAir.lowestLayer)
                     .arg(midAir.lowestModel));
    }
    std::fflush(stdout);

    if (!o.out.isEmpty()) {
        QElapsedTimer writeTimer;
        writeTimer.start();
        DLP::SliceBuildConfig config;
        config.UpdateMachineConfig(float(o.width), float(o.height), float(o.pixelUmX), float(o.pixelUmY), 200.f);
        config.SliceThickness = float(o.thicknessMm);
        config.PlateLayers = o.plateLayers;
        ST_MachinePara para = DLP::machineParaFrom(config);
        scene.m_nMachineCode = o.machineCode;
        scene.m_bImageRotate = o.rotate;
        scene.m_strSaveFileName = o.out;
        const int result = scene.generatePrintableData(para, o.out);
        if (result != 0)
            return Fail(QStringLiteral("%1: %2").arg(o.out, PrintFileResultText(result)));
        std::printf("write %s bytes=%lld seconds=%.3f\n", qPrintable(o.out), QFileInfo(o.out).size(),
                    writeTimer.nsecsElapsed() / 1e9);
    }
    std::printf("total seconds=%.3f\n", total.nsecsElapsed() / 1e9);
    return 0;
}
