// Tip fitting: a free tip along the record's direction or another face
// normal of its contact, else a short tip bridged onto the model below, else
// the record goes.
#include "SupportPhaseUtil.h"
#include "SupportRun.h"

#include <limits>
#include <vector>

using namespace supportphase;

namespace {

enum class TipKind { Free, Bridge, Remove };

// How far under the lowest point of the short tip's end ball the model must
// hold, unbroken, for the ball to count as inside it.
constexpr float kEndBallProbeMm = 0.02f;

struct TipOutcome {
    TipKind kind = TipKind::Remove;
    vcg::Point3f normal;
    vcg::Point3f landing;
};

} // namespace

namespace {

class TipFitter {
public:
    TipFitter(const SupportRun& run, const MyMesh& mesh) : m_run(run), m_mesh(mesh), m_s(run.m_sizes)
    {
        m_L75 = float(0.75 * m_s.tipLength);
        for (const auto& v : m_mesh.vert)
            if (!v.IsD())
                m_zLow = std::min(m_zLow, v.P()[2]);
    }

    // Face normals around the contact that the record's code names; none
    // when the code names no live element (a repair may have renumbered the
    // mesh since the code was made).
    QVector<vcg::Point3f> Candidates(uint code) const
    {
        QVector<vcg::Point3f> out;
        const uint q = code / 10, r = code % 10;
        if (r == 3) {
            if (q < m_mesh.VertexCount() && !m_mesh.vert[q].IsD())
                ForRing(m_mesh, q, [&](uint32_t f, int) {
                    if (!m_mesh.face[f].IsD())
                        Offer(out, m_mesh.face[f].n);
                });
        } else if (r < 3) {
            if (q < m_mesh.FaceCount() && !m_mesh.face[q].IsD()) {
                Offer(out, m_mesh.face[q].n);
                const uint32_t g = m_mesh.face[q].ff[r];
                if (g < m_mesh.FaceCount() && !m_mesh.face[g].IsD())
                    Offer(out, m_mesh.face[g].n);
            }
        }
        return out;
    }

    // A face facing up would turn the tip upward, away from the column
    // below it: the same rule as for the contacts' own directions.
    static void Offer(QVector<vcg::Point3f>& out, const vcg::Point3f& n)
    {
        if (!(n[2] > 0.f))
            out.append(n);
    }

    // A short tip along N that clears the model and a surface below its end
    // that faces it within 30 degrees: the landing point in `h`.
    bool ShortTipLanding(const vcg::Point3f& P, const vcg::Point3f& N, vcg::Point3f& h) const
    {
        const vcg::Point3f from = P + N * 0.1f, Tp = P + N * m_L75;
        if (m_run.CheckCollisionCone(from, m_s.shortTipStart, Tp, m_s.rm, m_mesh))
            return false;
        supportcollide::HitMap hits;
        if (!m_run.CheckCollisionConeAllX(Tp, m_s.rs, Tp - vcg::Point3f(0, 0, float(m_s.drop)), m_s.landingRadius,
                                          m_mesh, hits))
            return false;
        double best = -1.0;
        bool found = false;
        for (auto it = hits.constBegin(); it != hits.constEnd(); ++it) {
            const vcg::Point3f& H = it.value().second;
            if (H[2] > Tp[2])
                continue;
            const vcg::Point3f u = Unit(Tp - H);
            if (!(u[2] > 0.5f))
                continue;
            const double score = u * m_mesh.face[uint32_t(it.value().first)].n;
            // The ball at the landing's end must sink into the model, as a
            // column's foot must: on a thin part, or at its edge, it hangs out
            // under it, a speck that cures a layer or more before anything
            // under or beside it. The ball at the short tip's end must rest
            // in the leg or in the model, as a column's end ball must: a short
            // leg leaning near 60 degrees leaves its lowest point below the
            // leg, a speck curing a layer before the leg beside it.
            if (score > best && m_run.SolidBelow(H, float(m_s.rt + kFootDepthMm), m_zLow - 1.f, m_mesh) &&
                EndBallRests(Tp, H)) {
                best = score;
                h = H;
                found = true;
            }
        }
        return found && best > kCos30;
    }

    // Whether the lowest point of the short tip's end ball (radius rm at
    // Tp) lies in the leg from the landing H, or in the model.
    bool EndBallRests(const vcg::Point3f& Tp, const vcg::Point3f& H) const
    {
        return HoldsEndSphereBottom(H, m_s.rt, Tp, m_s.rm) ||
               m_run.SolidBelow(Tp - vcg::Point3f(0.f, 0.f, float(m_s.rm)), kEndBallProbeMm, m_zLow - 1.f, m_mesh);
    }

