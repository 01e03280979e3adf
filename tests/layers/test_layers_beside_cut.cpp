// Layers made while the contour cut is still tracing the planes above them
// (as the window slices a plate without supports) against the cut run first.
#include "contour/tracedlayers.h"
#include "layers/instanceslice.h"
#include "model_fixture.h"
#include "test_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr float kThicknessMm = 0.1f;

// A closed sphere of many faces (a long cut), an open one and two cubes,
// one of them hanging: shell slots, the open slot and islands to count.
QVector<VSLTriangle3D> Plate()
{
    QVector<VSLTriangle3D> open = testmesh::UvSphere(5.f, 24, 12, {-22.f, 10.f, 5.5f});
    open.remove(100);
    return testmesh::Translated(testmesh::SphereWithTriangles(200000, 15.f), {0, 0, 15.5f}) + open +
           testmesh::Cube(3.f, {20.f, -8.f, 0.f}) + testmesh::Cube(3.f, {20.f, 8.f, 12.f});
}

float TopOf(const QVector<VSLTriangle3D>& tris)
{
    float top = 0;
    for (const VSLTriangle3D& t : tris)
        for (const QVector3D& p : t.vertices)
            top = std::max(top, p.z());
    return top;
}

layers::InstanceSliceJob JobOf(const ShellLayerContours& contours, int layerCount, bool openSlot, int workers)
{
    layers::InstanceSliceJob job;
    job.contours = &contours;
    job.layerCount = layerCount;
    job.slicedOpen = openSlot;
    job.mapping = layers::PixelMapping{640, 400, 10.f, 10.f};
    job.countOutlineIslands = workers > 1; // a lone closed shell is then copied on one worker
    job.countLitIslandsByGroups = true;
    job.workers = workers;
    return job;
}

struct Made {
    layers::InstanceSlice slice;
    int layerCount = 0;
    // Where each slot's planes were stored when the cut began.
    std::vector<std::vector<const ClipperLib::Paths*>> storedAt;
    ShellLayerContours contours;
};

Made CutThenMake(VSLModel3D& model, float top, int workers)
{
    Made made;
    QVector<float> planes;
    made.layerCount = model.SilceMeshXX(made.contours, planes, kThicknessMm, top, 0.f);
    const bool openSlot = model.m_bSlicedOpenMesh && made.contours.size() > model.m_nShellCount;
    made.slice = layers::SliceInstanceLayers(JobOf(made.contours, made.layerCount, openSlot, workers));
    return made;
}

// `stopAt` >= 0: the maker asks the cut to stop as it reaches that layer.
Made MadeBesideCut(VSLModel3D& model, float top, int workers, int stopAt = -1)
{
    Made made;
    contour::TracedLayers traced;
    std::atomic<bool> stop{false};
    std::thread maker([&] {
        int layerCount = 0;
        bool openSlot = false;
        if (!traced.WaitBegun(layerCount, openSlot))
            return;
        for (const ShellLayerContours::Slot& slot : made.contours) {
            made.storedAt.emplace_back();
            for (int L = 0; L < layerCount; ++L)
                made.storedAt.back().push_back(&slot[L]);
        }
        layers::InstanceSliceJob job = JobOf(made.contours, layerCount, openSlot, workers);
        job.traced = &traced;
        job.stop = &stop;
        if (stopAt >= 0)
            job.beforeLayer = [&stop, stopAt](int layer) {
                if (layer >= stopAt)
                    stop = true;
            };
        made.slice = layers::SliceInstanceLayers(job);
    });
    QVector<float> planes;
    made.layerCount = model.SilceMeshXX(made.contours, planes, kThicknessMm, top, 0.f, &stop, &traced);
    traced.Finish();
    maker.join();
    return made;
}

void ExpectSameIslands(const layers::IslandCount& a, const layers::IslandCount& b)
{
    EXPECT_EQ(a.model, b.model);
    EXPECT_EQ(a.support, b.support);
    EXPECT_EQ(a.modelAt, b.modelAt);
    EXPECT_EQ(a.supportAt, b.supportAt);
}

} // namespace

