#include "plate_fixture.h"

#include <QSignalSpy>

#include <GL/gl.h>

#include <cmath>

namespace {

QMatrix4x4 Translation(float x, float y) { return QMatrix4x4(1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, 0, 0, 0, 0, 1); }
QMatrix4x4 ScaledZ(float k) { return QMatrix4x4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, k, 0, 0, 0, 0, 1); }
QMatrix4x4 Turned(float deg)
{
    QMatrix4x4 m;
    m.rotate(deg, 0, 0, 1);
    return m;
}

} // namespace

// 96 x 54 x 200 mm bound. Grey: placed, blue: selected, red: (about to be) off the plate or too high.
TEST_F(PlateGL, InstanceColoursTellPlacementSelectionAndPendingEdits)
{
    VSL3DScene& s = *m_scene;
    VSLModel3D* cube = Model(testmesh::Cube(10));
    VSLModelPainter* a = Place(cube, -30, 0);
    Place(cube, 48, 0); // half beyond x = 48
    Place(Model(testmesh::Box({0, 0, 0}, {8, 8, 250})), 0, 15); // taller than the build volume
    TopView(2);
    // colour: g, b, r, or w for the background.
    const struct { const char* what; bool select, freeze; int mode; QMatrix4x4 pending; QPointF at; char colour; }
        cases[] = {
        {"placed", false, false, 0, {}, {-30, 0}, 'g'},
        {"off the plate in XY", false, false, 0, {}, {46, 0}, 'r'},
        {"only above the build height", false, false, 0, {}, {0, 15}, 'g'},
        {"selected", true, false, 0, {}, {-30, 0}, 'b'},
        {"others stay", true, false, 0, {}, {0, 15}, 'g'},
        {"move beyond x = -48", true, false, 0, Translation(-15, 0), {-45, 0}, 'r'},
        {"move within", true, false, 0, Translation(-5, 0), {-35, 0}, 'b'},
        // A quarter turn carries the box past the front edge: counted as a move, not during a rotate drag.
        {"turn as a move", true, false, 0, Turned(90), {0, -30}, 'r'},
        {"rotate drag", true, false, 1, Turned(90), {0, -30}, 'b'},
        {"scale above the height", true, false, 2, ScaledZ(25), {-30, 0}, 'r'},
        {"scale within", true, false, 2, ScaledZ(1.5f), {-30, 0}, 'b'},
        // Support editing frozen: only the selected instance is drawn.
        {"frozen: selected", true, true, 0, {}, {-30, 0}, 'g'},
        {"frozen: others left out", true, true, 0, {}, {0, 15}, 'w'},
        {"frozen: others left out", true, true, 0, {}, {46, 0}, 'w'},
    };
    for (const auto& c : cases) {
        Select(c.select ? a : nullptr);
        s.m_bFreeze = c.freeze;
        s.EditMode = c.mode;
        s.m_pendingTransform = c.pending;
        Clear();
        s.DrawModels();
        if (c.freeze && c.at.x() < 0)
            SaveFrame("instances_frozen_support_edit");
        const Rgb got = AtTop(float(c.at.x()), float(c.at.y()));
        const bool ok = c.colour == 'g' ? got.grey() && got.r < 230
                      : c.colour == 'b' ? got.blue()
                      : c.colour == 'r' ? got.red()
                                        : got.r > 230;
        EXPECT_TRUE(ok) << c.what << " " << got;
    }
    s.m_bFreeze = false;
}

TEST_F(PlateGL, TranslateRubberLabelsAndArrowHead)
{
    VSL3DScene& s = *m_scene;
    VSLModelPainter* p = Place(Model(testmesh::Cube(10)), 0, 0);
    Select(p);
    s.EditMode = 0;
    QSignalSpy labels(&s, &VSL3DScene::signal_RenderText);
    const struct { float dx; const char* text; bool head; } cases[] = {
        {1.5f, "X = 1.5mm", false}, {2.5f, "X = 2.5mm", true}, {-12.f, "X = -12.0mm", true}};
    for (const auto& c : cases) {
        s.m_pendingTransform = Translation(c.dx, 0);
        labels.clear();
        TopView(10);
        Clear();
        s.DrawRubber();
        // Inside the head (beside the 2-pixel line), between its tip and base.
        const float tipSide = c.dx > 0 ? 1.f : -1.f;
        const Rgb head = AtTop(c.dx - tipSide * 1.0f, 0.25f);
        EXPECT_EQ(head.red(), c.head) << c.text << head;
        ASSERT_EQ(labels.size(), 2);
        EXPECT_EQ(labels[0][0].toString(), QString(c.text));
        EXPECT_EQ(labels[0][1].value<QVector3D>(), QVector3D(c.dx - 1.5f, 0, 0));
        EXPECT_EQ(labels[1][0].toString(), QString("Y = 0.0mm"));
    }
    // A rotate drag labels the angle, truncated, with the degree sign.
    s.EditMode = 1;
    s.m_pressPoint = QVector3D(10, 0, 5);
    s.m_dRubberAngle = 370.7;
    QMatrix4x4 r;
    r.translate(p->m_center);
    r.rotate(10.7f, 0, 0, 1);
    r.translate(-p->m_center);
    s.m_pendingTransform = r;
    labels.clear();
    TopView(4);
    Clear();
    s.DrawRubber();
    SaveFrame("rubber_rotate_370deg");
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0][0].toString(), QString("370") + QChar(0x00B0));
    // No pending edit: no band.
    s.m_pendingTransform.setToIdentity();
    labels.clear();
    s.DrawRubber();
    EXPECT_EQ(labels.size(), 0);
}

TEST(CalArcPoints, StepsOfOneTenthDegree)
{
    const QVector3D c(1, 2, 3), start(3, 2, 3), axis(0, 0, 2);
    const QVector<QVector3D> sentinel{{9, 9, 9}};
    // points -1: list untouched; span: degrees from the first to the last point.
    const struct { double angle; int points; double span; } cases[] = {
        {45, 451, 45}, {0.05, 0, 0}, {1200, -1, 0}, {-1001, -1, 0}, {370, 101, 10}, {-30, 301, 30}, {1000, 801, 80}};
    for (const auto& t : cases) {
        QVector<QVector3D> out = sentinel;
        CalArcPoints(t.angle, out, c, start, axis);
        if (t.points < 0) {
            EXPECT_EQ(out, sentinel) << t.angle;
            continue;
        }
        ASSERT_EQ(out.size(), t.points) << t.angle;
        if (t.points == 0)
            continue;
        EXPECT_EQ(out.first(), start);
        const QVector3D last = out.last() - c;
        // The arc keeps its radius and turns positively about the axis.
        EXPECT_NEAR(last.length(), 2.0f, 1e-3f);
        const double turned = std::atan2(last.y(), last.x()) * 180 / M_PI;
        EXPECT_NEAR(std::fmod(turned + 360, 360), t.span, 0.05) << t.angle;
    }
    // Degenerate input leaves an empty list.
    const struct { QVector3D start, axis; } degenerate[] = {
        {c, axis}, {start, {0, 0, 0}}, {start + QVector3D(0, 0, 0.1f), axis}};
    for (const auto& d : degenerate) {
        QVector<QVector3D> out = sentinel;
        CalArcPoints(45, out, c, d.start, d.axis);
        EXPECT_TRUE(out.isEmpty());
    }
}
