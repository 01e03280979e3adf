// Input routing, the facade's commands and its refusals.
#include "glview_fixture.h"
#include "hang_ceiling.h"

#include <QDragEnterEvent>
#include <cmath>
#include <functional>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

class GLViewInput : public GLView {
protected:
    VSLModelPainter* LoadSelectedCube()
    {
        VSLModelPainter* p = Load(BoxFile("cube.stl", {-10, -10, 0}, {10, 10, 20}));
        Frame();
        Click(Project({p->m_center.x(), p->m_center.y(), 20}));
        EXPECT_EQ(m_view->selectedNumber(), p->pickId());
        return p;
    }
    void Key(int key)
    {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &e);
    }
    // Drag-enter, then drop, as a drop arrives.
    void Drop(const QString& file)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &enter);
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &drop);
    }
};

TEST_F(GLViewInput, PressesNearTheSideAndBottomEdgesAreSwallowedNotAtTheTop)
{
    Frame();
    const int w = m_view->width(), h = m_view->height();
    const struct { QPoint press; bool swallowed; } cases[] = {{{9, h / 2}, true}, {{w - 9, h / 2}, true},
        {{w / 2, h - 9}, true}, {{w / 2, 0}, false}, {{10, h / 2}, false}, {{w - 10, h - 10}, false}};
    for (const auto& k : cases) {
        Press(k.press, Qt::RightButton);
        EXPECT_EQ(m_view->swallowing(), k.swallowed) << k.press.x() << "," << k.press.y();
        MoveWith(k.press + QPoint(-40, -30), Qt::RightButton);
        // A swallowed press starts no orbit.
        EXPECT_EQ(m_view->camera()->pendingYaw() != 0, !k.swallowed) << k.press.x() << "," << k.press.y();
        const double yaw = m_view->camera()->current().yaw;
        Release(k.press + QPoint(-40, -30), Qt::RightButton);
        EXPECT_FALSE(m_view->swallowing());
        EXPECT_EQ(m_view->camera()->pendingYaw(), 0);
        EXPECT_EQ(m_view->camera()->current().yaw != yaw, !k.swallowed);
    }
}

TEST_F(GLViewInput, DragEnterAcceptsOneStlFileOnly)
{
    const struct { QStringList files; bool accepted; } cases[] = {
        {{"/tmp/a.stl"}, true}, {{"/tmp/A.STL"}, true}, {{"/tmp/a.txt"}, false}, {{"/tmp/a.stl.bak"}, false},
        {{"/tmp/a.stl", "/tmp/b.stl"}, false}, {{}, false}};
    for (const auto& k : cases) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& f : k.files)
            urls << QUrl::fromLocalFile(f);
        data.setUrls(urls);
        QDragEnterEvent e(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        e.ignore();
        QApplication::sendEvent(m_view.get(), &e);
        EXPECT_EQ(e.isAccepted(), k.accepted) << k.files.join(",").toStdString();
    }
}

TEST_F(GLViewInput, AnUnreadableDropShowsTheLoadersReason)
{
    const QString empty = m_dir.filePath("empty.stl");
    ASSERT_TRUE(testmesh::WriteFile(empty, QByteArray()));
    const QString files[] = {empty, m_dir.filePath("missing.stl")};
    for (const QString& file : files) {
        m_messages.clear();
        Drop(file);
        ASSERT_EQ(m_messages.size(), 1) << file.toStdString();
        EXPECT_FALSE(m_messages[0].isEmpty());
        EXPECT_EQ(m_messages[0], m_view->scene()->lastLoadError());
        EXPECT_TRUE(m_view->scene()->instances().isEmpty());
    }
    // A readable drop loads silently.
    m_messages.clear();
    Drop(BoxFile("ok.stl", {0, 0, 0}, {5, 5, 5}));
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(m_view->scene()->instances().size(), 1);
}

