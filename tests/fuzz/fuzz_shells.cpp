// Feeds arbitrary box meshes (some inside out, some with faces dropped or
// flipped, overlapping and nested) to the shell orientation pass. It must
// keep every face's corners, keep the face-face links consistent, and leave
// nothing to turn on a second pass; finding the shells that may hold one
// another through indexes must turn what trying every pair turns.
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"

#include <cstdlib>
#include <set>

namespace {

void AddBox(vcg::MyMesh& m, const float lo[3], const float hi[3], uint8_t mode)
{
    // Corners of the box, then its 12 faces wound outward.
    const uint32_t v0 = vcg::tri::Allocator<vcg::MyMesh>::AddVertices(m, 8);
    for (uint32_t i = 0; i < 8; ++i)
        m.vert[v0 + i].p = vcg::Point3f(i & 1 ? hi[0] : lo[0], i & 2 ? hi[1] : lo[1], i & 4 ? hi[2] : lo[2]);
    static const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int q = 0; q < 6; ++q)
        for (int half = 0; half < 2; ++half) {
            const int face = 2 * q + half;
            if ((mode & 3) == 1 && face == (mode >> 4) % 12)
                continue; // open
            const uint32_t f = vcg::tri::Allocator<vcg::MyMesh>::AddFaces(m, 1);
            const int* c = quads[q];
            uint32_t tri[3] = {v0 + uint32_t(c[0]), v0 + uint32_t(c[1 + half]), v0 + uint32_t(c[2 + half])};
            const bool insideOut = (mode & 3) == 2;
            const bool muddled = (mode & 3) == 3 && face == (mode >> 4) % 12;
            if (insideOut != muddled)
                std::swap(tri[1], tri[2]);
            for (int k = 0; k < 3; ++k)
                m.face[f].v[k] = tri[k];
        }
}

std::multiset<std::set<uint32_t>> CornerSets(const vcg::MyMesh& m)
{
    std::multiset<std::set<uint32_t>> out;
    for (const vcg::MyFace& f : m.face)
        if (!f.IsD())
            out.insert({f.v[0], f.v[1], f.v[2]});
    return out;
}

bool LinksAgree(const vcg::MyMesh& m)
{
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            const int ge = m.face[f].ffi[e];
            if (g == f)
                continue;
            if (g >= m.FaceCount() || ge < 0 || ge > 2)
                return false;
            const uint32_t a = m.face[f].v[e], b = m.face[f].v[(e + 1) % 3];
            const uint32_t ga = m.face[g].v[ge], gb = m.face[g].v[(ge + 1) % 3];
            if (!((ga == a && gb == b) || (ga == b && gb == a)))
                return false;
        }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t kBoxBytes = 7;
    if (size < kBoxBytes || size > 64 * kBoxBytes)
        return 0;
    vcg::MyMesh m;
    for (size_t at = 0; at + kBoxBytes <= size; at += kBoxBytes) {
        const uint8_t* b = data + at;
        float lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = float(b[k] % 16);
            hi[k] = lo[k] + 1 + float(b[3 + k] % 16);
        }
        AddBox(m, lo, hi, b[6]);
    }
    vcg::tri::Clean<vcg::MyMesh>::RemoveDuplicateVertex(m, true);
    vcg::tri::Allocator<vcg::MyMesh>::CompactVertexVector(m);
    vcg::tri::Allocator<vcg::MyMesh>::CompactFaceVector(m);
    vcg::tri::UpdateTopology<vcg::MyMesh>::FaceFace(m);
    vcg::tri::UpdateTopology<vcg::MyMesh>::VertexFace(m);
    const auto before = CornerSets(m);
    const bool linked = LinksAgree(m);
    // Trying every pair of shells must turn the same faces.
    vcg::MyMesh everyPair = m;
    const int turned = vcg::tri::Clean<vcg::MyMesh>::OrientClosedShellsOutward(m);
    if (vcg::tri::Clean<vcg::MyMesh>::OrientClosedShellsOutwardForTest(everyPair, true) != turned)
        __builtin_trap();
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int k = 0; k < 3; ++k)
            if (m.face[f].v[k] != everyPair.face[f].v[k])
                __builtin_trap();
    if (CornerSets(m) != before)
        __builtin_trap();
    if (linked && !LinksAgree(m))
        __builtin_trap();
    if (vcg::tri::Clean<vcg::MyMesh>::OrientClosedShellsOutward(m) != 0)
        __builtin_trap();
    return 0;
}
