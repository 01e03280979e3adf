#include "SupportCollision.h"

#include <algorithm>
#include <unordered_set>

namespace supportcollide {

namespace {

// Range of the box lo .. hi (millimetres, formed in double, taken to float).
CellRange BoxRange(const double lo[3], const double hi[3], int offset)
{
    return {CellIndex(float(lo[0]), offset), CellIndex(float(hi[0]), offset), CellIndex(float(lo[1]), offset),
            CellIndex(float(hi[1]), offset), CellIndex(float(lo[2]), offset), CellIndex(float(hi[2]), offset)};
}

CellRange SphereRange(const vcg::Point3f& c, double r, int offset)
{
    const double lo[3] = {c[0] - r, c[1] - r, c[2] - r};
    const double hi[3] = {c[0] + r, c[1] + r, c[2] + r};
    return BoxRange(lo, hi, offset);
}

bool InsideSphere(const vcg::Point3f& q, const vcg::Point3f& c, double r)
{
    const double dx = double(q[0]) - c[0], dy = double(q[1]) - c[1], dz = double(q[2]) - c[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz) < r;
}

// A truncated cone with a defined axis.
struct Cone {
    vcg::Point3f p0, u;
    float L;
    double r0, r1;

    bool Contains(const vcg::Point3f& q) const
    {
        const vcg::Point3f w = q - p0;
        const float a = w * u;
        if (!(a >= 0.f && a <= L))
            return false;
        const double radius = (double(a) / L) * (r1 - r0) + r0;
        return double((w ^ u).Norm()) < radius;
    }
    CellRange Range(const vcg::Point3f& p1, int offset) const
    {
        double lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            const double e = std::sqrt(std::max(0.0, 1.0 - double(u[k]) * u[k]));
            lo[k] = std::min(p0[k] - e * r0, p1[k] - e * r1);
            hi[k] = std::max(p0[k] + e * r0, p1[k] + e * r1);
        }
        return BoxRange(lo, hi, offset);
    }
};

Cone MakeCone(const vcg::Point3f& p0, double r0, const vcg::Point3f& p1, double r1)
{
    const vcg::Point3f axis = p1 - p0;
    const float L = axis.Norm();
    return {p0, axis / L, L, r0, r1};
}

// An end-to-end length of zero leaves no axis: such a solid is its larger
// end, a sphere.
bool HasAxis(const vcg::Point3f& p0, const vcg::Point3f& p1)
{
    const float L = (p1 - p0).Norm();
    return L > 0.f && std::isfinite(L);
}

} // namespace

vcg::Point3f FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, const MyMesh& mesh,
                                      const FaceGrid& cells, int offset, float density, bool* fromBehind)
{
    if (fromBehind)
        *fromBehind = false;
    vcg::Point3f result(kMissing, kMissing, kMissing);
    const float o = float(offset);
    if (std::floor(p[2] + o) < std::floor(zFloor + o))
        return result;
    const int izTop = CellIndex(p[2], offset), izFloor = CellIndex(zFloor, offset);
    const int iy0 = CellIndex(float(p[1] - r), offset), iy1 = CellIndex(float(p[1] + r), offset);
    const int ix0 = CellIndex(float(p[0] - r), offset), ix1 = CellIndex(float(p[0] + r), offset);
    const float depth = p[2] - zFloor;
    vcg::Point3f normal;
    for (int iz = izTop; iz >= izFloor; --iz) {
        const CellRange layer{ix0, ix1, iy0, iy1, iz, iz};
        WalkCells(cells, layer, [&](uint f) {
            SampleFace(mesh, f, density, [&](const vcg::Point3f& s) {
                const float d = p[2] - s[2];
                if (d >= 0.f && d <= depth && s[2] > result[2]) {
                    const double dx = double(s[0]) - p[0], dy = double(s[1]) - p[1];
                    if (std::sqrt(dx * dx + dy * dy) < r) {
                        result = s;
                        normal = mesh.face[f].n;
                    }
                }
                return false;
            });
            return false;
        });
        // A face first listed in a lower layer lies wholly below this one, so
        // it can beat the best sample only when that sample is below this
        // layer's floor. A tall face listed here may have given a sample far
        // down, so the walk goes on until no lower face can be higher (the
        // margin covers the rounding of the sampling).
        if (result[2] > kMissingBelow && double(result[2]) + o >= double(iz) + 1e-3)
            break;
    }
    if (result[2] > kMissingBelow && ((p - result) * normal) < 0.f) {
        if (fromBehind)
            *fromBehind = true;
        else
            result[1] = kMissing;
    }
    return result;
}

