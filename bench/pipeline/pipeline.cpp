// pipeline --width W --height H --pixel-um PX [--pixel-um-y PY] --thickness MM
//          [--machine-code C] [--rotate] [--plate-layers N] [--supports D,T,S,L]
//          [--out FILE] STL...
// Loads each STL into a scene (topology pass, automatic placement), runs
// every instance's support job (density, tip and shaft diameter, lift) when
// asked, slices through the scene's slice jobs and optionally writes the
// print file through the scene's writer, printing one line per step.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "layers/islands.h"
#include "dlp/slicebuildconfig.h"
#include "printfile/printjobinput.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QCoreApplication>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <functional>

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

bool ParseOptions(const QStringList& args, Options& o, QString& error)
{
    auto number = [&](int& i, double& value) {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        bool ok = false;
        value = args[++i].toDouble(&ok);
        if (!ok) {
            error = QStringLiteral("%1 needs a number, not \"%2\"").arg(args[i - 1], args[i]);
            return false;
        }
        return true;
    };
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        double v = 0;
        if (a == "--width" || a == "--height" || a == "--machine-code" || a == "--plate-layers") {
            if (!number(i, v))
                return false;
            (a == "--width" ? o.width : a == "--height" ? o.height : a == "--machine-code" ? o.machineCode : o.plateLayers) = int(v);
        } else if (a == "--pixel-um" || a == "--pixel-um-y" || a == "--thickness") {
            if (!number(i, v))
                return false;
            (a == "--pixel-um" ? o.pixelUmX : a == "--pixel-um-y" ? o.pixelUmY : o.thicknessMm) = v;
        } else if (a == "--supports") {
            const QStringList parts = i + 1 < args.size() ? args[i + 1].split(',') : QStringList();
            bool ok = parts.size() == 4;
            for (int k = 0; ok && k < 4; ++k) {
                o.supportParams[k] = parts[k].toDouble(&ok);
                ok = ok && std::isfinite(o.supportParams[k]) && (k == 3 ? o.supportParams[k] >= 0 : o.supportParams[k] > 0);
            }
            if (!ok) {
                error = "--supports needs four numbers D,T,S,L: density, tip and shaft diameter (all positive) and lift "
                        "(not negative)";
                return false;
            }
            o.supports = true;
            ++i;
        } else if (a == "--rotate") {
            o.rotate = true;
        } else if (a == "--out") {
            if (i + 1 >= args.size()) {
                error = "--out needs a file name";
                return false;
            }
            o.out = args[++i];
        } else if (a.startsWith("--")) {
            error = "unknown option " + a;
            return false;
        } else {
            o.stls << a;
        }
    }
    if (o.pixelUmY <= 0)
        o.pixelUmY = o.pixelUmX;
    if (o.width <= 0 || o.height <= 0 || o.pixelUmX <= 0 || o.thicknessMm <= 0) {
        error = "--width, --height, --pixel-um and --thickness must be given and positive";
        return false;
    }
    if (o.plateLayers < 0) {
        error = "--plate-layers must not be negative";
        return false;
    }
    if (o.stls.isEmpty()) {
        error = "no STL file given";
        return false;
    }
    return true;
}

// Runs the event loop until `done` holds or the time runs out.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 600000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

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
    if (!ParseOptions(app.arguments(), o, error))
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
            std::printf("removed instance=%d contacts=%d tips=%d bridged=%d columns=%d mended=%d\n", n, c.contacts,
                        c.tipsRemoved, c.bridged, c.columnsErased, c.landingsMended);
            std::fflush(stdout);
        }
    }

    // Islands per instance, counted from the outlines each slice job hands over.
    QVector<layers::IslandCount> islands(scene.instances().size());
    {
        int k = 0;
        for (VSLModelPainter* p : scene.instances()) {
            layers::IslandCount* slot = &islands[k++];
            p->m_fnSliceOutlines = [slot](const QVector<ClipperLib::Paths>& model,
                                          const QVector<ClipperLib::Paths>& support) {
                *slot = layers::CountUnsupportedIslands(model, support);
            };
        }
    }
    QElapsedTimer sliceTimer;
    sliceTimer.start();
    int slicedLayers = -1;
    QObject::connect(&scene, &VSL3DScene::sig_SliceSceneDone, [&](int n) { slicedLayers = n; });
    const SceneOp op = scene.StartSliceScene(o.width, o.height, float(1000.0 / o.pixelUmX), float(1000.0 / o.pixelUmY),
                                             float(o.thicknessMm), o.plateLayers);
    if (op != SceneOp::Done)
        return Fail(QStringLiteral("slicing was refused (code %1)").arg(int(op)));
    if (!WaitFor([&] { return slicedLayers >= 0; }))
        return Fail("slicing did not finish");
    std::printf("slice layers=%d seconds=%.3f\n", slicedLayers, sliceTimer.nsecsElapsed() / 1e9);
    {
        layers::IslandCount all;
        for (const layers::IslandCount& c : islands) {
            all.support += c.support;
            all.model += c.model;
            for (const auto& at : c.supportAt)
                std::printf("support island layer=%d at=%.3f,%.3f\n", at.first, at.second.X / 1000.0,
                            at.second.Y / 1000.0);
        }
        std::printf("islands support=%d model=%d\n", all.support, all.model);
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
