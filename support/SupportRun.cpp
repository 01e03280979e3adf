#include "SupportRun.h"

#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/parallel.h"
#include "mesh/refine.h"
#include "mesh/topology.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

// Truncation toward zero that saturates instead of overflowing (NaN gives 0):
// coordinates come from outside files.
int TruncSat(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return int(v);
}

// Slabs of 0.05 mm over 500 m: far beyond any build volume.
constexpr double kMaxSlabs = 1e7;
// Grid entries (face, cell): a printable model of ten million faces needs
// about a third of this; a stray far vertex can ask for a billion.
constexpr uint64_t kMaxGridEntries = uint64_t(1) << 26;

} // namespace

SupportSizes SupportSizes::From(const SupportParameters& p)
{
    SupportSizes s;
    const double D = p.shaftDiameter;
    s.d = 2.0 / p.density;
    s.rs = D * 0.5;
    // A tip wider than its shaft hangs its contact's underside beside the
    // shaft, curing specks with nothing under them: it is cut to the shaft.
    s.rt = std::min(p.tipDiameter, D) * 0.5;
    s.tipLength = std::min(2.0, std::max(D, 4.0 * (s.rs - s.rt)));
    s.rm = 0.75 * s.rs + 0.25 * s.rt;
    s.shortTipStart = s.rt + (0.1 / (0.75 * s.tipLength)) * (s.rm - s.rt);
    s.drop = 0.25 * s.tipLength + 1.5 * s.rs;
    s.landingRadius = 2.0 + s.rs;
    s.rs08 = 0.8 * s.rs;
    s.shaftCube3 = float(3.0 * D * D * D);
    s.shaftSquare8 = float(8.0 * D * D);
    s.shaft5 = 5.0 * D;
    s.collisionDensity = float(5.0 / D);
    return s;
}

DuneEdgeLen::DuneEdgeLen(double d)
{
    const float limit = float(0.8 * d);
    m_t = limit * limit;
}

bool DuneEdgeLen::operator()(const MyMesh& m, uint32_t f, int e) const
{
    const MyFace& face = m.face[f];
    if (face.IsS())
        return false;
    const uint32_t g = face.ff[e];
    if (g < m.FaceCount() && m.face[g].IsS())
        return false;
    const vcg::Point3f& a = m.vert[face.v[e]].p;
    const vcg::Point3f& b = m.vert[face.v[(e + 1) % 3]].p;
    const float dx = a[0] - b[0], dy = a[1] - b[1];
    return dx * dx + dy * dy > m_t;
}

int SupportRun::RefineWorkingMesh(MyMesh& mesh, double density, const std::atomic<bool>* stop)
{
    // The mesh operations poll the stop request themselves and return early;
    // the mesh is a copy the caller drops on a stop.
    const vcg::Cancel cancel(stop);
    auto check = [&cancel] {
        if (cancel())
            throw SupportRunStopped();
    };
    const DuneEdgeLen split(2.0 / density);
    int passes = 0;
    for (int pass = 0; pass < kMaxRefinePasses; ++pass) {
        check();
        for (MyFace& f : mesh.face)
            if (!f.IsD())
                f.ClearS();
        const bool splitAny = vcg::tri::RefineE(mesh, DuneMidPoint(), split, cancel);
        check();
        if (!splitAny)
            break;
        ++passes;
        // The next split needs face-face links only; after the last pass the
        // clean-up that always follows rebuilds both kinds.
        if (pass + 1 < kMaxRefinePasses && !vcg::tri::UpdateTopology<MyMesh>::FaceFace(mesh, cancel))
            check();
    }
    return passes;
}

bool SupportRun::CleanWorkingMesh(MyMesh& mesh, const std::atomic<bool>* stop)
{
    const vcg::Cancel cancel(stop);
    auto check = [&cancel] {
        if (cancel())
            throw SupportRunStopped();
    };
    const size_t vertices = mesh.vert.size(), faces = mesh.face.size();
    vcg::tri::Clean<MyMesh>::RemoveDuplicateVertex(mesh, true, cancel);
    check();
    vcg::tri::Allocator<MyMesh>::CompactVertexVector(mesh);
    vcg::tri::Allocator<MyMesh>::CompactFaceVector(mesh);
    check();
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(mesh, cancel);
    check();
    vcg::tri::UpdateTopology<MyMesh>::VertexFace(mesh, cancel);
    check();
    return mesh.vert.size() != vertices || mesh.face.size() != faces;
}

