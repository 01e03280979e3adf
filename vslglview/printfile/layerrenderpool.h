#pragma once

#include "printfile/slicelayers.h"

#include <functional>

// Renders and encodes layers on a pool of RenderThread workers, round robin,
// and hands the codes to `sink` strictly in layer order on the calling thread.
// A layer whose outlines equal the previous layer's is handed that layer's
// code without being rendered again.
class LayerRenderPool
{
public:
    // One less than the machine's hardware threads, at least 1, at most layerCount.
    static int defaultWorkerCount(int layerCount);

    LayerRenderPool(bool swapXY, int bitsPerPixel, int width, int height, int workerCount);

    // Returns false when a worker's frame cannot be allocated, a layer cannot
    // be encoded, or `sink` returns false; the remaining layers are dropped
    // and every worker is joined before returning.
    bool run(const SliceLayers& layers,
             const std::function<bool(int layer, const QVector<unsigned char>& code)>& sink);

    // Same polygons in the same order, every point bit for bit.
    static bool sameOutlines(const QVector<SlicePolygon>& a, const QVector<SlicePolygon>& b);

private:
    bool m_swapXY;
    int m_bits;
    int m_width;
    int m_height;
    int m_workerCount;
};
