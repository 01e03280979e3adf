#include "slicegeometry.h"

#include <algorithm>
#include <cmath>

namespace contour {

int32_t TruncToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

ClipperLib::IntPoint CrossingPoint(const vcg::Point3f& p, const vcg::Point3f& q, float h)
{
    const float dz = q.Z() - p.Z();
    const float t = dz != 0.f ? (h - p.Z()) / dz : 0.f;
    const float x = t * (q.X() - p.X()) + p.X();
    const float y = t * (q.Y() - p.Y()) + p.Y();
    return ClipperLib::IntPoint(TruncToInt32(x * 1000.f), TruncToInt32(y * 1000.f));
}

QVector<float> LayerPlanes::Heights(float thicknessMm, float topMm, float baseMm)
{
    QVector<float> z;
    if (!std::isfinite(thicknessMm) || !std::isfinite(baseMm) || std::isnan(topMm))
        return z;
    const int64_t first = TruncToInt32((double(thicknessMm) * 0.5 + double(baseMm)) * 1000.0);
    const int64_t step = TruncToInt32(thicknessMm * 1000.f);
    if (step <= 0)
        return z;
    for (int64_t k = 0; k < kMaxPlanes; ++k) {
        const float zk = float(double(step * k + first) / 1000.0 + 0.0001);
        if (!(topMm > zk))
            break;
        // Beyond float resolution the planes stop rising; stop there too.
        if (!z.isEmpty() && !(zk > z.back()))
            break;
        z.append(zk);
    }
    return z;
}

qint64 LayerPlanes::CountBelow(float thicknessMm, double heightMm)
{
    const double first = std::trunc(double(thicknessMm) * 0.5 * 1000.0);
    const double step = std::trunc(thicknessMm * 1000.0f);
    if (!(step > 0) || !std::isfinite(step) || std::isnan(heightMm))
        return 0;
    const double count = std::ceil(((heightMm - 0.0001) * 1000.0 - first) / step);
    if (!(count > 0))
        return 0;
    // Far beyond any print; keeps the conversion defined.
    return count < 1e15 ? qint64(count) : qint64(1e15);
}

void PlaneCandidates::Build(MyMesh& mesh, const QVector<float>& planes)
{
    for (MyVertex& v : mesh.vert)
        if (!v.IsD())
            v.ClearS();
    const int planeCount = planes.size();
    m_offset.assign(size_t(planeCount) + 1, 0);
    m_faces.clear();
    if (planeCount == 0)
        return;
    const uint32_t faceCount = mesh.FaceCount();
    // Plane range per face: [lo, hi], empty when lo > hi.
    std::vector<int32_t> lo(faceCount, 1), hi(faceCount, 0);
    const float* zBegin = planes.constData();
    const float* zEnd = zBegin + planeCount;
    for (uint32_t fi = 0; fi < faceCount; ++fi) {
        const MyFace& f = mesh.face[fi];
        if (f.IsD())
            continue;
        float zmin = 0.f, zmax = 0.f;
        bool bad = false;
        for (int k = 0; k < 3; ++k) {
            if (f.v[k] >= mesh.VertexCount()) {
                bad = true;
                break;
            }
            MyVertex& v = mesh.vert[f.v[k]];
            if (!v.IsS()) {
                const float scaled = v.p.Z() * 1000.f;
                v.p.Z() = float(double(TruncToInt32(double(scaled) + 0.5)) / 1000.0);
                v.SetS();
            }
            const float z = v.p.Z();
            if (k == 0 || z < zmin)
                zmin = z;
            if (k == 0 || z > zmax)
                zmax = z;
        }
        if (bad || std::isnan(zmin) || std::isnan(zmax))
            continue;
        // Planes with zmin <= z <= zmax: an end on the plane reaches it.
        lo[fi] = int32_t(std::lower_bound(zBegin, zEnd, zmin) - zBegin);
        hi[fi] = int32_t(std::upper_bound(zBegin, zEnd, zmax) - zBegin) - 1;
        for (int32_t L = lo[fi]; L <= hi[fi]; ++L)
            ++m_offset[size_t(L) + 1];
    }
    for (int L = 0; L < planeCount; ++L)
        m_offset[size_t(L) + 1] += m_offset[size_t(L)];
    m_faces.resize(m_offset.back());
    std::vector<size_t> fill(m_offset.begin(), m_offset.end() - 1);
    for (uint32_t fi = 0; fi < faceCount; ++fi)
        for (int32_t L = lo[fi]; L <= hi[fi]; ++L)
            m_faces[fill[size_t(L)]++] = fi;
}

} // namespace contour
