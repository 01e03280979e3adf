// The island count of a slice against each whole layer drawn into the full
// frame and searched cell by cell: the same islands, in the same places, by
// one worker and by several, also where the model reaches out of the frame.
#include "drawn_layer.h"
#include "layer_checks.h"
#include "layers/instanceslice.h"
#include "layers/litgroups.h"
#include "layers/litislands.h"
#include "printfile/layerrender.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace {

using ClipperLib::Path;
using ClipperLib::Paths;

constexpr int kWidth = 120, kHeight = 90; // 0.1 mm pixels

Path Rect(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Lit cells of a layer drawn alone into the whole frame.
std::vector<char> LitCells(const QVector<SlicePolygon>& layer)
{
    const QImage image = DrawnLayer(layer, kWidth, kHeight);
    std::vector<char> cells(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            cells[size_t(y) * kWidth + size_t(x)] = LitLevel(image.constScanLine(y)[x]);
    return cells;
}

// `count` blocks of random place, size and height, each leaning a little
// from layer to layer.
void AddLeaningBlocks(std::mt19937& random, std::uniform_int_distribution<int>& at,
                      std::uniform_int_distribution<int>& size, std::uniform_int_distribution<int>& height,
                      std::uniform_int_distribution<int>& step, int count, QVector<Paths>& model)
{
    const int layerCount = model.size();
    for (int block = 0; block < count; ++block) {
        int x0 = at(random), y0 = at(random) * 3 / 4;
        const int w = size(random), h = size(random);
        const int from = std::uniform_int_distribution<int>(0, layerCount - 1)(random);
        const int to = std::min(layerCount, from + height(random));
        for (int L = from; L < to; ++L) {
            model[L].push_back(Rect(x0, y0, x0 + w, y0 + h));
            x0 += step(random);
        }
    }
}

// Blocks overlapping in a layer are one outline (even-odd would cut holes).
void UniteEachLayer(QVector<Paths>& model)
{
    for (Paths& layer : model) {
        Paths united;
        ClipperLib::Clipper c;
        c.AddPaths(layer, ClipperLib::ptSubject, true);
        c.Execute(ClipperLib::ctUnion, united, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
        layer.swap(united);
    }
}

// The slice of `contours` into the test's frame by one worker, nothing counted.
layers::InstanceSliceJob JobOf(const ShellLayerContours& contours, int layerCount)
{
    layers::InstanceSliceJob job;
    job.contours = &contours;
    job.layerCount = layerCount;
    job.mapping = layers::PixelMapping{kWidth, kHeight, 10.f, 10.f};
    job.workers = 1;
    return job;
}

using Places = std::vector<std::pair<int, std::pair<int, int>>>; // layer, pixel

Places Counted(const layers::IslandCount& n)
{
    Places at;
    for (const auto* list : {&n.supportAt, &n.modelAt})
        for (const auto& a : *list)
            at.push_back({a.first, {int(std::floor(a.second.X / 100.0 + kWidth / 2)),
                                    int(std::floor(a.second.Y / 100.0 + kHeight / 2))}});
    std::sort(at.begin(), at.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first
                                  : a.second.second != b.second.second ? a.second.second < b.second.second
                                                                       : a.second.first < b.second.first;
    });
    return at;
}

// Random blocks of a few layers each, some a fraction of a pixel apart,
// touching at corners, or reaching out of the frame.
TEST(LitIslands, AreThoseOfEachWholeLayerDrawnIntoTheFrame)
{
    std::mt19937 random(17);
    // 1/1000 mm, the frame's middle at 0: it spans -6000..6000 by -4500..4500.
    std::uniform_int_distribution<int> at(-7000, 6000), size(150, 2500), height(1, 4), step(-120, 120);
    int islands = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const int layerCount = 24;
        QVector<Paths> model(layerCount);
        AddLeaningBlocks(random, at, size, height, step, 14, model);
        UniteEachLayer(model);
        const ShellLayerContours contours(1, model);
        // Outline islands counted, as a tool's slice and the window ask: the
        // layers are then shared among the workers (a lone shell copied as
        // it is would take one).
        const auto jobOf = [&](int workers) {
            layers::InstanceSliceJob job = JobOf(contours, layerCount);
            job.countOutlineIslands = true;
            job.workers = workers;
            return job;
        };
        Places expected;
        for (int workers : {1, 4}) {
            layers::InstanceSliceJob job = jobOf(workers);
            job.countIslands = true;
            const layers::InstanceSlice slice = layers::SliceInstanceLayers(job);
            ASSERT_EQ(slice.layers.size(), layerCount);
            if (workers == 1) {
                std::vector<char> below = LitCells(slice.layers[0]);
                for (int L = 1; L < layerCount; ++L) {
                    const std::vector<char> here = LitCells(slice.layers[L]);
                    std::vector<int> first;
                    layercheck::FloatingRegions(here, below, kWidth, kHeight, 8, &first);
                    for (int c : first)
                        expected.push_back({L, {c % kWidth, c / kWidth}});
                    below = here;
                }
            }
            EXPECT_EQ(Counted(slice.islands), expected) << workers << " workers";
            EXPECT_EQ(slice.islands.support, 0);
        }
        // The window's count: every one the file holds, and no other, by
        // one worker and by several.
        for (int workers : {1, 4}) {
            layers::InstanceSliceJob job = jobOf(workers);
            job.countOutlineIslands = false;
            job.countLitIslandsByGroups = true;
            const Places told = Counted(layers::SliceInstanceLayers(job).islands);
            EXPECT_EQ(told, expected) << workers << " workers";
        }
        islands += int(expected.size());
    }
    EXPECT_GT(islands, 30) << "islands to count";
}

// The job as the window's Slice asks for its count.
layers::InstanceSliceJob AsTheWindowCounts(layers::InstanceSliceJob job)
{
    job.countIslands = false;
    job.countOutlineIslands = false;
    job.countLitIslandsByGroups = true;
    return job;
}

// Walls whose foot is a sliver of the layer below, a hundredth to a
// sixteenth of a pixel wide and millimetres long: its outline holds the
// wall's up, its pixels light nothing (or too faintly to cure), so the wall
// starts in mid-air. Among blocks that lean, stack and hang: the window's
// count is that of each whole layer drawn into the frame, by one worker and
// by several.
TEST(LitIslands, TheWindowsCountHoldsWallsOnSliversThatLightNothing)
{
    std::mt19937 random(23);
    std::uniform_int_distribution<int> at(-6000, 5000), size(150, 2500), height(1, 4), step(-120, 120);
    std::uniform_int_distribution<int> length(3000, 8000), sliver(1, 6), wall(150, 800);
    int islands = 0, onSlivers = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const int layerCount = 24;
        QVector<Paths> model(layerCount);
        AddLeaningBlocks(random, at, size, height, step, 8, model);
        std::vector<int> footLayers;
        for (int foot = 0; foot < 6; ++foot) {
            const int L = std::uniform_int_distribution<int>(0, layerCount - 3)(random);
            const int x0 = at(random), y0 = at(random) * 3 / 4, n = length(random), thin = sliver(random),
                      thick = wall(random);
            const bool across = foot % 2 == 0;
            model[L].push_back(across ? Rect(x0, y0, x0 + n, y0 + thin) : Rect(x0, y0, x0 + thin, y0 + n));
            for (int k = L + 1; k < std::min(layerCount, L + 3); ++k)
                model[k].push_back(across ? Rect(x0, y0, x0 + n, y0 + thick) : Rect(x0, y0, x0 + thick, y0 + n));
            footLayers.push_back(L + 1);
        }
        UniteEachLayer(model);
        const ShellLayerContours contours(1, model);
        layers::InstanceSliceJob job = JobOf(contours, layerCount);
        const layers::InstanceSlice slice = layers::SliceInstanceLayers(AsTheWindowCounts(job));
        ASSERT_EQ(slice.layers.size(), layerCount);
        Places expected;
        std::vector<char> below = LitCells(slice.layers[0]);
        for (int L = 1; L < layerCount; ++L) {
            const std::vector<char> here = LitCells(slice.layers[L]);
            std::vector<int> first;
            layercheck::FloatingRegions(here, below, kWidth, kHeight, 8, &first);
            for (int c : first)
                expected.push_back({L, {c % kWidth, c / kWidth}});
            below = here;
        }
        EXPECT_EQ(Counted(slice.islands), expected) << "one worker";
        job.workers = 4;
        EXPECT_EQ(Counted(layers::SliceInstanceLayers(AsTheWindowCounts(job)).islands), expected) << "four workers";
        islands += int(expected.size());
        for (const auto& island : expected)
            onSlivers += std::count(footLayers.begin(), footLayers.end(), island.first) > 0;
    }
    EXPECT_GT(islands, 40) << "islands to count";
    EXPECT_GT(onSlivers, 20) << "walls on slivers among them";
}

