// What the view draws and picks, checked on its own frame.
#include "glview_fixture.h"

#include "VSLEditHandlers.h"
#include "VSLXYZPainter.h"

#include <cmath>

namespace {

// A box edge: grey, well darker than the background (multisampled 1-pixel line).
bool IsEdge(Px c) { return c.grey() && c.r < 200; }

// A 20 mm cube standing on the plate.
QVector<QVector3D> kCube = {{-10, -10, 0}, {10, 10, 20}};

} // namespace

class GLViewFrame : public GLView {
protected:
    VSLModelPainter* LoadCube(const QString& name = "cube.stl")
    {
        return Load(BoxFile(name, kCube[0], kCube[1]));
    }
    QVector3D TopCentre(VSLModelPainter* p) { return {p->m_center.x(), p->m_center.y(), p->m_maxBound.z()}; }
    // Checks model, grid, box and background at projected points.
    void ExpectPlate(const QImage& f, VSLModelPainter* p)
    {
        const Px plate = At(f, Project({-42, -23, 0}));  // between grid lines, clear of the model
        const Px model = At(f, Project(TopCentre(p)));
        EXPECT_FALSE(model.near(kBackground, 20)) << model;
        EXPECT_FALSE(model.near(plate, 10)) << model << " plate " << plate;
        EXPECT_FALSE(plate.near(kBackground, 20)) << plate;
        // Grid lines every 10 mm, lighter than the plate.
        EXPECT_TRUE(AnyNear(f, Project({-30, -20, 0}), 1, [&](Px c) { return c.grey() && c.r > plate.r + 25; }));
        // Top edges of the 96 x 54 x 100 mm box against the background.
        for (QVector3D e : {QVector3D(0, -27, 100), QVector3D(48, 0, 100), QVector3D(-48, 0, 100)})
            EXPECT_TRUE(AnyNear(f, Project(e), 1, IsEdge)) << e.x() << "," << e.y();
        EXPECT_TRUE(At(f, Project({0, 0, 160})).near(kBackground, 3));
        EXPECT_TRUE(At(f, Project({75, 0, 0})).near(kBackground, 3));
    }
};

TEST_F(GLViewFrame, ModelOnGridInsideBoxAndTurnedByARingDrag)
{
    VSLModelPainter* p = LoadCube();
    QImage f = Frame();
    Save(f, "glview_plate");
    ExpectPlate(f, p);
    // Select by a click, rotate mode, then drag ring 0 (about z) by 45 degrees.
    Click(Project(TopCentre(p)));
    ASSERT_EQ(m_view->selectedNumber(), p->pickId());
    m_view->slot_ReceiveEditList({6, 3, 1});
    Frame();
    const QVector3D c = p->m_center;
    const double r = p->GetMaxLength() / 2;
    auto ring = [&](double deg) {
        const double a = deg * M_PI / 180;
        return Project(c + QVector3D(float(r * std::cos(a)), float(r * std::sin(a)), 0));
    };
    // The handle pixel nearest the ring's projection at -90 degrees.
    QPoint handle;
    const QPoint start = ring(-90);
    for (int d = 0; d <= 4 && handle.isNull(); ++d)
        for (int dy = -d; dy <= d && handle.isNull(); ++dy)
            for (int dx = -d; dx <= d && handle.isNull(); ++dx)
                if (std::max(std::abs(dx), std::abs(dy)) == d && m_view->GetLocateCoord(start + QPoint(dx, dy)) == 1)
                    handle = start + QPoint(dx, dy);
    ASSERT_FALSE(handle.isNull()) << "ring 0 not under its projection";
    Press(handle);
    const QVector3D grabbed = m_view->editHandlers()->pressPoint3D() - c;
    ASSERT_NEAR(grabbed.z(), 0, 1e-3);
    // 44 degrees on from the grabbed point: snapped to 45.
    const double a0 = std::atan2(grabbed.y(), grabbed.x()) * 180 / M_PI;
    QSignalSpy lists(m_view.get(), &VSLGLView::signal_SendEditList);
    MoveWith(ring(a0 + 20), Qt::LeftButton);
    MoveWith(ring(a0 + 44), Qt::LeftButton);
    ASSERT_EQ(lists.count(), 2);
    EXPECT_EQ(lists.last().at(0).toList(), QVariantList({1, 0.f, 0.f, 45.f}));
    f = Frame();
    Save(f, "glview_ring_drag");
    Release(ring(a0 + 44));
    EXPECT_LT((p->m_maxBound - p->m_minBound - QVector3D(20 * std::sqrt(2.f), 20 * std::sqrt(2.f), 20)).length(), 0.05);
    const float turned = float(std::atan2(p->m_matrix(1, 0), p->m_matrix(0, 0)) * 180 / M_PI);
    EXPECT_NEAR(std::fabs(turned), 45, 0.01);
    f = Frame();
    Save(f, "glview_ring_released");
    // Selected: shaded blue, no longer the plain grey.
    const Px model = At(f, Project(TopCentre(p)));
    EXPECT_GT(model.b, model.r + 30) << model;
    EXPECT_TRUE(AnyNear(f, Project({0, -27, 100}), 1, IsEdge));
}

