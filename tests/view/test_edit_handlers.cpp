#include "../scene/scene_fixture.h"
#include "event_wait.h"
#include "VEditModeWidget.h"
#include "VSLEditHandlers.h"
#include "edit_test_util.h"

#include <QTest>

#include <cmath>
#include <tuple>

namespace {

QVector3D VectorAt(const QVariantList& l, int first)
{
    return QVector3D(l.at(first).toFloat(), l.at(first + 1).toFloat(), l.at(first + 2).toFloat());
}

// One ready, selected 10 x 20 x 10 box, the view's handlers and a top-down pick ray.
class EditHandlers : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        ASSERT_TRUE(m_scene.AddModel(CenteredBox("box", 10, 20, 10)));
        ASSERT_TRUE(WaitUntilReady());
        m_p = Last();
        Select(m_p);
        m_service.SetRaySource(TopDown);
    }
    QVector3D Bottom() const
    {
        return QVector3D(m_p->m_center.x(), m_p->m_center.y(), m_p->m_minBound.z());
    }
    QVector3D Size() const { return m_p->m_maxBound - m_p->m_minBound; }
    void Send(QVariantList l) { m_h.ReceiveEditList(l); }
    void Drag(QPoint press, QPoint move)
    {
        m_h.SetPressPoint(press);
        m_h.UpdatePressPoint3D();
        Move(move);
    }
    void Move(QPoint move)
    {
        m_h.SetMovePoint(move);
        m_h.UpdateMovePoint3D();
    }
    // The last [5, ...] echo must describe the instance as it is now.
    void ExpectLastEchoMatches()
    {
        QVariantList last;
        for (const QList<QVariant>& args : m_lists)
            if (args.at(0).toList().value(0).toInt() == 5)
                last = args.at(0).toList();
        ExpectEcho(last, Bottom(), m_p->m_scale, Size());
    }
    // A 10-value echo: vectors at 1, 4 and 7.
    static void ExpectEcho(const QVariantList& l, QVector3D a, QVector3D b, QVector3D c)
    {
        ASSERT_EQ(l.size(), 10);
        ExpectNear(VectorAt(l, 1), a);
        ExpectNear(VectorAt(l, 4), b);
        ExpectNear(VectorAt(l, 7), c);
    }
    // A fake support set: the flag is what the edits keep or drop.
    void GiveSupports(VSLModelPainter* p) { p->m_bHasSupports = true; }

    VSLEditService m_service;
    VSLEditHandlers m_h{&m_scene, &m_service};
    QSignalSpy m_lists{&m_h, &VSLEditHandlers::signal_SendEditList};
    QSignalSpy m_status{&m_h, &VSLEditHandlers::sig_SceneStatusChanged};
    VSLModelPainter* m_p = nullptr;
};

