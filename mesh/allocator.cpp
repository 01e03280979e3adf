#include "mesh/allocator.h"

namespace vcg::tri {

uint32_t Allocator<MyMesh>::AddVertices(MyMesh& m, uint32_t n)
{
    const uint32_t first = m.VertexCount();
    m.vert.resize(size_t(first) + n);
    m.vn += static_cast<int>(n);
    return first;
}

uint32_t Allocator<MyMesh>::AddFaces(MyMesh& m, uint32_t n)
{
    const uint32_t first = m.FaceCount();
    m.face.resize(size_t(first) + n);
    m.fn += static_cast<int>(n);
    return first;
}

void Allocator<MyMesh>::DeleteVertex(MyMesh& m, uint32_t v)
{
    if (!m.vert[v].IsD()) {
        m.vert[v].SetD();
        --m.vn;
    }
}

void Allocator<MyMesh>::DeleteFace(MyMesh& m, uint32_t f)
{
    if (!m.face[f].IsD()) {
        m.face[f].SetD();
        --m.fn;
    }
}

namespace {
uint32_t Remap(const std::vector<uint32_t>& newIndex, uint32_t old)
{
    return old < newIndex.size() ? newIndex[old] : kNone;
}
} // namespace

void Allocator<MyMesh>::CompactVertexVector(MyMesh& m)
{
    if (m.vn == static_cast<int>(m.vert.size()))
        return;
    std::vector<uint32_t> newIndex(m.vert.size(), kNone);
    uint32_t next = 0;
    for (uint32_t i = 0; i < m.VertexCount(); ++i) {
        if (m.vert[i].IsD())
            continue;
        newIndex[i] = next;
        if (next != i)
            m.vert[next] = m.vert[i];
        ++next;
    }
    m.vert.resize(next);
    m.vn = static_cast<int>(next);
    for (MyFace& f : m.face)
        for (uint32_t& v : f.v)
            v = Remap(newIndex, v);
}

void Allocator<MyMesh>::CompactFaceVector(MyMesh& m)
{
    if (m.fn == static_cast<int>(m.face.size()))
        return;
    std::vector<uint32_t> newIndex(m.face.size(), kNone);
    uint32_t next = 0;
    for (uint32_t i = 0; i < m.FaceCount(); ++i) {
        if (m.face[i].IsD())
            continue;
        newIndex[i] = next;
        if (next != i)
            m.face[next] = m.face[i];
        ++next;
    }
    m.face.resize(next);
    m.fn = static_cast<int>(next);
    for (MyFace& f : m.face) {
        for (int i = 0; i < 3; ++i) {
            f.ff[i] = Remap(newIndex, f.ff[i]);
            if (f.ff[i] == kNone)
                f.ffi[i] = -1;
            f.vf[i] = Remap(newIndex, f.vf[i]);
            if (f.vf[i] == kNone)
                f.vfi[i] = -1;
        }
    }
    for (MyVertex& v : m.vert) {
        v.vfFace = Remap(newIndex, v.vfFace);
        if (v.vfFace == kNone)
            v.vfCorner = -1;
    }
}

} // namespace vcg::tri