// A tall plate of many runs: the window counts each run as soon as it and
// the run below it are made, while other runs are still being made, in
// whatever order they end, a thread going on from the run it counted below
// where it can. Every count is that of the tools' whole-layer count, on
// every try.
TEST(LitIslands, TheWindowsCountOfATallPlateIsTheSameWhicheverRunsEndFirst)
{
    std::mt19937 random(31);
    std::uniform_int_distribution<int> at(-6000, 5000), size(150, 2500), height(1, 6), step(-150, 150);
    const int layerCount = 240;
    QVector<Paths> model(layerCount);
    AddLeaningBlocks(random, at, size, height, step, 160, model);
    UniteEachLayer(model);
    // Two shells, united on every layer: several workers make the runs (a
    // lone shell is copied by one, in order).
    const ShellLayerContours contours(2, model);
    layers::InstanceSliceJob job = JobOf(contours, layerCount);
    job.countIslands = true;
    const Places expected = Counted(layers::SliceInstanceLayers(job).islands);
    EXPECT_GT(expected.size(), 40u) << "islands to count";
    // Layers that take a while to make end their runs out of order.
    job.beforeLayer = [](int layer) {
        if (layer % 7 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (layer % 5)));
    };
    for (int workers : {2, 3, 8}) {
        for (int round = 0; round < 3; ++round) {
            job.workers = workers;
            const layers::InstanceSlice slice = layers::SliceInstanceLayers(AsTheWindowCounts(job));
            ASSERT_EQ(slice.layers.size(), layerCount);
            EXPECT_EQ(Counted(slice.islands), expected) << workers << " workers, round " << round;
        }
    }
}

