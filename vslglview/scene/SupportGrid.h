#pragma once
// Height grid, spot choice and overhang search of the grid automatic
// supports. The scene drives them (SceneGridSupports.cpp, SceneOverhang.cpp);
// the pieces here work on plain data so they can be checked on hand-made
// grids and meshes.
#include "mesh/hole.h"
#include "mesh/mymesh.h"
#include "mesh/point3.h"

#include <QMatrix4x4>
#include <QPair>
#include <QVector>

#include <vector>

// One surface sample at a grid node: world x, y, z (mm) and the unit normal
// of the sampled triangle in the instance's model coordinates.
struct SupportPoint {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
};

// z ascending.
bool cmp_SupportPoint(SupportPoint const& a, SupportPoint const& b);

// The height grid of one instance: cells of 200 um from the instance's lowest
// world x and y; cell index = width * row + column.
struct SupportStorage {
    bool filled = false;
    double originX = 0, originY = 0; // um, world
    int cellSize = 200;              // um
    int width = 0, depth = 0, cellCount = 0;
    int reserved0 = 0, reserved1 = 0; // stored, not used
    QVector<QVector<SupportPoint>> cells;

    bool HasPoints(int cell) const { return cell >= 0 && cell < cellCount && !cells[cell].isEmpty(); }
};

namespace gridsupport {

using RegionList = std::vector<vcg::tri::Hole<MyMesh>::Info>;

// Cells above this count are refused (a grid of 0.2 mm over ~1.2 m square):
// such an extent is no printable instance, only a broken transform.
constexpr qint64 kMaxCells = 40'000'000;

// Fills `grid` from triangles given in model coordinates (`tri(i, k)` is
// vertex k of triangle i) placed by `m`, over the world box lo..hi. False,
// and the grid left empty, when the box is not finite or too large.
template <class TriFn>
bool FillGrid(SupportStorage& grid, int triangleCount, TriFn&& tri, const QMatrix4x4& m, float loX, float loY,
              float hiX, float hiY);

// The cell at which a spot of `cell` is supported: the cell itself when it
// holds points, else the nearest filled cell along its row, then its column,
// then the neighbouring row; -9999 when all are empty.
int NearestFilledCell(const SupportStorage& grid, int cell);

// The wanted cells of the regions' bounding boxes (world mm) at `spacing` um;
// answers of -9999 are kept.
QVector<int> SpotCells(const SupportStorage& grid, const RegionList& regions, int spacing);

// Overhang search over a mesh already in world coordinates, its face normals
// set: shallow downward edges (upper end, lower end) and, with the vertex
// mark 0x10 clear beforehand, the vertices hanging below all their faces.
void FindOverhangs(MyMesh& mesh, QVector<QPair<vcg::Point3f, vcg::Point3f>>& edges,
                   QVector<vcg::Point3f>& lowest);

// Candidates of the edges sampled every `step` mm, then the lowest points.
QVector<vcg::Point3f> OverhangCandidates(const QVector<QPair<vcg::Point3f, vcg::Point3f>>& edges,
                                         const QVector<vcg::Point3f>& lowest, double step);

// One list per candidate: (candidate) or (surface below, candidate).
QVector<QVector<SupportPoint>> OverhangPointLists(const SupportStorage& grid,
                                                  const QVector<vcg::Point3f>& candidates);

} // namespace gridsupport

// ---------------------------------------------------------------- template body

namespace gridsupport {

namespace detail {
struct GridVertex {
    double gx, gy, z;
};
void AppendSample(SupportStorage& grid, int ix, int iy, double z, const vcg::Point3f& n);
bool AllocateGrid(SupportStorage& grid, float loX, float loY, float hiX, float hiY);
void ScanTriangle(SupportStorage& grid, GridVertex a, GridVertex b, GridVertex c, const vcg::Point3f& n);
void SortCells(SupportStorage& grid);
} // namespace detail

template <class TriFn>
bool FillGrid(SupportStorage& grid, int triangleCount, TriFn&& tri, const QMatrix4x4& m, float loX, float loY,
              float hiX, float hiY)
{
    if (!detail::AllocateGrid(grid, loX, loY, hiX, hiY))
        return false;
    for (int i = 0; i < triangleCount; ++i) {
        const QVector3D v0 = tri(i, 0), v1 = tri(i, 1), v2 = tri(i, 2);
        const QVector3D nq = QVector3D::crossProduct(v1 - v0, v2 - v0).normalized();
        const vcg::Point3f n(nq.x(), nq.y(), nq.z());
        detail::GridVertex g[3];
        const QVector3D w[3] = {m.map(v0), m.map(v1), m.map(v2)};
        for (int k = 0; k < 3; ++k)
            g[k] = {(double(w[k].x()) * 1000.0 - grid.originX) / grid.cellSize,
                    (double(w[k].y()) * 1000.0 - grid.originY) / grid.cellSize, double(w[k].z())};
        detail::ScanTriangle(grid, g[0], g[1], g[2], n);
    }
    detail::SortCells(grid);
    return true;
}

} // namespace gridsupport
