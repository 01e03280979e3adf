#include "layers/platelayers.h"

namespace layers {

QVector<SlicePolygon> PlateLayer(const QPointF& maxPt, const QPointF& minPt)
{
    QPolygonF rect;
    rect << QPointF(minPt.x(), minPt.y()) << QPointF(maxPt.x(), minPt.y()) << QPointF(maxPt.x(), maxPt.y())
         << QPointF(minPt.x(), maxPt.y());
    return {SlicePolygon(rect)};
}

void AddPlateLayers(SliceLayers& layers, int& plateLayerCount, const QPointF& maxPt, const QPointF& minPt, int n)
{
    // The count stored is the one applied, so it always matches the layers
    // that are really in front (or were really removed).
    plateLayerCount = 0;
    const QVector<SlicePolygon> plate = PlateLayer(maxPt, minPt);
    // Copies handed out earlier keep their own data.
    layers.detach();
    if (n > 0) {
        // Bounded so a wild setting cannot exhaust memory.
        plateLayerCount = qMin(n, kMaxPlateLayers);
        layers.insert(0, plateLayerCount, plate);
    } else if (n < 0) {
        // A count beyond the list removes what there is.
        const int remove = int(qMin<qint64>(-qint64(n), layers.size()));
        layers.remove(0, remove);
        plateLayerCount = -remove;
    }
}

} // namespace layers