// The maker runs ahead of the cut on every worker: each layer must wait for
// its plane, and no plane's storage may move while the layers below are read.
TEST(LayersBesideCut, AreTheLayersOfTheCutRunFirst)
{
    const QVector<VSLTriangle3D> closedSphere =
        testmesh::Translated(testmesh::SphereWithTriangles(200000, 15.f), {0, 0, 15.5f});
    for (const QVector<VSLTriangle3D>& tris : {Plate(), closedSphere}) {
        const bool plate = tris.size() != closedSphere.size();
        SCOPED_TRACE(plate ? "plate" : "closed sphere");
        std::unique_ptr<VSLModel3D> model = ModelOf(tris);
        model->CountShells();
        const float top = TopOf(tris);
        for (int workers : {1, 4}) {
            SCOPED_TRACE(workers);
            const Made first = CutThenMake(*model, top, workers);
            const Made beside = MadeBesideCut(*model, top, workers);
            ASSERT_EQ(beside.layerCount, first.layerCount);
            ASSERT_GT(first.layerCount, 300);
            ASSERT_FALSE(beside.slice.stopped);
            ASSERT_EQ(beside.slice.layers.size(), first.layerCount);
            int differing = 0;
            for (int L = 0; L < first.layerCount; ++L)
                differing += beside.slice.layers[L] != first.slice.layers[L];
            EXPECT_EQ(differing, 0);
            ExpectSameIslands(beside.slice.islands, first.slice.islands);
            ExpectSameIslands(beside.slice.outlineIslands, first.slice.outlineIslands);
            if (plate) {
                // Both spheres' feet, half a millimetre up, and the hanging
                // cube, in the window's count and the outlines'.
                EXPECT_EQ(first.slice.islands.model, 3);
                EXPECT_EQ(first.slice.outlineIslands.model, workers > 1 ? 3 : 0);
                EXPECT_EQ(beside.contours.size(), model->m_nShellCount + 1); // the open slot
            }

            // Every plane the cut wrote lies where its slot stored it when
            // the cut began (a plane stored later would have moved the rest).
            ASSERT_EQ(int(beside.storedAt.size()), beside.contours.size());
            int written = 0, moved = 0;
            for (int slot = 0; slot < beside.contours.size(); ++slot)
                for (int L = 0; L < beside.layerCount; ++L) {
                    if (beside.contours[slot][L].empty())
                        continue;
                    ++written;
                    moved += &beside.contours[slot][L] != beside.storedAt[size_t(slot)][size_t(L)];
                }
            EXPECT_GT(written, first.layerCount * 9 / 10);
            EXPECT_EQ(moved, 0);
        }
    }
}

// A stop the maker asks for ends the cut too, and neither waits on the other.
TEST(LayersBesideCut, StopEndsTheCutAndTheLayers)
{
    const QVector<VSLTriangle3D> tris = Plate();
    std::unique_ptr<VSLModel3D> model = ModelOf(tris);
    model->CountShells();
    for (int workers : {1, 4}) {
        const Made made = MadeBesideCut(*model, TopOf(tris), workers, 40);
        EXPECT_TRUE(made.slice.stopped) << workers;
        EXPECT_TRUE(made.slice.layers.isEmpty()) << workers;
    }
}

TEST(LayersBesideCut, NothingIsMadeOfACutThatNeverBegan)
{
    contour::TracedLayers traced;
    std::thread maker([&traced] {
        int layers = -1;
        bool open = true;
        EXPECT_FALSE(traced.WaitBegun(layers, open));
        EXPECT_EQ(layers, 0);
        traced.WaitTraced(1000); // finished: no plane is awaited
    });
    traced.Finish();
    maker.join();
    traced.Begin(10, false); // too late: the cut is over
    int layers = -1;
    bool open = true;
    EXPECT_FALSE(traced.WaitBegun(layers, open));
}
