#include "supportedit_fixture.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

TEST_F(SupportEdit, TipsMagentaBodiesAmberSelectedMagentaMarkedKept)
{
    Generate(m_slab);
    const DLP_Support front = m_slab->m_supportMap.first();
    QImage img = Shot();
    Save(img, "supportedit_slab");
    EXPECT_PRED1(Magenta, At(img, TipPixel(m_slab, front)));
    const Px column = At(img, ColumnPixel(m_slab, front));
    EXPECT_PRED1(Amber, column) << column;
    EXPECT_FALSE(Magenta(column));
    m_view->scene()->SetPickModelPainter(m_slab->pickId());
    img = Shot();
    Save(img, "supportedit_slab_selected");
    EXPECT_PRED1(Magenta, At(img, ColumnPixel(m_slab, front)));
    // A rebuild keeps a marked support in both lists.
    m_view->scene()->SetPickModelPainter(0);
    m_slab->m_supportMap.first().isDeleted = true;
    m_view->makeCurrent();
    m_slab->DrawSupportX();
    img = Shot();
    EXPECT_PRED1(Magenta, At(img, TipPixel(m_slab, front)));
    EXPECT_PRED1(Amber, At(img, ColumnPixel(m_slab, front)));
    // The tips-only pass leaves the matrix stack as it found it.
    m_view->makeCurrent();
    GLint before = 0, after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &before);
    m_slab->RenderSupportX(false, true);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
    EXPECT_EQ(before, after);
}

TEST_F(SupportEdit, SupportsFollowAMoveAndStayAfterTheSliceBakesIt)
{
    Generate(m_slab);
    const QVector<VSLTriangle3D> before = m_slab->GetRealTrianglesSup();
    QMatrix4x4 move;
    move.translate(10, 0, 0);
    ASSERT_TRUE(m_slab->ApplyConvertX(move, 0));
    const DLP_Support s = m_slab->m_supportMap.first();
    const QPoint tip = TipPixel(m_slab, s);
    EXPECT_EQ(tip, Project(V(s.point) + QVector3D(10, 0, -0.6f * kTipR)));
    EXPECT_PRED1(Magenta, At(Shot(), tip));
    const QVector<VSLTriangle3D> moved = m_slab->GetRealTrianglesSup();
    m_slab->RotateSupportX();  // the matrix baked into the records
    m_view->makeCurrent();
    m_slab->DrawSupportX();
    EXPECT_PRED1(Magenta, At(Shot(), tip));
    // Support triangles are in world coordinates, before and after the bake.
    const QVector<VSLTriangle3D> baked = m_slab->GetRealTrianglesSup();
    ASSERT_EQ(before.size(), baked.size());
    ASSERT_EQ(moved.size(), baked.size());
    float worst = 0;
    for (int i = 0; i < baked.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            worst = std::max(worst, (moved[i].vertices[k] - baked[i].vertices[k]).length());
            worst = std::max(worst, (before[i].vertices[k] + QVector3D(10, 0, 0) - baked[i].vertices[k]).length());
        }
    EXPECT_LT(worst, 1e-4f);
}

// Both ways of ending with no supports lower a lifted instance by the lift, once.
TEST_F(SupportEdit, NoSupportsLeftLowersByTheLift)
{
    for (bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "RemoveSupportX" : "empty map drawn");
        Generate(m_slab);
        const float z = m_slab->m_minBound.z();
        const GLuint tips = m_slab->m_nSupportTipList;
        m_slab->m_vSliceZ = {0.05f, 0.1f};
        m_slab->m_vSlicePaths.resize(2);
        m_view->makeCurrent();
        if (remove) {
            m_slab->RemoveSupportX();
            EXPECT_TRUE(m_slab->m_vSliceZ.isEmpty() && m_slab->m_vSlicePaths.isEmpty());
            m_slab->RemoveSupportX();  // unlifted: stays
        } else {
            m_slab->m_supportMap.clear();
            m_slab->DrawSupportX();
            EXPECT_FALSE(m_slab->m_bHasSupports || m_slab->m_bSupportsShown);
            EXPECT_EQ(m_slab->m_nSupportTipList, tips);  // kept, not drawn
        }
        EXPECT_FLOAT_EQ(m_slab->m_minBound.z(), z - float(kLift));
        EXPECT_FALSE(m_slab->m_bSupportLifted);
    }
}

