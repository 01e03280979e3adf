#pragma once
#include "mesh/cancel.h"
#include "mesh/mymesh.h"
#include "mesh/parallel.h"

#include <cstdint>
#include <vector>

namespace vcg::tri {

namespace refine_detail {

// The face with the lowest index among those sharing edge e of face f (the
// face-face ring), and that edge's index in it. A border edge, or a link
// that does not lead back, belongs to f itself.
inline void EdgeOwner(const MyMesh& m, uint32_t f, int e, uint32_t& owner, int& ownerEdge)
{
    owner = f;
    ownerEdge = e;
    uint32_t g = m.face[f].ff[e];
    int ge = m.face[f].ffi[e];
    for (int guard = 0; guard < 64 && g != f; ++guard) {
        if (g >= m.FaceCount() || ge < 0 || ge > 2 || m.face[g].IsD()) {
            owner = f;
            ownerEdge = e;
            return;
        }
        if (g < owner) {
            owner = g;
            ownerEdge = ge;
        }
        const uint32_t ng = m.face[g].ff[ge];
        ge = m.face[g].ffi[ge];
        g = ng;
    }
    if (g != f) { // a ring that never closes: trust no link of it
        owner = f;
        ownerEdge = e;
    }
}

} // namespace refine_detail

// Splits every edge of the live faces for which pred(mesh, face, edge) holds
// at the vertex mid(a, b) of its end points a = V(edge), b = V(edge + 1), and
// splits each face into 2, 3 or 4 faces of the same orientation (a face with
// two split edges takes the shorter diagonal of its quadrilateral). Faces that
// share an edge share its new vertex, a non-manifold edge included. Needs
// face-face adjacency; an edge whose links are broken is split on each side
// at the same position (mid is evaluated on the same end points), which a
// duplicate-vertex removal joins. New vertices and faces are appended, first
// by face order, then by edge order; the face keeps its index for its first
// part and its flags for every part. Vertex-face and face-face adjacency are
// cleared. Returns whether an edge was split; the predicate is evaluated once
// per edge, on the owning face. An allocation failure or a stop through
// `cancel` returns early with the mesh as it was.
template <class MidPoint, class Predicate>
bool RefineE(MyMesh& m, MidPoint mid, Predicate pred, Cancel cancel = {})
{
    const uint32_t faceCount = m.FaceCount();
    if (faceCount == 0)
        return false;
    // Per face edge: new vertex, or kNone. Owners decide first (in parallel),
    // then new vertices are numbered in face order, then the other faces of
    // each edge copy the owner's vertex.
    std::vector<uint32_t> splitVertex(size_t(faceCount) * 3, kNone);
    std::vector<uint8_t> owned(size_t(faceCount) * 3, 0);
    constexpr uint32_t kSplit = kNone - 1;
    // body(i) for i < count over the threads, polling `cancel`.
    bool stopped = false;
    auto parallel = [&](uint32_t count, auto&& body) {
        ParallelFor(count, 16384, [&](uint32_t b, uint32_t e) {
            for (uint32_t i = b; i < e; ++i) {
                if (cancel.At(i - b))
                    return;
                body(i);
            }
        });
        stopped = stopped || cancel();
    };
    parallel(faceCount, [&](uint32_t f) {
        if (m.face[f].IsD())
            return;
        for (int k = 0; k < 3; ++k) {
            uint32_t owner;
            int ownerEdge;
            refine_detail::EdgeOwner(m, f, k, owner, ownerEdge);
            if (owner != f || ownerEdge != k)
                continue;
            owned[size_t(f) * 3 + k] = 1;
            if (pred(static_cast<const MyMesh&>(m), f, k))
                splitVertex[size_t(f) * 3 + k] = kSplit;
        }
    });
    if (cancel())
        return false;
    const uint32_t firstVertex = m.VertexCount();
    uint32_t next = firstVertex;
    for (size_t i = 0; i < splitVertex.size(); ++i)
        if (splitVertex[i] == kSplit)
            splitVertex[i] = next++;
    if (next == firstVertex)
        return false;
    parallel(faceCount, [&](uint32_t f) {
        if (m.face[f].IsD())
            return;
        for (int k = 0; k < 3; ++k) {
            if (owned[size_t(f) * 3 + k])
                continue;
            uint32_t owner;
            int ownerEdge;
            refine_detail::EdgeOwner(m, f, k, owner, ownerEdge);
            // Only owners' entries are final here; a ring that names a
            // non-owner is inconsistent and leaves this side whole.
            if (owned[size_t(owner) * 3 + ownerEdge])
                splitVertex[size_t(f) * 3 + k] = splitVertex[size_t(owner) * 3 + ownerEdge];
        }
    });
    // New faces per face: one per split edge.
    std::vector<uint32_t> firstNewFace(size_t(faceCount) + 1, 0);
    for (uint32_t f = 0; f < faceCount; ++f) {
        uint32_t n = 0;
        if (!m.face[f].IsD())
            for (int k = 0; k < 3; ++k)
                n += splitVertex[size_t(f) * 3 + k] != kNone;
        firstNewFace[f + 1] = firstNewFace[f] + n;
    }
    const uint32_t addedFaces = firstNewFace[faceCount];
    if (cancel())
        return false;

    // The refined arrays are built beside the mesh and swapped in at the
    // end: a stop or an allocation failure on the way leaves it as it was.
    std::vector<MyVertex> vert;
    std::vector<MyFace> face;
    if (!ResizeCancellable(vert, next, cancel) || !ResizeCancellable(face, size_t(faceCount) + addedFaces, cancel))
        return false;
    parallel(firstVertex, [&](uint32_t i) {
        vert[i] = m.vert[i];
        vert[i].vfFace = kNone;
        vert[i].vfCorner = -1;
    });
    // Each new vertex belongs to one owning face edge.
    parallel(faceCount, [&](uint32_t f) {
        if (m.face[f].IsD())
            return;
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = splitVertex[size_t(f) * 3 + k];
            if (v != kNone && owned[size_t(f) * 3 + k])
                vert[v].p = mid(m.vert[m.face[f].v[k]].p, m.vert[m.face[f].v[(k + 1) % 3]].p);
        }
    });
    if (stopped)
        return false;
    // Every face, split or not, is written afresh: adjacency cleared.
    parallel(faceCount, [&](uint32_t f) {
        const MyFace& old = m.face[f];
        const uint32_t* s = &splitVertex[size_t(f) * 3];
        const int splits = old.IsD() ? 0 : (s[0] != kNone) + (s[1] != kNone) + (s[2] != kNone);
        const uint32_t v[3] = {old.v[0], old.v[1], old.v[2]};
        uint32_t out = faceCount + firstNewFace[f];
        bool first = true;
        auto put = [&](uint32_t a, uint32_t b2, uint32_t c) {
            MyFace& t = face[first ? f : out++];
            if (first) // the first part keeps the face's normal
                t.n = old.n;
            first = false;
            t.v[0] = a;
            t.v[1] = b2;
            t.v[2] = c;
            t.flags = old.flags;
        };
        if (splits == 0) {
            put(v[0], v[1], v[2]);
        } else if (splits == 3) {
            put(v[0], s[0], s[2]);
            put(s[0], v[1], s[1]);
            put(s[2], s[1], v[2]);
            put(s[0], s[1], s[2]);
        } else if (splits == 1) {
            const int i = s[0] != kNone ? 0 : s[1] != kNone ? 1 : 2;
            put(v[i], s[i], v[(i + 2) % 3]);
            put(s[i], v[(i + 1) % 3], v[(i + 2) % 3]);
        } else {
            // Edges i and i + 1 are split; they meet at vertex i + 1.
            const int i = s[0] == kNone ? 1 : s[1] == kNone ? 2 : 0;
            const int j = (i + 1) % 3, o = (i + 2) % 3;
            const uint32_t mi = s[i], mj = s[j];
            put(mi, v[j], mj);
            // Quadrilateral v[i], mi, mj, v[o]: the shorter diagonal.
            const float d1 = SquaredDistance(vert[v[i]].p, vert[mj].p);
            const float d2 = SquaredDistance(vert[mi].p, vert[v[o]].p);
            if (d1 <= d2) {
                put(v[i], mi, mj);
                put(v[i], mj, v[o]);
            } else {
                put(v[i], mi, v[o]);
                put(mi, mj, v[o]);
            }
        }
    });
    if (stopped)
        return false;
    m.vert.swap(vert);
    m.face.swap(face);
    m.vn += int(next - firstVertex);
    m.fn += int(addedFaces);
    return true;
}

} // namespace vcg::tri
