#pragma once
#include "mesh/mymesh.h"
#include "mesh/pos.h"

#include <functional>
#include <vector>

namespace vcg {

struct Box3f {
    Point3f min, max;
    bool empty = true;
    void Add(const Point3f& p)
    {
        if (empty) {
            min = max = p;
            empty = false;
            return;
        }
        for (int a = 0; a < 3; ++a) {
            if (p[a] < min[a])
                min[a] = p[a];
            if (p[a] > max[a])
                max[a] = p[a];
        }
    }
};

namespace tri {

// Ear choice that refuses ears crossing the rest of the hole or adding an
// edge the mesh already has.
template <class MeshType> struct SelfIntersectionEar {};

template <class MeshType> struct Hole;

template <> struct Hole<MyMesh> {
    struct Info {
        face::Pos p;    // a border position of the loop
        int size = 0;   // border edges in the loop
        Box3f bb;
    };

    // One record per border loop. Faces met are marked visited; with
    // selectedOnly, faces without the selection bit are only marked.
    static void GetInfo(MyMesh& m, bool selectedOnly, std::vector<Info>& out);

    // Fills every hole whose border has fewer than maxSizeHole edges with
    // ear-cut triangles linked into the face-face adjacency; the vertex-face
    // adjacency is rebuilt when faces were added. Holes whose loop is not a
    // simple cycle, or that no valid ear can close, stay open. Returns the
    // number of holes filled.
    template <class EarType>
    static int EarCuttingIntersectionFill(MyMesh& m, int maxSizeHole, bool selectedOnly,
                                          std::function<bool(int)> cb = nullptr)
    {
        return FillHoles(m, maxSizeHole, selectedOnly, cb);
    }

    // Vertex list of a loop, in the order new faces run its edges; false when
    // the loop does not close as a simple cycle within the border-edge count.
    static bool LoopOf(const MyMesh& m, const face::Pos& start, uint64_t maxEdges,
                       std::vector<face::Pos>& border);

private:
    static int FillHoles(MyMesh& m, int maxSizeHole, bool selectedOnly, const std::function<bool(int)>& cb);
};

} // namespace tri
} // namespace vcg
