// The frame of the support run on real painters and models: gate, lift,
// working mesh placement and refinement, failure handling, and the slicer's
// view of the shared mesh afterwards.
#include "hang_ceiling.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "layer_checks.h"
#include "mesh_util.h"
#include "model_fixture.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>
#include <new>

namespace {

void SetParams(VSLModelPainter& p, double lift, double density = 1.0)
{
    p.m_dSupportDensity = density;
    p.m_dTipDiameter = 0.6;
    p.m_dShaftDiameter = 1.1;
    p.m_dLiftDistance = lift;
}

QMatrix4x4 Frame(const VSLModelPainter& p) { return p.m_supportMatrix.inverted() * p.m_matrix; }

// The shared mesh holds exactly `m` applied to the model-space table.
bool MeshPlacedAt(const VSLModel3D& model, const QMatrix4x4& m)
{
    if (model.m_vVertexCopy.size() != int(model.m_mesh.VertexCount()))
        return false;
    for (int i = 0; i < model.m_vVertexCopy.size(); ++i) {
        const vcg::Point3f& c = model.m_vVertexCopy[i];
        const QVector3D q = m.map(QVector3D(c[0], c[1], c[2]));
        if (model.m_mesh.vert[size_t(i)].p != vcg::Point3f(q.x(), q.y(), q.z()))
            return false;
    }
    return true;
}

// The matrix a model records for its mesh describes it exactly, or is no
// matrix at all (a writer that changed the positions otherwise).
bool RecordIsHonest(const VSLModel3D& model)
{
    const float* d = model.m_meshMatrix.constData();
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(d[i]))
            return true;
    return MeshPlacedAt(model, model.m_meshMatrix);
}

// A run that failed or was stopped: no supports, not lifted, the shared
// mesh matching its model-space table and both of the model's locks free.
void ExpectEndedBare(VSLModelPainter& p, VSLModel3D& model, float bottom)
{
    EXPECT_EQ(p.m_nSupportRunStatus, 0);
    EXPECT_FALSE(p.m_bHasSupports);
    EXPECT_TRUE(p.m_supportMap.isEmpty());
    EXPECT_FALSE(p.m_bSupportLifted);
    EXPECT_FLOAT_EQ(p.m_minBound.z(), bottom);
    EXPECT_TRUE(MeshPlacedAt(model, model.m_meshMatrix));
    EXPECT_TRUE(model.dataMutex()->tryLock());
    model.dataMutex()->unlock();
    EXPECT_TRUE(model.readyGate().Acquire());
    model.readyGate().Release();
}

// Fan faces get refined at density 1; the sphere does not.
QVector<VSLTriangle3D> TestModel()
{
    return testmesh::BumpySphere(6.f, 0.08f, 32, 16, {-8, 0, 0}) + testmesh::FanSlab(2, -6, 12, 12, 2, 16);
}

} // namespace

