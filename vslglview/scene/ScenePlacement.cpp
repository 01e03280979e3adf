// Automatic placement of new instances, re-centring and push-free after edits.
#include "VPolygonAlgorithm.h"
#include "VSL3DScene.h"
#include "VSLModelPainter.h"

#include <cfloat>

namespace {

// XY extent of a footprint hull. Two hulls whose extents are apart by more
// than a rounding margin cannot overlap, so the exact hull test is skipped;
// this keeps one placement near linear in practice instead of 8 n^2 hull tests.
struct HullExtent {
    float minX = FLT_MAX, minY = FLT_MAX, maxX = -FLT_MAX, maxY = -FLT_MAX;
    bool empty = true;
};

HullExtent ExtentOf(QVector<QVector2D> const& hull)
{
    HullExtent e;
    for (const QVector2D& p : hull) {
        e.minX = qMin(e.minX, p.x());
        e.maxX = qMax(e.maxX, p.x());
        e.minY = qMin(e.minY, p.y());
        e.maxY = qMax(e.maxY, p.y());
        e.empty = false;
    }
    return e;
}

bool ClearlyApart(HullExtent const& a, HullExtent const& b)
{
    constexpr float kMarginMm = 1e-3f;
    if (a.empty || b.empty)
        return true; // an empty hull never collides
    return a.maxX + kMarginMm < b.minX || b.maxX + kMarginMm < a.minX || a.maxY + kMarginMm < b.minY ||
           b.maxY + kMarginMm < a.minY;
}

} // namespace

void VSL3DScene::FindFreeSpaceFor(VSLModelPainter* instance)
{
    const float hxN = instance->m_maxBound.x() * 0.5f - instance->m_minBound.x() * 0.5f;
    const float hyN = instance->m_maxBound.y() * 0.5f - instance->m_minBound.y() * 0.5f;

    QVector<QVector2D> candidates;
    QVector<VSLModelPainter*> placed;
    QVector<HullExtent> placedExtents;
    candidates.reserve(8 * m_instances.size());
    placed.reserve(m_instances.size());
    placedExtents.reserve(m_instances.size());
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        const float hxP = p->m_maxBound.x() * 0.5f - p->m_minBound.x() * 0.5f;
        const float hyP = p->m_maxBound.y() * 0.5f - p->m_minBound.y() * 0.5f;
        const float dx = hxN + hxP + 4.0f;
        const float dy = hyN + hyP + 4.0f;
        const float cx = p->m_center.x();
        const float cy = p->m_center.y();
        candidates << QVector2D(cx + dx, cy + dy) << QVector2D(cx, cy + dy) << QVector2D(cx - dx, cy + dy)
                   << QVector2D(cx + dx, cy) << QVector2D(cx - dx, cy) << QVector2D(cx + dx, cy - dy)
                   << QVector2D(cx, cy - dy) << QVector2D(cx - dx, cy - dy);
        placed.append(p);
        placedExtents.append(ExtentOf(p->m_hull));
    }

    // The box of what stands on the plate already (the instance is not in the map yet).
    QVector2D lo, hi;
    ArrangementBoxXY(lo, hi);
    const float minX = lo.x(), minY = lo.y(), maxX = hi.x(), maxY = hi.y();
    // How well the plate holds everything with the instance where it stands:
    // 3 as it is, 2 as it is but for a copy's supports reaching past the
    // edge, 1 once AppendModelPainter has centred the whole arrangement
    // (which moves what the user placed), 0 not at all.
    auto fit = [&] {
        if (!ModelLeavesBoundXY(instance))
            return SupportsLeaveBoundXY(instance) ? 2 : 3;
        const float halfW = (qMax(maxX, instance->m_maxBound.x()) - qMin(minX, instance->m_minBound.x())) * 0.5f;
        const float halfH = (qMax(maxY, instance->m_maxBound.y()) - qMin(minY, instance->m_minBound.y())) * 0.5f;
        return halfW <= m_boundMax.x() && -halfW >= m_boundMin.x() && halfH <= m_boundMax.y() &&
                       -halfH >= m_boundMin.y()
                   ? 1
                   : 0;
    };
    // Nearest the plate centre among the spots that fit best: of a narrow
    // plate's two nearest spots one may fit and the other not (two 40 mm
    // cubes on a plate 68 mm deep go side by side, not one behind the other).
    bool found = false;
    int bestFit = 0;
    QVector2D best;
    double bestLength = 0;
    for (const QVector2D& v : qAsConst(candidates)) {
        instance->Translate(v - instance->m_center.toVector2D());
        const HullExtent mine = ExtentOf(instance->m_hull);
        bool occupied = false;
        for (int i = 0; i < placed.size() && !occupied; ++i)
            occupied = !ClearlyApart(mine, placedExtents[i]) && instance->CheckHit(placed[i]);
        if (occupied)
            continue;
        const double length = double(v.length());
        const int f = fit();
        if (!found || f > bestFit || (f == bestFit && length < bestLength)) {
            found = true;
            best = v;
            bestLength = length;
            bestFit = f;
        }
    }
    if (found)
        instance->Translate(best - instance->m_center.toVector2D());
}