void SupportRun::UpdateFaceNormals(MyMesh& mesh)
{
    vcg::ParallelFor(mesh.FaceCount(), 65536, [&mesh](uint32_t b, uint32_t e) {
        for (uint32_t f = b; f < e; ++f) {
            MyFace& face = mesh.face[f];
            if (face.IsD())
                continue;
            const vcg::Point3f& v0 = mesh.vert[face.v[0]].p;
            vcg::Point3f n = (mesh.vert[face.v[1]].p - v0) ^ (mesh.vert[face.v[2]].p - v0);
            face.n = n.Normalize();
        }
    });
}

void SupportRun::BuildFirstGenerationTables(const MyMesh& mesh)
{
    m_slabEntries.clear();
    m_slabStart.clear();
    m_vertexStates.clear();
    m_upwardVertices.clear();
    m_contactStates.clear();
    const uint32_t n = mesh.VertexCount();
    if (n == 0)
        return;
    float zmin = 10000.0f, zmax = -10000.0f;
    for (const MyVertex& v : mesh.vert) {
        zmin = std::min(zmin, v.p[2]);
        zmax = std::max(zmax, v.p[2]);
    }
    const double base = double(zmin) + 0.025 + 0.0001;
    const double span = (double(zmax) - base) / 0.05;
    if (!(span < kMaxSlabs))
        throw std::length_error("the model is too tall for the slab table");
    const int slabCount = std::max(1, TruncSat(span) + 2);
    m_vertexStates.resize(int(n));
    SupportVertexState* states = m_vertexStates.data();
    std::vector<int> keys(n);
    vcg::ParallelFor(n, 65536, [&](uint32_t b0, uint32_t e0) {
        for (uint32_t i = b0; i < e0; ++i) {
            const float z = mesh.vert[i].p[2];
            const double above = double(z) - base;
            const int slab = above < 0 ? 0 : TruncSat(above / 0.05) + 1;
            states[i].slab = std::max(0, std::min(slab, slabCount - 1));
            keys[i] = TruncSat(double(z * 1000.0f));
        }
    });
    // Counting sort by slab (vertex order kept), then each slab by key.
    m_slabStart.fill(0, slabCount + 1);
    for (uint32_t i = 0; i < n; ++i)
        ++m_slabStart[states[i].slab + 1];
    for (int s = 0; s < slabCount; ++s)
        m_slabStart[s + 1] += m_slabStart[s];
    m_slabEntries.resize(int(n));
    SlabEntry* entries = m_slabEntries.data();
    {
        std::vector<int> fill(m_slabStart.begin(), m_slabStart.end() - 1);
        for (uint32_t i = 0; i < n; ++i)
            entries[fill[size_t(states[i].slab)]++] = {keys[i], i};
    }
    vcg::ParallelFor(uint32_t(slabCount), 16, [&](uint32_t b0, uint32_t e0) {
        for (uint32_t s = b0; s < e0; ++s)
            std::sort(entries + m_slabStart[int(s)], entries + m_slabStart[int(s) + 1],
                      [](const SlabEntry& x, const SlabEntry& y) {
                          return x.key != y.key ? x.key < y.key : x.vertex > y.vertex;
                      });
    });
    // Upward vertices: no incident face points down (also a vertex without faces).
    std::vector<uint8_t> upward(n, 0);
    vcg::ParallelFor(n, 65536, [&](uint32_t b, uint32_t e) {
        for (uint32_t v = b; v < e; ++v) {
            bool down = false;
            uint32_t f = mesh.vert[v].vfFace;
            int corner = mesh.vert[v].vfCorner;
            for (uint32_t guard = 0; f < mesh.FaceCount() && corner >= 0 && corner < 3 && !down; ++guard) {
                if (guard > mesh.FaceCount())
                    break;
                const MyFace& face = mesh.face[f];
                down = face.n[2] < 0.f;
                f = face.vf[corner];
                corner = face.vfi[corner];
            }
            upward[v] = !down;
        }
    });
    for (uint32_t v = 0; v < n; ++v) {
        if (!upward[v])
            continue;
        SupportVertexState& s = m_vertexStates[int(v)];
        s.label = SupportVertexState::kUpward;
        s.seedX = TruncSat(double(mesh.vert[v].p[0] * 1000.0f));
        s.seedY = TruncSat(double(mesh.vert[v].p[1] * 1000.0f));
        m_upwardVertices.append(v);
    }
}

