#pragma once
#include "test_meshes.h"

#include <QVector3D>
#include <initializer_list>
#include <utility>

namespace toolmesh {

// Closed boxes given by (min, max) corners, as one model.
inline QVector<VSLTriangle3D> Boxes(std::initializer_list<std::pair<QVector3D, QVector3D>> boxes)
{
    QVector<VSLTriangle3D> out;
    for (const auto& b : boxes)
        out += testmesh::Box(b.first, b.second);
    return out;
}

// A closed double pyramid: apex at the origin, square rim of radius r at `low`, top at low + up.
inline QVector<VSLTriangle3D> Diamond(float r, float low, float up)
{
    const QVector3D bottom(0, 0, 0), top(0, 0, low + up);
    const QVector3D rim[4] = {{r, 0, low}, {0, r, low}, {-r, 0, low}, {0, -r, low}};
    QVector<VSLTriangle3D> out;
    for (int i = 0; i < 4; ++i)
        out << testmesh::Tri(bottom, rim[(i + 1) % 4], rim[i]);
    for (int i = 0; i < 4; ++i)
        out << testmesh::Tri(top, rim[i], rim[(i + 1) % 4]);
    return out;
}

// A slab on four legs with a shallow pyramid (normal z -0.93) hanging to a tip at (0, 0, 16.8).
inline QVector<VSLTriangle3D> Table()
{
    QVector<VSLTriangle3D> out = Boxes({{{-20, -15, 20}, {20, 15, 23}}, {{-20, -15, 0}, {-17, -12, 20}},
                                        {{17, -15, 0}, {20, -12, 20}}, {{-20, 12, 0}, {-17, 15, 20}},
                                        {{17, 12, 0}, {20, 15, 20}}});
    out += testmesh::Translated(Diamond(10, 2.7f, 0.5f), QVector3D(0, 0, 16.8f));
    return out;
}

} // namespace toolmesh