namespace {

// One triangle caught in feedback mode: corners in world mm, and the red
// that a white light along +z gave it (max(0, n.z) of the normal it had).
struct Fed {
    QVector3D v[3];
    float red = 0;
};

// `draw` in feedback mode under an orthographic view of [-20, 20]^3.
QVector<Fed> Feedback(const std::function<void()>& draw)
{
    constexpr float S = 20.f, W = 512.f;
    std::vector<GLfloat> buf(1 << 20);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-S, S, -S, S, -S, S);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, GLsizei(W), GLsizei(W));
    glDisable(GL_CULL_FACE);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat zero[] = {0, 0, 0, 1}, one[] = {1, 1, 1, 1}, up[] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
    for (GLenum k : {GL_AMBIENT, GL_SPECULAR})
        glLightfv(GL_LIGHT0, k, zero);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, one);
    glLightfv(GL_LIGHT0, GL_POSITION, up);
    for (GLenum k : {GL_AMBIENT, GL_SPECULAR, GL_EMISSION})
        glMaterialfv(GL_FRONT_AND_BACK, k, zero);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, one);
    glNormal3f(0.6f, 0.f, 0.8f); // what a primitive without normals would inherit
    glFeedbackBuffer(GLsizei(buf.size()), GL_3D_COLOR, buf.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    EXPECT_GE(n, 0) << "feedback buffer overflow";
    QVector<Fed> out;
    for (GLint i = 0; i + 2 + 21 <= n && buf[size_t(i)] == GL_POLYGON_TOKEN && buf[size_t(i) + 1] == 3; i += 23) {
        Fed t;
        for (int k = 0; k < 3; ++k) {
            const GLfloat* f = &buf[size_t(i) + 2 + size_t(k) * 7];
            t.v[k] = QVector3D((f[0] / W * 2 - 1) * S, (f[1] / W * 2 - 1) * S, -(f[2] * 2 - 1) * S);
            t.red = f[3];
        }
        out << t;
    }
    return out;
}

// Facets of a convex solid around `inside`: wound outwards, each lit by the
// normal of its own winding (zero-area caps of a pointed cone skipped).
int WrongFacets(const QVector<Fed>& tris, QVector3D inside)
{
    int wrong = 0;
    for (const Fed& t : tris) {
        const QVector3D n = QVector3D::crossProduct(t.v[1] - t.v[0], t.v[2] - t.v[0]).normalized();
        const QVector3D centroid = (t.v[0] + t.v[1] + t.v[2]) / 3;
        wrong += !n.isNull() && (QVector3D::dotProduct(n, centroid - inside) <= 0 ||
                                 std::fabs(t.red - std::max(0.f, n.z())) > 0.02f);
    }
    return wrong;
}

} // namespace

