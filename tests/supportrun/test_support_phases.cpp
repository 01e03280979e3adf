// Edge cases of the tip and column phases on hand-placed records.
#include "gen_harness.h"

#include <gtest/gtest.h>

#include <QVector2D>

using namespace genh;

namespace {

const SupportParameters kDefaults{1.0, 0.6, 1.1, 3.0};

// Mesh, tables and grid of a run, without contacts: the test places records.
std::unique_ptr<Generation> Prepare(const QVector<VSLTriangle3D>& tris, const SupportParameters& params = kDefaults,
                                    bool refined = false)
{
    auto g = std::make_unique<Generation>();
    g->mesh = MeshOf(tris);
    if (refined) {
        // As a run samples the surface: faces split to the contact spacing.
        SupportRun::RefineWorkingMesh(g->mesh, params.density);
        SupportRun::CleanWorkingMesh(g->mesh);
    }
    SupportRun::UpdateFaceNormals(g->mesh);
    g->run.SetParameters(params);
    QVector3D lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    g->run.BuildFaceGrid(g->mesh, lo, hi);
    return g;
}

DLP_Support* Place(Generation& g, P3 point, P3 normal, uint code)
{
    DLP_Support& s = g.map[SupportKey(SupportHeightKey(point[2]), code)];
    s.index = g.index.size();
    s.point = point;
    s.normal = normal;
    g.index.append(&s);
    return &s;
}

// The points, vertices of the mesh, as contacts a phase removed; then the
// loose-contact phase. False when a point is no vertex.
bool RemoveAndBridge(Generation& g, const std::vector<P3>& points)
{
    g.run.m_removedContacts.clear();
    for (const P3& p : points) {
        uint32_t v = 0;
        while (v < g.mesh.VertexCount() && (g.mesh.vert[v].p - p).Norm() > 1e-5f)
            ++v;
        if (v == g.mesh.VertexCount())
            return false;
        g.run.m_removedContacts.append({p, 10 * v + 3});
    }
    g.run.BridgeLooseContacts(g.mesh, g.map);
    return true;
}

// A prism along y with a ridge at height `top` over x = 0 and sides at
// `degrees` from the plate.
QVector<VSLTriangle3D> Ridge(float top, float degrees)
{
    const float w = top / std::tan(degrees * float(M_PI) / 180.f);
    const QVector3D a0(-w, -3, 0), b0(w, -3, 0), c0(0, -3, top), a1(-w, 3, 0), b1(w, 3, 0), c1(0, 3, top);
    QVector<VSLTriangle3D> tris{testmesh::Tri(a0, b0, c0), testmesh::Tri(a1, c1, b1)};
    auto quad = [&](QVector3D p, QVector3D q, QVector3D r, QVector3D s) {
        tris << testmesh::Tri(p, q, r) << testmesh::Tri(p, r, s);
    };
    quad(a0, a1, b1, b0); // bottom
    quad(b0, b1, c1, c0); // right side
    quad(c0, c1, a1, a0); // left side
    return tris;
}

namespace {

// Whether the lowest point of the ball at a leg's end (`end`, the ball's and
// the leg's radius there `endRadius`) lies within the leg, a cone narrowing
// to `footRadius` at `foot`; `off` is that point's distance from the leg's
// axis and `radius` the leg's radius beside it.
bool LegHoldsItsEndBall(const P3& end, double endRadius, const P3& foot, double footRadius, double& off,
                        double& radius)
{
    const P3 lowest = end - P3(0, 0, float(endRadius));
    const P3 axis = foot - end;
    const double length = axis.Norm();
    const double along = double((lowest - end) * axis) / length;
    off = (lowest - (end + axis * float(along / length))).Norm();
    radius = endRadius - (endRadius - footRadius) * along / length;
    return along >= 0 && along <= length && off <= radius;
}

} // namespace

TEST(SupportTips, ATipWithNoRoomIsBridgedOntoTheSurfaceBelow)
{
    // A roof 1.4 mm over a ledge: no full tip fits under it.
    const TestModel m =
        BoxUnion("c", {{{0, 0, 0}, {2, 6, 8}}, {{2, 0, 0}, {10, 6, 3}}, {{2, 0, 4.4f}, {10, 6, 6}}});
    const auto g = Generate(m.tris, kDefaults);
    const SupportSizes& sz = g->run.m_sizes;
    int bridged = 0;
    for (const DLP_Support& s : g->map) {
        if (!s.skipShaft)
            continue;
        ++bridged;
        ASSERT_EQ(s.cones.size(), 2);
        ASSERT_EQ(s.spheres.size(), 3);
        const P3 Tp = s.point + s.normal * float(0.75 * sz.tipLength);
        EXPECT_EQ(s.cones[0], SaveCone(s.point, sz.rt, Tp, sz.rm));
        const P3 H = s.cones[1][0];
        EXPECT_EQ(s.cones[1], SaveCone(H, sz.rt, Tp, sz.rm));
        EXPECT_EQ(s.spheres[0], SaveSphere(Tp, sz.rm));
        EXPECT_EQ(s.spheres[1], SaveSphere(H, sz.rt));
        // Like every tip, it reaches into the model past the contact.
        EXPECT_EQ(s.spheres[2], SaveSphere(s.point, sz.rt));
        EXPECT_NEAR(H[2], 3.f, 1e-4); // on the ledge
        EXPECT_EQ(g->index[s.index], nullptr);
    }
    EXPECT_GT(bridged, 0);
    EXPECT_EQ(bridged, g->run.m_counts.bridged);
}

TEST(SupportTips, NoShortLegHangsItsEndBallBelowIt)
{
    int legs = 0;
    for (float degrees : {55.f, 57.f, 59.f})
        for (float gap : {1.32f, 1.36f, 1.4f}) {
            // The ball at the short tip's end lies far above the slope: only
            // its leg can hold its lowest point.
            const TestModel m = SlopeChannel("channel", degrees, gap, 3);
            const auto g = Generate(m.tris, kDefaults);
            const SupportSizes& sz = g->run.m_sizes;
            for (const DLP_Support& s : g->map) {
                if (!s.skipShaft)
                    continue;
                ++legs;
                double off = 0, radius = 0;
                EXPECT_TRUE(LegHoldsItsEndBall(s.cones[1][1], sz.rm, s.cones[1][0], sz.rt, off, radius))
                    << degrees << " degrees, gap " << gap << ": the end ball's lowest point " << off
                    << " off the leg's axis, leg radius " << radius;
            }
        }
    EXPECT_GT(legs, 20);
}

TEST(SupportTips, ACodeNamingNoLiveElementOffersNoOtherDirection)
{
    const auto box = testmesh::Box({0, 0, 5}, {10, 10, 8});
    for (uint code : {0u * 10 + 3, 999999u * 10 + 3, 999999u * 10 + 1, 7u}) {
        SCOPED_TRACE(code);
        auto g = Prepare(box);
        // Pointing into the box: only another direction can save it.
        Place(*g, P3(0, 0, 5), P3(0, 0, 1), code);
        g->run.FitTips(g->mesh, g->map, g->index);
        const bool valid = code == 3; // vertex 0 is a corner of the bottom
        if (valid) {
            ASSERT_EQ(g->map.size(), 1);
            EXPECT_LE(g->map.first().normal[2], 0.f);
        } else {
            EXPECT_TRUE(g->map.isEmpty());
            EXPECT_EQ(g->run.m_counts.tipsRemoved, 1);
            EXPECT_EQ(g->index[0], nullptr);
        }
    }
}

TEST(SupportColumns, ATipEndingInsideTheModelIsErased)
{
    auto g = Prepare(testmesh::Box({0, 0, 5}, {10, 10, 15}));
    Place(*g, P3(5, 5, 4.5f), P3(0, 0, 1), 3);
    Place(*g, P3(20, 5, 4.5f), P3(0, 0, -1), 13);
    g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
    ASSERT_EQ(g->map.size(), 1);
    EXPECT_EQ(g->map.first().point, P3(20, 5, 4.5f));
    EXPECT_EQ(g->index[0], nullptr);
    EXPECT_EQ(g->run.m_counts.columnsErased, 1);
    // The other stands on the plate exactly.
    EXPECT_EQ(g->map.first().base[2], 0.f);
    EXPECT_FALSE(g->map.first().onModel);
}

// A column beside the edge of a sharp ridge meets the ridge's top first on
// the flank turned away from it: that face is met from behind, yet the
// column starts in the air, not inside the model. It was erased for a tip
// ending inside the model, and its contact was left bare.
TEST(SupportColumns, AColumnMeetingASharpRidgeFromBehindStandsOnIt)
{
    for (float side : {-0.3f, 0.3f}) {
        SCOPED_TRACE(side);
        auto g = Prepare(Ridge(4, 75));
        const float L = float(g->run.m_sizes.tipLength);
        Place(*g, P3(side, 0, 4.7f + L), P3(0, 0, -1), 3);
        g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
        EXPECT_EQ(g->run.m_counts.columnsErased, 0);
        ASSERT_EQ(g->map.size(), 1);
        const DLP_Support& s = g->map.first();
        EXPECT_TRUE(s.onModel);
        // It lands on the ridge, below the column's end.
        EXPECT_LE(s.landing[2], 4.f + 1e-4f);
        EXPECT_GT(s.landing[2], 3.f);
    }
    // A tip ending inside the ridge still goes.
    auto g = Prepare(Ridge(4, 75));
    Place(*g, P3(0, 0, 3.5f + float(g->run.m_sizes.tipLength)), P3(0, 0, -1), 3);
    g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
    EXPECT_EQ(g->run.m_counts.columnsErased, 1);
}

// A contact whose column was erased leans on the kept support within the
// contact spacing whose tip end is nearest in plan: a drop from a tip radius
// above it, then a 45 degree link to that tip end. A support the user
// deleted is never leant on, and nothing farther than the spacing is.
TEST(SupportColumns, AnErasedContactLeansOnTheNearestKeptSupportWithinTheSpacing)
{
    struct Row {
        const char* name;
        std::vector<float> keptX; // plan x of kept records beside the erased one at x = 5
        int deleted;              // index into keptX the user deleted, or -1
        int expectLeaning;        // index into keptX carrying the link, or -1
    };
    const Row rows[] = {
        {"nearest of two", {6.2f, 6.9f}, -1, 0},
        {"the nearer deleted", {6.2f, 6.9f}, 0, 1},
        {"beyond the spacing", {7.3f}, -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto g = Prepare(testmesh::Box({0, 0, 5}, {10, 10, 15}));
        const P3 erased(5, 5, 4.5f);
        Place(*g, erased, P3(0, 0, 1), 3);
        std::vector<SupportKey> kept;
        for (size_t i = 0; i < row.keptX.size(); ++i) {
            // Lower than the erased one, so a 45 degree link reaches their tip ends.
            Place(*g, P3(row.keptX[i], 5, 3.f), P3(0, 0, -1), uint(13 + 10 * i));
            kept.push_back(SupportKey(SupportHeightKey(3.f), uint(13 + 10 * i)));
        }
        g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
        ASSERT_EQ(g->run.m_counts.columnsErased, 1);
        QVector<int> conesBefore;
        for (size_t i = 0; i < kept.size(); ++i) {
            ASSERT_TRUE(g->map.contains(kept[i]));
            conesBefore.append(g->map[kept[i]].cones.size());
        }
        if (row.deleted >= 0)
            g->map[kept[size_t(row.deleted)]].isDeleted = true;
        g->run.BridgeLooseContacts(g->mesh, g->map);

        EXPECT_EQ(g->run.m_counts.looseLinked, row.expectLeaning >= 0 ? 1 : 0);
        for (size_t i = 0; i < kept.size(); ++i) {
            const DLP_Support& s = g->map[kept[i]];
            if (int(i) != row.expectLeaning) {
                EXPECT_EQ(s.cones.size(), conesBefore[int(i)]) << i;
                continue;
            }
            ASSERT_EQ(s.cones.size(), conesBefore[int(i)] + 2);
            const QVector<P3>& drop = s.cones[s.cones.size() - 2];
            const QVector<P3>& slope = s.cones.last();
            const P3 end = s.cones.front()[1];
            const float across = float(std::hypot(end[0] - erased[0], end[1] - erased[1]));
            EXPECT_NEAR(drop[0][0], erased[0], 1e-5);
            EXPECT_NEAR(drop[0][1], erased[1], 1e-5);
            EXPECT_NEAR(drop[0][2], erased[2] + float(g->run.m_sizes.rt), 1e-5);
            EXPECT_NEAR(drop[1][0], erased[0], 1e-5);
            EXPECT_NEAR(drop[1][2], end[2] + across, 1e-4);
            EXPECT_EQ(slope[0], drop[1]);
            EXPECT_EQ(slope[1], end);
        }
    }
}

struct JointRow {
    const char* name;
    std::vector<P3> neighbours; // plan positions of plate columns
    QMap<int, float> expectTargets; // neighbour number -> join weight
};

TEST(SupportColumns, JointsNeedOppositeNeighboursOrOneNearOne)
{
    const JointRow rows[] = {
        {"opposite, within J", {{-3, 0, 0}, {3, 0, 0}}, {{1, 0.5f}, {2, 0.5f}}},
        {"one within J / 2", {{-1.5f, 0, 0}}, {{1, 1.0f}}},
        {"one within J only", {{-3, 0, 0}}, {}},
        {"same side", {{-3, 0, 0}, {-3, 1.5f, 0}}, {}},
        {"straight below the start", {{0, 0, 0}, {0, 0, 0}}, {}},
    };
    for (const JointRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto g = Prepare(testmesh::Box({-0.5f, -0.5f, 0}, {0.5f, 0.5f, 3}));
        DLP_Support* s = Place(*g, P3(0, 0, 9), P3(0, 0, -1), 3);
        uint code = 13;
        for (const P3& n : row.neighbours) {
            // Slightly lower contacts come later in map order.
            Place(*g, P3(n[0], n[1], 8.9f), P3(0, 0, -1), code);
            code += 10;
        }
        g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
        ASSERT_TRUE(s->onModel);
        ASSERT_EQ(s->joinTargets.size(), row.expectTargets.size());
        for (auto it = row.expectTargets.constBegin(); it != row.expectTargets.constEnd(); ++it) {
            EXPECT_EQ(s->joinTargets.value(it.key(), -1), it.value());
            EXPECT_EQ(g->index[it.key()]->joinSources.value(0, -1), it.value());
            // The strut ends on the neighbour's column, 45 degrees down.
            const auto& pairs = g->index[it.key()]->pointPairs;
            ASSERT_EQ(pairs.size(), 1);
            const P3 end = pairs.first().first, from = pairs.first().second;
            EXPECT_NEAR(from[2] - end[2], supportphase::HorizontalDistance(from, end), 1e-4);
        }
        EXPECT_TRUE(s->linked);
        if (row.expectTargets.isEmpty()) {
            // Landed on the block top with a reversed tip.
            bool leg = false;
            for (const auto& c : s->cones)
                leg = leg || (c[2][0] == float(g->run.m_sizes.rt) && std::fabs(c[0][2] - 3.f) < 1e-4f);
            EXPECT_TRUE(leg);
        }
    }
}

TEST(SupportColumns, AHitWithinTheTipLengthGetsItsReversedTipInsteadOfHanging)
{
    // Steep sides face no tip end within 30 degrees: no leg, only the hit.
    auto g = Prepare(Ridge(4.3f, 70));
    DLP_Support* s = Place(*g, P3(0, 0, 6), P3(0, 0, -1), 3);
    g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
    const SupportSizes& sz = g->run.m_sizes;
    ASSERT_TRUE(s->onModel);
    EXPECT_FALSE(s->linked);
    EXPECT_NEAR(s->landing[2], 4.3f, 1e-3);
    EXPECT_EQ(g->run.m_counts.landingsMended, 1);
    // Tip cone, then straight from the shaft top (no column) to the hit.
    ASSERT_EQ(s->cones.size(), 2);
    EXPECT_EQ(s->cones[1], SaveCone(s->shaftTop, sz.rs, s->landing, sz.rt));
    EXPECT_EQ(s->spheres.last(), SaveSphere(s->landing, sz.rt));
}

// A prism along y (-3 .. 3) over the convex x-z outline `xz`, counter-clockwise.
QVector<VSLTriangle3D> Prism(const std::vector<QVector2D>& xz)
{
    auto at = [&](size_t i, float y) { return QVector3D(xz[i % xz.size()].x(), y, xz[i % xz.size()].y()); };
    QVector<VSLTriangle3D> tris;
    for (size_t i = 0; i < xz.size(); ++i) {
        tris << testmesh::Tri(at(i, -3), at(i, 3), at(i + 1, 3)) << testmesh::Tri(at(i, -3), at(i + 1, 3), at(i + 1, -3));
        if (i > 0 && i + 1 < xz.size())
            tris << testmesh::Tri(at(0, -3), at(i, -3), at(i + 1, -3)) << testmesh::Tri(at(0, 3), at(i + 1, 3), at(i, 3));
    }
    return tris;
}

TEST(SupportColumns, AColumnHittingTheModelJustAboveAnUndercutGoesInsteadOfLeavingItsFootLoose)
{
    // A bevelled wall: its outermost ridge at z 0.75, the face under it
    // drawing back. The column's rim meets the upper face just above the
    // ridge; a foot there reaches past the undercut and its lowest slice
    // would float (a vise bar from the wild did exactly this).
    const struct {
        const char* name;
        float underRidgeX; // x of the wall foot under the ridge at 5.2
        bool kept;
    } rows[] = {{"undercut", 5.0f, false}, {"straight wall", 5.2f, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TestModel m = Convex("bevel", Prism({{0, 0}, {row.underRidgeX, 0}, {5.2f, 0.75f}, {4.6f, 3.2f}, {0, 3.2f}}));
        auto g = Prepare(m.tris);
        Place(*g, P3(5.72f, 0, 6), P3(0, 0, -1), 3);
        g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
        ASSERT_EQ(g->map.size(), row.kept ? 1 : 0);
        EXPECT_EQ(g->run.m_counts.columnsErased, row.kept ? 0 : 1);
        for (const DLP_Support& s : g->map) {
            ASSERT_TRUE(s.onModel);
            EXPECT_EQ(s.spheres.last(), SaveSphere(s.landing, g->run.m_sizes.rt));
            // The foot sits on the wall's top edge, the wall under its inner half.
            EXPECT_TRUE(m.inside(s.landing - P3(0.01f, 0, float(g->run.m_sizes.rt) + 0.1f)));
        }
    }
}

} // namespace

namespace {

TEST(SupportColumns, EveryLandingSearchesWithTheFullTipLength)
{
    // The first column lands 0.5 mm under its shaft top, the second far
    // below its own: its reversed tip still starts a whole tip length up.
    auto g = Prepare(testmesh::Box({-1, -1, 0}, {1, 1, 7.4f}) + testmesh::Box({19, -1, 0}, {21, 1, 3}));
    DLP_Support* first = Place(*g, P3(0, 0, 9), P3(0, 0, -1), 3);
    DLP_Support* second = Place(*g, P3(20, 0, 8.9f), P3(0, 0, -1), 13);
    g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
    const float L = float(g->run.m_sizes.tipLength);
    ASSERT_TRUE(first->linked);
    EXPECT_NEAR(first->base[2], first->shaftTop[2], 1e-5); // L' = 0.5 < L
    ASSERT_TRUE(second->linked);
    EXPECT_NEAR(second->base[2], 3.f + L, 1e-5);
}

// Columns dropping beside an upright wall land on its narrow ledge, with a
// second leg on the wall's face when one faces the column's end. A leg too
// flat to hold the lowest point of the column's end sphere leaves it hanging
// lower than the leg round it, beside the wall, with nothing under it:
// every leg holds that point.
TEST(SupportColumns, NoLandingHangsTheColumnsEndBelowItsFeet)
{
    for (const SupportParameters& params : {kDefaults, SupportParameters{1.0, 0.3, 0.6, 3.0}}) {
        SCOPED_TRACE(params.tipDiameter);
        int legs = 0;
        const float rs = float(params.shaftDiameter) / 2;
        for (float ledge : {0.02f, 0.05f, 0.1f, 0.2f}) {
            // An upright wall (face at x = 0) with a narrow ledge at z = 15.
            QVector<VSLTriangle3D> tris = testmesh::Box({0, 0, 0}, {10, 200, 30});
            tris += testmesh::Box({-ledge, 0, 0}, {0.f, 200, 15});
            auto g = Prepare(tris, params, true);
            const SupportSizes& sz = g->run.m_sizes;
            constexpr int kColumns = 36;
            for (int k = 0; k < kColumns; ++k) {
                const float x = -(rs - 0.05f) - (ledge + 0.15f) * k / kColumns;
                Place(*g, P3(x, 3.f + 5.5f * k, 40.f), P3(0, 0, -1), uint(3 + 10 * k));
            }
            g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
            for (const DLP_Support& s : g->map) {
                if (!s.linked)
                    continue;
                for (const QVector<P3>& cone : s.cones) {
                    // A leg: from its foot (tip radius) up to the column's end (shaft radius).
                    if (!(cone[1] == s.base) || cone[0] == s.shaftTop || cone[0] == s.point)
                        continue;
                    ++legs;
                    // The end sphere's lowest point, within the leg (a cone
                    // from the foot's radius up to the shaft's).
                    double off = 0, radius = 0;
                    EXPECT_TRUE(LegHoldsItsEndBall(cone[1], sz.rs, cone[0], sz.rt, off, radius))
                        << "column at " << s.base[0] << ", " << s.base[1] << ": " << off << " off the axis, leg radius " << radius;
                }
            }
        }
        EXPECT_GT(legs, 4);
    }
}

} // namespace

namespace {

// A low point that no link reaches and that the model does not hold gets a
// tip straight down and a plate column of its own; one the model holds (the
// same bar joined to the rod, which reaches lower) gets nothing more, and
// the copies of a pole share one support.
TEST(SupportLowPoints, ALowPointNothingHoldsGetsASupportOfItsOwn)
{
    struct Row {
        TestModel model;
        float lift;   // the model as the run sees it: lifted off the plate
        Box3 lowest;  // where the own support's contact must lie
        int expected; // own supports
    };
    const Row rows[] = {
        {BarBesideRod(false), 0.f, {{11.99f, -0.11f, 5.99f}, {14.01f, 0.11f, 6.01f}}, 1},
        {BarBesideRod(true), 0.f, {}, 0},
        {PoleSphere(), 20.f, {{-1e-3f, -1e-3f, 19.99f}, {1e-3f, 1e-3f, 20.01f}}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.model.name);
        const auto g = Generate(testmesh::Translated(row.model.tris, {0, 0, row.lift}), row.model.params);
        const SupportSizes& sz = g->run.m_sizes;
        ASSERT_EQ(g->run.m_counts.ownSupports, row.expected);
        int found = 0;
        for (const DLP_Support& s : g->map) {
            if (!row.lowest.Contains(s.point))
                continue;
            ++found;
            EXPECT_EQ(s.normal, P3(0, 0, -1));
            ASSERT_EQ(s.cones.size(), 2);
            EXPECT_EQ(s.cones[0][0], s.point);
            EXPECT_NEAR(s.cones[0][1][2], s.point[2] - sz.tipLength, 1e-5);
            EXPECT_NEAR(s.cones[1][1][2], 0.f, 1e-6); // on the plate
            EXPECT_NEAR(s.cones[1][2][0], sz.rs, 1e-6);
        }
        EXPECT_EQ(found, row.expected);
    }
}

// A low point hanging just above another part of the model, where no tip
// fits, gets a pin of the tip's width straight down into that part.
TEST(SupportLowPoints, ALowPointJustAboveTheModelIsPinnedIntoIt)
{
    const TestModel model = ConesOverBlock(0.5f);
    const auto g = Generate(model.tris, model.params);
    const SupportSizes& sz = g->run.m_sizes;
    int pins = 0;
    for (const DLP_Support& s : g->map) {
        if (s.index >= 0 || std::fabs(s.point[2] - 4.5f) > 1e-3f)
            continue;
        ++pins;
        // The pin, then the rod up the cone's slender point.
        ASSERT_EQ(s.cones.size(), 2);
        EXPECT_EQ(s.cones[1][0], s.point);
        EXPECT_NEAR(s.cones[1][2][0], SupportRun::kSpineRodRadiusMm, 1e-6);
        EXPECT_EQ(s.cones[0][0], s.point);
        EXPECT_NEAR(s.cones[0][1][0], s.point[0], 1e-6);
        EXPECT_NEAR(s.cones[0][1][1], s.point[1], 1e-6);
        // Into the block's top, not through it.
        EXPECT_NEAR(s.cones[0][1][2], 4.f - 0.1f, 1e-4);
        EXPECT_NEAR(s.cones[0][2][0], sz.rt, 1e-6);
        EXPECT_TRUE(s.onModel);
    }
    EXPECT_EQ(pins, 3);
}

// A low point over a part whose top slopes under the column (a hand over
// a thigh): the column's rim meets the slope above the point straight
// below, yet the column stands on that top.
TEST(SupportLowPoints, AColumnStandsOnATopSlopingUnderIt)
{
    const float slope = float(30 * M_PI / 180);
    const P3 apex(2, 0, 4.f - 2 * std::tan(slope) + 2.f);
    QVector<VSLTriangle3D> tris = Ridge(4, 30);
    tris += Pyramid(QVector3D(apex[0], apex[1], apex[2]), 1, apex[2] + 1.5f); // hangs on its own
    auto g = Prepare(tris);
    // Removed by a phase, with no support near to lean on.
    ASSERT_TRUE(RemoveAndBridge(*g, {apex}));
    ASSERT_EQ(g->map.size(), 1);
    const DLP_Support& s = g->map.first();
    const SupportSizes& sz = g->run.m_sizes;
    EXPECT_TRUE(s.onModel);
    ASSERT_GE(s.cones.size(), 2);
    const P3 T = apex - P3(0, 0, float(sz.tipLength));
    EXPECT_EQ(s.cones[0], SaveCone(apex, sz.rt, T, sz.rs));
    // Down to a tenth of a millimetre into the slope straight below the point.
    const float under = 4.f - 2 * std::tan(slope);
    ASSERT_EQ(s.cones[1].size(), 3);
    EXPECT_EQ(s.cones[1][0], T);
    EXPECT_NEAR(s.cones[1][1][0], apex[0], 1e-5);
    EXPECT_NEAR(s.cones[1][1][1], apex[1], 1e-5);
    EXPECT_NEAR(s.cones[1][1][2], under - 0.1f, 1e-4);
}

// A low point over the point of a spike standing up: the point is solid
// straight down, yet a column's flat foot 0.1 mm into it stood on a hair of
// model, less than the layer below lights, and cured in the air. The foot
// stands where the spike is wide enough to hold it.
TEST(SupportLowPoints, NoFootStandsOnTheHairOfASpikesPoint)
{
    // A square spike 3 mm wide at the plate, its point at z = 4.
    const float half = 1.5f, height = 4.f;
    QVector<VSLTriangle3D> tris;
    const QVector3D a(-half, -half, 0), b(half, -half, 0), c(half, half, 0), d(-half, half, 0), top(0, 0, height);
    tris << testmesh::Tri(a, c, b) << testmesh::Tri(a, d, c) << testmesh::Tri(a, b, top) << testmesh::Tri(b, c, top)
         << testmesh::Tri(c, d, top) << testmesh::Tri(d, a, top);
    const P3 apex(0, 0, height + 2.1f);
    tris += Pyramid(QVector3D(apex[0], apex[1], apex[2]), 1, apex[2] + 1.5f); // hangs on its own
    auto g = Prepare(tris);
    ASSERT_TRUE(RemoveAndBridge(*g, {apex}));
    ASSERT_EQ(g->map.size(), 1);
    const DLP_Support& s = g->map.first();
    // The lowest point of the support's solids.
    float lowest = 1e9f;
    for (const QVector<P3>& sphere : s.spheres)
        lowest = std::min(lowest, sphere[0][2] - sphere[1][0]);
    for (const QVector<P3>& cone : s.cones) {
        const P3 axis = (cone[1] - cone[0]).Normalize();
        const float across = std::sqrt(std::max(0.f, 1.f - axis[2] * axis[2]));
        lowest = std::min({lowest, cone[0][2] - cone[2][0] * across, cone[1][2] - cone[2][1] * across});
    }
    // The spike's width a layer under it.
    const float under = lowest - 0.05f;
    ASSERT_LT(under, height);
    EXPECT_GE(2 * half * (height - under) / height, 0.2f) << "lowest point " << lowest;
}

// The point of a thin spike leaning over the air gets a support that
// reaches it, though the faces round it sum to a direction up.
TEST(SupportLowPoints, ThePointOfAThinLeaningSpikeIsHeld)
{
    const TestModel model = TiltedSpike();
    const auto g = Generate(model.tris, model.params);
    const float tilt = float(20 * M_PI / 180);
    const P3 point(9.f * std::sin(tilt), 0, 12.5f - 9.f * std::cos(tilt));
    double nearest = 1e9;
    for (const DLP_Support& s : g->map)
        for (const QVector<P3>& c : s.cones)
            nearest = std::min(nearest, SegmentPointDistance(c[0], c[1], point) - std::max(c[2][0], c[2][1]));
    EXPECT_LE(nearest, 1e-3) << "no support reaches the spike's point";
    // It stands on the plate or leans on a neighbour: nothing hangs from the spike alone.
    EXPECT_GE(g->run.m_counts.ownSupports + g->run.m_counts.looseLinked, 1);
}

// A slab whose underside and top are grids of `n` x `n` squares of `step`
// mm, the underside at `bottom` and the top at `top`, each but for the
// vertices `dents` moves by z (grid indices i, j).
struct Dent {
    bool underside;
    int i, j;
    float dz;
};
QVector<VSLTriangle3D> GriddedSlab(int n, float step, float bottom, float top, const std::vector<Dent>& dents)
{
    auto at = [&](bool underside, int i, int j) {
        float z = underside ? bottom : top;
        for (const Dent& d : dents)
            if (d.underside == underside && d.i == i && d.j == j)
                z += d.dz;
        return QVector3D(i * step, j * step, z);
    };
    QVector<VSLTriangle3D> tris;
    auto quad = [&](QVector3D a, QVector3D b, QVector3D c, QVector3D d) {
        tris << testmesh::Tri(a, b, c) << testmesh::Tri(a, c, d);
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            quad(at(true, i, j), at(true, i, j + 1), at(true, i + 1, j + 1), at(true, i + 1, j));
            quad(at(false, i, j), at(false, i + 1, j), at(false, i + 1, j + 1), at(false, i, j + 1));
        }
    for (int k = 0; k < n; ++k) {
        quad(at(true, k, 0), at(true, k + 1, 0), at(false, k + 1, 0), at(false, k, 0));
        quad(at(true, n, k), at(true, n, k + 1), at(false, n, k + 1), at(false, n, k));
        quad(at(true, k + 1, n), at(true, k, n), at(false, k, n), at(false, k + 1, n));
        quad(at(true, 0, k + 1), at(true, 0, k), at(false, 0, k), at(false, 0, k + 1));
    }
    return tris;
}

double NearestSupport(const SupportMap& map, const P3& point)
{
    double nearest = 1e9;
    for (const DLP_Support& s : map) {
        for (const QVector<P3>& c : s.cones)
            nearest = std::min(nearest, SegmentPointDistance(c[0], c[1], point) - std::max(c[2][0], c[2][1]));
        for (const QVector<P3>& c : s.spheres)
            nearest = std::min(nearest, double((c[0] - point).Norm()) - c[1][0]);
    }
    return nearest;
}

// A dimple of an underside inside another contact's region lights a speck
// a layer before the surface round it: it is held like a low point. A pit
// in the top, over the model itself, gets nothing.
TEST(SupportLowPoints, ADimpleInAContactsRegionIsHeld)
{
    // Level underside at 3 mm, its lowest point 0.1 mm down in the middle;
    // the dimple 1.1 mm from it and 0.01 mm down: in its slab, lower than
    // its ring.
    const std::vector<Dent> dents{{true, 3, 3, -0.1f}, {true, 5, 4, -0.01f}, {false, 4, 4, -0.03f}};
    const auto g = Generate(GriddedSlab(8, 0.5f, 3.f, 5.f, dents), kDefaults);
    const P3 dimple(2.5f, 2.f, 2.99f), pit(2.f, 2.f, 4.97f);
    bool claimed = false;
    for (const SupportRun::RemovedContact& m : g->run.m_claimedMinima)
        claimed = claimed || (m.point - dimple).Norm() < 1e-5f;
    ASSERT_TRUE(claimed) << "the dimple is a contact of its own: the case tests nothing";
    EXPECT_LE(NearestSupport(g->map, dimple), 1e-3) << "no support reaches the dimple";
    EXPECT_GT(NearestSupport(g->map, pit), 1.0) << "a support reaches into the top's pit";
}

// A low point whose surface climbs to a lower one over a rim lower than a
// layer, 0.03 mm, cures a speck of its own a layer early at 0.05 mm layers:
// it gets a support. One behind a hairline rim, 0.005 mm, is held.
TEST(SupportLowPoints, ALowPointBehindARimGetsASupportOneBehindAHairlineRimNone)
{
    // The lowest point 0.1 mm down at (1.5, 1.5); P 1.4 mm from it, Q 1.1 mm.
    const float rimP = 0.03f, rimQ = 0.005f;
    const std::vector<Dent> dents{{true, 3, 3, -0.1f}, {true, 5, 5, -rimP}, {true, 5, 2, -rimQ}};
    auto g = Prepare(GriddedSlab(8, 0.5f, 3.f, 5.f, dents));
    const P3 P(2.5f, 2.5f, 3.f - rimP), Q(2.5f, 1.f, 3.f - rimQ);
    ASSERT_TRUE(RemoveAndBridge(*g, {P, Q}));
    ASSERT_EQ(g->map.size(), 1);
    EXPECT_EQ(g->map.first().point, P);
    EXPECT_EQ(g->run.m_counts.ownSupports, 1);
}

// A low point beside a wall, with nothing of the model below, stands on the
// plate. A slender point whose tip the wall blocks gets a pin of the tip's
// width; a wide one whose pin the wall blocks too gets a tip along a face
// round it, leaning away from the wall, and a column from its end.
TEST(SupportLowPoints, ALowPointBesideAWallStandsOnThePlate)
{
    const P3 apex(2, 0, 6);
    struct Row {
        const char* name;
        float halfWidth; // of the point's pyramid, 4 mm high
        float wallX, wallTop;
        bool pin;
    };
    for (const Row& row : {Row{"slender", 0.25f, 2.45f, 10.f, true}, Row{"wide", 3.f, 2.25f, 5.9f, false}}) {
        SCOPED_TRACE(row.name);
        QVector<VSLTriangle3D> tris = Pyramid(QVector3D(apex[0], apex[1], apex[2]), row.halfWidth, 10.f);
        tris += testmesh::Box({row.wallX, -2.f, 0.f}, {row.wallX + 1.f, 2.f, row.wallTop});
        auto g = Prepare(tris);
        ASSERT_TRUE(RemoveAndBridge(*g, {apex}));
        ASSERT_EQ(g->map.size(), 1);
        const DLP_Support& s = g->map.first();
        const SupportSizes& sz = g->run.m_sizes;
        EXPECT_FALSE(s.onModel);
        ASSERT_GE(s.cones.size(), 2);
        if (row.pin) {
            EXPECT_EQ(s.cones[0], SaveCone(apex, sz.rt, P3(apex[0], apex[1], 0.f), sz.rt));
            continue;
        }
        const P3 T = s.cones[0][1];
        EXPECT_EQ(s.cones[0], SaveCone(apex, sz.rt, T, sz.rs));
        EXPECT_NEAR((T - apex).Norm(), sz.tipLength, 1e-4);
        EXPECT_LT(T[0], apex[0] - 0.5f); // away from the wall
        EXPECT_LT(T[2], apex[2]);
        EXPECT_EQ(s.cones[1], SaveCone(T, sz.rs, P3(T[0], T[1], 0.f), sz.rs));
    }
}

// Open or doubly written meshes under low points that only the low-point
// pass supports. Cones hanging 0.32 mm over the upper of two skins: their
// pins go through it into the block, whose model is solid under them.
TEST(SupportLowPoints, APinStandsWhereTheModelIsSolidNotOnAnUpperSkin)
{
    const TestModel model = DoubleSkinUnderCones();
    const auto g = Generate(model.tris, model.params);
    int pins = 0;
    for (const DLP_Support& s : g->map) {
        if (s.index >= 0 || std::fabs(s.point[2] - 4.5f) > 1e-3f)
            continue;
        ++pins;
        ASSERT_FALSE(s.cones.isEmpty());
        EXPECT_NEAR(s.cones[0][1][2], 4.f - 0.1f, 1e-4) << "the pin ends in the upper skin";
        EXPECT_TRUE(s.onModel);
        EXPECT_NEAR(s.landing[2], 4.f, 1e-4);
    }
    EXPECT_EQ(pins, 3);
}

// A spike's point whose free tip's column meets a wall's top 0.3 mm beside
// it, 1.6 mm above the floor straight below: the column stands on the wall.
TEST(SupportLowPoints, AColumnStandsOnItsOwnHitAboveTheTopStraightBelow)
{
    const TestModel model = SpikeOverAWallsEdge();
    const auto g = Generate(model.tris, model.params);
    const float tilt = float(20 * M_PI / 180);
    const P3 point(9.f * std::sin(tilt), 0, 12.5f - 9.f * std::cos(tilt));
    const DLP_Support* own = nullptr;
    for (const DLP_Support& s : g->map)
        if (s.index < 0 && (s.point - point).Norm() < 1e-4f)
            own = &s;
    ASSERT_NE(own, nullptr) << "the spike's point is given up";
    EXPECT_TRUE(own->onModel);
    EXPECT_NEAR(own->landing[2], 2.2f, 1e-4);
    EXPECT_GE(own->landing[0], point[0] + 0.3f - 1e-4f); // on the wall
    float lowest = 1e9f;
    for (const QVector<P3>& c : own->cones)
        lowest = std::min({lowest, c[0][2], c[1][2]});
    EXPECT_NEAR(lowest, 2.2f, 1e-4);
}

// A spike's point over an open box whose top patch ends 0.5 micrometres
// beside it: the line straight down misses the patch and meets the box's
// bottom, yet the point hangs above the rim the slicer fills to.
TEST(SupportLowPoints, APointBesideAnOpenPatchsEdgeIsNotTakenForInside)
{
    const TestModel model = SpikeOverAnOpenPatchEdge();
    const auto g = Generate(model.tris, model.params);
    const float tilt = float(20 * M_PI / 180);
    const P3 point(9.f * std::sin(tilt), 0, 12.5f - 9.f * std::cos(tilt));
    bool upturned = false;
    for (const SupportRun::RemovedContact& u : g->run.m_upturnedContacts)
        upturned = upturned || (u.point - point).Norm() < 1e-4f;
    ASSERT_TRUE(upturned) << "the point is no upturned contact: the case tests nothing";
    EXPECT_LE(NearestSupport(g->map, point), 1e-3) << "no support reaches the spike's point";
}

// The point of a slender spike gets a rod up its spine to where the spike
// holds it whole; a wide point, whose tip sphere reaches far enough, none.
TEST(SupportSpine, ASlenderSpikesPointGetsARodUpToWhereTheSpikeHoldsIt)
{
    for (const bool slender : {true, false}) {
        SCOPED_TRACE(slender ? "slender" : "wide");
        const TestModel model = slender ? SlenderSpike() : Needle();
        const P3 point = slender ? P3(0, 0, 12.5f - 9.f) : P3(3, 3, 4);
        const auto g = Generate(model.tris, model.params);
        const float r = float(SupportRun::kSpineRodRadiusMm);
        std::vector<QVector<P3>> rods;
        for (const DLP_Support& s : g->map)
            for (const QVector<P3>& c : s.cones)
                if (c[2][0] == r && c[2][1] == r && (c[0] - point).Norm() < 1e-4f)
                    rods.push_back(c);
        if (!slender) {
            EXPECT_TRUE(rods.empty());
            continue;
        }
        ASSERT_EQ(rods.size(), 1u);
        const P3 end = rods[0][1];
        EXPECT_NEAR(end[0], 0.f, 1e-3);
        EXPECT_NEAR(end[1], 0.f, 1e-3);
        // The spike's radius grows 0.6 mm over 9: it holds the rod whole from
        // 1.5 mm above its point, and the rod stops within a step of that.
        const double height = end[2] - point[2];
        EXPECT_GE(height, 1.5 - 1e-3);
        EXPECT_LE(height, 1.5 + SupportRun::kSpineStepMm + 1e-3);
    }
}

// A later run over the same records, as after an edit, refits the own
// support like any other and makes it no second time; one the user deleted
// stays deleted.
TEST(SupportLowPoints, ARunAfterAnEditKeepsTheOwnSupportOrItsDeletion)
{
    const TestModel model = BarBesideRod(false);
    for (bool deleteIt : {false, true}) {
        SCOPED_TRACE(deleteIt ? "deleted" : "kept");
        const auto g = Generate(model.tris, model.params);
        ASSERT_EQ(g->run.m_counts.ownSupports, 1);
        auto own = std::find_if(g->map.begin(), g->map.end(), [](const DLP_Support& s) { return s.index < 0; });
        ASSERT_NE(own, g->map.end());
        const SupportKey key = own.key();
        const QVector<QVector<P3>> cones = own->cones;
        // What the rerun does first: deleted records go, the rest are numbered again.
        if (deleteIt)
            g->map.erase(own);
        g->index.clear();
        int n = 0;
        for (auto it = g->map.begin(); it != g->map.end(); ++it) {
            it->index = n++;
            g->index.append(&*it);
        }
        const int records = g->map.size();
        g->run.m_counts = SupportRunCounts();
        g->run.FitTips(g->mesh, g->map, g->index);
        g->run.BuildColumns(g->mesh, 0.f, g->map, g->index);
        g->run.BraceColumns(g->mesh, g->map, g->index);
        g->run.BridgeLooseContacts(g->mesh, g->map);
        EXPECT_EQ(g->run.m_counts.ownSupports, 0);
        EXPECT_EQ(g->map.size(), records);
        EXPECT_EQ(g->map.contains(key), !deleteIt);
        if (!deleteIt) {
            ASSERT_GE(g->map[key].cones.size(), 2);
            EXPECT_EQ(g->map[key].cones[0], cones[0]); // the same tip
            // The plate column again (the bar's own thinned contact may now lean on it too).
            EXPECT_EQ(g->map[key].cones[1], cones[1]);
        }
    }
}

} // namespace