// While a slice is pending Delete, support removal and generation change and say nothing.
TEST_F(GLViewInput, DeleteAndSupportCommandsWaitForARunningSlice)
{
    VSLModelPainter* p = LoadSelectedCube();
    ASSERT_TRUE(p);
    p->m_bHasSupports = true;
    QSignalSpy lists(m_view.get(), &VSLGLView::signal_SendEditList);
    QSignalSpy status(m_view.get(), &VSLGLView::sig_SceneStatusChanged);
    QSignalSpy shown(m_view.get(), &VSLGLView::signal_ShowHideEditControl);
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    ASSERT_EQ(m_view->SliceScene(0.1f, 1920, 1080, 20, 20, 0), SceneOp::Done);
    Key(Qt::Key_Delete);
    emit m_view->sig_RemoveSupport();
    EXPECT_EQ(m_view->RemoveCurrentModel(), SceneOp::JobRunning);
    EXPECT_EQ(m_view->DuplicateSelectedModel(), SceneOp::JobRunning);
    EXPECT_EQ(lists.count() + status.count() + shown.count(), 0);
    EXPECT_EQ(m_view->GenSupport({6, 0.4, 1.0, 5}), SceneOp::JobRunning);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(m_view->scene()->runningSupportJobs(), 0);
    EXPECT_EQ(m_view->scene()->instances().size(), 1);
    EXPECT_EQ(m_view->selectedNumber(), p->pickId());
    EXPECT_TRUE(p->m_bHasSupports);
    EXPECT_NE(p->m_dSupportDensity, 6);
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }));
    status.clear();
    emit m_view->sig_RemoveSupport();
    EXPECT_FALSE(p->m_bHasSupports);
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.at(0).at(0).toInt(), 3);
    Key(Qt::Key_Delete);
    EXPECT_TRUE(m_view->scene()->instances().isEmpty());
    EXPECT_EQ(m_view->selectedNumber(), 0);
    ASSERT_GE(lists.count(), 1);
    EXPECT_EQ(lists.last().at(0).toList(), QVariantList({4, -1}));
    ASSERT_EQ(shown.count(), 1);
    EXPECT_FALSE(shown.last().at(0).toBool());
    EXPECT_EQ(status.last().at(0).toInt(), 1);
    EXPECT_EQ(m_view->RemoveCurrentModel(), SceneOp::NoSelection); // nothing left
}

TEST_F(GLViewInput, CommandsOutsideTheTableStillRepaintAndReportAnEdit)
{
    Frame();
    for (int cmd : {4, 5, 99}) {
        QSignalSpy status(m_view.get(), &VSLGLView::sig_SceneStatusChanged);
        QSignalSpy frames(m_view.get(), &QOpenGLWidget::frameSwapped);
        m_view->slot_ReceiveEditList({cmd, 1, 2, 3});
        ASSERT_EQ(status.count(), 1) << cmd;
        EXPECT_EQ(status.at(0).at(0).toInt(), 1);
        EXPECT_TRUE(frames.wait(kHangMs)) << cmd;
    }
}

// A copy that re-centres the plate moves the selected instance too: the
// panel hears where it now stands.
TEST_F(GLViewInput, ACopyThatRecentresThePlateTellsThePanelWhereTheSelectionStands)
{
    VSLModelPainter* p = LoadSelectedCube();
    // Room for the cube alone: the copy goes to the nearest spot, towards +Y.
    m_view->scene()->SetBound(QVector3D(12, 12, 100), QVector3D(-12, -12, 0), 50, 50);
    QVector<QVariantList> echoes;
    QObject::connect(m_view.get(), &VSLGLView::signal_SendEditList, [&](const QVariantList& l) {
        if (l.value(0).toInt() == 5)
            echoes << l;
    });
    ASSERT_EQ(m_view->DuplicateSelectedModel(), SceneOp::Done);
    ASSERT_EQ(m_view->scene()->instances().size(), 2);
    ASSERT_GT(std::abs(p->m_center.y()), 1.f) << "the copy re-centred the plate";
    ASSERT_FALSE(echoes.isEmpty());
    EXPECT_FLOAT_EQ(echoes.last().value(1).toFloat(), p->m_center.x());
    EXPECT_FLOAT_EQ(echoes.last().value(2).toFloat(), p->m_center.y());
}

