// Supports sliced plane by plane, held against the way every layer was made
// before: every cross-section of the instance cut at once, then one union of
// each whole layer with its model outlines. Same pixels, same islands.
#include "clipper_checks.h"
#include "gen_harness.h"
#include "model_fixture.h"

#include "layers/instanceslice.h"
#include "layers/islands.h"
#include "layers/layeroutlines.h"
#include "layers/supportcut.h"
#include "layers/supportlayers.h"
#include "printfile/layerrender.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

// ---- the road before, kept here as the reference

void WholeLayerUnion(Paths& model, Paths support)
{
    if (support.empty())
        return;
    if (model.empty()) {
        if (support.size() == 1) {
            model.push_back(support.front());
            return;
        }
        model.push_back(support.back());
        support.pop_back();
    }
    ClipperLib::Clipper c;
    c.AddPaths(model, ClipperLib::ptSubject, true);
    c.AddPaths(support, ClipperLib::ptClip, true);
    Paths united;
    c.Execute(ClipperLib::ctUnion, united, ClipperLib::pftEvenOdd, ClipperLib::pftNonZero);
    model.swap(united);
}

// Regions of the union of `paths`: outer outline, then its holes.
QVector<Paths> UnionRegions(const Paths& paths, ClipperLib::PolyFillType fill, Paths* outlines)
{
    QVector<Paths> regions;
    if (paths.empty())
        return regions;
    ClipperLib::Clipper c;
    c.AddPaths(paths, ClipperLib::ptSubject, true);
    ClipperLib::PolyTree tree;
    c.Execute(ClipperLib::ctUnion, tree, fill, fill);
    if (outlines)
        ClipperLib::PolyTreeToPaths(tree, *outlines);
    for (ClipperLib::PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
        if (n->IsHole())
            continue;
        Paths region{n->Contour};
        for (ClipperLib::PolyNode* h : n->Childs)
            region.push_back(h->Contour);
        regions.append(region);
    }
    return regions;
}

// A region rests when it shares area with the layer below, both unions.
bool RestsOn(const Paths& region, const Paths& below)
{
    return clippercheck::AreaOf(clippercheck::Combine(ClipperLib::ctIntersection, region, below)) != 0.0;
}

struct ReferenceIslands {
    int support = 0, model = 0;
    std::vector<int> supportLayers;
};

ReferenceIslands CountByWholeUnions(const QVector<Paths>& model, const QVector<Paths>& support)
{
    ReferenceIslands n;
    Paths below;
    for (int L = 0; L < std::max(model.size(), support.size()); ++L) {
        Paths modelOutlines, supportOutlines;
        const QVector<Paths> modelRegions =
            UnionRegions(L < model.size() ? model[L] : Paths(), ClipperLib::pftEvenOdd, &modelOutlines);
        const QVector<Paths> supportRegions =
            UnionRegions(L < support.size() ? support[L] : Paths(), ClipperLib::pftNonZero, &supportOutlines);
        if (L > 0) {
            for (const Paths& r : supportRegions)
                if (!RestsOn(r, below)) {
                    ++n.support;
                    n.supportLayers.push_back(L);
                }
            for (const Paths& r : modelRegions)
                n.model += !RestsOn(r, below);
        }
        below = modelOutlines;
        below.insert(below.end(), supportOutlines.begin(), supportOutlines.end());
    }
    return n;
}

// ---- the instance, its supports and both roads

constexpr int kFrame = 600;          // pixels of 0.1 mm: 60 mm around the origin
constexpr float kThicknessMm = 0.05f;
const layers::PixelMapping kMapping{kFrame, kFrame, 10.f, 10.f};

struct Case {
    std::string name;
    std::unique_ptr<genh::Generation> supports;
    std::unique_ptr<VSLModel3D> model;
    ShellLayerContours contours;
    QVector<float> planes;
    int layers = 0;
    bool slicedOpen = false;
    MyMesh column;
};

