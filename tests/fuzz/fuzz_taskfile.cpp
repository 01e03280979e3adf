// Feeds arbitrary bytes to the task-file loader; whatever it accepts must be
// consistent with the bytes it came from.
#include "scene/TaskFile.h"

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
    return 0;
}
