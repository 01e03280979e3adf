// Feeds arbitrary faces over a few vertices (repeated, degenerate, out of
// range, deleted, three or more on one edge) to the defect count. It must
// end, and its hole count must lie between one per piece of open edges and
// one per open edge.
#include "mesh/allocator.h"
#include "mesh/defects.h"

#include <algorithm>
#include <map>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t kFaceBytes = 4;
    if (size < kFaceBytes || size > 512 * kFaceBytes)
        return 0;
    MyMesh m;
    const uint32_t verts = 16;
    vcg::tri::Allocator<MyMesh>::AddVertices(m, verts);
    const uint32_t faces = uint32_t(size / kFaceBytes);
    vcg::tri::Allocator<MyMesh>::AddFaces(m, faces);
    std::map<std::pair<uint32_t, uint32_t>, int> uses;
    for (uint32_t f = 0; f < faces; ++f) {
        const uint8_t* b = data + f * kFaceBytes;
        for (int k = 0; k < 3; ++k)
            m.face[f].v[k] = b[k] % 18; // 16 and 17 lie past the vertices
        if (b[3] & 1)
            m.face[f].SetD();
        const uint32_t* v = m.face[f].v;
        const bool counted = !m.face[f].IsD() && v[0] < verts && v[1] < verts && v[2] < verts && v[0] != v[1] &&
                             v[1] != v[2] && v[2] != v[0];
        if (counted)
            for (int k = 0; k < 3; ++k)
                ++uses[std::minmax(v[k], v[(k + 1) % 3])];
    }
    int open = 0;
    for (const auto& e : uses)
        open += e.second == 1;
    const MeshDefectCounts counts = CountMeshDefects(m);
    if (counts.holes > open || (open > 0 && counts.holes == 0) || counts.holes < 0)
        __builtin_trap();
    if (counts.nonManifoldEdges < 0 || counts.invertedFaces < 0)
        __builtin_trap();
    return 0;
}