TEST_F(EditHandlers, MoveRotateAndScaleCommandsCommitAsWhatTheyAre)
{
    struct Case { int editMode; QVariantList list; QVector3D bottom /* NaN x: unchanged */, size; bool supportsKept; };
    const float keep = std::nanf("");
    const Case cases[] = {
        {0, {0, 5, 3, 2}, {5, 3, 2}, {10, 20, 10}, true},
        {2, {0, -4, 1, 0}, {-4, 1, 0}, {10, 20, 10}, true},    // a move in scale mode stays a move
        {1, {1, 0, 0, 90}, {0, 0, 0}, {20, 10, 10}, false},
        {0, {1, 0, 0, 90}, {0, 0, 0}, {20, 10, 10}, false},    // a rotation in move mode too
        {1, {1, 90, 0, 0}, {0, 0, 0}, {10, 10, 20}, false},    // tipped over, back onto the plate
        {2, {2, 2, 2, 2}, {0, 0, 0}, {20, 40, 20}, false},
        {0, {2, 1, 0.5, 3}, {0, 0, 0}, {10, 10, 30}, false},
        {0, {2, 1e-4, 1e-4, 1e-4}, {0, 0, 0}, {1e-3f, 2e-3f, 1e-3f}, false},  // a panel going from 100 to 0.01
        {0, {2, 0, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {2, keep, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {2, -1, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {2, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {0, "x", 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {0, INFINITY, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {4, 1}, {keep, 0, 0}, {10, 20, 10}, true},
        {0, {0, 0, 0, 0}, {keep, 0, 0}, {10, 20, 10}, true},  // the current bottom centre: identity
        // Rotations and scales that change nothing keep the automatic supports.
        {1, {1, 0, 0, 0}, {keep, 0, 0}, {10, 20, 10}, true},
        {2, {2, 1, 1, 1}, {keep, 0, 0}, {10, 20, 10}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.editMode << " list " << c.list.value(0).toInt() << ","
                                        << c.list.value(1).toString().toStdString());
        ASSERT_EQ(m_scene.ResetSelectedModel(), SceneOp::Done);
        GiveSupports(m_p);
        m_scene.EditMode = c.editMode;
        const QMatrix4x4 before = m_p->m_matrix;
        m_status.clear();
        Send(c.list);
        EXPECT_EQ(m_status.last().at(0).toInt(), 1);
        EXPECT_EQ(m_p->m_bHasSupports, c.supportsKept);
        EXPECT_TRUE(m_scene.m_pendingTransform.isIdentity());
        if (std::isnan(c.bottom.x())) {
            EXPECT_EQ(m_p->m_matrix, before);
            continue;
        }
        ExpectNear(Bottom(), c.bottom);
        ExpectNear(Size(), c.size);
        // A recomputed hull spans the footprint plus margin, never a hull mapped by the edit.
        const QVector<QVector2D> hull = m_p->m_hull;
        m_p->UpdateModelHull();
        EXPECT_EQ(hull, m_p->m_hull);
    }
    m_p->m_bHasSupports = false;
}

TEST_F(EditHandlers, FitScalesIntoTheVolumeInAnyModeAndMultipliesTheStoredScale)
{
    for (int mode : {0, 1, 2}) {
        ASSERT_EQ(m_scene.ResetSelectedModel(), SceneOp::Done);
        m_p->m_scale = QVector3D(1, 1, 1);
        m_scene.EditMode = mode;
        m_lists.clear();
        Send({6, 1});
        // 95 % of 54 mm over a 20 mm deep box.
        const float k = 51.3f / 20;
        ExpectNear(Size(), QVector3D(10, 20, 10) * k, 1e-2f);
        ExpectNear(Bottom(), {0, 0, 0});
        ExpectNear(m_p->m_scale, {k, k, k});
        const QVector<QVector2D> hull = m_p->m_hull;
        m_p->UpdateModelHull();
        EXPECT_EQ(hull, m_p->m_hull) << mode;
        ExpectLastEchoMatches();
        // The new record reaches the panel before the selection announcement,
        // which has the panel write its fields back.
        ASSERT_GE(m_lists.size(), 2);
        ExpectEcho(m_lists.at(0).at(0).toList(), Bottom(), {k, k, k}, Size());
        EXPECT_EQ(m_lists.at(1).at(0).toList(), (QVariantList{4, m_p->pickId()}));
    }
    // A volume of size 0 asks for a collapse: nothing changes.
    m_scene.SetBound({0, 0, 0}, {0, 0, 0}, 50, 50);
    const QMatrix4x4 before = m_p->m_matrix;
    const QVector3D scale = m_p->m_scale;
    Send({6, 1});
    EXPECT_EQ(m_p->m_matrix, before);
    EXPECT_EQ(m_p->m_scale, scale);
}

TEST_F(EditHandlers, FitAndResetWithNothingSelectedOnlyRemoveSupports)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("box2", 8, 8, 8)));
    QMap<int, QMatrix4x4> before;
    for (VSLModelPainter* p : m_scene.instances()) {
        GiveSupports(p);
        before.insert(p->m_nNumber, p->m_matrix);
    }
    m_scene.SetPickModelPainter(0);
    for (int sub : {1, 0}) {
        m_lists.clear();
        m_status.clear();
        Send({6, sub});
        for (VSLModelPainter* p : m_scene.instances()) {
            EXPECT_FALSE(p->m_bHasSupports);
            EXPECT_EQ(p->m_matrix, before.value(p->m_nNumber));
            GiveSupports(p);
        }
        EXPECT_EQ(m_status.first().at(0).toInt(), 3);
        EXPECT_EQ(m_status.last().at(0).toInt(), 1);
        // The reset still reports the (empty) selection; the fit has none to report.
        ASSERT_EQ(m_lists.size(), sub == 0 ? 1 : 0);
        if (sub == 0) {
            EXPECT_EQ(m_lists.first().at(0).toList(), (QVariantList{4, -1}));
        }
    }
    for (VSLModelPainter* p : m_scene.instances())
        p->m_bHasSupports = false;
}

// Reset, fit and the support panel's Remove take the selection's generated supports.
TEST_F(EditHandlers, ResetFitAndRemoveDropTheSelectionsSupports)
{
    for (int sub : {0, 1, -1}) {
        SCOPED_TRACE(sub);
        GiveSupports(m_p);
        m_status.clear();
        if (sub < 0)
            EXPECT_EQ(m_h.RemoveSupport(), SceneOp::Done);
        else
            Send({6, sub});
        EXPECT_FALSE(m_p->m_bHasSupports);
        EXPECT_EQ(m_status.first().at(0).toInt(), 3);
    }
}

// Modes are signalled only when they change; a list without a valid mode changes nothing.
TEST_F(EditHandlers, LayoutBarModesAreSignalledOnlyWhenTheyChange)
{
    VEditModeWidget bar;
    QObject::connect(&bar, &VEditModeWidget::signal_SendEditMode, &m_h, &VSLEditHandlers::ReceiveEditList);
    QSignalSpy sent(&bar, &VEditModeWidget::signal_SendEditMode);
    QSignalSpy changed(&m_scene, &VSL3DScene::signal_EditModeChanged);
    struct Case { int button; QVariantList list; int mode, emitted; };
    const Case cases[] = {
        {0, {}, 0, 0},     {1, {}, 1, 1},      {1, {}, 1, 1},     {2, {}, 2, 2}, {3, {}, 2, 2},
        {-1, {}, 2, 2},    {-1, {6, 3, 7}, 2, 2}, {-1, {6, 3}, 2, 2}, {0, {}, 0, 3},
    };
    for (const Case& c : cases) {
        sent.clear();
        if (c.list.isEmpty())
            bar.layoutBarClicked(c.button);
        else
            Send(c.list);
        if (c.list.isEmpty() && c.button >= 0 && c.button <= 2) {
            ASSERT_EQ(sent.size(), 1);
            EXPECT_EQ(sent.first().at(0).toList(), (QVariantList{6, 3, c.button}));
            for (const QVariant& v : sent.first().at(0).toList())
                EXPECT_EQ(v.userType(), QMetaType::Int);
        } else {
            EXPECT_TRUE(sent.isEmpty()) << c.button;
        }
        EXPECT_EQ(m_scene.EditMode, c.mode);
        EXPECT_EQ(changed.size(), c.emitted);
    }
    EXPECT_EQ(changed.last().at(0).toInt(), 0);
    Send({6, 2, false});
    EXPECT_FALSE(m_scene.m_bUniformScale);
    Send({6, 2, true});
    EXPECT_TRUE(m_scene.m_bUniformScale);
}

TEST_F(EditHandlers, MoveDragSendsEachPositionKeepsItAtTheHorizonAndTheReleaseCommitsIt)
{
    m_scene.EditMode = 0;
    m_h.SetSurfaceSource([](QVector3D& point, QPoint const& p) {
        point = QVector3D(p.x() / 10.f, -p.y() / 10.f, 10);  // the box's top
        return true;
    });
    GiveSupports(m_p);
    m_h.SetPressPoint(PixelOf(1, 2));
    m_h.UpdatePressPoint3D();
    const QVector2D moves[] = {{3, 2}, {6, -1}, {-2.5f, 7}};
    for (const QVector2D& m : moves) {
        Move(PixelOf(m.x(), m.y()));
        const QVariantList l = m_lists.last().at(0).toList();
        ASSERT_EQ(l.value(0).toInt(), 0);
        ExpectNear(VectorAt(l, 1), QVector3D(m.x() - 1, m.y() - 2, 0));
    }
    // A ray parallel to the plate (the horizon of a side view) moves nothing.
    const QMatrix4x4 last = m_scene.m_pendingTransform;
    m_service.SetRaySource([](QPoint const&, QVector3D& a, QVector3D& b) {
        a = QVector3D(0, -50, 10);
        b = QVector3D(0, -20, 10);
        return true;
    });
    Move(PixelOf(9, 9));
    EXPECT_EQ(m_scene.m_pendingTransform, last);
    EXPECT_EQ(m_lists.size(), 3);
    ASSERT_EQ(m_h.CommitDrag(), SceneOp::Done);
    ExpectNear(Bottom(), VectorAt(m_lists.last().at(0).toList(), 1), 1e-5f);
    EXPECT_TRUE(m_p->m_bHasSupports);
    m_p->m_bHasSupports = false;
}

// A ring drag shows the turn with the supports; they go only when the
// release applies it, and a release that is refused keeps them.
TEST_F(EditHandlers, ARotateDragKeepsTheAutomaticSupportsWhenTheRotationIsRefused)
{
    struct Row { const char* name; int editState; bool applied; };
    const Row rows[] = {{"refused: supports being edited", 3, false}, {"applied", 1, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(m_scene.ResetSelectedModel(), SceneOp::Done);
        GiveSupports(m_p);
        const QMatrix4x4 before = m_p->m_matrix;
        m_scene.EditMode = 1;
        m_scene.m_rotateCoord.m_nHoverPart = 0;  // the ring about z
        m_scene.SelectPickCoord();
        m_h.SetEditState(r.editState);
        Drag(PixelOf(5, 0), PixelOf(0, 5));
        Move(PixelOf(-5, 0));
        EXPECT_FALSE(m_scene.m_pendingTransform.isIdentity());
        EXPECT_TRUE(m_p->m_bHasSupports) << "dropped while dragging";
        EXPECT_EQ(m_h.CommitDrag() == SceneOp::Done, r.applied);
        EXPECT_EQ(m_p->m_bHasSupports, !r.applied);
        EXPECT_EQ(m_p->m_matrix == before, !r.applied);
    }
    m_h.SetEditState(1);
    m_p->m_bHasSupports = false;
}

TEST_F(EditHandlers, LockedScaleDragUsesPixelRowsAndStaysValidAtTheTopEdge)
{
    m_scene.EditMode = 2;
    m_scene.m_bUniformScale = true;
    struct Case { int pressRow, moveRow; float factor; };
    const Case cases[] = {{200, 100, 2}, {100, 200, 0.5f}, {0, 100, 0.01f}, {200, 0, 200}, {0, 0, 1}};
    for (const Case& c : cases) {
        Drag(QPoint(50, c.pressRow), QPoint(60, c.moveRow));
        const QMatrix4x4 m = m_scene.m_pendingTransform;
        EXPECT_TRUE(AllFinite(m));
        EXPECT_NEAR(m(0, 0), c.factor, c.factor * 1e-6f) << c.pressRow << " -> " << c.moveRow;
        m_scene.m_pendingTransform.setToIdentity();
    }
    m_lists.clear();
    Drag(QPoint(50, 200), QPoint(50, 100));
    ASSERT_EQ(m_lists.size(), 1);
    ExpectEcho(m_lists.first().at(0).toList(), {2, 2, 2}, {0, 0, 0}, {20, 40, 20});
    // Committed only in edit state 1; only bounds and hull change (no topology pass, no list rebuild).
    VSLModel3D* model = m_p->m_pModel;
    auto state = [model] {
        return std::make_tuple(model->GetDisplayList(), model->displayListsStale(), model->checkStatus(),
                               model->fixStatus(), model->m_vTriangles.constData(), model->m_bDataChanged.load());
    };
    const auto before = state();
    m_h.SetEditState(3);
    EXPECT_EQ(m_h.CommitDrag(), SceneOp::Unchanged);
    ExpectNear(Size(), {10, 20, 10});
    m_h.SetEditState(1);
    Drag(QPoint(50, 200), QPoint(50, 100));
    ASSERT_EQ(m_h.CommitDrag(), SceneOp::Done);
    ExpectNear(Size(), {20, 40, 20});
    ExpectNear(Bottom(), {0, 0, 0});
    EXPECT_TRUE(state() == before);
}

// A drag refused on release (edit state not 1, or a job of the instance
// pending) leaves no pending transform: nothing draws the instance moved.
TEST_F(EditHandlers, RefusedDragsLeaveNoPendingTransform)
{
    m_scene.EditMode = 2;
    m_scene.m_bUniformScale = true;
    const QMatrix4x4 before = m_p->m_matrix;
    MeshReadyGate& gate = m_p->m_pModel->readyGate();
    const struct { const char* why; int state; bool job; } rows[] = {
        {"edit state 2", 2, false}, {"edit state 3", 3, false}, {"job pending", 1, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        m_h.SetEditState(r.state);
        Drag(QPoint(50, 200), QPoint(50, 100));
        EXPECT_FALSE(m_scene.m_pendingTransform.isIdentity());
        // The job starts between the last move and the release.
        QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
        if (r.job && gate.Acquire() && m_scene.StartSupportJob(m_p) != SceneOp::Done)
            gate.Release();
        EXPECT_NE(m_h.CommitDrag(), SceneOp::Done);
        EXPECT_TRUE(m_scene.m_pendingTransform.isIdentity());
        EXPECT_EQ(m_h.pendingKind(), -1);
        EXPECT_EQ(m_p->m_matrix, before);
        if (r.job) {
            gate.Release();
            EXPECT_TRUE(update.wait(kHangMs));
        }
    }
    m_h.SetEditState(1);
}

// Looking down along (1, 1, -1): the ray through pixel (x, y) meets the plate at (x / 10, -y / 10, 0).
bool Oblique(QPoint const& p, QVector3D& a, QVector3D& b)
{
    const QVector3D onPlate(p.x() / 10.f, -p.y() / 10.f, 0);
    a = onPlate + QVector3D(-50, -50, 50);
    b = onPlate + QVector3D(-25, -25, 25);
    return true;
}

TEST_F(EditHandlers, FaceScaleDragStretchesAlongItsAxisAndKeepsTheLastValidStretch)
{
    m_service.SetRaySource(Oblique);
    m_scene.EditMode = 2;
    m_scene.m_bUniformScale = false;
    m_scene.m_scaleCoord.m_nHoverPart = 1;  // fixed at the top corner, grabbed at the bottom, axis z
    m_scene.SelectPickCoord();
    // The ray through world (-10, -10) passes (0, 0, -10): twice the height below the fixed top.
    Drag(PixelOf(0, 0), PixelOf(-10, -10));
    ExpectNear(m_h.pressPoint3D(), {0, 0, 0});
    ASSERT_EQ(m_lists.size(), 1);
    ExpectEcho(m_lists.first().at(0).toList(), {1, 1, 2}, {0, 0, -10}, {10, 20, 20});
    const QMatrix4x4 valid = m_scene.m_pendingTransform;
    // Onto the fixed plane (ratio 0) and past it (negative): the stretch stays.
    for (float w : {10.f, 15.f}) {
        Move(PixelOf(w, w));
        EXPECT_EQ(m_scene.m_pendingTransform, valid);
    }
    EXPECT_EQ(m_lists.size(), 1);
    ASSERT_EQ(m_h.CommitDrag(), SceneOp::Done);
    ExpectNear(Size(), {10, 20, 20});
    ExpectNear(Bottom(), {0, 0, 0});
}

// With a support job pending on the instance every edit is refused and changes nothing.
TEST_F(EditHandlers, EditsWhileAJobRunsLeaveEverythingAsItWas)
{
    MeshReadyGate& gate = m_p->m_pModel->readyGate();
    ASSERT_TRUE(gate.Acquire());
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    ASSERT_EQ(m_scene.StartSupportJob(m_p), SceneOp::Done);
    // The run clears the flag before it parks at the gate.
    ASSERT_TRUE(WaitUntil([&] { return gate.Waiting() > 0; }, kHangMs));
    GiveSupports(m_p);
    m_p->m_scale = QVector3D(1, 1, 1);
    const QMatrix4x4 before = m_p->m_matrix;
    const QVector3D b = Bottom();
    const QVariantList lists[] = {
        {0, b.x() + 5, b.y(), b.z()}, {1, 0, 0, 90}, {2, 2, 2, 2}, {6, 1}, {6, 0},
    };
    for (const QVariantList& l : lists) {
        Send(l);
        EXPECT_EQ(m_p->m_matrix, before) << l.value(0).toInt();
        EXPECT_TRUE(m_p->m_bHasSupports);
        EXPECT_EQ(m_p->m_scale, QVector3D(1, 1, 1));
        EXPECT_TRUE(m_scene.m_pendingTransform.isIdentity());
    }
    m_scene.EditMode = 2;
    Drag(QPoint(50, 200), QPoint(50, 100));
    EXPECT_NE(m_h.CommitDrag(), SceneOp::Done);
    EXPECT_EQ(m_p->m_matrix, before);
    EXPECT_TRUE(m_p->m_bHasSupports);
    m_p->m_bHasSupports = false;
    gate.Release();
    ASSERT_TRUE(update.count() > 0 || update.wait(kHangMs));
}

} // namespace
