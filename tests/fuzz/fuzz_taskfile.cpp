// Feeds arbitrary bytes to the task-file loader; whatever it accepts must be
// consistent with the bytes it came from. What the scene then takes is a
// plate of real models: every placed corner within 100 m.
#include "VSL3DScene.h"
#include "fuzz_input.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "scene/TaskFile.h"
#include "vslfunction/modelbound.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QMap<int, QVector<VSLTriangle3D>> models;
    QVector<QPair<int, QMatrix4x4>> matrices;
    QVector<VSLTriangle3D> supports;
    SliceLayers sm, ss;
    QVector<int> pi;
    QVector<float> pf;
    const bool ok = TaskLoader().LoadBinaryTask(reinterpret_cast<const char*>(data), qint64(size), models, matrices,
                                                supports, sm, ss, pi, pf);
    if (!ok) {
        if (!models.isEmpty() || !matrices.isEmpty() || !sm.isEmpty() || !pi.isEmpty())
            __builtin_trap(); // a failed load hands out nothing
        return 0;
    }
    qint64 triangles = supports.size();
    for (const auto& m : models)
        triangles += m.size();
    if (triangles * 48 > qint64(size))
        __builtin_trap();
    for (const auto& m : models)
        for (const VSLTriangle3D& t : m)
            if (!(t.minBound.x() <= t.maxBound.x()) || !std::isfinite(t.vertices[0].x()))
                __builtin_trap();

    FuzzApplication("fuzz_taskfile");
    const QString path = FuzzFolder().filePath("plate.task");
    if (!WriteFuzzInput(path, data, size))
        return 0;
    VSL3DScene scene;
    if (scene.LoadBinaryScene(path)) {
        for (VSLModelPainter* p : scene.instances())
            for (const VSLTriangle3D& t : p->m_pModel->m_vTriangles)
                for (const QVector3D& v : t.vertices)
                    if (!WithinModelBound(p->m_matrix.map(v)))
                        __builtin_trap();
    } else if (scene.lastLoadError().isEmpty()) {
        __builtin_trap(); // a refusal says why
    }
    return 0;
}
