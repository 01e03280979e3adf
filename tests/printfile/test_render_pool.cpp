// The pool's codes against each layer drawn alone on a fresh frame: the same
// bytes, handed in layer order, by one worker and by several, also where
// layers repeat the one below; a sink that refuses ends the run there.
#include "drawn_layer.h"
#include "printfile/layerrenderpool.h"
#include "printfile/runlength.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr int kWidth = 96, kHeight = 64;

QVector<unsigned char> DrawnAlone(const QVector<SlicePolygon>& layer)
{
    QVector<unsigned char> code;
    EXPECT_TRUE(EncodeRunLength(DrawnLayer(layer, kWidth, kHeight), 4, code));
    return code;
}

// Squares that wander from layer to layer; every fourth layer repeats the
// one below, and some are empty.
SliceLayers Wandering(int count)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> at(-10, 100), side(0.3f, 30);
    SliceLayers layers(count);
    for (int L = 0; L < count; ++L) {
        if (L % 4 == 3) {
            layers[L] = layers[L - 1];
            continue;
        }
        if (L % 9 == 5)
            continue;
        for (int k = 0; k < 3; ++k) {
            const float x = at(random), y = at(random) * 0.7f, s = side(random);
            SlicePolygon p;
            p.append(x, y), p.append(x + s, y), p.append(x + s, y + s), p.append(x, y + s);
            layers[L].append(p);
        }
    }
    return layers;
}

TEST(LayerRenderPool, HandsEachLayersOwnCodeInLayerOrderWhateverTheWorkers)
{
    const SliceLayers layers = Wandering(61);
    std::vector<QVector<unsigned char>> expected;
    for (const QVector<SlicePolygon>& layer : layers)
        expected.push_back(DrawnAlone(layer));
    for (int workers : {1, 2, 3, 7, 100}) {
        SCOPED_TRACE(workers);
        LayerRenderPool pool(false, 4, kWidth, kHeight, workers);
        std::vector<int> order;
        const bool ok = pool.run(layers, [&](int layer, const QVector<unsigned char>& code) {
            order.push_back(layer);
            EXPECT_EQ(code, expected[size_t(layer)]) << "layer " << layer;
            return true;
        });
        EXPECT_TRUE(ok);
        std::vector<int> all(layers.size());
        for (int k = 0; k < layers.size(); ++k)
            all[size_t(k)] = k;
        EXPECT_EQ(order, all);
    }
}

TEST(LayerRenderPool, EndsWhereTheSinkRefusesAndJoinsItsWorkers)
{
    const SliceLayers layers = Wandering(40);
    for (int refused : {0, 3, 17, 39}) {
        SCOPED_TRACE(refused);
        LayerRenderPool pool(false, 4, kWidth, kHeight, 4);
        int last = -1;
        const bool ok = pool.run(layers, [&](int layer, const QVector<unsigned char>&) {
            last = layer;
            return layer != refused;
        });
        EXPECT_FALSE(ok);
        EXPECT_EQ(last, refused) << "no layer is handed after the refusal";
    }
}

} // namespace