void VSL3DScene::AppendModelPainter(VSLModelPainter* instance)
{
    FindFreeSpaceFor(instance);
    m_instances.insert(instance->m_nNumber, instance);
    // Centring moves model boxes; it cannot bring supports back on the plate.
    if (ModelLeavesBoundXY(instance))
        CenterAll();
}

void VSL3DScene::ArrangementBoxXY(QVector2D& lo, QVector2D& hi) const
{
    float maxX = -FLT_MAX, maxY = -FLT_MAX, minX = FLT_MAX, minY = FLT_MAX;
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        maxX = qMax(maxX, p->m_maxBound.x());
        maxY = qMax(maxY, p->m_maxBound.y());
        minX = qMin(minX, p->m_minBound.x());
        minY = qMin(minY, p->m_minBound.y());
    }
    lo = QVector2D(minX, minY);
    hi = QVector2D(maxX, maxY);
}

void VSL3DScene::CenterAll()
{
    QVector2D lo, hi;
    ArrangementBoxXY(lo, hi);
    // The box starts from (10000, 10000) down and (-10000, -10000) up.
    lo = QVector2D(qMin(lo.x(), 10000.f), qMin(lo.y(), 10000.f));
    hi = QVector2D(qMax(hi.x(), -10000.f), qMax(hi.y(), -10000.f));
    const QVector2D t(-(lo.x() + hi.x()) * 0.5f, -(lo.y() + hi.y()) * 0.5f);
    for (VSLModelPainter* p : qAsConst(m_instances))
        p->Translate(t);
}

bool VSL3DScene::PushFree(VSLModelPainter* instance)
{
    int visitsLeft = PushFreeVisitBudget(m_instances.size());
    return PushFreeStep(instance, 0, visitsLeft);
}

bool VSL3DScene::PushFreeStep(VSLModelPainter* instance, int depth, int& visitsLeft)
{
    // Every push separates the pair it handles, so ordinary chains end long
    // before these bounds; they only stop a pathological ping-pong.
    if (depth > kPushFreeMaxDepth || visitsLeft <= 0)
        return false;
    --visitsLeft;
    // Only the model's own box: supports past the edge make a model out of
    // range for printing, but it must still keep its neighbours off it.
    if (ModelLeavesBoundXY(instance))
        return true;
    QVector<VSLModelPainter*> pushed;
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        // An instance whose worker is running must not move under it.
        if (p == instance || ModelLeavesBoundXY(p) || m_jobs.IsBusy(p->m_nNumber))
            continue;
        QVector2D push;
        if (VPolygonAlgorithm::PolygonCollisionPushVector(p->m_hull, instance->m_hull, push)) {
            p->Translate(push);
            pushed.append(p);
        }
    }
    bool complete = true;
    for (VSLModelPainter* p : qAsConst(pushed))
        complete = PushFreeStep(p, depth + 1, visitsLeft) && complete;
    return complete;
}
