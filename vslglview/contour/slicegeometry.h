#pragma once
#include "mesh/mymesh.h"

#include <polyclipping/clipper.hpp>
#include <QVector>

#include <cstdint>
#include <vector>

namespace contour {

// Truncation toward zero into 32 bits that saturates instead of overflowing
// (NaN gives 0), so absurd coordinates cannot trigger undefined behaviour.
int32_t TruncToInt32(double v);

// The crossing rule: an edge reaches the plane unless both ends lie on the
// same side of it; the point is taken from p toward q and truncated to
// 1/1000 mm. An edge lying in the plane gives its start point.
inline bool Reaches(float pz, float qz, float h) { return !((pz - h < 0.f && qz - h < 0.f) || (pz - h > 0.f && qz - h > 0.f)); }
ClipperLib::IntPoint CrossingPoint(const vcg::Point3f& p, const vcg::Point3f& q, float h);

// Plane heights: the first one 0.0001 mm above the middle of the first layer
// on the 1/1000 mm grid, then one truncated step apart, while below top.
class LayerPlanes {
public:
    // A step that truncates to zero or less, or non-finite input, gives no
    // planes; the count is capped so no input can allocate without bound.
    static QVector<float> Heights(float thicknessMm, float topMm, float baseMm);
    static constexpr int kMaxPlanes = 1000000;
    // How many layers of `thicknessMm` a height of `heightMm` above the plate
    // holds: those whose plane (placed as Heights places them) lies below it.
    // The last one may reach up to half a layer past the height. Slice
    // judges a plate by this count, and re-save and conversion a print file,
    // so every file written for a printer is taken again for it. 0 for a
    // height or thickness that holds none.
    static qint64 CountBelow(float thicknessMm, double heightMm);
};

// Rounds vertex heights to the 1/1000 mm grid once per run (bit 0x20 marks a
// rounded vertex) and lists, per plane, the live faces whose rounded height
// range reaches it, in ascending face order. The range of a face is found in
// the plane list itself, so every face that an edge of a plane crosses is
// listed for it whatever the thickness.
class PlaneCandidates {
public:
    void Build(MyMesh& mesh, const QVector<float>& planes);
    int PlaneCount() const { return int(m_offset.size()) - 1; }
    const uint32_t* begin(int plane) const { return m_faces.data() + m_offset[plane]; }
    const uint32_t* end(int plane) const { return m_faces.data() + m_offset[plane + 1]; }
    bool empty(int plane) const { return m_offset[plane] == m_offset[plane + 1]; }
    size_t TotalEntries() const { return m_faces.size(); }

private:
    std::vector<size_t> m_offset{0};
    std::vector<uint32_t> m_faces;
};

// Per-face "visited in plane L" marks without clearing every face for every
// plane: a face is visited when its stamp equals the current plane's.
class PlaneVisits {
public:
    explicit PlaneVisits(uint32_t faceCount) : m_stamp(faceCount, 0) {}
    void StartPlane() { ++m_current; }
    bool IsVisited(uint32_t f) const { return m_stamp[f] == m_current; }
    void Visit(uint32_t f) { m_stamp[f] = m_current; }

private:
    std::vector<uint32_t> m_stamp;
    uint32_t m_current = 0;
};

} // namespace contour
