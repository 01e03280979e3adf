#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using Poly = QVector<QVector2D>;

namespace {

// A model holding `tris` as if loaded (bounds now, display lists at the first draw).
std::unique_ptr<VSLModel3D> MakeModel(const QVector<VSLTriangle3D>& tris)
{
    auto model = std::make_unique<VSLModel3D>();
    model->m_vTriangles = tris;
    model->UpdataData();
    return model;
}

// A support with every part filled in, touching the model at `contact`.
DLP_Support MakeSupport(int index, vcg::Point3f contact)
{
    DLP_Support s;
    s.index = index;
    s.point = contact;
    s.tipEnd = contact + vcg::Point3f(0, 0, -1);
    s.normal = vcg::Point3f(0, 0, -1);
    s.shaftTop = s.tipEnd;
    s.base = vcg::Point3f(contact[0], contact[1], 0);
    s.landing = vcg::Point3f(1, 2, 3);
    s.pointPairs.insert(2.f, qMakePair(vcg::Point3f(1, 1, 1), vcg::Point3f(2, 2, 2)));
    s.cones << SaveCone(contact, 0.2, s.tipEnd, 0.5) << SaveCone(s.shaftTop, 0.5, s.base, 0.5);
    s.spheres << SaveSphere(s.tipEnd, 0.6);
    return s;
}

// `count` such supports at (i, 0.5, 4 + i), indexed and flagged.
void GiveSupports(VSLModelPainter& p, int count)
{
    for (int i = 0; i < count; ++i) {
        const vcg::Point3f c(float(i), 0.5f, 4.f + i);
        p.m_supportMap.insert(qMakePair(SupportHeightKey(c[2]), uint(10 * i + 3)), MakeSupport(i, c));
    }
    p.RebuildSupportIndex();
    p.m_bHasSupports = true;
}

void ExpectVec(const QVector3D& v, float x, float y, float z)
{
    EXPECT_LT((v - QVector3D(x, y, z)).length(), 1e-4f) << v.x() << ", " << v.y() << ", " << v.z();
}

// Bounds of the instance recomputed from its world triangles.
void WorldBounds(VSLModelPainter& p, QVector3D& mn, QVector3D& mx)
{
    const QVector<VSLTriangle3D> tris = p.GetRealTriangles();
    mn = mx = tris[0].vertices[0];
    for (const VSLTriangle3D& t : tris)
        for (const QVector3D& v : t.vertices)
            for (int a = 0; a < 3; ++a) {
                mn[a] = std::min(mn[a], v[a]);
                mx[a] = std::max(mx[a], v[a]);
            }
}

QMatrix4x4 Rotation(float deg, QVector3D axis)
{
    QMatrix4x4 m;
    m.rotate(deg, axis);
    return m;
}

QMatrix4x4 Translation(QVector3D d) { return QMatrix4x4(1, 0, 0, d.x(), 0, 1, 0, d.y(), 0, 0, 1, d.z(), 0, 0, 0, 1); }

QMatrix4x4 AboutCentre(const VSLModelPainter& p, float rotateDeg, float scale)
{
    QMatrix4x4 m;
    m.translate(p.m_center);
    m.rotate(rotateDeg, 1, 0, 0);
    m.scale(scale);
    m.translate(-p.m_center);
    return m;
}

} // namespace

// These tests never slice; weak, so the real run wins whenever it is linked in.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}