TEST_F(GLViewFrame, ThreePickersAgree)
{
    VSLModelPainter* a = LoadCube("a.stl");
    VSLModelPainter* b = LoadCube("b.stl");
    ASSERT_NE(a->m_center.toVector2D(), b->m_center.toVector2D());
    Frame();
    const struct { QPoint p; int id; } cases[] = {{Project(TopCentre(a)), a->pickId()},
        {Project(TopCentre(b)), b->pickId()}, {Project({0, 0, 160}), 0}, {Project({-40, -22, 0}), 0}};
    for (const auto& k : cases)
        EXPECT_EQ(QVector<int>({m_view->GetLocateModelPainter(k.p), m_view->GetLocateModelPainterX(k.p),
                                m_view->GetLocateModelPainterXX(k.p)}), QVector<int>(3, k.id));
    // The pick frame is not left on screen.
    ExpectPlate(Frame(), a);
}

TEST_F(GLViewFrame, MoveLabelsDrawnWithQPainterLeaveTheBoxDrawnAfterThem)
{
    VSLModelPainter* p = LoadCube();
    const QPoint top = Project(TopCentre(p));
    Click(top);
    ASSERT_EQ(m_view->selectedNumber(), p->pickId());
    QSignalSpy labels(m_view->scene(), &VSL3DScene::signal_RenderText);
    Press(top);
    MoveWith(top + QPoint(60, 0), Qt::LeftButton);
    const QImage f = Frame();
    Save(f, "glview_move_labels");
    EXPECT_GE(labels.count(), 2);
    for (QVector3D e : {QVector3D(0, -27, 100), QVector3D(48, 0, 100), QVector3D(-48, 0, 100)})
        EXPECT_TRUE(AnyNear(f, Project(e), 1, IsEdge)) << e.x();
    // The box's bottom edge on the first grid line shows only if equal depths pass (QPainter leaves GL_LESS).
    for (float y : {-15.f, 0.f, 15.f}) {
        const Px edge = At(f, Project({-48, y, 0}));
        EXPECT_TRUE(edge.grey() && edge.r < 130) << y << " " << edge;
    }
    Release(top + QPoint(60, 0));
    EXPECT_GT(p->m_center.x(), 5.f);
}

