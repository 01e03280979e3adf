#include "event_wait.h"
#include "VSLModel3D.h"
#include "model_fixture.h"
#include "test_meshes.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

// Counts pass ends on the test's thread (a QSignalSpy would record on the pass's thread).
class PassEnds {
public:
    explicit PassEnds(VSLModel3D& model)
    {
        QObject::connect(model.fixerThread(), &FixerThread::sig_FixerStatusChanged, &m_receiver,
                         [this] { ++m_count; }, Qt::QueuedConnection);
    }
    bool WaitFor(int count) { return WaitUntil([&] { return m_count >= count; }, kHangMs); }
    int count() const { return m_count; }

private:
    QObject m_receiver;
    int m_count = 0;
};

QString WriteStl(QTemporaryDir& dir, const QString& name, const QVector<VSLTriangle3D>& tris)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(tris)));
    return path;
}

} // namespace

TEST(MeshModel, IdsAreIssuedInOrderAndNeverReused)
{
    auto a = std::make_unique<VSLModel3D>();
    const int first = a->m_nModelId;
    a.reset();
    VSLModel3D b;
    EXPECT_EQ(b.m_nModelId, first + 1);
}

// A model seen ready can be worked on at once: its gate is open by then (a
// support run asked right after the pass ends was refused as busy).
TEST(MeshModel, AReadyModelsGateIsAlreadyOpen)
{
    QTemporaryDir dir;
    const QString path = WriteStl(dir, "cube.stl", testmesh::Cube(2, {0, 0, 0}));
    for (int run = 0; run < 200; ++run) {
        VSLModel3D model;
        ASSERT_TRUE(model.LoadSTLFile(path));
        while (!model.isReady())
            std::this_thread::yield();
        ASSERT_TRUE(model.readyGate().IsOpen()) << "run " << run;
    }
}

// The pass merges the soup, drops a degenerate triangle (normals recomputed) and signals once.
TEST(MeshModel, TopologyPassMergesCubeSoupAndSignalsReady)
{
    QTemporaryDir dir;
    VSLModel3D model;
    PassEnds done(model);
    auto tris = testmesh::Cube(10, {1, 1, 0});
    tris << testmesh::Tri({1, 1, 0}, {1, 1, 0}, {11, 11, 10});
    ASSERT_TRUE(model.LoadSTLFile(WriteStl(dir, "cube.stl", tris)));
    EXPECT_EQ(QVector<QVector3D>({model.m_minBound, model.m_maxBound, model.m_center}),
              QVector<QVector3D>({{1, 1, 0}, {11, 11, 10}, {6, 6, 5}}));
    ASSERT_TRUE(done.WaitFor(1));
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(model.checkStatus() == 0 && model.fixStatus() == 0);
    EXPECT_TRUE(model.m_bDataChanged && model.readyGate().IsOpen());
    EXPECT_EQ(QVector<int>({model.m_mesh.vn, model.m_mesh.fn, model.m_vVertexCopy.size()}), QVector<int>({8, 12, 8}));
    ASSERT_EQ(model.m_vTriangles.size(), 12);
    EXPECT_EQ(model.m_vTriangles[0].normal, tris[0].normal);
    for (const MyFace& f : model.m_mesh.face)
        for (int e = 0; e < 3; ++e)
            EXPECT_NE(f.FFp(e), uint32_t(&f - model.m_mesh.face.data()));
}