bool CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, const MyMesh& mesh, const FaceGrid& cells,
                          int offset, float density, float segmentLength)
{
    if (!HasAxis(p0, p1))
        return CheckCollisionSphere(p0, r, mesh, cells, offset, density);
    const vcg::Point3f axis = p1 - p0;
    const float L = axis.Norm();
    const vcg::Point3f a = axis / L;
    const float pieces = std::ceil(L / segmentLength);
    const int n = std::isfinite(pieces) && pieces >= 1.f ? int(std::min(pieces, 1e6f)) : 1;
    double e[3];
    for (int k = 0; k < 3; ++k)
        e[k] = r * std::sqrt(std::max(0.0, 1.0 - double(a[k]) * a[k]));
    std::unordered_set<uint> tested;
    for (int k = 0; k < n; ++k) {
        const vcg::Point3f q0 = p0 + axis * (float(k) / float(n));
        const vcg::Point3f q1 = p0 + axis * (float(k + 1) / float(n));
        double lo[3], hi[3];
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(q0[c], q1[c]) - e[c];
            hi[c] = std::max(q0[c], q1[c]) + e[c];
        }
        const bool hit = WalkCells(cells, BoxRange(lo, hi, offset), [&](uint f) {
            if (!tested.insert(f).second)
                return false;
            return SampleFace(mesh, f, density, [&](const vcg::Point3f& s) {
                const vcg::Point3f v = s - p0;
                const float along = v * a;
                return along >= 0.f && along <= L && double((v ^ a).Norm()) < r;
            });
        });
        if (hit)
            return true;
    }
    return false;
}

bool CheckCollisionSphere(vcg::Point3f c, double r, const MyMesh& mesh, const FaceGrid& cells, int offset,
                          float density)
{
    return WalkCells(cells, SphereRange(c, r, offset), [&](uint f) {
        return SampleFace(mesh, f, density, [&](const vcg::Point3f& q) { return InsideSphere(q, c, r); });
    });
}

namespace {

// Squared distance from p to the triangle a b c (closest point by regions).
double SquaredDistanceToTriangle(const vcg::Point3f& p, const vcg::Point3f& a, const vcg::Point3f& b,
                                 const vcg::Point3f& c)
{
    auto dot = [](const vcg::Point3f& u, const vcg::Point3f& v) { return double(u * v); };
    auto at = [&](const vcg::Point3f& q) { return double((p - q).SquaredNorm()); };
    const vcg::Point3f ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return at(a);
    const vcg::Point3f bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return at(b);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return at(a + ab * float(d1 / (d1 - d3)));
    const vcg::Point3f cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return at(c);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return at(a + ac * float(d2 / (d2 - d6)));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return at(b + (c - b) * float((d4 - d3) / ((d4 - d3) + (d5 - d6))));
    const double sum = va + vb + vc;
    if (!(sum > 0))
        return std::min({at(a), at(b), at(c)}); // a degenerate face: its corners
    return at(a + ab * float(vb / sum) + ac * float(vc / sum));
}

} // namespace

bool SurfaceWithin(const vcg::Point3f& c, double r, const MyMesh& mesh, const FaceGrid& cells, int offset)
{
    const double r2 = r * r;
    return WalkCells(cells, SphereRange(c, r, offset), [&](uint f) {
        if (f >= mesh.FaceCount() || mesh.face[f].IsD())
            return false;
        return SquaredDistanceToTriangle(c, mesh.P(f, 0), mesh.P(f, 1), mesh.P(f, 2)) < r2;
    });
}

bool CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                        const FaceGrid& cells, int offset, float density)
{
    if (!HasAxis(p0, p1))
        return CheckCollisionSphere(p0, std::max(r0, r1), mesh, cells, offset, density);
    const Cone cone = MakeCone(p0, r0, p1, r1);
    return WalkCells(cells, cone.Range(p1, offset), [&](uint f) {
        return SampleFace(mesh, f, density, [&](const vcg::Point3f& q) { return cone.Contains(q); });
    });
}

bool CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                            const FaceGrid& cells, int offset, HitMap& hits, float density)
{
    hits.clear();
    if (!HasAxis(p0, p1)) {
        const double r = std::max(r0, r1);
        WalkCells(cells, SphereRange(p0, r, offset), [&](uint f) {
            return SampleFace(mesh, f, density, [&](const vcg::Point3f& q) {
                if (InsideSphere(q, p0, r))
                    hits.insert(-q[2], qMakePair(int(f), q));
                return false;
            });
        });
        return !hits.isEmpty();
    }
    const Cone cone = MakeCone(p0, r0, p1, r1);
    WalkCells(cells, cone.Range(p1, offset), [&](uint f) {
        return SampleFace(mesh, f, density, [&](const vcg::Point3f& q) {
            if (cone.Contains(q))
                hits.insert(-q[2], qMakePair(int(f), q));
            return false;
        });
    });
    return !hits.isEmpty();
}

vcg::Point3f FindNearestNormalSphere(vcg::Point3f c, double r, const MyMesh& mesh, const FaceGrid& cells,
                                     int offset, float density)
{
    vcg::Point3f result(0.f, 0.f, kNoNormalZ);
    double best = 10000.0;
    WalkCells(cells, SphereRange(c, r, offset), [&](uint f) {
        const vcg::Point3f& n = mesh.face[f].n;
        if (!(n[2] <= 0.f))
            return false;
        SampleFace(mesh, f, density, [&](const vcg::Point3f& q) {
            const double dx = double(q[0]) - c[0], dy = double(q[1]) - c[1], dz = double(q[2]) - c[2];
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (d < best && d <= r) {
                best = d;
                result = n;
            }
            return false;
        });
        return false;
    });
    return result;
}

} // namespace supportcollide