// The cone and sphere emitters: closed and outward, rings where the record
// puts them, each facet with its normal; nothing for no segments or sphere.
TEST_F(SupportEdit, ConeAndSphereEmittersDrawClosedOutwardPrimitives)
{
    m_view->makeCurrent();
    struct Cone { vcg::Point3f p0, p1; double r0, r1; int n; };
    const Cone cones[] = {{{1, 2, 3}, {3, -1, -2}, 1.5, 0.5, 16}, {{-2, 0, 4}, {-2, 0, 1}, 0.0, 0.8, 16},
                          {{0, 0, 0}, {0, 4, 0}, 2.0, 2.0, 6}, {{0, 0, 0}, {0, 0, -3}, 1.0, 1.0, 0}};
    for (const Cone& c : cones) {
        const QVector<Fed> tris = Feedback([&] { VSLModelPainter::GenerateCone(c.p0, c.r0, c.p1, c.r1, c.n); });
        ASSERT_EQ(tris.size(), 4 * c.n);
        const QVector3D p0 = V(c.p0), axis = V(c.p1) - p0, u = axis.normalized();
        for (const Fed& t : tris)
            for (const QVector3D& v : t.v) {
                // On the start ring (radius 0 or r0) or the end ring (0 or r1).
                const float along = QVector3D::dotProduct(v - p0, u), radial = (v - p0 - along * u).length();
                const float ring = float(along < axis.length() / 2 ? c.r0 : c.r1);
                EXPECT_TRUE(std::min(std::fabs(along), std::fabs(along - axis.length())) < 1e-3f &&
                            std::min(radial, std::fabs(radial - ring)) < 1e-3f) << along << " " << radial;
            }
        EXPECT_EQ(WrongFacets(tris, p0 + axis * 0.5f), 0) << c.n;
    }
    const vcg::Point3f centre(1, 2, 3);
    const QVector<Fed> sphere = Feedback([&] { VSLModelPainter::GenerateSphere(centre, 2.0); });
    ASSERT_EQ(sphere.size(), 480);
    for (const Fed& t : sphere)
        for (const QVector3D& v : t.v)
            EXPECT_NEAR((v - V(centre)).length(), 2.f, 1e-3f);
    EXPECT_EQ(WrongFacets(sphere, V(centre)), 0);
    const QVector<vcg::Point3f> unit = VSLModelPainter::UnitSphere;
    VSLModelPainter::UnitSphere.clear();
    EXPECT_TRUE(Feedback([&] { VSLModelPainter::GenerateSphere(centre, 2.0); }).isEmpty());
    VSLModelPainter::UnitSphere = unit;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The slab's support lists rebuilt with the given limits (see
// SupportShapeLists): the view as a person sees it, and the triangles the
// lists draw.
// Pixels that differ by more than `step` in a channel.
int Differing(const QImage& a, const QImage& b, int step)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                           std::abs(qBlue(p) - qBlue(q))}) > step;
        }
    return n;
}

class SupportLists : public SupportEdit {
protected:
    // A support of odd cones (pointing up, pointed, no length, a strut) and
    // spheres of other radii on the slab.
    void AddOddSupport()
    {
        DLP_Support odd = m_slab->m_supportMap.first();
        odd.cones.clear();
        odd.spheres.clear();
        odd.cones << SaveCone({2, 1, 1}, 0.7, {2, 1, 4}, 0.3)        // up the z axis: a half turn
                  << SaveCone({-3, 2, 1}, 0.0, {-1, 3, 3}, 0.6)      // pointed start
                  << SaveCone({4, -4, 2}, 0.5, {4, -4, 2}, 0.5)      // no length
                  << SaveCone({-4, -3, 5}, 0.4, {3, -1, 1.5f}, 0.4); // a strut
        odd.spheres << SaveSphere({0, 0, 2}, 0.35) << SaveSphere({1, -2, 3}, 0.8);
        m_slab->m_supportMap.insert(SupportKey(SupportHeightKey(1.f), 999), odd);
    }

