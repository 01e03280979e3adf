// The island count of a slice against each whole layer drawn into the full
// frame and searched cell by cell: the same islands, in the same places, by
// one worker and by several, also where the model reaches out of the frame.
#include "layer_checks.h"
#include "layers/instanceslice.h"
#include "layers/litislands.h"
#include "printfile/layerrender.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using ClipperLib::Path;
using ClipperLib::Paths;

constexpr int kWidth = 120, kHeight = 90; // 0.1 mm pixels

Path Rect(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

// Lit cells of a layer drawn alone into the whole frame.
std::vector<char> LitCells(const QVector<SlicePolygon>& layer)
{
    QImage image(kWidth, kHeight, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    RenderLayer(painter, layer, false, kWidth, kHeight, QRect());
    painter.end();
    std::vector<char> cells(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            cells[size_t(y) * kWidth + size_t(x)] = LitLevel(image.constScanLine(y)[x]);
    return cells;
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
        for (int block = 0; block < 14; ++block) {
            int x0 = at(random), y0 = at(random) * 3 / 4;
            const int w = size(random), h = size(random);
            const int from = std::uniform_int_distribution<int>(0, layerCount - 1)(random);
            const int to = std::min(layerCount, from + height(random));
            for (int L = from; L < to; ++L) {
                model[L].push_back(Rect(x0, y0, x0 + w, y0 + h));
                x0 += step(random); // leans a little from layer to layer
            }
        }
        // Blocks overlapping in a layer are one outline (even-odd would cut holes).
        for (Paths& layer : model) {
            Paths united;
            ClipperLib::Clipper c;
            c.AddPaths(layer, ClipperLib::ptSubject, true);
            c.Execute(ClipperLib::ctUnion, united, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
            layer.swap(united);
        }
        const ShellLayerContours contours(1, model);
        // Outline islands counted, as a tool's slice and the window ask: the
        // layers are then shared among the workers (a lone shell copied as
        // it is would take one).
        const auto jobOf = [&](int workers) {
            layers::InstanceSliceJob job;
            job.contours = &contours;
            job.layerCount = layerCount;
            job.mapping = layers::PixelMapping{kWidth, kHeight, 10.f, 10.f};
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
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        layers::LitIslandCounter counter(frame, QRect(QPoint(0, 0), frame));
        std::vector<QPoint> islands;
        counter.AddLayer(row.below, true, islands);
        EXPECT_TRUE(islands.empty()) << "the first layer stands on the plate";
        counter.AddLayer(row.here, true, islands);
        EXPECT_EQ(int(islands.size()), row.islands);
    }
}

} // namespace