void SupportRun::BuildFaceGrid(const MyMesh& mesh, QVector3D& minBound, QVector3D& maxBound)
{
    using supportcollide::CellIndex;
    using supportcollide::CellKey;
    using supportcollide::kGridOffset;
    m_faceGrid.clear();
    const uint32_t faceCount = mesh.FaceCount();
    if (faceCount == 0)
        return;
    // Cell ranges per face, entry counts and bounds, in parallel; then the
    // (cell, face) entries in face order, sorted stably by cell, so each cell
    // lists its faces in face order as appending face by face would.
    struct Box {
        int lo[3], hi[3];
    };
    std::vector<Box> boxes(faceCount);
    std::vector<uint64_t> first(size_t(faceCount) + 1, 0);
    const unsigned chunks = 64;
    std::vector<QVector3D> chunkMin(chunks, minBound), chunkMax(chunks, maxBound);
    const uint32_t step = (faceCount + chunks - 1) / chunks;
    vcg::ParallelFor(chunks, 2, [&](uint32_t cb, uint32_t ce) {
        for (uint32_t c = cb; c < ce; ++c) {
            QVector3D lo = chunkMin[c], hi = chunkMax[c];
            for (uint32_t f = c * step; f < std::min(faceCount, (c + 1) * step); ++f) {
                Box& box = boxes[f];
                if (mesh.face[f].IsD()) {
                    box = Box{{1, 1, 1}, {0, 0, 0}};
                    continue;
                }
                uint64_t count = 1;
                for (int a = 0; a < 3; ++a) {
                    float mn = mesh.P(f, 0)[a], mx = mn;
                    for (int k = 1; k < 3; ++k) {
                        mn = std::min(mn, mesh.P(f, k)[a]);
                        mx = std::max(mx, mesh.P(f, k)[a]);
                    }
                    lo[a] = std::min(lo[a], mn);
                    hi[a] = std::max(hi[a], mx);
                    box.lo[a] = CellIndex(mn, kGridOffset);
                    box.hi[a] = CellIndex(mx, kGridOffset);
                    count *= uint64_t(box.hi[a] - box.lo[a] + 1);
                }
                first[f + 1] = count;
            }
            chunkMin[c] = lo;
            chunkMax[c] = hi;
        }
    });
    ThrowIfStopped();
    for (unsigned c = 0; c < chunks; ++c)
        for (int a = 0; a < 3; ++a) {
            minBound[a] = std::min(minBound[a], chunkMin[c][a]);
            maxBound[a] = std::max(maxBound[a], chunkMax[c][a]);
        }
    for (uint32_t f = 0; f < faceCount; ++f)
        first[f + 1] += first[f];
    if (first[faceCount] > kMaxGridEntries)
        throw std::length_error("the face grid would be too large");
    const size_t total = first[faceCount];
    std::vector<uint64_t> entries(total);
    vcg::ParallelFor(faceCount, 16384, [&](uint32_t b, uint32_t e) {
        for (uint32_t f = b; f < e; ++f) {
            const Box& box = boxes[f];
            uint64_t* out = entries.data() + first[f];
            for (int iz = box.lo[2]; iz <= box.hi[2]; ++iz)
                for (int iy = box.lo[1]; iy <= box.hi[1]; ++iy)
                    for (int ix = box.lo[0]; ix <= box.hi[0]; ++ix)
                        *out++ = (uint64_t(CellKey(ix, iy, iz)) << 32) | f;
        }
    });
    boxes = std::vector<Box>();
    first = std::vector<uint64_t>();
    ThrowIfStopped();
    // Stable LSD radix sort on the 30-bit cell key, two 15-bit digits.
    std::vector<uint64_t> scratch(total);
    for (int shift = 32; shift < 62; shift += 15) {
        std::vector<size_t> count((1u << 15) + 1, 0);
        for (size_t i = 0; i < total; ++i) {
            if ((i & 0x3FFFF) == 0)
                ThrowIfStopped();
            ++count[((entries[i] >> shift) & 0x7FFF) + 1];
        }
        for (size_t i = 1; i < count.size(); ++i)
            count[i] += count[i - 1];
        for (size_t i = 0; i < total; ++i) {
            if ((i & 0x3FFFF) == 0)
                ThrowIfStopped();
            scratch[count[(entries[i] >> shift) & 0x7FFF]++] = entries[i];
        }
        entries.swap(scratch);
    }
    scratch = std::vector<uint64_t>();
    for (size_t i = 0, cells = 0; i < total; ++cells) {
        if ((cells & 0x3FFF) == 0)
            ThrowIfStopped();
        const uint key = uint(entries[i] >> 32);
        size_t j = i;
        while (j < total && uint(entries[j] >> 32) == key)
            ++j;
        QVector<uint> faces(int(j - i));
        for (size_t k = i; k < j; ++k)
            faces[int(k - i)] = uint(entries[k] & 0xFFFFFFFFu);
        m_faceGrid.insert(m_faceGrid.constEnd(), key, faces);
        i = j;
    }
}

