#pragma once
#include "mesh/mymesh.h"
#include "mesh/point3.h"

#include <QMap>
#include <QMultiMap>
#include <QPair>
#include <QVector>

#include <cmath>

// The support run's collision tests against its working mesh, reached through
// the 1 mm face grid. Every test samples the faces it visits by one rule
// (SampleFace) and compares the samples with the solid; nothing here locks,
// the caller holds the model's locks for the whole run.
namespace supportcollide {

// Cell key -> faces whose bounding box overlaps that 1 mm cell.
using FaceGrid = QMap<uint, QVector<uint>>;
// -z of a sample -> (face, sample): iteration runs from the highest sample down.
using HitMap = QMultiMap<float, QPair<int, vcg::Point3f>>;

constexpr int kGridOffset = 500;
constexpr int kCellsPerAxis = 1000;
// Sentinels of the column search and of the nearest-normal search.
constexpr float kMissing = -200000.0f;
constexpr float kMissingBelow = -100000.0f;
constexpr float kNoNormalZ = 100.0f;

// Cell number of coordinate c: floor(c + offset), clamped to 0 .. 999 so
// that geometry beyond +-500 mm lands in the border cells instead of
// wrapping into another key (NaN goes to 0). Samples keep their real
// positions, so clamping only widens the candidate list.
inline int CellIndex(float c, int offset)
{
    const float f = std::floor(c + float(offset));
    if (!(f > 0.f))
        return 0;
    if (f >= float(kCellsPerAxis - 1))
        return kCellsPerAxis - 1;
    return int(f);
}

inline uint CellKey(int ix, int iy, int iz)
{
    return (uint(iz) * 1000u + uint(iy)) * 1000u + uint(ix);
}

struct CellRange {
    int x0, x1, y0, y1, z0, z1;
};

// Visits the listed faces of every present cell of the range, z outermost,
// then y, then x; a face listed in several cells is visited once per cell.
// Stops when fn returns true.
template <class Fn> bool WalkCells(const FaceGrid& cells, const CellRange& r, Fn&& fn)
{
    for (int iz = r.z0; iz <= r.z1; ++iz)
        for (int iy = r.y0; iy <= r.y1; ++iy)
            for (int ix = r.x0; ix <= r.x1; ++ix) {
                const auto it = cells.constFind(CellKey(ix, iy, iz));
                if (it == cells.constEnd())
                    continue;
                for (uint f : it.value())
                    if (fn(f))
                        return true;
            }
    return false;
}

// Calls fn(sample) for the samples of face f, in order; stops early and
// returns true when fn returns true. Rows run from A = V0 towards the edge
// B C = V1 V2 about 1/density apart, each divided into steps of about
// 1/density; row 0 is A alone. A face whose B C has no length gets one row
// (A, B and C).
template <class Fn> bool SampleFace(const MyMesh& mesh, uint32_t f, float density, Fn&& fn)
{
    // Bounds the work on absurd faces or densities; never reached by a
    // printable model (it would be a face some metres across).
    constexpr double kMaxSteps = 1 << 20;
    const vcg::Point3f& A = mesh.P(f, 0);
    const vcg::Point3f& B = mesh.P(f, 1);
    const vcg::Point3f& C = mesh.P(f, 2);
    const float e = (C - B).Norm();
    const float h = ((B - A) ^ (C - A)).Norm() / e;
    const double rowsD = std::ceil(double(h) * double(density));
    const int rows = std::isfinite(rowsD) && rowsD >= 1.0 ? int(std::min(rowsD, kMaxSteps)) : 1;
    for (int i = 0; i <= rows; ++i) {
        const float t = float(i) / float(rows);
        const float colsF = std::ceil(e * t * density);
        const int cols = std::isfinite(colsF) && colsF >= 1.f ? int(std::min(double(colsF), kMaxSteps)) : 1;
        for (int j = 0; j <= cols; ++j) {
            if (i == 0 && j > 0)
                break;
            const float u = float(j) / float(cols);
            const vcg::Point3f s = A * (1.f - t) + B * ((1.f - u) * t) + C * (u * t);
            if (fn(s))
                return true;
        }
    }
    return false;
}

// True when some face comes closer to c than r (exact distances, not samples).
bool SurfaceWithin(const vcg::Point3f& c, double r, const MyMesh& mesh, const FaceGrid& cells, int offset);

// The highest sample strictly inside the vertical column of radius r below
// p and not below zFloor; all components kMissing when there is none, y
// kMissing when the column meets that sample's face from behind. With
// `fromBehind` given, y is kept and the flag tells that instead.
vcg::Point3f FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, const MyMesh& mesh,
                                      const FaceGrid& cells, int offset, float density, bool* fromBehind = nullptr);
// True when a sample lies inside the cylinder of radius r around p0 p1.
bool CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, const MyMesh& mesh, const FaceGrid& cells,
                          int offset, float density, float segmentLength);
// True when a sample lies strictly inside the sphere.
bool CheckCollisionSphere(vcg::Point3f c, double r, const MyMesh& mesh, const FaceGrid& cells, int offset,
                          float density);
// True when a sample lies inside the truncated cone p0 (r0) to p1 (r1).
bool CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                        const FaceGrid& cells, int offset, float density);
// Fills `hits` with every sample inside the cone (once per cell that lists
// its face); true when there is one.
bool CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                            const FaceGrid& cells, int offset, HitMap& hits, float density);
// Stored normal of the downward-facing face carrying the sample nearest to c
// within r; (0, 0, kNoNormalZ) when there is none.
vcg::Point3f FindNearestNormalSphere(vcg::Point3f c, double r, const MyMesh& mesh, const FaceGrid& cells,
                                     int offset, float density);

} // namespace supportcollide
