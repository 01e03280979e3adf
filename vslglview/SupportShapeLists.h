#pragma once
#include "support/DLP_Support.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QVector>

#include <algorithm>
#include <map>
#include <tuple>

typedef unsigned int GLuint;

// Display lists of one support shape each (a sphere of one radius, a cone of
// one segment count and end-radius ratio) at the origin, called under a
// matrix. The tip list calls them always; the body list calls them when the
// run is too big to hold its triangles: compiling some 30 million triangles
// of ten thousand supports takes the GUI thread tens of seconds and GL
// gigabytes, a call per shape takes milliseconds and kilobytes.
class SupportShapeLists {
public:
    // Bodies of more triangles than this (some 500 supports, half a second
    // to compile) are drawn from shape lists; smaller ones keep their
    // triangles in the body list, one draw per frame.
    static constexpr long kInlineBodyTriangles = 1000000;
    long inlineBodyTriangles = kInlineBodyTriangles;
    // Runs of more triangles than this (some 2,000 supports) draw coarser
    // shapes: spheres of 80 triangles, cones of 8 sides. Thousands of
    // supports stand a pixel or two wide in the view, and a frame of 30
    // million triangles takes seconds without a graphics card.
    static constexpr long kCoarseBodyTriangles = 4000000;
    long coarseBodyTriangles = kCoarseBodyTriangles;
    static constexpr int kCoarseConeSegments = 8;
    // Set before the lists are made; kept by tips added later.
    void SetCoarse(bool coarse) { m_coarse = coarse; }
    bool coarse() const { return m_coarse; }

    // Makes the lists the tips need, and the body's shapes too when
    // `bodies`. Not while a list compiles (lists do not nest in compilation).
    void Prepare(const SupportMap& supports, bool bodies);
    // One shape where it stands: a call of its list when there is one, its
    // triangles otherwise.
    void Sphere(const vcg::Point3f& c, double r) const;
    void Cone(const vcg::Point3f& p0, double r0, const vcg::Point3f& p1, double r1, int n) const;
    // Deletes every list; needs the context current. Lists that call them
    // must go first.
    void Clear();
    int listCount() const { return int(m_spheres.size() + m_cones.size()); }

    using ConeKey = std::tuple<int, float, float>; // segments, radii over the larger
    // False for a cone no unit cone can stand for (no length, no radius, not finite).
    static bool UnitConeOf(const vcg::Point3f& p0, double r0, const vcg::Point3f& p1, double r1, int n,
                           ConeKey& key);
    // The unit cone of a key: unit length down the z axis from the origin,
    // the larger radius 1.
    static QVector<VSLTriangle3D> UnitCone(const ConeKey& key);
    // A sphere of radius 1 in `sectors` around and `bands` from pole to pole.
    static QVector<VSLTriangle3D> FacetedUnitSphere(int sectors, int bands);

private:
    void MakeSphere(double r);
    void MakeCone(double r0, double r1, int n);

    int Segments(int n) const { return m_coarse ? std::min(n, kCoarseConeSegments) : n; }

    std::map<float, GLuint> m_spheres;
    std::map<ConeKey, GLuint> m_cones;
    bool m_coarse = false;
};