TEST(SupportFrame, WaitsForTheGateLiftsOnceAndRefinesTheSharedMesh)
{
    auto model = ModelOf(TestModel());
    const uint32_t facesBefore = model->m_mesh.FaceCount();
    VSLModelPainter p(model.get(), nullptr);
    SetParams(p, 3.0);
    const float bottom = p.m_minBound.z();
    QSignalSpy done(&p, &VSLModelPainter::sig_GenSupportDone);

    ASSERT_TRUE(model->readyGate().Acquire());
    p.m_pSupportThread->start();
    QThread::msleep(100);
    EXPECT_EQ(done.count(), 0);
    EXPECT_EQ(p.m_nSupportRunStatus, -1);
    model->readyGate().Release();
    ASSERT_TRUE(p.m_pSupportThread->wait(kHangMs));
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(p.m_nSupportRunStatus == 0 && p.m_bHasSupports && p.m_bGenerationRan);
    EXPECT_FLOAT_EQ(p.m_minBound.z(), bottom + 3.f);

    // The refined mesh replaced the model's, with a matching model-space table.
    EXPECT_GT(model->m_mesh.FaceCount(), facesBefore);
    EXPECT_EQ(model->m_meshMatrix, Frame(p));
    EXPECT_TRUE(MeshPlacedAt(*model, Frame(p)));
    EXPECT_TRUE(model->m_vShellOfFace.isEmpty());
    EXPECT_EQ(p.m_supportRun.m_vertexStates.size(), int(model->m_mesh.VertexCount()));
    EXPECT_FALSE(p.m_supportRun.m_faceGrid.isEmpty());
    EXPECT_FLOAT_EQ(p.m_supportRun.m_sizes.collisionDensity, float(5.0 / 1.1));

    // A second run neither lifts again nor refines further.
    const uint32_t facesAfter = model->m_mesh.FaceCount();
    p.GenSupportX();
    EXPECT_EQ(done.count(), 2);
    EXPECT_FLOAT_EQ(p.m_minBound.z(), bottom + 3.f);
    EXPECT_EQ(model->m_mesh.FaceCount(), facesAfter);

    // Removing the supports lowers the instance and drops the tables.
    p.RemoveSupportX();
    EXPECT_FLOAT_EQ(p.m_minBound.z(), bottom);
    EXPECT_TRUE(p.m_supportRun.m_faceGrid.isEmpty());
    EXPECT_TRUE(p.m_supportRun.m_vertexStates.isEmpty());
}

TEST(SupportFrame, SecondInstanceAtTheSamePlacementReusesTheMesh)
{
    auto model = ModelOf(testmesh::Cube(10.f));
    VSLModelPainter a(model.get(), nullptr), b(model.get(), nullptr);
    SetParams(a, 2.0);
    SetParams(b, 2.0);
    a.GenSupportX();
    ASSERT_EQ(a.m_matrix, Frame(a));
    // Marks the mesh: a run that re-placed it would wipe the mark.
    model->m_mesh.vert[0].p[0] += 0.25f;
    const vcg::Point3f marked = model->m_mesh.vert[0].p;
    b.GenSupportX();
    ASSERT_EQ(b.m_matrix, a.m_matrix);
    EXPECT_EQ(model->m_mesh.vert[0].p, marked);
    // Moved with its supports, b keeps its support frame; moved without, it
    // is placed anew.
    b.Translate({5, 0});
    b.GenSupportX();
    EXPECT_EQ(model->m_mesh.vert[0].p, marked);
    b.RemoveSupportX();
    b.Translate({5, 0});
    b.GenSupportX();
    EXPECT_TRUE(MeshPlacedAt(*model, Frame(b)));
}

TEST(SupportFrame, RerunWithEveryRecordDeletedLowersWithoutLocking)
{
    auto model = ModelOf(testmesh::Cube(10.f));
    VSLModelPainter p(model.get(), nullptr);
    SetParams(p, 4.0);
    p.GenSupportX();
    ASSERT_TRUE(p.m_bSupportLifted);
    // Every record of the run is marked deleted.
    p.m_supportMap.clear();
    DLP_Support s;
    s.isDeleted = true;
    p.m_supportMap.insert({-1000, 7u}, s);
    p.m_supportMatrix.translate(1, 0, 0);
    p.m_bSupportEditMark = true;
    QSignalSpy done(&p, &VSLModelPainter::sig_GenSupportDone);
    // The test holds the gate: a run that tried to lock would never end.
    ASSERT_TRUE(model->readyGate().Acquire());
    p.m_pSupportThread->start();
    const bool finished = p.m_pSupportThread->wait(kHangMs);
    model->readyGate().Release();
    ASSERT_TRUE(finished);
    EXPECT_EQ(done.count(), 1);
    EXPECT_FLOAT_EQ(p.m_minBound.z(), 0.f);
    EXPECT_TRUE(!p.m_bSupportLifted && !p.m_bHasSupports && p.m_supportMap.isEmpty());
    EXPECT_TRUE(p.m_supportMatrix.isIdentity());
}

