// Feeds arbitrary bytes to the SLC parser and, for what it accepts, to the
// scene's whole import (thinning, scaling, display triangles). What the
// import takes has layers 0.001 to 1 mm apart and points within 100 m.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "fuzz_input.h"
#include "slc/slcfile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    slc::Contents contents;
    if (!slc::Parse(reinterpret_cast<const char*>(data), qint64(size), contents))
        return 0;
    qint64 points = 0;
    // Empty layers stand only between layers with outlines.
    if (!contents.layers.isEmpty() && (contents.layers.first().isEmpty() || contents.layers.last().isEmpty()))
        __builtin_trap();
    for (const QVector<QPolygonF>& layer : contents.layers)
        for (const QPolygonF& p : layer)
            points += p.size();
    // Each layer is a record of at least 8 bytes.
    if (qint64(contents.layers.size()) * 8 > qint64(size))
        __builtin_trap();
    if (points * 8 > qint64(size))
        __builtin_trap();

    static const QString path = FuzzFolder().filePath("input.slc");
    if (!WriteFuzzInput(path, data, size))
        return 0;
    VSL3DScene scene;
    scene.m_fnSlcScaleQuestion = [size] { return size % 2 == 0; };
    scene.m_fnSlcThicknessNotice = [](QString const&) {};
    VSLModel3D model;
    VSLModel3D::m_vT.clear();
    if (scene.readSlcFile(path, &model) != 0)
        return 0;
    if (!(scene.m_fLayerThick >= 0.001f && scene.m_fLayerThick <= 1.0f))
        __builtin_trap();
    for (const QVector<SlicePolygon>& layer : scene.m_modelSliceLayers)
        for (const SlicePolygon& p : layer) {
            if (!p.isEmpty() && p.point(0) != p.point(p.size() - 1))
                __builtin_trap(); // every outline is closed
            for (const QPointF q : p)
                if (!std::isfinite(q.x()) || !std::isfinite(q.y()))
                    __builtin_trap();
        }
    VSLModel3D::m_vT.clear();
    return 0;
}
