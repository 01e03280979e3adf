#pragma once
#include "mesh/mymesh.h"

// Every edge linked both ways and run in opposite directions by its two faces.
inline bool ClosedAndCoherent(const MyMesh& m)
{
    for (uint32_t f = 0; f < m.FaceCount(); ++f)
        for (int e = 0; e < 3; ++e) {
            const uint32_t g = m.face[f].ff[e];
            const int ge = m.face[f].ffi[e];
            if (g == f || g >= m.FaceCount() || ge < 0 || ge > 2)
                return false;
            if (m.face[g].ff[ge] != f || m.face[g].ffi[ge] != e)
                return false;
            if (m.face[f].v[e] != m.face[g].v[(ge + 1) % 3] || m.face[f].v[(e + 1) % 3] != m.face[g].v[ge])
                return false;
        }
    return true;
}

// Six times the enclosed volume; positive when the faces point outward.
inline double SignedVolume6(const MyMesh& m)
{
    double v = 0;
    for (uint32_t f = 0; f < m.FaceCount(); ++f) {
        const vcg::Point3f &a = m.P(f, 0), &b = m.P(f, 1), &c = m.P(f, 2);
        v += double(a * (b ^ c));
    }
    return v;
}