// Of a field of islands of one layer (a plate of points hanging down), the
// ones the model's own polygons light: each judged, with one drawing.
TEST(LitIslands, EveryIslandOfAFieldIsJudgedModelOrNot)
{
    const QSize frame(170, 170);
    auto square = [](float x0, float y0, float side) {
        SlicePolygon p;
        p.append(x0, y0), p.append(x0 + side, y0), p.append(x0 + side, y0 + side), p.append(x0, y0 + side);
        return p;
    };
    QVector<SlicePolygon> field, model;
    std::vector<bool> expected;
    for (int row = 0; row < 32; ++row)
        for (int col = 0; col < 32; ++col) {
            field.append(square(5 + col * 5, 5 + row * 5, 3));
            // The model lights a corner pixel of every third square; the
            // rest are supports.
            const bool lit = (row * 32 + col) % 3 == 0;
            if (lit)
                model.append(square(5 + col * 5 + 2, 5 + row * 5 + 2, 1));
            expected.push_back(lit);
        }
    layers::LitIslandCounter counter(frame, QRect(QPoint(0, 0), frame));
    std::vector<QPoint> islands;
    counter.AddLayer({square(166, 166, 3)}, true, islands);
    counter.AddLayer(field, true, islands);
    ASSERT_EQ(islands.size(), expected.size());
    const std::vector<bool> lit = counter.LightIslands(model, islands);
    ASSERT_EQ(lit.size(), islands.size());
    // The islands come in row order of their first pixel, as the squares were made.
    EXPECT_EQ(lit, expected);
    EXPECT_EQ(counter.LightIslands({}, islands), std::vector<bool>(islands.size(), false));
}