TEST_F(GLViewFrame, LaterFitsReuseTheFirstFitsScale)
{
    Frame();
    ASSERT_TRUE(m_view->isFitted());
    const float first = m_view->fitScale();
    QWheelEvent wheel(QPointF(400, 300), QPointF(400, 300), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_view.get(), &wheel);
    EXPECT_GT(m_view->camera()->getViewportScale(), first);
    m_view->SetBound(2560, 1440, 47.25f, 47.25f, 150);
    EXPECT_FALSE(m_view->isFitted());
    const QImage f = Frame();
    EXPECT_TRUE(m_view->isFitted());
    EXPECT_FLOAT_EQ(m_view->camera()->getViewportScale(), first);
    // The new box (120.96 x 68.04 x 150 mm) is drawn.
    EXPECT_TRUE(AnyNear(f, Project({0, -34.02f, 150}), 1, IsEdge));
}

// Picks, clicks, drags and labels agree with what the frame shows, at any
// pixel density (this table also runs with QT_SCALE_FACTOR=2).
TEST_F(GLViewFrame, PicksDragsAndLabelsMatchTheFrame)
{
    VSLModelPainter* a = LoadCube("a.stl");
    VSLModelPainter* b = LoadCube("b.stl");
    Frame();
    // Close enough that the plate fills the middle of the view.
    m_view->camera()->FastViewer(6);
    m_view->camera()->SetViewportScale(1.6f);
    m_view->camera()->Translate(-8, -4, false);
    m_view->camera()->Translate(0, 0, true);
    QImage f = Frame();
    Save(f, "glview_pick_table");
    // The selected model's shade: blue, or red off the plate.
    auto blue = [](Px c) { return c.b > c.r + 30 || (c.r > c.g + 60 && c.r > c.b + 60); };
    const struct { const char* what; QPoint p; int id; } picks[] = {
        {"a", Project(TopCentre(a)), a->pickId()},
        {"b", Project(TopCentre(b)), b->pickId()},
        {"above the plate", Project({0, 0, 160}), 0},
        {"plate beside the models", Project({-40, -22, 0}), 0},
    };
    // Each picker, and a click, finds what the frame shows under the point.
    for (const auto& k : picks) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(QVector<int>({m_view->GetLocateModelPainter(k.p), m_view->GetLocateModelPainterX(k.p),
                                m_view->GetLocateModelPainterXX(k.p)}), QVector<int>(3, k.id));
        Click(k.p);
        EXPECT_EQ(m_view->selectedNumber(), k.id);
        f = Frame();
        EXPECT_EQ(blue(At(f, k.p)), k.id != 0) << At(f, k.p);
    }
    Click(Project(TopCentre(a)));
    ASSERT_EQ(m_view->selectedNumber(), a->pickId());

    // A move drag keeps the grabbed point under the cursor; its label lies
    // where its world point is drawn.
    QSignalSpy labels(m_view->scene(), &VSL3DScene::signal_RenderText);
    const QPoint grab = Project(TopCentre(a));
    const QPoint to = grab + QPoint(40, 25);
    Press(grab);
    MoveWith(to, Qt::LeftButton);
    const QPoint end = Project(m_view->hoverPoint());
    EXPECT_LE((end - to).manhattanLength(), 2) << end.x() << "," << end.y();
    f = Frame();
    Save(f, "glview_pick_table_drag");
    ASSERT_GE(labels.count(), 1);
    const QPoint label = Project(labels.last().at(1).value<QVector3D>());
    // The label text (light) right of and above its anchor, over the plate.
    EXPECT_TRUE(AnyNear(f, label + QPoint(12, -5), 8, [](Px c) { return c.grey(20) && c.r > 215; }))
        << label.x() << "," << label.y();
    Release(to);
    EXPECT_LE((Project(TopCentre(a)) - to).manhattanLength(), 2);
    f = Frame();
    EXPECT_TRUE(blue(At(f, to)));
    EXPECT_FALSE(blue(At(f, grab)));

    // The triad's labels stand where they are drawn: dark text beside each.
    const QPoint* pos = m_view->axisTriad()->m_labelPos;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AnyNear(f, pos[i] + QPoint(4, -5), 6, [](Px c) { return c.grey() && c.r < 90; }))
            << "XYZ"[i] << " at " << pos[i].x() << "," << pos[i].y();
}