// Centred on the plate, dropped unless floating by at most 0.01 mm; a tiny one gets the unit square.
TEST(ModelPainter, NewInstanceBoundsAndDrop)
{
    const struct { const char* name; QVector<VSLTriangle3D> tris; QVector3D min, max; bool checkHull; Poly hull; }
        cases[] = {
        {"box", testmesh::Box({10, 0, 5}, {30, 10, 15}), {-10, -5, 0}, {10, 5, 10}, true,
         {{11, 6}, {11, -6}, {-11, -6}, {-11, 6}}},
        {"tiny", testmesh::Box({-0.4f, -0.4f, 0}, {0.4f, 0.4f, 1}), {-0.4f, -0.4f, 0}, {0.4f, 0.4f, 1}, true,
         {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}}},
        {"empty", {}, {0, 0, 0}, {0, 0, 0}, true, {}},
        {"0.01 above: kept", testmesh::Box({0, 0, 0.01f}, {1, 1, 1}), {-0.5f, -0.5f, 0.01f}, {0.5f, 0.5f, 1}, false, {}},
        {"0.011 above: dropped", testmesh::Box({0, 0, 0.011f}, {1, 1, 1}), {-0.5f, -0.5f, 0}, {0.5f, 0.5f, 0.989f},
         false, {}},
        {"sunk: raised", testmesh::Box({0, 0, -3}, {1, 1, 1}), {-0.5f, -0.5f, 0}, {0.5f, 0.5f, 4}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto model = MakeModel(c.tris);
        VSLModelPainter p(model.get(), nullptr);
        ExpectVec(p.m_minBound, c.min.x(), c.min.y(), c.min.z());
        ExpectVec(p.m_maxBound, c.max.x(), c.max.y(), c.max.z());
        if (c.checkHull) {
            EXPECT_EQ(p.m_hull, c.hull);
        }
        EXPECT_EQ(p.GetRealTriangles().size(), c.tris.size());
    }
    auto model = MakeModel(testmesh::Box({10, 0, 5}, {30, 10, 15}));
    VSLModelPainter p(model.get(), nullptr);
    ExpectVec(p.m_center, 0, 0, 5);
    EXPECT_NEAR(p.GetMaxLength(), std::sqrt(20.0 * 20 + 10 * 10 + 10 * 10), 1e-4);
}

TEST(ModelPainter, RotationsKeepInstanceOnThePlateAndBoundsTrue)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {20, 10, 4}));
    VSLModelPainter p(model.get(), nullptr);
    p.Translate({30, -12});
    ASSERT_TRUE(p.ApplyConvertX(Rotation(90, {1, 0, 0}), 1));
    ASSERT_TRUE(p.ApplyConvertX(Rotation(33, {0, 1, 1}), 1));
    ASSERT_TRUE(p.ApplyConvertX(Rotation(-70, {0, 0, 1}), 1));
    QVector3D mn, mx;
    WorldBounds(p, mn, mx);
    EXPECT_NEAR(mn.z(), 0.f, 1e-4);
    ExpectVec(p.m_minBound, mn.x(), mn.y(), mn.z());
    ExpectVec(p.m_maxBound, mx.x(), mx.y(), mx.z());
    const QVector3D c = p.m_matrix.map(model->m_center);
    ExpectVec(p.m_center, c.x(), c.y(), c.z());
    p.Center();
    WorldBounds(p, mn, mx);
    EXPECT_NEAR((mn.x() + mx.x()) / 2, 0.f, 1e-3);
    EXPECT_NEAR((mn.y() + mx.y()) / 2, 0.f, 1e-3);
    EXPECT_NEAR(mn.z(), 0.f, 1e-4);
    // Every world point lies inside the hull grown by 1 mm.
    for (const VSLTriangle3D& t : p.GetRealTriangles())
        for (const QVector3D& v : t.vertices)
            for (int i = 0; i < p.m_hull.size(); ++i) {
                const QVector2D a = p.m_hull[i], b = p.m_hull[(i + 1) % p.m_hull.size()];
                const double cross = double(b.x() - a.x()) * (v.y() - a.y()) - double(b.y() - a.y()) * (v.x() - a.x());
                ASSERT_LT(cross, 0.0);
            }
}

TEST(ModelPainter, LayToPlatformResetAndTheLiftedException)
{
    auto model = MakeModel(testmesh::Box({10, 0, 5}, {30, 10, 15}));
    VSLModelPainter p(model.get(), nullptr);
    p.Move({5, 5, 7});
    EXPECT_FLOAT_EQ(p.m_minBound.z(), 7.f);
    p.LayToPlatform();
    EXPECT_EQ(p.m_minBound.toVector2D(), QVector2D(-5, 0));
    p.ApplyConvertX(Rotation(45, {0, 0, 1}), 1);
    p.ResetModelPainter();
    ExpectVec(p.m_minBound, -10, -5, 0);
    ExpectVec(p.m_maxBound, 10, 5, 10);
    // A lifted instance is not dropped by a rotation.
    p.m_bLifted = true;
    p.Move({0, 0, 3});
    p.ApplyConvertX(Rotation(90, {0, 0, 1}), 1);
    EXPECT_NEAR(p.m_minBound.z(), 3.f, 1e-5);
}