void SupportRun::SetParameters(const SupportParameters& p)
{
    m_params = p;
    m_sizes = SupportSizes::From(p);
}

void SupportRun::Clear()
{
    m_slabEntries.clear();
    m_slabStart.clear();
    m_vertexStates.clear();
    m_upwardVertices.clear();
    m_contactStates.clear();
    m_faceGrid.clear();
    m_sizes = SupportSizes();
    m_vertexContacts.clear();
    m_edgeContacts.clear();
    m_otherContacts.clear();
    m_thinned.clear();
    m_removedContacts.clear();
    m_upturnedContacts.clear();
    m_claimedMinima.clear();
    m_zPlate = 0.f;
    m_ownSupportKeys.clear();
    m_counts = SupportRunCounts();
}

vcg::Point3f SupportRun::FindFirstCollisionColumn(vcg::Point3f p, double r, float zFloor, const MyMesh& mesh) const
{
    // A face met from behind says the column starts inside the model only
    // where the model is there: the highest face within the column's radius
    // may be the far flank of a sharp ridge under it, steep and turned away
    // from the axis. Its column was erased and its contact left bare.
    bool behind = false;
    vcg::Point3f hit = supportcollide::FindFirstCollisionColumn(p, r, zFloor, mesh, m_faceGrid,
                                                                supportcollide::kGridOffset, m_sizes.collisionDensity,
                                                                &behind);
    if (behind && InsideModel(mesh, p))
        hit[1] = supportcollide::kMissing;
    return hit;
}

bool SupportRun::CheckCollisionColumn(vcg::Point3f p0, double r, vcg::Point3f p1, const MyMesh& mesh,
                                      float segmentLength) const
{
    return supportcollide::CheckCollisionColumn(p0, r, p1, mesh, m_faceGrid, supportcollide::kGridOffset,
                                                m_sizes.collisionDensity, segmentLength);
}

bool SupportRun::CheckCollisionSphere(vcg::Point3f c, double r, const MyMesh& mesh) const
{
    return supportcollide::CheckCollisionSphere(c, r, mesh, m_faceGrid, supportcollide::kGridOffset,
                                                m_sizes.collisionDensity);
}

bool SupportRun::CheckCollisionCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh) const
{
    return supportcollide::CheckCollisionCone(p0, r0, p1, r1, mesh, m_faceGrid, supportcollide::kGridOffset,
                                              m_sizes.collisionDensity);
}

bool SupportRun::CheckCollisionConeAllX(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1, const MyMesh& mesh,
                                        supportcollide::HitMap& hits) const
{
    return supportcollide::CheckCollisionConeAllX(p0, r0, p1, r1, mesh, m_faceGrid, supportcollide::kGridOffset,
                                                  hits, m_sizes.collisionDensity);
}

vcg::Point3f SupportRun::FindNearestNormalSphere(vcg::Point3f c, double r, const MyMesh& mesh) const
{
    return supportcollide::FindNearestNormalSphere(c, r, mesh, m_faceGrid, supportcollide::kGridOffset,
                                                   m_sizes.collisionDensity);
}