// Pixels that meet at a corner cure as one piece; the renderer lights a
// pixel an outline covers a sixteenth of, not less.
TEST(LitIslands, JoinAtCornersAndLightWhatTheFileLights)
{
    const QSize frame(40, 40);
    auto square = [](float x0, float y0, float x1, float y1) {
        SlicePolygon p;
        p.append(x0, y0), p.append(x1, y0), p.append(x1, y1), p.append(x0, y1);
        return p;
    };
    const struct {
        const char* name;
        QVector<SlicePolygon> below, here;
        int islands;
    } rows[] = {
        {"a square meeting the one below at a corner", {square(5, 5, 10, 10)}, {square(5, 5, 10, 10), square(10, 10, 15, 15)}, 0},
        {"a square a pixel clear of the one below", {square(5, 5, 10, 10)}, {square(5, 5, 10, 10), square(11, 5, 15, 10)}, 1},
        {"a square over a sliver of a pixel", {square(5, 5, 10.1f, 10)}, {square(10.05f, 5, 15, 10)}, 0},
        {"a square over a sliver too thin to light", {square(5, 5, 10.05f, 10)}, {square(10.0f, 5, 15, 10)}, 1},
        {"a square a hair from a square of its layer", {square(5, 5, 10, 10)}, {square(5, 5, 10, 10), square(10.3f, 5, 15, 10)}, 0},
        // Drawn apart (their pixel boxes do not meet), the two light
        // neighbouring pixels of one row: one piece, resting on the first.
        {"a row a half pixel clear of a resting row", {square(5, 10, 10.5f, 11)}, {square(5, 10, 10.5f, 11), square(11.07f, 10, 15, 11)}, 0},
        {"a row a pixel clear of a resting row", {square(5, 10, 10.5f, 11)}, {square(5, 10, 10.5f, 11), square(12.07f, 10, 15, 11)}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        layers::LitIslandCounter counter(frame, QRect(QPoint(0, 0), frame));
        layers::GroupedLitIslandCounter byGroups(frame);
        std::vector<QPoint> islands, told;
        counter.AddLayer(row.below, true, islands);
        byGroups.AddLayer(row.below, true, told);
        EXPECT_TRUE(islands.empty()) << "the first layer stands on the plate";
        EXPECT_TRUE(told.empty());
        counter.AddLayer(row.here, true, islands);
        byGroups.AddLayer(row.here, true, told);
        EXPECT_EQ(int(islands.size()), row.islands);
        EXPECT_EQ(told, islands) << "drawn by groups";
    }
}

// Layers made of what a plate of supported parts hands the count: columns
// whose outline repeats from layer to layer (the same points, as the slice
// shares them, or equal points made anew), feet on slivers of the layer
// below too thin to light a pixel or lit only faintly, walls stepping a
// fraction of a pixel, rows of touching squares wide enough that the
// renderer draws them in strips, rings with holes, blocks reaching out of
// the frame. The counter that draws only what changed finds the lit pixels
// of each whole layer drawn into the frame as the file's writer draws it,
// pixel for pixel, and the same islands, each judged model or not alike.
// Also with the layers turned, as a printer model that turns its image
// stores them.
class LitIslandsByGroups : public ::testing::TestWithParam<bool> {};

TEST_P(LitIslandsByGroups, AreThoseOfEachWholeLayer)
{
    const bool turned = GetParam();
    // The layers' frame is 160 x 120; turned, the pixels stand 120 x 160.
    const int W = turned ? 120 : 160, H = turned ? 160 : 120;
    const QSize frame(W, H);
    auto lit = [&](const QVector<SlicePolygon>& layer) {
        const QImage image = DrawnLayer(layer, W, H, turned);
        std::vector<char> cells(size_t(W) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                cells[size_t(y) * W + size_t(x)] = LitLevel(image.constScanLine(y)[x]);
        return cells;
    };
    auto rect = [](double x0, double y0, double x1, double y1) {
        SlicePolygon p;
        p.append(float(x0), float(y0)), p.append(float(x1), float(y0)), p.append(float(x1), float(y1)),
            p.append(float(x0), float(y1));
        return p;
    };
    auto circle = [](double cx, double cy, double r) {
        SlicePolygon p;
        for (int k = 0; k < 16; ++k)
            p.append(float(cx + r * std::cos(k * M_PI / 8)), float(cy + r * std::sin(k * M_PI / 8)));
        return p;
    };
    const int ownW = 160, ownH = 120;
    std::mt19937 random(5);
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    int islands = 0, keptGroups = 0, drawnGroups = 0, repeatedLayers = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        constexpr int kLayers = 24;
        std::vector<QVector<SlicePolygon>> layers(kLayers);
        // Columns standing through every layer, their outline shared.
        std::vector<SlicePolygon> columns;
        for (int c = 0; c < 40; ++c)
            columns.push_back(circle(uniform(4, ownW - 4), uniform(4, ownH - 4), uniform(0.8, 4)));
        for (int L = 0; L < kLayers; ++L) {
            QVector<SlicePolygon>& layer = layers[size_t(L)];
            for (SlicePolygon& c : columns) {
                const double u = uniform(0, 1);
                if (u < 0.08) // the same points made anew
                    c = SlicePolygon(c.toPolygonF());
                else if (u < 0.12) // a brace's section moving on
                    c = circle(c.point(0).x() - 2 + uniform(-0.4, 0.4), c.point(4).y() + uniform(-0.4, 0.4), 2);
                layer.append(c);
            }
        }
        for (int f = 0; f < 10; ++f) {
            // A wall starting on a sliver (or a faint foot) of the layer below.
            const int L = std::uniform_int_distribution<int>(1, kLayers - 2)(random);
            const double x = uniform(-3, ownW - 10), y = uniform(-3, ownH - 10), length = uniform(3, 30);
            const double widths[] = {0.002, 0.02, 0.05, 0.07, 0.3};
            const double sliver = widths[std::uniform_int_distribution<int>(0, 4)(random)];
            const bool across = uniform(0, 1) < 0.5;
            layers[size_t(L)].append(across ? rect(x, y, x + length, y + sliver) : rect(x, y, x + sliver, y + length));
            const double wall = uniform(0.4, 3);
            for (int k = L + 1; k < std::min(kLayers, L + 4); ++k)
                layers[size_t(k)].append(across ? rect(x, y, x + length, y + wall) : rect(x, y, x + wall, y + length));
        }
        for (int b = 0; b < 4; ++b) {
            // A leaning wall, a ring, a row of squares touching at their sides.
            const int L = std::uniform_int_distribution<int>(0, kLayers - 4)(random);
            double x = uniform(-20, ownW), y = uniform(-20, ownH);
            const double step = uniform(-0.7, 0.7);
            for (int k = L; k < L + 3; ++k, x += step)
                layers[size_t(k)].append(rect(x, y, x + uniform(1, 25), y + uniform(1, 25)));
            const double cx = uniform(10, ownW - 10), cy = uniform(10, ownH - 10);
            layers[size_t(L + 1)].append(circle(cx, cy, 9));
            layers[size_t(L + 1)].append(circle(cx, cy, 5.5));
            // Now and then up to the frame's right or bottom edge.
            const double rx = uniform(-5, ownW - 60), ry = uniform(0, ownH - 1), side = uniform(1.5, 2.5);
            for (int k = 0; k < 40; ++k)
                layers[size_t(L + 2)].append(rect(rx + k * side, ry, rx + (k + 1) * side, ry + side));
        }
        // Layers where nothing changes: the very polygons of the layer below,
        // also above a layer with islands of its own.
        for (int k = 0; k < 3; ++k) {
            const int L = std::uniform_int_distribution<int>(1, kLayers - 1)(random);
            layers[size_t(L)] = layers[size_t(L - 1)];
        }

        layers::GroupedLitIslandCounter byGroups(frame, turned);
        layers::LitIslandCounter whole(frame, QRect(QPoint(0, 0), frame), turned);
        std::vector<char> below;
        for (int L = 0; L < kLayers; ++L) {
            SCOPED_TRACE(L);
            const std::vector<char> here = lit(layers[size_t(L)]);
            std::vector<QPoint> told, drawn;
            byGroups.AddLayer(layers[size_t(L)], true, told);
            whole.AddLayer(layers[size_t(L)], true, drawn);
            std::vector<char> cells(size_t(W) * H, 0);
            for (const layers::LitRun& r : byGroups.litRuns())
                for (int x = r.x0; x <= r.x1; ++x)
                    cells[size_t(r.y) * W + size_t(x)] = 1;
            ASSERT_EQ(cells, here) << "lit pixels";
            std::vector<QPoint> expected;
            if (L > 0) {
                std::vector<int> first;
                layercheck::FloatingRegions(here, below, W, H, 8, &first);
                for (int c : first)
                    expected.push_back(QPoint(c % W, c / W));
            }
            EXPECT_EQ(told, expected);
            EXPECT_EQ(drawn, expected);
            if (!told.empty()) {
                // Model or not: a random part of the layer as the model.
                QVector<SlicePolygon> model;
                for (const SlicePolygon& p : layers[size_t(L)])
                    if (uniform(0, 1) < 0.5)
                        model.append(p);
                EXPECT_EQ(byGroups.LightIslands(model, told), whole.LightIslands(model, told));
            }
            islands += int(expected.size());
            below = here;
        }
        keptGroups += int(byGroups.groupsKept());
        drawnGroups += int(byGroups.groupsDrawn());
        repeatedLayers += int(byGroups.layersRepeated());
    }
    EXPECT_GT(islands, 60) << "islands to count";
    EXPECT_GT(keptGroups, drawnGroups) << "what repeats is taken over";
    EXPECT_GT(repeatedLayers, 12) << "layers that repeat the one below";
}

INSTANTIATE_TEST_SUITE_P(AsStoredAndTurned, LitIslandsByGroups, ::testing::Bool());

} // namespace