    QVector<Fed> Drawn(long inlineLimit, long coarseLimit, QImage* shot, bool instances = false)
    {
        m_slab->m_supportShapes.inlineBodyTriangles = inlineLimit;
        m_slab->m_supportShapes.coarseBodyTriangles = coarseLimit;
        m_slab->m_bSupportInstancesAllowed = instances;
        m_view->makeCurrent();
        m_slab->DrawSupportX();
        *shot = Shot();
        m_view->makeCurrent();
        return Feedback([&] {
            glCallList(m_slab->m_nSupportTipList);
            glCallList(m_slab->m_supportBody.allList());
        });
    }
    // The slab's generated run drawn once with instances allowed; null
    // where the test's context draws none.
    SupportInstances* GeneratedInstances()
    {
        Generate(m_slab);
        QImage shot;
        Drawn(0, 0, &shot, true);
        SupportInstances& instances = m_slab->m_supportInstances;
        return instances.empty() ? nullptr : &instances;
    }
    // Where `reference` shows a column, `shot` shows it amber (and within
    // `tolerance` of its colour, when one is given); where it shows a tip,
    // nearly always magenta.
    void ExpectColumnsAndTipsOf(const QImage& reference, const QImage& shot, int tolerance = -1)
    {
        int columns = 0, tips = 0, tipsKept = 0;
        for (const DLP_Support& s : qAsConst(m_slab->m_supportMap)) {
            const Px column = At(reference, ColumnPixel(m_slab, s)), seen = At(shot, ColumnPixel(m_slab, s));
            if (Amber(column) && ++columns) {
                EXPECT_PRED1(Amber, seen);
                if (tolerance >= 0) {
                    EXPECT_TRUE(seen.near(column, tolerance)) << seen << " for " << column;
                }
            }
            if (Magenta(At(reference, TipPixel(m_slab, s))) && ++tips)
                tipsKept += Magenta(At(shot, TipPixel(m_slab, s)));
        }
        EXPECT_GT(columns, m_slab->m_supportMap.size() / 2);
        EXPECT_GT(tips, m_slab->m_supportMap.size() / 2);
        EXPECT_GE(tipsKept, tips * 9 / 10);
    }
    // Selected: magenta, unblended.
    void ExpectSelectedMagenta()
    {
        m_view->scene()->SetPickModelPainter(m_slab->pickId());
        const QImage selected = Shot();
        m_view->scene()->SetPickModelPainter(0);
        EXPECT_PRED1(Magenta, At(selected, ColumnPixel(m_slab, m_slab->m_supportMap.first())));
        m_view->makeCurrent();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

// A run too big to hold its triangles in the body list draws it from shape
// lists under a matrix: the very triangles, lit the same, in the same order,
// odd cones included (pointing up, pointed, no length: drawn as they are).
TEST_F(SupportLists, BodyFromShapeListsDrawsWhatTheInlineBodyDraws)
{
    Generate(m_slab);
    AddOddSupport();
    QImage inlineShot, shapeShot;
    const QVector<Fed> inlined = Drawn(SupportShapeLists::kInlineBodyTriangles, LONG_MAX, &inlineShot);
    const int tipLists = m_slab->m_supportShapes.listCount();
    const QVector<Fed> shaped = Drawn(0, LONG_MAX, &shapeShot);
    Save(shapeShot, "supportedit_body_from_shapes");
    // Tips of two radii; then spheres of three more and cones of four kinds.
    EXPECT_EQ(tipLists, 2);
    EXPECT_EQ(m_slab->m_supportShapes.listCount(), 2 + 2 + 4);
    ASSERT_GT(inlined.size(), 4 * 480);
    ASSERT_EQ(inlined.size(), shaped.size());
    float worstCorner = 0, worstRed = 0;
    for (int i = 0; i < inlined.size(); ++i) {
        for (int k = 0; k < 3; ++k)
            worstCorner = std::max(worstCorner, (inlined[i].v[k] - shaped[i].v[k]).length());
        worstRed = std::max(worstRed, std::fabs(inlined[i].red - shaped[i].red));
    }
    EXPECT_LT(worstCorner, 1e-3f);
    EXPECT_LT(worstRed, 0.01f);
    // As a person sees it: the same amber columns and magenta tips.
    const DLP_Support front = m_slab->m_supportMap.first();
    EXPECT_PRED1(Magenta, At(shapeShot, TipPixel(m_slab, front)));
    EXPECT_PRED1(Amber, At(shapeShot, ColumnPixel(m_slab, front)));
    // Rounded a little differently: a grey step of light, a pixel along an edge.
    EXPECT_LT(Differing(inlineShot, shapeShot, 16), inlineShot.width() * inlineShot.height() / 2000);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A run of thousands of supports draws coarser shapes: far fewer triangles,
// and the same magenta tips and amber columns where a person looks for them.
TEST_F(SupportLists, ABigRunDrawsCoarseShapesThatLookTheSame)
{
    Generate(m_slab);
    QImage fineShot, coarseShot;
    const QVector<Fed> fine = Drawn(0, LONG_MAX, &fineShot);
    EXPECT_FALSE(m_slab->m_supportShapes.coarse());
    const QVector<Fed> coarse = Drawn(0, 0, &coarseShot);
    EXPECT_TRUE(m_slab->m_supportShapes.coarse());
    Save(coarseShot, "supportedit_coarse_shapes");
    ASSERT_GT(fine.size(), 1000);
    EXPECT_LT(coarse.size(), fine.size() / 3);
    // Where the fine view shows a tip or a column, the coarse one does.
    int seen = 0;
    for (const DLP_Support& s : qAsConst(m_slab->m_supportMap)) {
        if (Magenta(At(fineShot, TipPixel(m_slab, s))) && ++seen) {
            EXPECT_PRED1(Magenta, At(coarseShot, TipPixel(m_slab, s)));
        }
        if (Amber(At(fineShot, ColumnPixel(m_slab, s))) && ++seen) {
            EXPECT_PRED1(Amber, At(coarseShot, ColumnPixel(m_slab, s)));
        }
    }
    EXPECT_GT(seen, m_slab->m_supportMap.size());
    EXPECT_LT(Differing(fineShot, coarseShot, 48), fineShot.width() * fineShot.height() / 100);
    // Tips added by a click later keep the run's coarseness.
    m_view->makeCurrent();
    m_slab->RebuildSupportTipList();
    EXPECT_TRUE(m_slab->m_supportShapes.coarse());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// A big run seen from afar draws its body as instances of few facets: the
// columns and tips of the shape lists' picture, odd cones included; closer
// in, the lists' very picture.
TEST_F(SupportLists, FromAfarInstancesShowWhatTheShapeListsShow)
{
    Generate(m_slab);
    AddOddSupport();
    long primitives = 0;
    for (const DLP_Support& s : qAsConst(m_slab->m_supportMap))
        primitives += s.cones.size() + s.spheres.size();
    QImage listShot, nearShot, farShot;
    Drawn(0, 0, &listShot);
    ASSERT_TRUE(m_slab->m_supportInstances.empty());
    m_slab->m_supportInstances.farBelowPx = 0;
    Drawn(0, 0, &nearShot, true);
    ASSERT_FALSE(m_slab->m_supportInstances.empty()) << "the test's context draws no instances";
    // Every primitive but the cone of no length is an instance.
    EXPECT_EQ(m_slab->m_supportInstances.instanceCount(), primitives - 1);
    EXPECT_EQ(Differing(listShot, nearShot, 0), 0);
    m_slab->m_supportInstances.farBelowPx = 1e9;
    farShot = Shot();
    Save(farShot, "supportedit_instances_far");
    EXPECT_GT(Differing(listShot, farShot, 0), 0);
    EXPECT_LT(Differing(listShot, farShot, 48), listShot.width() * listShot.height() / 100);
    // Every column is there; the tips, under the cones' fewer facets, nearly all.
    ExpectColumnsAndTipsOf(listShot, farShot);
    ExpectSelectedMagenta();
}

// Farther still, a cone is a line as wide as the shaft and a sphere has
// eight facets: the columns and tips of the few facets' picture, lit alike,
// selected or not; where the context cannot draw lines that wide, the few
// facets.
TEST_F(SupportLists, FromFartherConesAreLinesThatShowWhatTheFacetsShow)
{
    SupportInstances* instances = GeneratedInstances();
    ASSERT_NE(instances, nullptr) << "the test's context draws no instances";
    instances->farBelowPx = 1e9;
    instances->tinyBelowPx = 0;
    const QImage facets = Shot();
    instances->tinyBelowPx = 1e9;
    const QImage lines = Shot();
    Save(lines, "supportedit_instances_lines");
    EXPECT_GT(Differing(facets, lines, 0), 0);
    EXPECT_LT(Differing(facets, lines, 48), facets.width() * facets.height() / 100);
    // Lit as the mean across the cone's near side over its far side.
    ExpectColumnsAndTipsOf(facets, lines, 14);
    ExpectSelectedMagenta();
    // A context whose lines are narrower than the shafts draws the facets.
    EXPECT_GE(instances->widestLinePx, 1.0);
    instances->widestLinePx = 1.0;
    EXPECT_EQ(Differing(facets, Shot(), 0), 0);
}

// Tips are drawn as instances from afar too; one a click took away goes
// there as it goes from the tip list, the others stay.
TEST_F(SupportLists, FromAfarATipAClickTookAwayIsGoneAndTheOthersStay)
{
    SupportInstances* instances = GeneratedInstances();
    ASSERT_NE(instances, nullptr) << "the test's context draws no instances";
    instances->farBelowPx = 1e9;
    // The supports whose tips a picture shows, 1-based as a click names them.
    auto tipsShown = [this](const QImage& picture) {
        QVector<int> shown;
        int n = 0;
        for (const DLP_Support& s : qAsConst(m_slab->m_supportMap))
            if (++n && Magenta(At(picture, TipPixel(m_slab, s))))
                shown << n;
        return shown;
    };
    const QVector<int> shown = tipsShown(Shot());
    ASSERT_GT(shown.size(), 2);
    const int taken = shown[shown.size() / 2];
    const DLP_Support gone = *std::next(m_slab->m_supportMap.cbegin(), taken - 1);
    ASSERT_TRUE(m_slab->MarkClickedSupport(taken));
    m_view->makeCurrent();
    m_slab->RebuildSupportTipList();
    const QImage after = Shot();
    Save(after, "supportedit_instances_far_tip_taken");
    EXPECT_FALSE(Magenta(At(after, TipPixel(m_slab, gone))));
    const QVector<int> stillShown = tipsShown(after);
    const auto kept = std::count_if(shown.begin(), shown.end(),
                                    [&](int n) { return n != taken && stillShown.contains(n); });
    EXPECT_EQ(kept, shown.size() - 1);
    m_view->makeCurrent();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The judge is the shaft's width on the screen: an ortho view of 1 mm across
// 400 pixels sees it wide, one of 10 m sees it as a speck.
TEST_F(SupportLists, InstancesDrawOnlyWhereShaftsStandAFewPixelsWide)
{
    SupportInstances* instances = GeneratedInstances();
    ASSERT_NE(instances, nullptr) << "the test's context draws no instances";
    m_view->makeCurrent();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(m_slab->m_supportMatrix.constData());
    const vcg::Point3f c = m_slab->m_supportMap.first().point;
    for (const auto& [halfWidthMm, far] : {std::pair<double, bool>{0.5, false}, {5000.0, true}}) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(c[0] - halfWidthMm, c[0] + halfWidthMm, c[1] - halfWidthMm, c[1] + halfWidthMm, -1e4, 1e4);
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(instances->DrawIfFar(), far) << halfWidthMm;
    }
    // Behind the eye there is no width to judge by: the lists draw.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, 1000);
    EXPECT_FALSE(instances->DrawIfFar());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Shape lists stay few however many radii a run brings; the rest draw inline.
TEST_F(SupportEdit, ShapeListsAreBounded)
{
    m_view->makeCurrent();
    SupportMap map;
    DLP_Support s;
    for (int i = 0; i < 600; ++i)
        s.spheres << SaveSphere({0, 0, 0}, 0.1 + 0.001 * i);
    map.insert(SupportKey(0, 1), s);
    SupportShapeLists shapes;
    shapes.Prepare(map, true);
    EXPECT_EQ(shapes.listCount(), 256);
    shapes.Prepare(map, true);
    EXPECT_EQ(shapes.listCount(), 256);
    shapes.Clear();
    EXPECT_EQ(shapes.listCount(), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// The view volume test of a chunk's box: whatever may show is kept, a box
// wholly beyond one side of the volume is dropped.
TEST(SupportChunkBoxes, WhatMayShowIsKeptAndWhatCannotIsDropped)
{
    QMatrix4x4 projection, modelview;
    projection.perspective(45.f, 1.5f, 1.f, 1000.f);
    modelview.lookAt(QVector3D(0, -100, 100), QVector3D(0, 0, 0), QVector3D(0, 0, 1));
    const QMatrix4x4 clip = projection * modelview;
    auto seen = [&clip](vcg::Point3f lo, vcg::Point3f hi) { return SupportChunks::MayBeSeen(clip.constData(), lo, hi); };
    const struct {
        vcg::Point3f lo, hi;
        bool seen;
        const char* what;
    } cases[] = {
        {{-1, -1, 0}, {1, 1, 5}, true, "in the middle"},
        {{-500, -500, -500}, {500, 500, 500}, true, "round the whole volume, corners beyond different sides"},
        {{60, -1, 0}, {300, 1, 5}, true, "reaching in from the right"},
        {{300, -1, 0}, {320, 1, 5}, false, "beside it"},
        {{-1, -130, 120}, {1, -110, 140}, false, "behind the eye"},
        {{-1, -101, 99}, {1, -99, 101}, true, "round the eye, through the near side"},
        {{-0.05f, -99.8f, 99.7f}, {0.05f, -99.7f, 99.8f}, false, "between the eye and the near side"},
        {{-1, 2000, -2000}, {1, 2010, -1990}, false, "beyond the far side"},
        {{-1, -1, 200}, {1, 1, 210}, false, "above it"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(seen(c.lo, c.hi), c.seen) << c.what;
}

// A support's box holds its cones' end discs and its spheres; one that
// cannot be bounded (a coordinate not finite) says so, and its chunk is
// then always drawn.
TEST(SupportChunkBoxes, ASupportsBoxHoldsItsShapesOrSaysItHasNone)
{
    DLP_Support s;
    s.cones << SaveCone(vcg::Point3f(1, 2, 10), 0.3, vcg::Point3f(1, 2, 8), 0.5)
            << SaveCone(vcg::Point3f(1, 2, 8), 0.5, vcg::Point3f(4, 2, 0), 0.7);
    s.spheres << SaveSphere(vcg::Point3f(1, 2, 8), 0.9);
    vcg::Point3f lo, hi;
    ASSERT_TRUE(SupportChunks::BoxOf(s, lo, hi));
    const float want[2][3] = {{1 - 0.9f, 2 - 0.9f, -0.7f}, {4 + 0.7f, 2 + 0.9f, 10 + 0.3f}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(lo[k], want[0][k], 1e-5f) << k;
        EXPECT_NEAR(hi[k], want[1][k], 1e-5f) << k;
    }
    DLP_Support empty;
    EXPECT_FALSE(SupportChunks::BoxOf(empty, lo, hi));
    DLP_Support broken = s;
    broken.spheres << SaveSphere(vcg::Point3f(1, std::nanf(""), 8), 0.9);
    EXPECT_FALSE(SupportChunks::BoxOf(broken, lo, hi));
    broken = s;
    broken.cones << SaveCone(vcg::Point3f(1, 2, 8), std::numeric_limits<double>::infinity(), vcg::Point3f(1, 2, 0), 0.5);
    EXPECT_FALSE(SupportChunks::BoxOf(broken, lo, hi));
}

// Zoomed in on part of a big run drawn from shape lists, only the chunks
// the view may see are drawn, and the picture is the one of all of them.
TEST_F(SupportLists, ZoomedInTheChunksOutOfViewAreLeftOutOfThePicture)
{
    Lift(m_slab);
    const QVector3D lo = m_slab->m_minBound, hi = m_slab->m_maxBound;
    uint code = 100;
    for (int j = 0; j < 12; ++j)
        for (int i = 0; i < 12; ++i) {
            const float x = lo.x() + (i + 0.5f) * (hi.x() - lo.x()) / 12, y = lo.y() + (j + 0.5f) * (hi.y() - lo.y()) / 12;
            AddRecord(m_slab, QVector3D(x, y, lo.z()), code++);
        }
    m_slab->RebuildSupportIndex();
    m_slab->m_supportShapes.inlineBodyTriangles = 0; // from shape lists, in chunks
    m_view->makeCurrent();
    m_slab->DrawSupportX();
    Shot();
    const SupportChunks& chunks = m_slab->m_supportBody;
    ASSERT_GT(chunks.chunkCount(), 4);
    EXPECT_EQ(chunks.drawnLastFrame(), chunks.chunkCount());
    // Four times closer, on the right-hand end of the slab.
    m_view->camera()->SetViewportScale(16);
    m_view->camera()->Translate(-26, -4, false);
    m_view->camera()->Translate(0, 0, true);
    const QImage zoomed = Shot();
    Save(zoomed, "supportedit_chunks_zoomed");
    const int drawn = chunks.drawnLastFrame();
    m_slab->m_supportBody.cullOutsideView = false;
    const QImage all = Shot();
    m_slab->m_supportBody.cullOutsideView = true;
    EXPECT_GT(drawn, 0);
    EXPECT_LT(drawn, chunks.chunkCount());
    EXPECT_EQ(Differing(zoomed, all, 0), 0);
    int amber = 0;
    for (int y = 0; y < zoomed.height(); ++y)
        for (int x = 0; x < zoomed.width(); ++x)
            amber += Amber(At(zoomed, QPoint(x, y)));
    EXPECT_GT(amber, zoomed.width() * zoomed.height() / 20) << "the zoomed view shows the columns";
}
