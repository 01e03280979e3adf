// Tip cones and column drops, joints onto neighbouring columns and reversed
// tips that land columns on the model.
#include "SupportPhaseUtil.h"
#include "SupportRun.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace supportphase;

namespace {

// How far under a point the model must hold, unbroken, for the point to
// count as inside it.
constexpr float kInsideProbeMm = 0.02f;

// Records in map order with their ordinal, and a plan grid over their shaft
// tops for the neighbour lists (which keep map order).
class ColumnIndex {
public:
    ColumnIndex(const std::vector<DLP_Support*>& records, double cell) : m_records(records), m_cell(cell)
    {
        for (int i = 0; i < int(records.size()); ++i)
            m_cells[Key(CellOf(records[size_t(i)]->shaftTop[0]), CellOf(records[size_t(i)]->shaftTop[1]))].append(i);
    }

    // Ordinals of the records within `reach` of p in plan, in map order.
    QVector<int> Within(const vcg::Point3f& p, double reach) const
    {
        QVector<int> out;
        const qint64 cx = CellOf(p[0]), cy = CellOf(p[1]);
        const qint64 span = qint64(std::ceil(reach / m_cell));
        for (qint64 y = cy - span; y <= cy + span; ++y)
            for (qint64 x = cx - span; x <= cx + span; ++x) {
                const auto it = m_cells.constFind(Key(x, y));
                if (it == m_cells.constEnd())
                    continue;
                for (int i : it.value())
                    if (HorizontalDistance(p, m_records[size_t(i)]->shaftTop) <= reach)
                        out.append(i);
            }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    qint64 CellOf(float c) const { return qint64(std::floor(double(c) / m_cell)); }
    static qint64 Key(qint64 x, qint64 y) { return qint64((quint64(x) << 32) ^ (quint64(y) & 0xFFFFFFFFull)); }

    const std::vector<DLP_Support*>& m_records;
    double m_cell;
    QHash<qint64, QVector<int>> m_cells;
};

struct Candidate {
    DLP_Support* w;
    double d;
    vcg::Point3f dir; // unit plan direction from the start point
};

} // namespace

bool SupportRun::TipOntoPlate(const MyMesh& mesh, const vcg::Point3f& p, float zPlate, vcg::Point3f& direction,
                              vcg::Point3f& hit) const
{
    const float L = float(m_sizes.tipLength);
    const double rs = m_sizes.rs;
    const vcg::Point3f n = direction, down(0.f, 0.f, -1.f);
    // Leaning less first, down to straight down; then the same lean turned
    // back across x, y or both, ever steeper.
    QVector<vcg::Point3f> tries;
    constexpr int kSteps = 8;
    for (int k = 1; k <= kSteps; ++k) {
        const float t = float(k) / kSteps;
        tries.append(Unit(n * (1.f - t) + down * t));
    }
    for (const vcg::Point3f& m :
         {vcg::Point3f(-n[0], n[1], n[2]), vcg::Point3f(n[0], -n[1], n[2]), vcg::Point3f(-n[0], -n[1], n[2])})
        for (int k = 0; k < kSteps; ++k) {
            const float t = float(k) / kSteps;
            tries.append(Unit(m * (1.f - t) + down * t));
        }
    // A column to the plate before one that stands on the model.
    for (int pass = 0; pass < 2; ++pass)
        for (const vcg::Point3f& d : tries) {
            if (!(d[2] < 0.f))
                continue;
            const vcg::Point3f T = p + d * L;
            if (!m_plate.Holds(T, rs) || !TipFits(p, d, mesh))
                continue;
            const vcg::Point3f R = FindFirstCollisionColumn(T, rs, zPlate, mesh);
            const bool toPlate = R[2] <= supportcollide::kMissingBelow;
            const bool onModel = !toPlate && R[1] >= supportcollide::kMissingBelow;
            if (pass == 0 ? toPlate : onModel) {
                direction = d;
                hit = R;
                return true;
            }
        }
    return false;
}

bool SupportRun::EndBallHeld(const MyMesh& mesh, const vcg::Point3f& top, const vcg::Point3f& hit) const
{
    // A hit off to the side and barely below the column's end (a wall the
    // column grazes) leaves the end sphere's lowest point in the air,
    // neither in the leg nor in the model: a loose crumb under the joint.
    const double rt = m_sizes.rt, rs = m_sizes.rs;
    const vcg::Point3f sphereBottom(top[0], top[1], top[2] - float(rs));
    return !((top - hit).Norm() > 1e-6f) || HoldsEndSphereBottom(hit, rt, top, rs) ||
           SolidBelow(sphereBottom, kInsideProbeMm, m_zPlate - 1.f, mesh);
}

void SupportRun::AppendLegToHit(DLP_Support& s, const vcg::Point3f& top, const vcg::Point3f& hit) const
{
    const double rt = m_sizes.rt, rs = m_sizes.rs;
    if (top[2] < s.shaftTop[2])
        s.cones.append(SaveCone(s.shaftTop, rs, top, rs));
    s.spheres.append(SaveSphere(top, rs));
    if ((top - hit).Norm() > 1e-6f)
        s.cones.append(SaveCone(top, rs, hit, rt));
    s.spheres.append(SaveSphere(hit, rt));
}

void SupportRun::BuildColumns(const MyMesh& mesh, float zPlate, SupportMap& map, QVector<DLP_Support*>& index)
{
    ThrowIfStopped();
    m_zPlate = zPlate;
    const SupportSizes& sz = m_sizes;
    const float L = float(sz.tipLength);
    const double rt = sz.rt, rs = sz.rs;

    // Step 1: tip cones and column drops (the drops in parallel).
    std::vector<SupportMap::iterator> records;
    for (auto it = map.begin(); it != map.end(); ++it)
        if (!it.value().skipShaft)
            records.push_back(it);
    std::vector<vcg::Point3f> hits(records.size()), onPlate(records.size());
    std::vector<uint8_t> turned(records.size(), 0);
    ParallelRecords(uint32_t(records.size()), [&](uint32_t i) {
        const DLP_Support& s = records[i].value();
        const vcg::Point3f T = s.point + s.normal * L;
        hits[i] = FindFirstCollisionColumn(T, rs, zPlate, mesh);
        // A foot off the plate would be cut at the frame's edge, and what
        // stands over it would start in mid-air.
        if (hits[i][2] <= supportcollide::kMissingBelow && !m_plate.Holds(T, rs)) {
            vcg::Point3f n = s.normal;
            if (TipOntoPlate(mesh, s.point, zPlate, n, hits[i])) {
                onPlate[i] = n;
                turned[i] = 1;
            }
        }
    });
    for (size_t i = 0; i < records.size(); ++i) {
        DLP_Support& s = records[i].value();
        if (turned[i]) {
            s.normal = onPlate[i];
            ++m_counts.feetOntoPlate;
        }
        const vcg::Point3f T = s.point + s.normal * L;
        s.tipEnd = s.shaftTop = T;
        s.cones.append(SaveCone(s.point, rt, T, rs));
        s.spheres.append(SaveSphere(s.point, rt));
        s.spheres.append(SaveSphere(T, rs));
        const vcg::Point3f& R = hits[i];
        if (R[2] <= supportcollide::kMissingBelow) {
            s.base = vcg::Point3f(T[0], T[1], zPlate);
            s.onModel = false;
        } else if (R[1] >= supportcollide::kMissingBelow) {
            s.landing = R;
            s.base = vcg::Point3f(T[0], T[1], R[2]);
            s.onModel = true;
        } else {
            // The tip ends inside the model.
            if (s.index >= 0 && s.index < index.size())
                index[s.index] = nullptr;
            m_removedContacts.append({s.point, records[i].key().second});
            map.erase(records[i]);
            ++m_counts.columnsErased;
        }
    }
    ThrowIfStopped();

    // A foot (sphere rt) at a landing point reaches rt below it, and the
    // layer under its lowest slice must hold model: over an undercut just
    // below the point it would print as a loose crumb. Such a landing point
    // is never used; a column whose own hit is one joins or lands elsewhere
    // or goes, and takes no joint from others.
    const float footDepth = float(rt + kFootDepthMm);
    auto footRests = [&](const vcg::Point3f& q) { return SolidBelow(q, footDepth, zPlate - 1.f, mesh); };

    // Step 2: model-standing columns, highest contact first.
    std::vector<DLP_Support*> live;
    std::vector<SupportMap::iterator> liveAt;
    QSet<const DLP_Support*> hangingHit;
    for (auto it = map.begin(); it != map.end(); ++it)
        if (!it.value().skipShaft) {
            live.push_back(&it.value());
            liveAt.push_back(it);
            if (it.value().onModel && !footRests(it.value().landing))
                hangingHit.insert(&it.value());
        }
    std::vector<size_t> erase;
    const double J = double(sz.shaftCube3), nearJ = J / 2;
    const ColumnIndex grid(live, std::max(J, 0.5));
    for (size_t si = 0; si < live.size(); ++si) {
        if ((si & 63) == 0)
            ThrowIfStopped();
        DLP_Support& s = *live[si];
        if (!s.onModel || s.linked)
            continue;
        const vcg::Point3f c = s.pointPairs.isEmpty() ? s.shaftTop : std::prev(s.pointPairs.constEnd()).value().first;
        const float startZ = c[2];
        QVector<Candidate> wide, nearList;
        for (int j : grid.Within(s.shaftTop, J)) {
            DLP_Support* w = live[size_t(j)];
            if (w == &s || hangingHit.contains(w))
                continue;
            const double d = HorizontalDistance(s.shaftTop, w->shaftTop);
            if (d < kMinNeighbourDistance)
                continue;
            const Candidate cand{w, d, HorizontalDirection(c, w->shaftTop)};
            wide.append(cand);
            if (d <= nearJ)
                nearList.append(cand);
        }
        auto reachable = [&](const Candidate& cand, float z, float& h) {
            const DLP_Support& w = *cand.w;
            h = float(double(z) - cand.d);
            const double lowest = std::max(double(w.base[2]) + 1.0, double(UprightShaftFoot(w, L)[2]));
            if (!(lowest <= double(h) && h <= w.shaftTop[2]))
                return false;
            return !CheckCollisionColumn(vcg::Point3f(c[0], c[1], z), rs, vcg::Point3f(w.shaftTop[0], w.shaftTop[1], h),
                                         mesh);
        };
        auto addColumnTo = [&](float z) {
            if (z < s.shaftTop[2])
                s.cones.append(SaveCone(s.shaftTop, rs, vcg::Point3f(c[0], c[1], z), rs));
        };
        bool joined = false;
        // Two-sided joint: the plan directions never change with z, so only
        // candidates with a partner more than 120 degrees away can ever pair.
        QVector<int> pairable;
        for (int a = 0; a < wide.size(); ++a)
            for (int b = 0; b < wide.size(); ++b)
                if (a != b && wide[a].dir * wide[b].dir < -0.5f) {
                    pairable.append(a);
                    break;
                }
        for (float z = startZ; pairable.size() >= 2 && s.joinSources.isEmpty() && double(s.base[2]) + 1.0 < z && !joined;
             z -= 0.2f) {
            QMultiMap<double, QPair<int, float>> reach;
            for (int a : pairable) {
                float h = 0;
                if (reachable(wide[a], z, h))
                    reach.insert(wide[a].d, qMakePair(a, h));
            }
            if (reach.size() < 2)
                continue;
            for (auto ia = reach.constBegin(); ia != reach.constEnd() && !joined; ++ia)
                for (auto ib = reach.constBegin(); ib != reach.constEnd(); ++ib) {
                    if (ia == ib)
                        continue;
                    const Candidate& A = wide[ia.value().first];
                    const Candidate& B = wide[ib.value().first];
                    if (!(A.dir * B.dir < -0.5f))
                        continue;
                    const vcg::Point3f at(c[0], c[1], z);
                    const float ha = ia.value().second, hb = ib.value().second;
                    const vcg::Point3f ja(A.w->shaftTop[0], A.w->shaftTop[1], ha);
                    const vcg::Point3f jb(B.w->shaftTop[0], B.w->shaftTop[1], hb);
                    s.linked = true;
                    s.base = at;
                    s.pointPairs.insert(z, qMakePair(at, ja));
                    s.pointPairs.insert(z, qMakePair(at, jb));
                    A.w->pointPairs.insert(ha, qMakePair(ja, at));
                    B.w->pointPairs.insert(hb, qMakePair(jb, at));
                    s.joinTargets[A.w->index] = 0.5f;
                    s.joinTargets[B.w->index] = 0.5f;
                    A.w->joinSources[s.index] = 0.5f;
                    B.w->joinSources[s.index] = 0.5f;
                    addColumnTo(z);
                    s.cones.append(SaveCone(at, rs, ja, rs));
                    s.cones.append(SaveCone(at, rs, jb, rs));
                    s.spheres.append(SaveSphere(at, rs));
                    joined = true;
                    break;
                }
        }
        // One-sided joint onto a near column, a plate column preferred.
        if (!joined && double(startZ) > double(s.base[2]) + 1.0) {
            for (float z = startZ; !nearList.isEmpty() && s.joinSources.isEmpty() && double(s.base[2]) + 1.0 < z;
                 z -= 0.2f) {
                QMultiMap<double, QPair<int, float>> reach;
                for (int a = 0; a < nearList.size(); ++a) {
                    float h = 0;
                    if (reachable(nearList[a], z, h))
                        reach.insert(nearList[a].d, qMakePair(a, h));
                }
                if (reach.isEmpty())
                    continue;
                auto chosen = reach.constBegin();
                for (auto it = reach.constBegin(); it != reach.constEnd(); ++it)
                    if (!nearList[it.value().first].w->onModel) {
                        chosen = it;
                        break;
                    }
                DLP_Support& w = *nearList[chosen.value().first].w;
                const float h = chosen.value().second;
                const vcg::Point3f at(c[0], c[1], z), jw(w.shaftTop[0], w.shaftTop[1], h);
                s.linked = true;
                s.base = at;
                s.pointPairs.insert(z, qMakePair(at, jw));
                w.pointPairs.insert(h, qMakePair(jw, at));
                s.joinTargets[w.index] = 1.0f;
                w.joinSources[s.index] = 1.0f;
                addColumnTo(z);
                s.cones.append(SaveCone(at, rs, jw, rs));
                s.spheres.append(SaveSphere(at, rs));
                joined = true;
                break;
            }
        }
        if (joined)
            continue;

        // Reversed tip onto the model. Every record searches with the full
        // tip length: shrinking it record by record leaves later columns
        // ever shorter legs.
        const float Lr = L;
        const float Lp = std::min(Lr, s.shaftTop[2] - s.base[2]);
        const vcg::Point3f top(s.base[0], s.base[1], s.base[2] + Lp);
        const vcg::Point3f bottom(s.base[0], s.base[1], s.base[2] - Lr);
        supportcollide::HitMap found;
        CheckCollisionConeAllX(top, rs, bottom, 1.5 * rs, mesh, found);
        struct Sample {
            vcg::Point3f q, u;
            float facing;
            mutable int rests = -1; // footRests(q), asked only of candidates
        };
        auto rests = [&](const Sample& x) {
            if (x.rests < 0)
                x.rests = footRests(x.q);
            return x.rests == 1;
        };
        QVector<Sample> samples;
        for (auto it = found.constBegin(); it != found.constEnd(); ++it) {
            const vcg::Point3f& q = it.value().second;
            // The lowest point of the column's end sphere must lie inside
            // the leg: a flatter leg leaves it hanging lower than the leg
            // round it, a loose crumb beside the model.
            if (!HoldsEndSphereBottom(q, rt, top, rs))
                continue;
            const vcg::Point3f u = Unit(top - q);
            samples.append({q, u, u * mesh.face[uint32_t(it.value().first)].n});
        }
        auto addLanding = [&](std::initializer_list<const Sample*> legs) {
            s.linked = true;
            s.base = top;
            if (Lp != 0.f)
                s.cones.append(SaveCone(s.shaftTop, rs, top, rs));
            for (const Sample* leg : legs)
                s.cones.append(SaveCone(leg->q, rt, top, rs));
            s.spheres.append(SaveSphere(top, rs));
            for (const Sample* leg : legs)
                s.spheres.append(SaveSphere(leg->q, rt));
        };
        const Sample* legA = nullptr;
        const Sample* legB = nullptr;
        if (samples.size() >= 2)
            for (int a = 0; a < samples.size() && !legA; ++a) {
                const Sample& A = samples[a];
                if (A.q[2] > top[2] || !(A.facing >= kCos30) || !rests(A))
                    continue;
                for (int b = a + 1; b < samples.size(); ++b) {
                    const Sample& B = samples[b];
                    if (B.q[2] <= top[2] && B.facing >= kCos30 && A.u * B.u < kCos30 && rests(B)) {
                        legA = &A;
                        legB = &B;
                        break;
                    }
                }
            }
        if (legA) {
            addLanding({legA, legB});
            continue;
        }
        const Sample* best = nullptr;
        float bestFacing = -1.f;
        for (const Sample& q : samples)
            if (q.q[2] <= top[2] && q.facing > bestFacing && q.facing > kCos30 && rests(q)) {
                bestFacing = q.facing;
                best = &q;
            }
        if (best && bestFacing > kCos30) {
            addLanding({best});
            continue;
        }
        if (hangingHit.contains(&s)) {
            erase.push_back(si);
            continue;
        }
        // The column's own hit: the reversed tip ends there. Within Lr of the
        // shaft top the column has no length, but the tip still reaches the
        // hit instead of hanging above it.
        const vcg::Point3f H = s.landing;
        if (!EndBallHeld(mesh, top, H)) {
            erase.push_back(si);
            continue;
        }
        if (!(s.shaftTop[2] - H[2] > Lr))
            ++m_counts.landingsMended;
        AppendLegToHit(s, top, H);
    }
    for (size_t si : erase) {
        const DLP_Support& s = *live[si];
        if (s.index >= 0 && s.index < index.size())
            index[s.index] = nullptr;
        m_removedContacts.append({s.point, liveAt[si].key().second});
        map.erase(liveAt[si]);
        ++m_counts.columnsErased;
    }
}