std::unique_ptr<Case> Prepare(const genh::TestModel& m, const SupportParameters& params)
{
    auto c = std::make_unique<Case>();
    c->name = m.name;
    c->supports = genh::Generate(m.tris, params);
    c->model = ModelOf(m.tris);
    c->model->CountShells();
    float top = -1e9f;
    for (const VSLTriangle3D& t : m.tris)
        for (const QVector3D& v : t.vertices)
            top = std::max(top, v.z());
    c->layers = c->model->SilceMeshXX(c->contours, c->planes, kThicknessMm, top, 0.f);
    c->slicedOpen = c->model->m_bSlicedOpenMesh && c->contours.size() > c->model->m_nShellCount;
    layers::BuildColumnMesh(c->column);
    return c;
}

template <class Add> void AddRecords(const genh::Generation& g, Add&& add)
{
    for (auto it = g.map.cbegin(); it != g.map.cend(); ++it)
        add.AddRecord(it->isDeleted, it->spheres, it->cones);
}

QImage Render(const QVector<SlicePolygon>& layer)
{
    QImage image(kFrame, kFrame, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    RenderLayer(painter, layer, false, kFrame, kFrame, image.rect());
    return image;
}

// Pixels whose coverage differs by more than `slack` (of 255), and all that differ.
struct Difference {
    int beyondSlack = 0;
    int any = 0;
};

Difference Compare(const QImage& a, const QImage& b, int slack)
{
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int delta = std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
            d.any += delta != 0;
            d.beyondSlack += delta > slack;
        }
    return d;
}

std::vector<std::unique_ptr<Case>>& Cases()
{
    static std::vector<std::unique_ptr<Case>> cases = [] {
        std::vector<std::unique_ptr<Case>> out;
        for (const genh::TestModel& m : genh::Models())
            out.push_back(Prepare(m, SupportParameters{1.0, 0.6, 1.1, 3.0}));
        return out;
    }();
    return cases;
}

class SupportSlicing : public ::testing::TestWithParam<int> {
protected:
    Case& c = *Cases()[size_t(GetParam())];
};

// Each plane's walk gives the outlines, in the order, that cutting every
// solid through all its planes at once gives; also when it starts midway.
TEST_P(SupportSlicing, WalkGivesEveryPlanesCrossSectionsInCutOrder)
{
    layers::SupportCrossSections all(c.planes, c.column);
    AddRecords(*c.supports, all);
    layers::SupportSolids solids(c.planes, c.column);
    AddRecords(*c.supports, solids);
    solids.Finish();
    for (int from : {0, 1, c.layers / 3, c.layers - 1}) {
        layers::SupportLayerWalk walk(solids, from);
        for (int L = from; L < c.layers; ++L) {
            const std::vector<layers::SupportOutline>& outlines = walk.Next();
            Paths paths;
            for (const layers::SupportOutline& o : outlines) {
                paths.push_back(*o.path);
                EXPECT_TRUE(solids.boxOf(o.solid).Contains(o.box)) << "layer " << L;
                if (o.repeated) {
                    EXPECT_EQ(*o.path, *o.below) << "layer " << L;
                }
            }
            ASSERT_EQ(paths, all.paths()[L]) << "from " << from << " layer " << L;
        }
    }
}

