#pragma once
#include "mesh/mymesh.h"

// What the repair stage reports about a mesh: counted from its face corners
// alone, so it needs no adjacency and changes nothing.
struct MeshDefectCounts {
    int holes = 0;            // loops of open edges (edges of one face), each once
                              // however many loops meet at one vertex
    int nonManifoldEdges = 0; // edges of three faces or more
    int invertedFaces = 0;    // faces wound against the surface round them

    bool Clean() const { return holes == 0 && nonManifoldEdges == 0 && invertedFaces == 0; }
    MeshDefectCounts& operator+=(const MeshDefectCounts& o)
    {
        holes += o.holes;
        nonManifoldEdges += o.nonManifoldEdges;
        invertedFaces += o.invertedFaces;
        return *this;
    }
};

// Edges are told by their vertex indices (merge duplicate corners first);
// deleted faces and the edges of a face with two equal corners are left
// out. A face is inverted when it runs an edge it shares with one other
// face the same way as that face: over each piece joined by such edges the
// smaller of its two windings counts.
MeshDefectCounts CountMeshDefects(const MyMesh& m);
