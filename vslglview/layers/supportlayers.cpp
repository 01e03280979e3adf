#include "layers/supportlayers.h"

#include "layers/layeroutlines.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace layers {

using ClipperLib::cInt;
using ClipperLib::Path;

namespace {

// Units (1/1000 mm) around [lo, hi] mm, widened by what the float arithmetic
// and the truncation of the cut can add, within the cut's 32-bit range.
void WidenedRange(double loMm, double hiMm, cInt& lo, cInt& hi)
{
    const double limit = double(std::numeric_limits<qint32>::max());
    auto units = [limit](double mm, double towards) {
        const double u = mm * 1000.0;
        const double margin = 4.0 + 1e-5 * std::fabs(u);
        return std::max(-limit - 1, std::min(limit, std::floor(u + towards * margin)));
    };
    lo = cInt(units(loMm, -1.0));
    hi = cInt(units(hiMm, 1.0));
}

OutlineBox CircleBox(float cx, float cy, double radiusMm)
{
    const double r = std::isfinite(radiusMm) ? std::fabs(radiusMm) : 0.0;
    OutlineBox b;
    WidenedRange(double(cx) - r, double(cx) + r, b.x0, b.x1);
    WidenedRange(double(cy) - r, double(cy) + r, b.y0, b.y1);
    return b;
}

// The radius (units) of an upright solid's circle on plane z, as the cut computes it.
float UprightRadius(const vcg::Point3f& p1, float r1, const vcg::Point3f& p2, float r2, float z)
{
    const float heightMm = p1.Z() - p2.Z();
    return (r2 + (r1 - r2) * (z - p2.Z()) / heightMm) * 1000.f;
}

// Same bits, so NaN radii match each other too.
bool SameRadius(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A corner's turn: the cross product of the edges a->b and b->c.
__int128 Turn(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b, const ClipperLib::IntPoint& c)
{
    return __int128(b.X - a.X) * (c.Y - b.Y) - __int128(b.Y - a.Y) * (c.X - b.X);
}

// Direction in [0, 180) degrees (upper half) or [180, 360).
bool UpperHalf(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b)
{
    const cInt dx = b.X - a.X, dy = b.Y - a.Y;
    return dy > 0 || (dy == 0 && dx > 0);
}

} // namespace

bool IsConvexOutline(const Path& outline)
{
    const size_t n = outline.size();
    if (n < 3)
        return false;
    // Strict left turns sweep the direction round once per winding: count the
    // times it passes angle 0, from the lower half into the upper.
    int windings = 0;
    for (size_t i = 0; i < n; ++i) {
        const ClipperLib::IntPoint& a = outline[i];
        const ClipperLib::IntPoint& b = outline[(i + 1) % n];
        const ClipperLib::IntPoint& c = outline[(i + 2) % n];
        if (Turn(a, b, c) <= 0)
            return false;
        windings += !UpperHalf(a, b) && UpperHalf(b, c);
    }
    return windings == 1;
}

// ------------------------------------------------------------------ solids

SupportSolids::SupportSolids(const QVector<float>& planesMm, const MyMesh& columnWorkMesh)
    : m_planes(planesMm), m_topology(columnWorkMesh)
{
}

void SupportSolids::AddRecord(bool isDeleted, const QVector<QVector<vcg::Point3f>>& spheres,
                              const QVector<QVector<vcg::Point3f>>& cones)
{
    AddSupportRecord(*this, isDeleted, spheres, cones);
}

void SupportSolids::Add(const Solid& solid)
{
    m_solids.push_back(solid);
    m_hasNeighbours = false;
}

void SupportSolids::AddSphere(const QVector<vcg::Point3f>& sphere)
{
    if (sphere.size() < 2)
        return;
    Solid s;
    s.kind = Kind::Sphere;
    s.p1 = sphere[0];
    s.r1 = sphere[1].X();
    if (!IsFinite(s.p1) || !std::isfinite(s.r1))
        return;
    const PlaneSpan span = PlaneSpanOf(m_planes, s.p1.Z() - s.r1, s.p1.Z() + s.r1);
    if (span.isEmpty())
        return;
    s.first = span.first;
    s.last = span.last;
    s.box = CircleBox(s.p1.X(), s.p1.Y(), s.r1);
    Add(s);
}

void SupportSolids::AddCone(const QVector<vcg::Point3f>& cone)
{
    if (cone.size() < 3)
        return;
    Solid s;
    s.p1 = cone[0];
    s.p2 = cone[1];
    s.r1 = cone[2].X();
    s.r2 = cone[2].Y();
    ConeAxis axis;
    if (!ConeAxisOf(s.p1, s.r1, s.p2, s.r2, axis))
        return;
    const PlaneSpan span = PlaneSpanOf(m_planes, axis.zLowMm, axis.zHighMm);
    if (span.isEmpty())
        return;
    s.first = span.first;
    s.last = span.last;
    s.axis = axis.axis;
    s.lengthMm = axis.lengthMm;
    if (axis.upright) {
        s.kind = Kind::Upright;
        // The radius runs linearly with the plane: its largest size is at an end.
        const float a = UprightRadius(s.p1, s.r1, s.p2, s.r2, m_planes[s.first]);
        const float b = UprightRadius(s.p1, s.r1, s.p2, s.r2, m_planes[s.last]);
        const double largest = std::max(std::isfinite(a) ? std::fabs(a) : 0.f, std::isfinite(b) ? std::fabs(b) : 0.f);
        s.box = CircleBox(s.p1.X(), s.p1.Y(), largest / 1000.0);
    } else {
        s.kind = Kind::Tilted;
        PlacedColumn column;
        column.Place(m_topology, s.p1, s.r1, s.p2, s.r2, s.lengthMm, s.axis);
        float x0, y0, x1, y1;
        column.BoundsXY(x0, y0, x1, y1);
        WidenedRange(x0, x1, s.box.x0, s.box.x1);
        WidenedRange(y0, y1, s.box.y0, s.box.y1);
    }
    Add(s);
}

std::vector<double> SupportSolids::PlaneCosts(double tiltedCost, double otherCost) const
{
    const int planes = m_planes.size();
    std::vector<double> change(size_t(planes) + 1, 0.0);
    for (const Solid& s : m_solids) {
        const int first = std::max(s.first, 0), last = std::min(s.last, planes - 1);
        if (first > last)
            continue;
        const double cost = s.kind == Kind::Tilted ? tiltedCost : otherCost;
        change[size_t(first)] += cost;
        change[size_t(last) + 1] -= cost;
    }
    std::vector<double> costs(static_cast<size_t>(planes));
    double running = 0;
    for (int i = 0; i < planes; ++i) {
        running += change[size_t(i)];
        costs[size_t(i)] = running;
    }
    return costs;
}

void SupportSolids::Finish(const std::atomic<bool>* stop)
{
    const int n = count();
    m_byFirst.resize(size_t(n));
    for (int i = 0; i < n; ++i)
        m_byFirst[size_t(i)] = i;
    std::stable_sort(m_byFirst.begin(), m_byFirst.end(),
                     [this](int a, int b) { return m_solids[size_t(a)].first < m_solids[size_t(b)].first; });

    std::vector<OutlineBox> boxes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        boxes[size_t(i)] = m_solids[size_t(i)].box;
    m_grid.Build(boxes);
    const BoxGrid& grid = m_grid;
    // Beyond this many pairs a plane's own grid is the cheaper way to find them.
    const size_t budget = size_t(n) * 32 + 1000000;
    m_neighbourStart.assign(size_t(n) + 1, 0);
    m_neighbours.clear();
    m_hasNeighbours = true;
    for (int i = 0; i < n && m_hasNeighbours; ++i) {
        if (stop && i % 1024 == 0 && stop->load(std::memory_order_relaxed)) {
            m_hasNeighbours = false;
            break;
        }
        grid.ForEachMeeting(boxes[size_t(i)], [&](int j) {
            if (j != i)
                m_neighbours.push_back(j);
        });
        m_neighbourStart[size_t(i) + 1] = uint32_t(m_neighbours.size());
        m_hasNeighbours = m_neighbours.size() <= budget;
    }
    if (!m_hasNeighbours) {
        std::vector<int>().swap(m_neighbours);
        m_neighbourStart.assign(size_t(n) + 1, 0);
    }
}

// -------------------------------------------------------------------- walk

SupportLayerWalk::SupportLayerWalk(const SupportSolids& solids, int firstLayer)
    : m_solids(solids), m_layer(firstLayer - 1), m_slotOf(size_t(solids.count()), -1),
      m_outlineOf(size_t(solids.count()), -1)
{
}

void SupportLayerWalk::Activate(int solid)
{
    int index;
    if (!m_freeSlots.empty()) {
        index = m_freeSlots.back();
        m_freeSlots.pop_back();
    } else {
        index = int(m_slots.size());
        m_slots.emplace_back();
    }
    Slot& slot = m_slots[size_t(index)];
    slot.solid = solid;
    slot.latestLayer = -1;
    const SupportSolids::Solid& s = m_solids.m_solids[size_t(solid)];
    if (s.kind == SupportSolids::Kind::Tilted) {
        if (!slot.column)
            slot.column = std::make_unique<PlacedColumn>();
        slot.column->Place(m_solids.m_topology, s.p1, s.r1, s.p2, s.r2, s.lengthMm, s.axis);
    }
    m_slotOf[size_t(solid)] = index;
}

bool SupportLayerWalk::Cut(Slot& slot, SupportOutline& out)
{
    const SupportSolids::Solid& s = m_solids.m_solids[size_t(slot.solid)];
    const float z = m_solids.m_planes[m_layer];
    const bool hadBelow = slot.latestLayer == m_layer - 1;
    const int next = 1 - slot.latest;
    out.solid = slot.solid;
    out.below = hadBelow ? &slot.path[slot.latest] : nullptr;
    out.repeated = false;
    out.changesEveryLayer = s.kind == SupportSolids::Kind::Tilted;

    float rho = 0.f;
    float cx = s.p1.X(), cy = s.p1.Y();
    switch (s.kind) {
    case SupportSolids::Kind::Sphere: {
        const float dz = z - s.p1.Z();
        if (dz <= -s.r1 || dz >= s.r1)
            return false;
        rho = std::sqrt(s.r1 * s.r1 - dz * dz) * 1000.f;
        break;
    }
    case SupportSolids::Kind::Upright:
        rho = UprightRadius(s.p1, s.r1, s.p2, s.r2, z);
        break;
    case SupportSolids::Kind::Tilted:
        slot.column->Walk(m_solids.m_topology, z, slot.path[next]);
        if (slot.path[next].empty())
            return false;
        slot.convex[next] = IsConvexOutline(slot.path[next]);
        slot.box[next] = BoxOf(slot.path[next]);
        slot.latest = next;
        slot.latestLayer = m_layer;
        out.path = &slot.path[next];
        out.convex = slot.convex[next];
        out.box = slot.box[next];
        return true;
    }
    // A circle of the radius just below is the very same outline again.
    if (hadBelow && SameRadius(slot.radius[slot.latest], rho)) {
        out.repeated = true;
    } else {
        slot.path[next] = CircleOutline(cx, cy, rho);
        slot.convex[next] = IsConvexOutline(slot.path[next]);
        slot.box[next] = BoxOf(slot.path[next]);
        slot.radius[next] = rho;
        slot.latest = next;
    }
    slot.latestLayer = m_layer;
    out.path = &slot.path[slot.latest];
    out.convex = slot.convex[slot.latest];
    out.box = slot.box[slot.latest];
    return true;
}

const std::vector<SupportOutline>& SupportLayerWalk::Next()
{
    ++m_layer;
    for (const SupportOutline& o : m_outlines)
        m_outlineOf[size_t(o.solid)] = -1;
    m_outlines.clear();
    const int layer = m_layer;
    const std::vector<SupportSolids::Solid>& solids = m_solids.m_solids;

    // Solids done before the plane below have nothing left to give.
    m_active.erase(std::remove_if(m_active.begin(), m_active.end(),
                                  [&](int slotIndex) {
                                      Slot& slot = m_slots[size_t(slotIndex)];
                                      if (solids[size_t(slot.solid)].last >= layer - 1)
                                          return false;
                                      m_slotOf[size_t(slot.solid)] = -1;
                                      m_freeSlots.push_back(slotIndex);
                                      return true;
                                  }),
                   m_active.end());

    // Solids from this plane on (at the first step, every solid reaching it).
    const size_t before = m_active.size();
    const std::vector<int>& byFirst = m_solids.m_byFirst;
    while (m_nextByFirst < byFirst.size() && solids[size_t(byFirst[m_nextByFirst])].first <= layer) {
        const int solid = byFirst[m_nextByFirst++];
        if (solids[size_t(solid)].last < layer)
            continue;
        Activate(solid);
        m_active.push_back(m_slotOf[size_t(solid)]);
    }
    if (m_active.size() != before) {
        auto bySolid = [this](int a, int b) { return m_slots[size_t(a)].solid < m_slots[size_t(b)].solid; };
        std::sort(m_active.begin() + std::ptrdiff_t(before), m_active.end(), bySolid);
        std::inplace_merge(m_active.begin(), m_active.begin() + std::ptrdiff_t(before), m_active.end(), bySolid);
    }

    for (int slotIndex : m_active) {
        Slot& slot = m_slots[size_t(slotIndex)];
        if (solids[size_t(slot.solid)].last < layer)
            continue; // kept only for the plane below
        SupportOutline out;
        if (!Cut(slot, out))
            continue;
        m_outlineOf[size_t(slot.solid)] = int(m_outlines.size());
        m_outlines.push_back(out);
    }
    return m_outlines;
}

} // namespace layers
