#pragma once
#include "slicegeometry.h"

namespace contour {

// Walks one outline of a closed shell from face `start` across shared edges.
// The walk ends at the start face, or early when it meets a face already
// used in this plane or a missing link (non-manifold or damaged shells);
// the partial outline is then kept only when it still encloses an area
// (three points or more).
class OutlineTracer {
public:
    OutlineTracer(const MyMesh& mesh, PlaneVisits& visits) : m_mesh(mesh), m_visits(visits) {}

    bool Trace(uint32_t start, float h, ClipperLib::Path& path)
    {
        path.clear();
        int e;
        if (EdgeReaches(start, 0, h))
            e = 0;
        else if (EdgeReaches(start, 1, h))
            e = 1;
        else
            return false;
        path.push_back(Crossing(start, e, h));
        uint32_t c = start;
        for (;;) {
            const int x = EdgeReaches(c, (e + 1) % 3, h) ? (e + 1) % 3 : (e + 2) % 3;
            path.push_back(Crossing(c, x, h));
            m_visits.Visit(c);
            const MyFace& fc = m_mesh.face[c];
            const uint32_t next = fc.ff[x];
            const int nextEdge = fc.ffi[x];
            if (next == start)
                return true;
            if (next == c || next >= m_mesh.FaceCount() || nextEdge < 0 || nextEdge > 2 ||
                m_mesh.face[next].IsD() || m_visits.IsVisited(next))
                return path.size() >= 3;
            c = next;
            e = nextEdge;
        }
    }

private:
    bool EdgeReaches(uint32_t f, int e, float h) const
    {
        return Reaches(m_mesh.P(f, e).Z(), m_mesh.P(f, (e + 1) % 3).Z(), h);
    }
    ClipperLib::IntPoint Crossing(uint32_t f, int e, float h) const
    {
        return CrossingPoint(m_mesh.P(f, e), m_mesh.P(f, (e + 1) % 3), h);
    }

    const MyMesh& m_mesh;
    PlaneVisits& m_visits;
};

} // namespace contour
