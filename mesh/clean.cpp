#include "mesh/clean.h"
#include "mesh/allocator.h"

namespace vcg::tri {

PositionIndex::PositionIndex(size_t expected)
{
    size_t cap = 16;
    while (cap < expected * 2)
        cap <<= 1;
    m_slots.assign(cap, kNone);
}

void PositionIndex::Grow(const std::vector<MyVertex>& vert)
{
    std::vector<uint32_t> old;
    old.swap(m_slots);
    m_slots.assign(old.size() * 2, kNone);
    const size_t mask = m_slots.size() - 1;
    for (uint32_t v : old) {
        if (v == kNone)
            continue;
        size_t s = HashPosition(vert[v].p) & mask;
        while (m_slots[s] != kNone)
            s = (s + 1) & mask;
        m_slots[s] = v;
    }
}

uint32_t PositionIndex::FindOrInsert(const std::vector<MyVertex>& vert, const Point3f& p, uint32_t candidate)
{
    if ((m_used + 1) * 2 > m_slots.size())
        Grow(vert);
    const size_t mask = m_slots.size() - 1;
    size_t s = HashPosition(p) & mask;
    while (m_slots[s] != kNone) {
        if (vert[m_slots[s]].p == p)
            return m_slots[s];
        s = (s + 1) & mask;
    }
    m_slots[s] = candidate;
    ++m_used;
    return candidate;
}

int Clean<MyMesh>::RemoveDuplicateVertex(MyMesh& m, bool removeDegenerate, Cancel cancel)
{
    // The targets are found first, so a stop before the changes leaves the
    // mesh as it was.
    std::vector<uint32_t> target(m.vert.size());
    PositionIndex index(m.vert.size());
    int merged = 0;
    for (uint32_t i = 0; i < m.VertexCount(); ++i) {
        if (cancel.At(i))
            return -1;
        target[i] = i;
        if (m.vert[i].IsD())
            continue;
        target[i] = index.FindOrInsert(m.vert, m.vert[i].p, i);
        merged += target[i] != i;
    }
    if (merged > 0) {
        for (uint32_t i = 0; i < m.VertexCount(); ++i)
            if (target[i] != i)
                Allocator<MyMesh>::DeleteVertex(m, i);
        for (MyFace& f : m.face)
            if (!f.IsD())
                for (uint32_t& v : f.v)
                    if (v < target.size())
                        v = target[v];
    }
    if (removeDegenerate)
        RemoveDegenerateFace(m);
    return merged;
}

int Clean<MyMesh>::RemoveDegenerateFace(MyMesh& m)
{
    int removed = 0;
    for (uint32_t i = 0; i < m.FaceCount(); ++i) {
        const MyFace& f = m.face[i];
        if (f.IsD())
            continue;
        if (f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2]) {
            Allocator<MyMesh>::DeleteFace(m, i);
            ++removed;
        }
    }
    return removed;
}

} // namespace vcg::tri