// Refused transforms keep matrix, bounds, hull and supports; a finite matrix may still overflow.
TEST(ModelPainter, DegenerateTransformsAreRefusedAndKeepTheSupports)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {4, 4, 4}));
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 1);
    const QMatrix4x4 before = p.m_matrix;
    const QVector3D mn = p.m_minBound, mx = p.m_maxBound;
    const Poly hull = p.m_hull;
    QMatrix4x4 zero, nan, inf, flat, huge;
    zero.scale(0, 1, 1);
    nan.translate(std::nanf(""), 0, 0);
    inf.scale(INFINITY);
    flat.setColumn(2, QVector4D(1, 0, 1e-9f, 0)); // z folded onto x: no volume left
    huge.scale(3e38f); // finite, but 2 mm from the centre overflows
    for (const QMatrix4x4& m : {zero, nan, inf, flat, huge}) {
        for (int mode : {0, 1, 2})
            EXPECT_FALSE(p.ApplyConvertX(m, mode));
        EXPECT_FALSE(p.ApplyConvert(m, false));
        EXPECT_FALSE(p.ApplyConvert(m, true));
    }
    EXPECT_TRUE(p.m_matrix == before && p.m_minBound == mn && p.m_maxBound == mx && p.m_hull == hull);
    EXPECT_TRUE(p.m_bHasSupports);
    EXPECT_EQ(p.m_supportMap.size(), 1);
    QMatrix4x4 scale;
    scale.scale(2);
    EXPECT_TRUE(p.ApplyConvertX(scale, 2));
    EXPECT_NEAR(p.m_maxBound.x() - p.m_minBound.x(), 8.f, 1e-5);
    EXPECT_FALSE(p.m_bHasSupports);
    QMatrix4x4 tiny; // small, but a shape all the same
    tiny.scale(1e-4f);
    EXPECT_TRUE(p.ApplyConvertX(tiny, 2));
    EXPECT_NEAR(p.m_maxBound.x() - p.m_minBound.x(), 8e-4f, 1e-8);
}

TEST(ModelPainter, CheckHitUsesTheHulls)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {10, 10, 5}));
    VSLModelPainter a(model.get(), nullptr);
    VSLModelPainter b(model.get(), nullptr);
    EXPECT_TRUE(a.CheckHit(&b));
    b.Translate({11, 0});
    EXPECT_TRUE(a.CheckHit(&b)); // the 1 mm margins overlap
    b.Translate({1, 0});
    EXPECT_FALSE(a.CheckHit(&b)); // margins touch
    EXPECT_FALSE(a.CheckHit(nullptr));
}

TEST(ModelPainter, MoveKeepsAndMovesSupportsRotateRemovesThem)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {4, 4, 4}));
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 3);
    ASSERT_TRUE(p.ApplyConvertX(Translation({10, 0, 0}), 0));
    EXPECT_TRUE(p.m_bHasSupports);
    EXPECT_EQ(p.m_supportMap.size(), 3);
    EXPECT_EQ(p.m_supportMatrix, Translation({10, 0, 0}));
    p.Translate({0, -2});
    EXPECT_EQ(p.m_supportMatrix, Translation({10, -2, 0}));
    // Move does not carry the supports along.
    p.Move({0, 0, 5});
    EXPECT_EQ(p.m_supportMatrix, Translation({10, -2, 0}));
    ASSERT_TRUE(p.ApplyConvertX(Rotation(30, {0, 0, 1}), 1));
    EXPECT_FALSE(p.m_bHasSupports);
    EXPECT_TRUE(p.m_supportMap.isEmpty() && p.m_vSupportIndex.isEmpty() && p.GetRealTrianglesSup().isEmpty());
    EXPECT_TRUE(p.m_supportMatrix.isIdentity());
    EXPECT_NEAR(p.m_minBound.z(), 0.f, 1e-5);
}

