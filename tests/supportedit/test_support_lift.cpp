// The lift for supports: an instance stands raised exactly while it has
// supports or an open support edit holds it, and its bounds are always those
// of its own triangles.
#include "supportedit_fixture.h"
#include "VSLEditHandlers.h"

#include <QSignalSpy>

#include <functional>
#include <limits>
#include <stdexcept>

namespace {

constexpr double kRoadLift = 3.0;
const QVector<double> kParams{1.0, 0.8, 1.2, kRoadLift};

// The lowest and highest z of the triangles' corners.
std::pair<float, float> ZRange(const QVector<VSLTriangle3D>& tris)
{
    std::pair<float, float> z{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (const VSLTriangle3D& t : tris)
        for (const QVector3D& v : t.vertices)
            z = {std::min(z.first, v.z()), std::max(z.second, v.z())};
    return z;
}

} // namespace

class SupportLift : public SupportEdit {
protected:
    // A support run, started by Generate or by the editor's Save, to its end.
    void RunAndWait(const std::function<void()>& start)
    {
        QSignalSpy done(m_view.get(), &VSLGLView::sig_GenSupportDone);
        start();
        ASSERT_TRUE(WaitFor([&] { return m_view->scene()->runningSupportJobs() == 0 && done.count() > 0; }));
        QCoreApplication::processEvents();
    }
    void GenerateAndWait(QVector<double> params = kParams) { RunAndWait([&] { m_view->GenSupport(params); }); }
    void SaveAndWait() { RunAndWait([&] { m_view->slot_EditSupport(false, true, {}); }); }
    void Edit() { m_view->slot_EditSupport(true, false, {1.0, 0.8, 1.2}); }
    void Cancel() { m_view->slot_EditSupport(false, false, {}); }
    void SetUp() override
    {
        SupportEdit::SetUp();
        QObject::connect(m_view.get(), &VSLGLView::signal_SendEditList, [this](const QVariantList& l) {
            if (l.value(0).toInt() == 5)
                m_echoes << l;
        });
    }
    QVector<QVariantList> m_echoes; // the [5, bottom, scale, size] echoes the panel fills its fields from
    // A position typed into the edit panel: its fields hold the view's last
    // echo of the instance, the read-only z among them.
    void TypePosition(float x, float y)
    {
        ASSERT_FALSE(m_echoes.isEmpty());
        const QVariantList echo = m_echoes.last();
        m_view->slot_ReceiveEditList({0, x, y, echo.value(3).toFloat()});
    }
    void Select()
    {
        m_echoes.clear();
        m_view->scene()->SetPickModelPainter(m_slab->pickId());
        m_view->editHandlers()->EmitSelected();
    }
    void EditWithAClick()
    {
        Edit();
        Click(FrontFace(0.5f, m_slab->m_minBound.z() + 2));
        ASSERT_TRUE(m_slab->m_bSupportChanged);
    }
};

// Each road ends with the model's lowest point and its supports' lowest
// point where the plate is: on it without supports, the lift above it on
// supports that reach down to it.
TEST_F(SupportLift, EveryRoadLeavesModelAndSupportsOnThePlate)
{
    const struct { const char* road; std::function<void()> walk; bool supported; } roads[] = {
        {"edit opened and cancelled before any lift distance was set", [this] { Edit(); Cancel(); }, false},
        {"edit opened and cancelled with a lift distance",
         [this] { m_slab->m_dLiftDistance = kRoadLift; Edit(); Cancel(); }, false},
        {"generate, remove, edit, save with no click",
         [this] { GenerateAndWait(); emit m_view->sig_RemoveSupport(); Edit(); SaveAndWait(); }, false},
        {"edit and save before any generate, then generate", [this] { Edit(); SaveAndWait(); GenerateAndWait(); }, true},
        {"generate, move, generate again with another lift",
         [this] { GenerateAndWait(); m_slab->Translate({5, 0}); GenerateAndWait({1.2, 0.8, 1.2, 5.0}); }, true},
        {"generate, move, edit with a click, save (re-run)",
         [this] { GenerateAndWait(); m_slab->Translate({8, 0}); EditWithAClick(); SaveAndWait(); }, true},
        {"generate, then a position typed into the panel",
         [this] { Select(); GenerateAndWait(); TypePosition(8, 3); }, true},
        {"generate, a position typed into the panel, remove",
         [this] { Select(); GenerateAndWait(); TypePosition(8, 3); emit m_view->sig_RemoveSupport(); }, false},
        {"generate, remove, then a position typed into the panel",
         [this] { Select(); GenerateAndWait(); emit m_view->sig_RemoveSupport(); TypePosition(-6, 2); }, false},
        // The scale takes the supports away and lays the instance down; the
        // panel's height must follow, or the position typed next lifts it.
        {"generate, moved aside, scaled from the panel, a position typed",
         [this] {
             Select();
             GenerateAndWait();
             TypePosition(30, 0);
             m_view->slot_ReceiveEditList({2, 1.f, 1.f, 0.5f});
             QCoreApplication::processEvents();
             TypePosition(0, 0);
         },
         false},
        {"edit opened, a position typed into the panel, cancelled",
         [this] { Select(); m_slab->m_dLiftDistance = kRoadLift; Edit(); TypePosition(4, 4); Cancel(); }, false},
        {"a click on an unsupported instance whose run fails",
         [this] {
             m_slab->m_dLiftDistance = kRoadLift;
             EditWithAClick();
             m_slab->m_fnSupportStep = [](int step) {
                 if (step == 11)
                     throw std::runtime_error("failed on purpose");
             };
             SaveAndWait();
             m_slab->m_fnSupportStep = nullptr;
         },
         false},
    };
    for (const auto& r : roads) {
        SCOPED_TRACE(r.road);
        m_view->scene()->SetPickModelPainter(m_slab->pickId());
        ASSERT_EQ(m_view->RemoveCurrentModel(), SceneOp::Done);
        m_slab = Load(BoxFile("slab.stl", {-10, -10, 0}, {10, 10, 4}));
        ASSERT_NE(m_slab, nullptr);
        FixCamera();
        ASSERT_NO_FATAL_FAILURE(r.walk());
        VSLModelPainter* p = m_slab;
        const auto [lowest, highest] = ZRange(p->GetRealTriangles());
        // Bounds and hull are those of the instance's own triangles.
        EXPECT_NEAR(p->m_minBound.z(), lowest, 1e-4f);
        EXPECT_NEAR(p->m_maxBound.z(), highest, 1e-4f);
        EXPECT_NEAR(p->m_maxBound.x() - p->m_minBound.x(), 20.f, 1e-4f);
        EXPECT_NEAR(p->m_maxBound.y() - p->m_minBound.y(), 20.f, 1e-4f);
        EXPECT_GE(p->m_hull.size(), 4);
        EXPECT_EQ(p->m_bSupportLifted, r.supported);
        EXPECT_EQ(p->m_bHasSupports, r.supported);
        // The panel's last echo is where the instance stands.
        if (!m_echoes.isEmpty()) {
            EXPECT_NEAR(m_echoes.last().value(3).toFloat(), lowest, 1e-4f);
        }
        if (r.supported) {
            EXPECT_NEAR(lowest, float(p->m_dLiftDistance), 1e-4f);
            EXPECT_NEAR(ZRange(p->GetRealTrianglesSup()).first, 0.f, 0.05f);
        } else {
            EXPECT_NEAR(lowest, 0.f, 1e-4f);
            EXPECT_TRUE(p->GetRealTrianglesSup().isEmpty());
        }
    }
}

// Generate with only the lift distance changed runs again at the new lift.
TEST_F(SupportLift, ANewLiftAloneGeneratesAgain)
{
    GenerateAndWait();
    ASSERT_NEAR(ZRange(m_slab->GetRealTriangles()).first, float(kRoadLift), 1e-4f);
    GenerateAndWait({kParams[0], kParams[1], kParams[2], 6.0});
    EXPECT_NEAR(ZRange(m_slab->GetRealTriangles()).first, 6.f, 1e-4f);
    EXPECT_NEAR(ZRange(m_slab->GetRealTrianglesSup()).first, 0.f, 0.05f);
    EXPECT_EQ(m_slab->m_dLiftDistance, 6.0);
}
