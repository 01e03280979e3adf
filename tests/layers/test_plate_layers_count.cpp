// The stored plate-layer count is the number of layers really applied.
#include "layers/platelayers.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(PlateLayerCount, StoresWhatWasApplied)
{
    struct Case {
        int layersBefore;
        int n;
        int storedCount;
        int layersAfter;
    };
    const int cap = layers::kMaxPlateLayers;
    const Case cases[] = {
        {1, 3, 3, 4},
        {1, cap, cap, cap + 1},
        {1, cap + 1, cap, cap + 1},
        {1, INT_MAX, cap, cap + 1},
        {4, -2, -2, 2},
        {3, -10, -3, 0},
        {0, INT_MIN, 0, 0},
        {4, 0, 0, 4},
    };
    for (const Case& c : cases) {
        SliceLayers list(c.layersBefore, {QPolygonF({QPointF(1, 1), QPointF(2, 1), QPointF(2, 2)})});
        int stored = 12345;
        layers::AddPlateLayers(list, stored, QPointF(5, 5), QPointF(0, 0), c.n);
        EXPECT_EQ(stored, c.storedCount) << "n " << c.n;
        EXPECT_EQ(list.size(), c.layersAfter) << "n " << c.n;
    }
}

} // namespace