// A model loaded where the selection stands pushes it aside: the panel is
// told where it went.
TEST_F(GLViewInput, AModelLoadedOntoTheSelectionTellsThePanelWhereItWent)
{
    VSLModelPainter* p = LoadSelectedCube();
    const QVector3D before = p->m_center;
    QVector<QVariantList> echoes;
    QObject::connect(m_view.get(), &VSLGLView::signal_SendEditList, [&](const QVariantList& l) {
        if (l.value(0).toInt() == 5)
            echoes << l;
    });
    ASSERT_NE(Load(BoxFile("wide.stl", {-30, -30, 0}, {30, 30, 5})), p);
    ASSERT_EQ(m_view->selectedNumber(), p->pickId());
    ASSERT_GT((p->m_center - before).length(), 1.f) << "the new model pushed the cube aside";
    ASSERT_FALSE(echoes.isEmpty());
    EXPECT_FLOAT_EQ(echoes.last().value(1).toFloat(), p->m_center.x());
    EXPECT_FLOAT_EQ(echoes.last().value(2).toFloat(), p->m_center.y());
}

TEST_F(GLViewInput, UnchangedGenSupportEndsWithoutAJobAndEditStatesGateSupportModeAndCommits)
{
    VSLModelPainter* p = LoadSelectedCube();
    const QVector<double> para{5, 0.4, 1.0, 5};
    p->m_dSupportDensity = para[0];
    p->m_dTipDiameter = para[1];
    p->m_dShaftDiameter = para[2];
    p->m_dLiftDistance = para[3];
    p->m_bHasSupports = true;
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    QSignalSpy status(m_view.get(), &VSLGLView::sig_SceneStatusChanged);
    EXPECT_EQ(m_view->GenSupport(para), SceneOp::Done);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(m_view->scene()->runningSupportJobs(), 0);
    EXPECT_TRUE(p->m_bHasSupports);
    ASSERT_GE(status.count(), 1);
    EXPECT_EQ(status.last().at(0).toInt(), 3);
    // Edit state 3 switches support mode; a release commits only in state 1.
    m_view->slot_EditStatChanged(3);
    EXPECT_TRUE(m_view->scene()->m_bSupportMode);
    EXPECT_EQ(status.last().at(0).toInt(), 3);
    m_view->slot_EditStatChanged(1);
    EXPECT_FALSE(m_view->scene()->m_bSupportMode);
    // A move drag in state 2 is not committed on release.
    m_view->slot_EditStatChanged(2);
    const QVector3D before = p->m_center;
    const QPoint top = Project({p->m_center.x(), p->m_center.y(), 20});
    Press(top);
    MoveWith(top + QPoint(50, 0), Qt::LeftButton);
    Release(top + QPoint(50, 0));
    EXPECT_EQ(p->m_center, before);
}

TEST(GLViewHidden, PicksAndDragsBeforeTheFirstShowFindNothing)
{
    QStandardPaths::setTestModeEnabled(true);
    VSLGLView view;
    view.scene()->m_fnOutOfRangeWarning = [] {};
    QTemporaryDir dir;
    const QString path = dir.filePath("cube.stl");
    ASSERT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Cube())));
    ASSERT_TRUE(view.OpenSTLFile(path));
    view.scene()->SetPickModelPainter(view.scene()->instances().first()->pickId());
    const QPoint p(50, 50);
    EXPECT_EQ(QVector<int>({view.GetLocateCoord(p), view.GetLocateModelPainter(p), view.GetLocateModelPainterX(p),
                            view.GetLocateModelPainterXX(p)}), QVector<int>(4, 0));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), QPointF(p), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 60), QPointF(60, 60), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    EXPECT_TRUE(view.scene()->m_pendingTransform.isIdentity());
}

TEST_F(GLViewInput, SupportEditorLiftsOnceAndASaveWithoutClicksEndsAtOnce)
{
    VSLModelPainter* p = LoadSelectedCube();
    p->m_dLiftDistance = 5;
    const float bottom = p->m_minBound.z();
    QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
    for (int i = 0; i < 2; ++i)
        emit m_view->sig_EditSupport(true, false, {4, 0.5, 1.2, 9});
    EXPECT_NEAR(p->m_minBound.z(), bottom + 5, 1e-4);
    EXPECT_EQ(p->m_dSupportDensity, 4);
    EXPECT_EQ(p->m_dShaftDiameter, 1.2);
    EXPECT_TRUE(m_view->scene()->m_bFreeze);
    EXPECT_EQ(m_view->editState(), 3);
    // A left press while frozen neither picks nor deselects.
    Click(QPoint(20, 20));
    EXPECT_EQ(m_view->selectedNumber(), p->pickId());
    emit m_view->sig_EditSupport(false, true, {});
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(m_view->scene()->runningSupportJobs(), 0);
    EXPECT_FALSE(m_view->scene()->m_bFreeze);
}