// A lifted supported instance turned about its centre stays in XY and lands; so does a removal.
TEST(ModelPainter, LiftedSupportedInstanceComesDownOnRotationOrRemoval)
{
    for (bool rotate : {true, false}) {
        auto model = MakeModel(testmesh::Box({0, 0, 0}, {10, 10, 4}));
        VSLModelPainter p(model.get(), nullptr);
        GiveSupports(p, 1);
        p.m_dLiftDistance = 5;
        p.LiftForSupports();
        const QVector3D centre = p.m_center;
        if (rotate) {
            ASSERT_TRUE(p.ApplyConvertX(AboutCentre(p, 90, 1), 1));
            EXPECT_NEAR(p.m_center.x(), centre.x(), 1e-4);
            EXPECT_NEAR(p.m_center.y(), centre.y(), 1e-4);
            EXPECT_NEAR(p.m_maxBound.y() - p.m_minBound.y(), 4.f, 1e-4); // 10 x 10 x 4 turned about X
            EXPECT_NEAR(p.m_maxBound.z(), 10.f, 1e-4);
        } else {
            p.RemoveSupportX();
        }
        EXPECT_FALSE(p.m_bSupportLifted) << rotate;
        EXPECT_NEAR(p.m_minBound.z(), 0.f, 1e-4) << rotate;
    }
}

// A lift comes down by what was applied, to the placement it came from;
// a copy of an instance lifted only by an open edit stands on the plate.
TEST(ModelPainter, LiftsComeDownByTheLiftApplied)
{
    const struct {
        const char* name;
        bool supports;
        QVector2D moveAfterLift;
        double liftChangedTo;
        bool duplicate;
    } rows[] = {
        {"unmoved, lift changed since", true, {0, 0}, 9, false},
        {"moved, lift changed since", true, {6, 2}, 9, false},
        {"copy of a supported lifted instance, copy moved", true, {0, 0}, 5, true},
        {"copy of an instance lifted by an edit only", false, {0, 0}, 5, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto model = MakeModel(testmesh::Box({0, 0, 0}, {10, 10, 4}));
        VSLModelPainter src(model.get(), nullptr);
        if (r.supports)
            GiveSupports(src, 1);
        src.m_dLiftDistance = 5;
        ASSERT_TRUE(src.LiftForSupports());
        EXPECT_FALSE(src.LiftForSupports()); // once
        src.Translate(r.moveAfterLift);
        src.m_dLiftDistance = r.liftChangedTo;
        VSLModelPainter copy(model.get(), nullptr);
        VSLModelPainter* p = &src;
        if (r.duplicate) {
            copy.DuplicateModelPainterX(&src);
            copy.Translate({-20, 0});
            p = &copy;
        }
        const QVector3D centre = p->m_center;
        p->RemoveSupportX();
        EXPECT_FALSE(p->m_bSupportLifted);
        ExpectVec(p->m_center, centre.x(), centre.y(), 2);
        QVector3D mn, mx;
        WorldBounds(*p, mn, mx);
        EXPECT_NEAR(mn.z(), 0.f, 1e-4);
        ExpectVec(p->m_minBound, mn.x(), mn.y(), mn.z());
        ExpectVec(p->m_maxBound, mx.x(), mx.y(), mx.z());
    }
}

// Every point of a support (radii and normal excluded).
static QVector<vcg::Point3f> Points(const DLP_Support& s)
{
    QVector<vcg::Point3f> out{s.point, s.tipEnd, s.shaftTop, s.base, s.landing};
    for (const auto& pair : s.pointPairs)
        out << pair.first << pair.second;
    for (const auto& c : s.cones)
        out << c[0] << c[1];
    for (const auto& sphere : s.spheres)
        out << sphere[0];
    return out;
}

TEST(ModelPainter, RotateSupportXBakesTheMoveIntoEveryPoint)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {4, 4, 4}));
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 2);
    p.m_supportMap.first().isDeleted = true; // marked ones move too
    const SupportMap before = p.m_supportMap;
    p.Translate({10, 0});
    for (int run = 0; run < 2; ++run) { // a second run changes nothing
        p.RotateSupportX();
        EXPECT_TRUE(p.m_supportMatrix.isIdentity());
        auto b = before.begin();
        for (auto a = p.m_supportMap.begin(); a != p.m_supportMap.end(); ++a, ++b) {
            QVector<vcg::Point3f> want = Points(b.value());
            for (vcg::Point3f& q : want)
                q += vcg::Point3f(10, 0, 0);
            EXPECT_EQ(Points(a.value()), want);
            EXPECT_EQ(a->normal, b->normal);
            EXPECT_EQ(a->cones[1][2], b->cones[1][2]);
            EXPECT_EQ(a->spheres[0][1], b->spheres[0][1]);
        }
    }
}