bool SupportRun::SolidBelow(const vcg::Point3f& q, float depth, float zFloor, const MyMesh& mesh) const
{
    using supportcollide::CellIndex;
    using supportcollide::kGridOffset;
    const double top = double(q[2]) - 1e-3, bottom = double(q[2]) - double(depth);
    const int ix = CellIndex(q[0], kGridOffset), iy = CellIndex(q[1], kGridOffset);
    std::vector<uint> faces;
    for (int iz = CellIndex(float(top), kGridOffset), floor = CellIndex(zFloor, kGridOffset); iz >= floor; --iz) {
        const auto it = m_faceGrid.constFind(supportcollide::CellKey(ix, iy, iz));
        if (it != m_faceGrid.constEnd())
            faces.insert(faces.end(), it.value().constBegin(), it.value().constEnd());
    }
    std::sort(faces.begin(), faces.end());
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    // Height of face f over (x, y), or NaN where (x, y) is not under it or it
    // stands edge-on.
    auto heightAt = [&mesh](uint f, double x, double y) {
        const vcg::Point3f &a = mesh.P(f, 0), &b = mesh.P(f, 1), &c = mesh.P(f, 2);
        const double bx = double(b[0]) - a[0], by = double(b[1]) - a[1];
        const double cx = double(c[0]) - a[0], cy = double(c[1]) - a[1];
        const double det = bx * cy - cx * by;
        const double px = x - a[0], py = y - a[1];
        const double u = (px * cy - cx * py) / det, v = (bx * py - px * by) / det;
        if (!(std::fabs(det) >= 1e-12 && u >= 0 && v >= 0 && u + v <= 1))
            return std::nan("");
        return a[2] + u * (double(b[2]) - a[2]) + v * (double(c[2]) - a[2]);
    };
    // No face between just under q and `depth` under it, and the lower end
    // inside: an odd count of faces under it. The count runs on lines nudged
    // off the edge q may lie on, to each side: on a wall's top edge the
    // model beside the point carries the foot.
    const double nudge[4][2] = {{3.1e-4, 1.7e-4}, {-3.1e-4, -1.7e-4}, {-1.7e-4, 3.1e-4}, {1.7e-4, -3.1e-4}};
    int under[4] = {};
    for (uint f : faces) {
        const double z = heightAt(f, q[0], q[1]);
        if (z < top && z > bottom)
            return false;
        for (int k = 0; k < 4; ++k)
            under[k] += heightAt(f, q[0] + nudge[k][0], q[1] + nudge[k][1]) < bottom;
    }
    return std::any_of(std::begin(under), std::end(under), [](int n) { return n % 2 == 1; });
}

bool SupportRun::SegmentMeetsSurface(const vcg::Point3f& a, const vcg::Point3f& b, const MyMesh& mesh) const
{
    using supportcollide::CellIndex;
    using supportcollide::kGridOffset;
    const supportcollide::CellRange range{
        CellIndex(std::min(a[0], b[0]), kGridOffset), CellIndex(std::max(a[0], b[0]), kGridOffset),
        CellIndex(std::min(a[1], b[1]), kGridOffset), CellIndex(std::max(a[1], b[1]), kGridOffset),
        CellIndex(std::min(a[2], b[2]), kGridOffset), CellIndex(std::max(a[2], b[2]), kGridOffset)};
    const double o[3] = {a[0], a[1], a[2]};
    const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    auto sub = [](const vcg::Point3f& p, const vcg::Point3f& q, double out[3]) {
        for (int i = 0; i < 3; ++i)
            out[i] = double(p[i]) - double(q[i]);
    };
    auto cross = [](const double u[3], const double v[3], double out[3]) {
        out[0] = u[1] * v[2] - u[2] * v[1];
        out[1] = u[2] * v[0] - u[0] * v[2];
        out[2] = u[0] * v[1] - u[1] * v[0];
    };
    auto dot = [](const double u[3], const double v[3]) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    // Moeller-Trumbore in double, edges and corners included.
    return supportcollide::WalkCells(m_faceGrid, range, [&](uint f) {
        if (f >= mesh.FaceCount())
            return false;
        const vcg::Point3f &p0 = mesh.P(f, 0), &p1 = mesh.P(f, 1), &p2 = mesh.P(f, 2);
        double e1[3], e2[3], t[3], p[3], q[3];
        sub(p1, p0, e1);
        sub(p2, p0, e2);
        cross(d, e2, p);
        const double det = dot(e1, p);
        if (!(std::fabs(det) > 1e-15))
            return false; // parallel to the face: its edges are other faces'
        const double inv = 1.0 / det;
        for (int i = 0; i < 3; ++i)
            t[i] = o[i] - double(p0[i]);
        const double u = dot(t, p) * inv;
        if (!(u >= 0.0 && u <= 1.0))
            return false;
        cross(t, e1, q);
        const double v = dot(d, q) * inv;
        if (!(v >= 0.0 && u + v <= 1.0))
            return false;
        const double s = dot(e2, q) * inv;
        return s >= 0.0 && s <= 1.0;
    });
}