// Each writer of the triangle list (the pass's copy-back, hole filling, the
// rounding) leaves every triangle's bounds those of its own corners, so the
// model's bounds and centre are those of its triangles.
TEST(MeshModel, WritersOfTheTriangleListKeepEachTrianglesBounds)
{
    // A degenerate first triangle shifts every later one down by one when
    // the pass drops it; the spike, last, reaches z = 40.
    QVector<VSLTriangle3D> spiked{testmesh::Tri({0, 0, 0}, {0, 0, 0}, {5, 5, 5})};
    spiked += testmesh::Cube(10);
    spiked << testmesh::Tri({20, 0, 0}, {22, 0, 0}, {21, 1, 40});
    QVector<VSLTriangle3D> holed = testmesh::Cube(10);
    holed.remove(5);
    const struct {
        const char* name;
        QVector<VSLTriangle3D> tris;
        std::function<void(VSLModel3D&)> write;
        int triangles;
        QVector3D max, centre;
    } rows[] = {
        {"pass drops a degenerate triangle", spiked, [](VSLModel3D&) {}, 13, {22, 10, 40}, {11, 5, 20}},
        {"hole filling appends one", holed, [](VSLModel3D& m) { m.CheckHoles(); m.RepairHoles(); }, 12,
         {10, 10, 10}, {5, 5, 5}},
        {"rounding", testmesh::Translated(testmesh::Cube(10), {0.00004f, 0, 0}),
         [](VSLModel3D& m) { m.TriRound(10000); }, 12, {10, 10, 10}, {5, 5, 5}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto model = ModelOf(r.tris);
        r.write(*model);
        ASSERT_EQ(model->m_vTriangles.size(), r.triangles);
        for (const VSLTriangle3D& t : model->m_vTriangles) {
            VSLTriangle3D own = t;
            own.UpdateBound();
            EXPECT_EQ(QVector<QVector3D>({t.minBound, t.maxBound}), QVector<QVector3D>({own.minBound, own.maxBound}));
        }
        model->UpdataData();
        EXPECT_EQ(QVector<QVector3D>({model->m_minBound, model->m_maxBound, model->m_center}),
                  QVector<QVector3D>({{0, 0, 0}, r.max, r.centre}));
    }
}

TEST(MeshModel, RefusedFileStartsNoPassAndKeepsTheGateClosed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.stl");
    ASSERT_TRUE(testmesh::WriteFile(path, QByteArray()));
    VSLModel3D model;
    EXPECT_FALSE(model.LoadSTLFile(path));
    EXPECT_TRUE(model.loadError().contains("bad.stl"));
    EXPECT_FALSE(model.fixerThread()->isRunning());
    EXPECT_EQ(model.checkStatus(), -1);
    EXPECT_FALSE(model.readyGate().IsOpen());
}

TEST(MeshModel, CopyMeshRefusesAMeshWithMoreFacesThanTriangles)
{
    VSLModel3D model;
    model.m_vTriangles = testmesh::Cube();
    EXPECT_EQ(model.CopyMesh(0), 12);
    EXPECT_EQ(model.m_mesh.vn, 36);
    model.m_vTriangles.resize(5);
    EXPECT_EQ(model.CopyMesh(0), -1);
    EXPECT_EQ(model.m_mesh.fn, 12);
    // Same count: positions rewritten in place.
    model.m_vTriangles = testmesh::Translated(testmesh::Cube(), {1, 0, 0});
    EXPECT_EQ(model.CopyMesh(0), 12);
    EXPECT_EQ(model.m_mesh.vert[0].P().X(), model.m_vTriangles[0].vertices[0].x());
    // An empty display list changes nothing.
    VSLModel3D::m_vT.clear();
    EXPECT_EQ(model.showModel(QString()), 0);
    EXPECT_EQ(model.m_vTriangles.size(), 12);
}

TEST(MeshModel, DestroyingAModelDuringItsPassEndsCleanly)
{
    QTemporaryDir dir;
    const QString path = WriteStl(dir, "s.stl", testmesh::SphereWithTriangles(300000));
    for (int i = 0; i < 3; ++i) {
        auto model = std::make_unique<VSLModel3D>();
        ASSERT_TRUE(model->LoadSTLFile(path));
        model.reset(); // must neither hang nor crash
    }
}

TEST(MeshModel, WorkersWaitForTheGateAndNeverOverlap)
{
    QTemporaryDir dir;
    VSLModel3D model;
    std::atomic<int> inside{0}, maxInside{0}, ran{0};
    auto worker = [&] {
        MeshGateLocker gate(model.readyGate());
        if (!gate.held())
            return;
        QMutexLocker data(model.dataMutex());
        const int now = ++inside;
        maxInside = std::max(maxInside.load(), now);
        // Mesh, vertex copy and triangle list are complete once the gate opens.
        EXPECT_EQ(model.m_mesh.fn, 12);
        EXPECT_EQ(model.m_vVertexCopy.size(), 8);
        EXPECT_EQ(model.fixStatus(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --inside;
        ++ran;
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back(worker);
    ASSERT_TRUE(model.LoadSTLFile(WriteStl(dir, "c.stl", testmesh::Cube())));
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ran, 4);
    EXPECT_EQ(maxInside, 1);
}

TEST(MeshModel, GateRefusesWaitersWhenCancelled)
{
    MeshReadyGate gate;
    std::atomic<bool> result{true};
    std::thread waiter([&] { result = gate.Acquire(); });
    gate.Cancel();
    waiter.join();
    EXPECT_FALSE(result);
}