TEST(SupportFrame, AFailureAtAnyStepEndsTheRunOnceWithoutSupports)
{
    for (int failAt = 5; failAt <= 12; ++failAt) {
        SCOPED_TRACE(failAt);
        auto model = ModelOf(TestModel());
        VSLModelPainter p(model.get(), nullptr);
        SetParams(p, 3.0);
        p.m_supportMap.insert({0, 3u}, DLP_Support());
        p.m_fnSupportStep = [failAt](int step) {
            if (step == failAt) {
                if (failAt % 2)
                    throw std::bad_alloc();
                throw 42;
            }
        };
        QSignalSpy done(&p, &VSLModelPainter::sig_GenSupportDone);
        p.m_pSupportThread->start();
        ASSERT_TRUE(p.m_pSupportThread->wait(kHangMs));
        EXPECT_EQ(done.count(), 1);
        ExpectEndedBare(p, *model, 0.f);
    }
}

TEST(SupportFrame, ModelWithoutVerticesFinishesWithoutSupports)
{
    auto model = ModelOf({});
    VSLModelPainter p(model.get(), nullptr);
    SetParams(p, 1.0);
    QSignalSpy done(&p, &VSLModelPainter::sig_GenSupportDone);
    p.GenSupportX();
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(!p.m_bHasSupports && p.m_nSupportRunStatus == 0);
}

namespace {

class SupportSlicing : public ::testing::Test {
protected:
    QTemporaryDir dir;
    VSL3DScene scene;

    void SetUp() override { scene.m_fnOutOfRangeWarning = [] {}; }