    TipOutcome Fit(const DLP_Support& s, uint code) const
    {
        TipOutcome out;
        const vcg::Point3f P = s.point;
        vcg::Point3f N = s.normal;
        if (s.addedByClick) {
            vcg::Point3f n = m_run.FindNearestNormalSphere(P, 0.1, m_mesh);
            if (n[2] > 1.0f)
                n = m_run.FindNearestNormalSphere(P, 0.3, m_mesh);
            if (n[2] >= 1.1f)
                return out;
            N = n;
        }
        out.normal = N;
        if (m_run.TipFits(P, N, m_mesh)) {
            out.kind = TipKind::Free;
            return out;
        }
        const QVector<vcg::Point3f> candidates = s.generated ? Candidates(code) : QVector<vcg::Point3f>();
        for (const vcg::Point3f& c : candidates)
            if (m_run.TipFits(P, c, m_mesh)) {
                out.kind = TipKind::Free;
                out.normal = c;
                return out;
            }
        if (ShortTipLanding(P, N, out.landing)) {
            out.kind = TipKind::Bridge;
            return out;
        }
        for (const vcg::Point3f& c : candidates)
            if (ShortTipLanding(P, c, out.landing)) {
                out.kind = TipKind::Bridge;
                out.normal = c;
                return out;
            }
        return out;
    }

    float ShortTipLength() const { return m_L75; }

private:
    const SupportRun& m_run;
    const MyMesh& m_mesh;
    const SupportSizes& m_s;
    float m_L75 = 0;
    float m_zLow = std::numeric_limits<float>::infinity(); // the mesh's lowest point
};

} // namespace

bool SupportRun::TipFits(const vcg::Point3f& p, const vcg::Point3f& n, const MyMesh& mesh) const
{
    const float L = float(m_sizes.tipLength);
    const vcg::Point3f from = p + n * 0.1f, T = p + n * L;
    const double r0 = m_sizes.rt + (0.1 / double(L)) * (m_sizes.rs - m_sizes.rt);
    return !CheckCollisionCone(from, r0, T, m_sizes.rs, mesh) && !CheckCollisionSphere(T, m_sizes.rs, mesh);
}

void SupportRun::FitTips(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index)
{
    ThrowIfStopped();
    std::vector<SupportMap::iterator> records;
    records.reserve(size_t(map.size()));
    for (auto it = map.begin(); it != map.end(); ++it)
        records.push_back(it);
    // Each record's tip depends on the mesh alone: fitted in parallel, then
    // applied in map order.
    const TipFitter fitter(*this, mesh);
    std::vector<TipOutcome> outcomes(records.size());
    ParallelRecords(uint32_t(records.size()),
                    [&](uint32_t i) { outcomes[i] = fitter.Fit(records[i].value(), records[i].key().second); });

    const float L75 = fitter.ShortTipLength();
    for (size_t i = 0; i < records.size(); ++i) {
        DLP_Support& s = records[i].value();
        s.cones.clear();
        s.spheres.clear();
        s.joinSources.clear();
        s.joinTargets.clear();
        s.braces.clear();
        s.pointPairs.clear();
        s.onModel = s.linked = s.skipShaft = false;
        const TipOutcome& o = outcomes[i];
        const bool hasSlot = s.index >= 0 && s.index < index.size();
        if (o.kind == TipKind::Free) {
            s.normal = o.normal;
            continue;
        }
        if (o.kind == TipKind::Bridge) {
            const vcg::Point3f P = s.point, Tp = P + o.normal * L75, H = o.landing;
            s.normal = o.normal;
            s.cones.append(SaveCone(P, m_sizes.rt, Tp, m_sizes.rm));
            s.cones.append(SaveCone(H, m_sizes.rt, Tp, m_sizes.rm));
            s.spheres.append(SaveSphere(Tp, m_sizes.rm));
            s.spheres.append(SaveSphere(H, m_sizes.rt));
            // As on every other tip: without it the tip ends flat at the
            // contact's height, and a point's first lit layers stand on nothing.
            s.spheres.append(SaveSphere(P, m_sizes.rt));
            s.skipShaft = true;
            if (hasSlot)
                index[s.index] = nullptr;
            ++m_counts.bridged;
            continue;
        }
        if (hasSlot)
            index[s.index] = nullptr;
        m_removedContacts.append({s.point, records[i].key().second});
        map.erase(records[i]);
        ++m_counts.tipsRemoved;
    }
}