TEST(ModelPainter, SupportTrianglesOfTheWholeMap)
{
    auto model = MakeModel(testmesh::Cube());
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 2);
    auto& s = p.m_supportMap.first();
    s.cones << SaveCone({0, 0, 2}, 0.3, {0, 0, 1}, 0.3);
    s.spheres << SaveSphere({0, 0, 1}, 0.4) << SaveSphere({0, 0, 0.5f}, 0.4);
    // 3 cones + 3 spheres on the first, 2 cones + 1 sphere on the second.
    EXPECT_EQ(p.GetRealTrianglesSup().size(), 3 * 64 + 3 * 480 + 2 * 64 + 480);
}

TEST(ModelPainter, DuplicateCopiesPlacementAndOwnsItsSupports)
{
    auto model = MakeModel(testmesh::Box({0, 0, 0}, {4, 4, 4}));
    VSLModelPainter src(model.get(), nullptr);
    src.ApplyConvertX(Rotation(20, {0, 0, 1}), 1);
    GiveSupports(src, 3);
    src.Translate({7, 1});
    src.m_scale = QVector3D(2, 2, 2);
    VSLModelPainter dup(model.get(), nullptr);
    EXPECT_EQ(model->m_nInstanceCount, 2);
    EXPECT_EQ(dup.m_nNumber, src.m_nNumber + 1);
    dup.DuplicateModelPainterX(&src);
    EXPECT_TRUE(dup.m_matrix == src.m_matrix && dup.m_hull == src.m_hull && dup.m_minBound == src.m_minBound &&
                dup.m_supportMatrix == src.m_supportMatrix);
    EXPECT_EQ(dup.m_scale, QVector3D(2, 2, 2)); // as large as its source
    EXPECT_TRUE(dup.m_bHasSupports);
    ASSERT_EQ(dup.m_vSupportIndex.size(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(dup.m_vSupportIndex[i], nullptr);
        EXPECT_EQ(dup.m_vSupportIndex[i]->index, i);
        EXPECT_NE(dup.m_vSupportIndex[i], src.m_vSupportIndex[i]);
    }
    dup.m_vSupportIndex[0]->point = vcg::Point3f(-9, -9, -9);
    EXPECT_NE(src.m_vSupportIndex[0]->point, vcg::Point3f(-9, -9, -9));
}

TEST(ModelPainter, RestoreDropsClickedSupportsAndClearsMarks)
{
    auto model = MakeModel(testmesh::Cube());
    VSLModelPainter p(model.get(), nullptr);
    GiveSupports(p, 2);
    p.m_supportMap.first().isDeleted = true;
    DLP_Support clicked = MakeSupport(-1, {3, 3, 3});
    clicked.addedByClick = true;
    clicked.generated = false;
    p.m_supportMap.insert(qMakePair(SupportHeightKey(3), uint(-1)), clicked);
    p.RestoreSupportX();
    ASSERT_EQ(p.m_supportMap.size(), 2);
    for (const DLP_Support& s : p.m_supportMap) {
        EXPECT_FALSE(s.isDeleted);
        EXPECT_FALSE(s.addedByClick);
    }
    EXPECT_TRUE(p.m_bHasSupports);
}

TEST(PainterPickColour, IdsSpreadOverRedGreenBlue)
{
    // Instance ids: 0xRRGGBB in 0..1 per channel; past 24 bits nothing.
    const struct { int id; int rgb[3]; } ids[] = {
        {70, {0, 0, 70}}, {0x123456, {0x12, 0x34, 0x56}}, {1 << 24, {0, 0, 0}}};
    for (const auto& c : ids) {
        double rgb[3];
        VSL3DPainter::CalNumberColor(rgb, c.id);
        for (int k = 0; k < 3; ++k)
            EXPECT_DOUBLE_EQ(rgb[k] * 255, c.rgb[k]) << c.id << " channel " << k;
    }
    // Triangle ids are counted from 1.
    const struct { int tri; unsigned char rgb[3]; } tris[] = {{255, {0, 1, 0}}, {0, {1, 0, 0}}, {0x2FFFF, {0, 0, 3}}};
    for (const auto& c : tris) {
        unsigned char rgb[3];
        VSLModelPainter::TrianglePickColor(c.tri, rgb);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(rgb[k], c.rgb[k]) << c.tri << " channel " << k;
    }
}
