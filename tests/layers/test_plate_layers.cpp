#include "layers/platelayers.h"
#include "slice_polygons.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Layer i holds one triangle starting at (i, 0).
SliceLayers Sliced(int count)
{
    SliceLayers layers;
    for (int i = 0; i < count; ++i)
        layers.append(ToSlicePolygons({QPolygonF(QVector<QPointF>{QPointF(i, 0), QPointF(i + 1, 0), QPointF(i, 1)})}));
    return layers;
}

// Plate layers go in front, removals take the first layers; the count stored is what was applied.
TEST(PlateLayers, InsertOrRemoveAtTheFrontAndStoreWhatWasApplied)
{
    const int cap = layers::kMaxPlateLayers;
    const struct { int layersBefore, n, storedCount, layersAfter; } cases[] = {
        {120, 3, 3, 123},        {1, cap, cap, cap + 1}, {1, cap + 1, cap, cap + 1}, {1, INT_MAX, cap, cap + 1},
        {4, -2, -2, 2},          {3, -10, -3, 0},        {0, INT_MIN, 0, 0},         {4, 0, 0, 4},
    };
    const QPolygonF rect(QVector<QPointF>{QPointF(100, 50), QPointF(900, 50), QPointF(900, 400), QPointF(100, 400)});
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.layersBefore << " layers, n " << c.n);
        SliceLayers list = Sliced(c.layersBefore);
        int stored = 12345;
        layers::AddPlateLayers(list, stored, QPointF(900, 400), QPointF(100, 50), c.n);
        EXPECT_EQ(stored, c.storedCount);
        ASSERT_EQ(list.size(), c.layersAfter);
        const int plate = std::max(0, c.storedCount);
        for (int i = 0; i < std::min(plate, 3); ++i)
            EXPECT_EQ(list[i], ToSlicePolygons({rect})) << i;
        const int firstSliced = std::max(0, -c.storedCount);
        for (int i = plate; i < list.size(); ++i)
            ASSERT_EQ(list[i][0][0], QPointF(firstSliced + i - plate, 0)) << i;
    }
}

TEST(PlateLayers, NothingSlicedGivesTheResetRectangle)
{
    SliceLayers layers;
    int plate = 0;
    layers::AddPlateLayers(layers, plate, QPointF(-1920, -1080), QPointF(1920, 1080), 1);
    const QPolygonF rect(
        QVector<QPointF>{QPointF(1920, 1080), QPointF(-1920, 1080), QPointF(-1920, -1080), QPointF(1920, -1080)});
    EXPECT_EQ(layers, ToSliceLayers({{rect}}));
}

} // namespace