    VSLModelPainter* Add(const QVector<VSLTriangle3D>& tris, QVector3D at)
    {
        const QString path = dir.filePath(QString("m%1.stl").arg(scene.instances().size()));
        if (!testmesh::WriteFile(path, testmesh::BinaryStl(tris)) || !scene.AddModel(path))
            return nullptr;
        VSLModelPainter* p = scene.instances().last();
        QElapsedTimer t;
        t.start();
        while (!p->m_pModel->isReady() && t.elapsed() < kHangMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        p->m_matrix.setToIdentity();
        p->m_matrix.translate(at);
        p->UpdateData();
        return p;
    }
    // A second instance of p's model, turned about z and placed at `at`.
    VSLModelPainter* AddRotatedCopy(VSLModelPainter* p, QVector3D at)
    {
        scene.SetPickModelPainter(p->m_nNumber * 10);
        if (scene.DuplicateSelectedModel() != SceneOp::Done)
            return nullptr;
        VSLModelPainter* q = scene.instances().last();
        q->m_matrix.setToIdentity();
        q->m_matrix.translate(at);
        q->m_matrix.rotate(90, 0, 0, 1);
        q->UpdateData();
        return q;
    }
    SliceLayers Slice()
    {
        QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
        if (scene.StartSliceScene(1920, 1080, 20.f, 20.f, 0.1f, 0) != SceneOp::Done || !done.wait(kHangMs))
            return {};
        for (VSLModel3D* m : scene.models())
            EXPECT_TRUE(RecordIsHonest(*m));
        return scene.m_modelSliceLayers;
    }
    bool Support(VSLModelPainter* p, double lift)
    {
        SetParams(*p, lift);
        if (scene.StartSupportJob(p) != SceneOp::Done)
            return false;
        QElapsedTimer t;
        t.start();
        while (scene.runningSupportJobs() > 0 && t.elapsed() < kHangMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // These tests compare the model's own layers: the records go, the
        // lift and the refined mesh stay.
        p->m_supportMap.clear();
        p->m_vSupportIndex.clear();
        p->m_bHasSupports = false;
        return scene.runningSupportJobs() == 0;
    }
    // Same lit area per layer, `shift` layers apart, within a pixel row.
    static void ExpectSameLayers(const SliceLayers& a, const SliceLayers& b, int shift = 0)
    {
        ASSERT_EQ(a.size() + shift, b.size());
        for (int L = 0; L < a.size(); ++L) {
            double areaA = 0, areaB = 0;
            for (const SlicePolygon& poly : a[L])
                areaA += layercheck::Area(poly);
            for (const SlicePolygon& poly : b[L + shift])
                areaB += layercheck::Area(poly);
            ASSERT_NEAR(std::fabs(areaA), std::fabs(areaB), 2.0 + 1e-3 * std::fabs(areaA)) << "layer " << L;
        }
        for (int L = 0; L < shift; ++L)
            EXPECT_TRUE(b[L].isEmpty()) << L;
    }
};

} // namespace

TEST_F(SupportSlicing, InstancesSliceAlikeAfterRunsRotatedCopiesAndRepairs)
{
    VSLModelPainter* a = Add(TestModel(), {0, 0, 0});
    ASSERT_TRUE(a);
    VSLModelPainter* b = AddRotatedCopy(a, {0, 20, 0});
    ASSERT_TRUE(b);
    const SliceLayers before = Slice();
    ASSERT_GT(before.size(), 10);

    ASSERT_TRUE(Support(a, 0.0));
    EXPECT_GT(a->m_pModel->m_mesh.FaceCount(), uint32_t(TestModel().size()));
    ExpectSameLayers(before, Slice());
    // The slice left the mesh at b's placement; a's next run must place it anew.
    ASSERT_TRUE(Support(b, 0.0));
    ASSERT_TRUE(Support(a, 0.0));
    EXPECT_TRUE(MeshPlacedAt(*a->m_pModel, Frame(*a)));
    ExpectSameLayers(before, Slice());
    ASSERT_TRUE(Support(a, 0.0));
    EXPECT_TRUE(MeshPlacedAt(*a->m_pModel, Frame(*a)));

    int holes, repairHoles, manifold, orientation;
    a->RemoveSupportX();
    b->RemoveSupportX();
    ASSERT_EQ(scene.RepairScene(holes, repairHoles, manifold, orientation), SceneOp::Done);
    EXPECT_TRUE(a->m_pModel->m_meshMatrix.isIdentity());
    ASSERT_TRUE(Support(a, 0.0));
    EXPECT_TRUE(MeshPlacedAt(*a->m_pModel, Frame(*a)));
    ExpectSameLayers(before, Slice());
}

TEST_F(SupportSlicing, LiftedInstancesSliceAsUnliftedOnesShiftedByTheLift)
{
    VSLModelPainter* a = Add(TestModel(), {0, 0, 0});
    ASSERT_TRUE(a);
    const SliceLayers flat = Slice();
    // A run that ends with no support at all puts the instance back on the
    // plate; a record (without solids, so nothing of it is cut) keeps it lifted.
    a->m_supportMap.insert(SupportKey(SupportHeightKey(1), 1), DLP_Support());
    ASSERT_TRUE(Support(a, 1.0));
    EXPECT_TRUE(a->m_bSupportLifted);
    ExpectSameLayers(flat, Slice(), 10);
}

TEST(SupportStop, AStopInAnyPhaseDropsTheRecordsLowersTheInstanceAndSignalsOnce)
{
    // 6: inside the refinement; 7: clean-up; 13: contacts; 11: grid;
    // 14: tips; 15: columns; 16: bracing.
    for (int stopAt : {6, 7, 10, 13, 11, 14, 15, 16}) {
        SCOPED_TRACE(stopAt);
        auto model = ModelOf(TestModel());
        VSLModelPainter p(model.get(), nullptr);
        SetParams(p, 3.0);
        const float bottom = p.m_minBound.z();
        const QMatrix4x4 placed = p.m_matrix;
        p.m_fnSupportStep = [&p, stopAt](int step) {
            if (step == stopAt)
                p.m_pSupportThread->stop();
        };
        QSignalSpy done(&p, &VSLModelPainter::sig_GenSupportDone);
        p.m_pSupportThread->start();
        ASSERT_TRUE(p.m_pSupportThread->wait(kHangMs));
        EXPECT_EQ(done.count(), 1);
        ExpectEndedBare(p, *model, bottom);
        EXPECT_TRUE(p.m_vSupportIndex.isEmpty());
        EXPECT_EQ(p.m_matrix, placed);
        // Only the starter clears the request.
        EXPECT_TRUE(p.m_bStopSupport);
    }
}

TEST(SupportStop, AStopBeforeTheStartCountsAndTheStarterClearsIt)
{
    auto model = ModelOf(testmesh::Box({0, 0, 0}, {10, 10, 4}));
    VSLModelPainter p(model.get(), nullptr);
    SetParams(p, 2.0);
    p.m_pSupportThread->stop();
    p.m_pSupportThread->start();
    ASSERT_TRUE(p.m_pSupportThread->wait(kHangMs));
    EXPECT_TRUE(p.m_supportMap.isEmpty());
    p.m_bStopSupport = false; // as VSL3DScene::StartSupportJob does
    p.m_pSupportThread->start();
    ASSERT_TRUE(p.m_pSupportThread->wait(kHangMs));
    EXPECT_FALSE(p.m_supportMap.isEmpty());
    EXPECT_TRUE(p.m_bHasSupports);
}

// Without a stop request nothing moves; with one a raised instance goes down
// by its lift exactly once, and one that was never raised stays on the plate.
TEST(SupportStop, CheckStoppedLowersARaisedInstanceOnce)
{
    auto model = ModelOf(testmesh::Box({0, 0, 0}, {10, 10, 4}));
    struct Row { const char* name; bool raise; bool stop; bool want; float dropped; };
    const Row rows[] = {
        {"raised, no stop", true, false, false, 0.f},
        {"raised, stop", true, true, true, 2.5f},
        {"on the plate, stop", false, true, true, 0.f},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VSLModelPainter p(model.get(), nullptr);
        SetParams(p, 2.5);
        const float plate = p.m_minBound.z();
        if (r.raise) {
            p.GenSupportX();
            ASSERT_TRUE(p.m_bSupportLifted);
        }
        const float before = p.m_minBound.z();
        p.m_bStopSupport = r.stop;
        EXPECT_EQ(p.m_pSupportThread->CheckStopped(), r.want);
        EXPECT_FLOAT_EQ(p.m_minBound.z(), before - r.dropped);
        // Asked again: no second lowering, never below the plate.
        EXPECT_EQ(p.m_pSupportThread->CheckStopped(), r.want);
        EXPECT_FLOAT_EQ(p.m_minBound.z(), before - r.dropped);
        EXPECT_GE(p.m_minBound.z(), plate - 1e-5f);
        EXPECT_EQ(p.m_bSupportLifted, r.raise && !r.stop);
    }
}

TEST(SupportFrame, TheLiftIsAppliedOnceAndRemovingTheSupportsTakesItBackExactly)
{
    auto model = ModelOf(testmesh::Box({0.1f, 0.2f, 0.3f}, {10.7f, 9.9f, 4.1f}));
    for (double lift : {3.0, 0.3, 1.7}) {
        SCOPED_TRACE(lift);
        VSLModelPainter p(model.get(), nullptr);
        SetParams(p, lift);
        p.m_matrix.translate(0.37f, -1.9f, 0.1f);
        p.UpdateData();
        const QMatrix4x4 placed = p.m_matrix;
        const QVector3D lo = p.m_minBound;
        p.GenSupportX();
        ASSERT_FALSE(p.m_supportMap.isEmpty());
        p.GenSupportX();
        EXPECT_NEAR(p.m_minBound.z(), lo.z() + lift, 1e-5);
        // Every column reaches the plate below the unlifted instance.
        for (const DLP_Support& s : p.m_supportMap)
            if (!s.onModel && !s.skipShaft) {
                EXPECT_EQ(s.base[2], float(p.m_minBound.z() - lift));
            }
        p.RemoveSupportX();
        EXPECT_EQ(p.m_matrix, placed);
        EXPECT_EQ(p.m_minBound, lo);
    }
}