// The lit pixels of every layer are those of one union of each whole layer,
// and the outlines' islands those counted on those unions, by one worker
// and by several. Clipper rounds a crossing it finds between two nearly coincident
// edges (two solids cut within a micrometre of each other) by the order in
// which it met their lowest points among all of the union's: there the
// coverage of a few edge pixels may differ by one 255th.
TEST_P(SupportSlicing, LayersAndIslandsAreThoseOfWholeLayerUnions)
{
    layers::SupportCrossSections all(c.planes, c.column);
    AddRecords(*c.supports, all);
    const QVector<Paths> model = layers::BuildModelLayerOutlines(c.contours, c.layers, c.slicedOpen);
    const QVector<Paths> support = all.paths();
    QVector<Paths> before = model;
    for (int L = 0; L < c.layers; ++L)
        WholeLayerUnion(before[L], support[L]);
    const ReferenceIslands islands = CountByWholeUnions(model, support);

    layers::SupportSolids solids(c.planes, c.column);
    AddRecords(*c.supports, solids);
    solids.Finish();
    for (int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        layers::InstanceSliceJob job;
        job.contours = &c.contours;
        job.layerCount = c.layers;
        job.slicedOpen = c.slicedOpen;
        job.supports = &solids;
        job.mapping = kMapping;
        job.countOutlineIslands = true;
        job.workers = workers;
        const layers::InstanceSlice slice = layers::SliceInstanceLayers(job);
        ASSERT_EQ(slice.layers.size(), c.layers);
        for (int L = 0; L < c.layers; ++L) {
            QVector<SlicePolygon> reference;
            for (const Path& p : before[L])
                reference.append(layers::OutlineToPixels(p, kMapping));
            const Difference d = Compare(Render(slice.layers[L]), Render(reference), 1);
            EXPECT_EQ(d.beyondSlack, 0) << "layer " << L;
            EXPECT_LE(d.any, 16) << "layer " << L;
        }
        // An upright shaft or a straight wall gives the same outline on layer
        // after layer: those layers share one copy of its points, also where
        // one worker's run of layers meets another's.
        int sharedBelow = 0, copiedBelow = 0;
        for (int L = 1; L < c.layers; ++L)
            for (const SlicePolygon& p : slice.layers[L]) {
                bool shared = false, equal = false;
                for (const SlicePolygon& q : slice.layers[L - 1]) {
                    shared = shared || (p.constData() == q.constData() && !p.isEmpty());
                    equal = equal || BitEqual(p, q);
                }
                sharedBelow += shared;
                copiedBelow += equal && !shared;
            }
        if (c.supports->map.size() > 0) {
            EXPECT_GT(sharedBelow, 0);
        }
        // A union of a group that came out the same as below under another
        // lead may still hold its own copy; those are few.
        EXPECT_LE(copiedBelow * 20, sharedBelow);
        EXPECT_EQ(slice.outlineIslands.support, islands.support);
        EXPECT_EQ(slice.outlineIslands.model, islands.model);
        std::vector<int> at;
        for (const auto& a : slice.outlineIslands.supportAt)
            at.push_back(a.first);
        std::sort(at.begin(), at.end());
        EXPECT_EQ(at, islands.supportLayers);
    }
}

// Overhangs of a file written inside out face up as written: unless the
// file is read facing outward they get no support and print hanging.
TEST(InsideOutFile, GetsTheSupportsOfTheSameModelWrittenOutward)
{
    QTemporaryDir dir;
    const SupportParameters defaults{1.0, 0.6, 1.1, 3.0};
    auto insideOut = [](QVector<VSLTriangle3D> tris) {
        for (VSLTriangle3D& t : tris)
            std::swap(t.vertices[1], t.vertices[2]);
        return tris;
    };
    struct Case { std::string name; QVector<VSLTriangle3D> written, outward; };
    std::vector<Case> cases;
    for (const genh::TestModel& model : genh::Models())
        cases.push_back({model.name, insideOut(model.tris), model.tris});
    // A file of two bodies, the bigger one inside out: the other stays as it is.
    QVector<VSLTriangle3D> beside = genh::Models()[0].tris;
    for (VSLTriangle3D& t : beside)
        for (QVector3D& v : t.vertices)
            v += QVector3D(40, 0, 0);
    const QVector<VSLTriangle3D> bridge = genh::Models()[2].tris;
    cases.push_back({"bridge inside out beside a slab", insideOut(bridge) + beside, bridge + beside});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromStdString(c.name) + ".stl");
        ASSERT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(c.written)));
        VSLModel3D loaded;
        ASSERT_TRUE(loaded.LoadSTLFile(path)) << loaded.loadError().toStdString();
        loaded.FixModel();
        loaded.fixerThread()->wait();
        const auto outward = genh::Generate(c.outward, defaults);
        const auto fromFile = genh::Generate(loaded.m_vTriangles, defaults);
        ASSERT_GT(outward->map.size(), 0);
        ASSERT_EQ(fromFile->map.keys(), outward->map.keys());
        for (auto a = fromFile->map.constBegin(), b = outward->map.constBegin(); a != fromFile->map.constEnd(); ++a, ++b) {
            EXPECT_EQ(a->cones, b->cones);
            EXPECT_EQ(a->spheres, b->spheres);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Harness, SupportSlicing, ::testing::Range(0, int(genh::Models().size())),
                         [](const ::testing::TestParamInfo<int>& i) { return genh::Models()[size_t(i.param)].name; });

} // namespace