// Leaving the support editor by either road, or changing the stage, gives
// the Edit stage back its drags; the hover passes of the other stages stop.
TEST_F(GLViewInput, DragsMoveTheModelAgainAfterTheSupportEditorOrAStageChange)
{
    VSLModelPainter* p = LoadSelectedCube();
    auto drag = [&] {
        Frame();
        const QPoint top = Project({p->m_center.x(), p->m_center.y(), p->m_maxBound.z()});
        const float x = p->m_center.x();
        Press(top);
        MoveWith(top + QPoint(40, 0), Qt::LeftButton);
        Release(top + QPoint(40, 0));
        return p->m_center.x() - x;
    };
    const struct {
        const char* road;
        std::function<void()> leave;
    } roads[] = {
        {"editor cancelled", [&] { m_view->slot_EditSupport(false, false, {}); }},
        {"editor saved", [&] { m_view->slot_EditSupport(false, true, {}); }},
        {"editor stage left through support mode", [&] {
             m_view->scene()->m_bFreeze = false;
             m_view->slot_EditStatChanged(3);
             m_view->SetNavBtn("Slice");
             m_view->SetNavBtn("Edit");
         }},
    };
    for (const auto& r : roads) {
        SCOPED_TRACE(r.road);
        EXPECT_GT(drag(), 1.f);
        m_view->slot_EditSupport(true, false, {5, 0.4, 1.0});
        r.leave();
        EXPECT_EQ(m_view->editState(), 1);
        EXPECT_FALSE(m_view->scene()->m_bSupportMode || m_view->scene()->m_bFreeze);
        EXPECT_GT(drag(), 1.f);
        // No support-mode hover pass: the point where the drag ended stays.
        const QVector3D dragEnd = m_view->hoverPoint();
        MoveWith(Project(p->m_center), Qt::NoButton);
        EXPECT_EQ(m_view->hoverPoint(), dragEnd);
        EXPECT_EQ(m_view->scene()->m_pHoverModelPainter, nullptr);
    }
    // The rotate ring is hovered in the Edit stage only.
    m_view->slot_ReceiveEditList({6, 3, 1});
    Frame();
    const QVector3D c = p->m_center;
    const float r = float(p->GetMaxLength() / 2);
    QPoint ring;
    for (int deg = 0; deg < 360 && ring.isNull(); deg += 3) {
        const QPoint q = Project(c + r * QVector3D(std::cos(deg * float(M_PI) / 180), std::sin(deg * float(M_PI) / 180), 0));
        if (m_view->GetLocateCoord(q) == 1)
            ring = q;
    }
    ASSERT_FALSE(ring.isNull());
    for (const char* stage : {"Slice", "Edit"}) {
        m_view->SetNavBtn(stage);
        MoveWith(ring + QPoint(0, 1), Qt::NoButton);
        MoveWith(ring, Qt::NoButton);
        EXPECT_EQ(m_view->scene()->m_rotateCoord.m_nHoverPart, QString(stage) == "Edit" ? 0 : -1) << stage;
        MoveWith(QPoint(5, 5), Qt::NoButton);
    }
}

// A drag refused on release is not drawn: the model shows where it stands.
TEST_F(GLViewInput, ARefusedDragIsNotDrawnMoved)
{
    VSLModelPainter* p = LoadSelectedCube();
    m_view->slot_EditStatChanged(2);
    const QPoint top = Project({p->m_center.x(), p->m_center.y(), 20});
    Press(top);
    MoveWith(top + QPoint(80, 0), Qt::LeftButton);
    const QImage during = Frame();
    Release(top + QPoint(80, 0));
    const QImage after = Frame();
    Save(after, "glview_refused_drag");
    // The selected model: blue on the plate, red beyond it.
    auto model = [](Px c) { return c.b > c.r + 30 || c.r > c.g + 60; };
    EXPECT_TRUE(model(At(during, top + QPoint(80, 0)))); // drawn moved while dragging
    EXPECT_TRUE(model(At(after, top))) << At(after, top);
    EXPECT_FALSE(model(At(after, top + QPoint(80, 0)))) << At(after, top + QPoint(80, 0));
}
