#include "layers/slicepublish.h"

#include "layers/layeroutlines.h"

#include <QMutexLocker>
#include <QRectF>

#include <cmath>

namespace layers {

using ClipperLib::Path;
using ClipperLib::Paths;

SlicePolygon OutlineToPixels(const Path& outline, const PixelMapping& mapping)
{
    const float hx = float(mapping.xResolution / 2);
    const float hy = float(mapping.yResolution / 2);
    SlicePolygon polygon;
    polygon.reserve(int(outline.size()));
    for (const ClipperLib::IntPoint& p : outline) {
        const float px = float(p.X) * mapping.dotsPerMmX / 1000.f + hx;
        const float py = float(p.Y) * mapping.dotsPerMmY / 1000.f + hy;
        polygon.append(px, py);
    }
    return polygon;
}

void WidenSliceExtent(const SlicePolygon& polygon, const PixelMapping& mapping, QPointF& maxPt, QPointF& minPt)
{
    const double xRes = mapping.xResolution;
    const double yRes = mapping.yResolution;
    for (const QPointF p : polygon) {
        if (p.x() <= xRes && p.x() > maxPt.x())
            maxPt.setX(p.x());
        if (p.y() <= yRes && p.y() > maxPt.y())
            maxPt.setY(p.y());
        if (p.x() >= 0.0 && p.x() < minPt.x())
            minPt.setX(p.x());
        if (p.y() >= 0.0 && p.y() < minPt.y())
            minPt.setY(p.y());
    }
}

namespace {

// Pixels to Clipper integers: 1/65536 px keeps every sub-pixel detail the
// renderer can use; values beyond Clipper's range make the conversion fail.
constexpr double kPixelScale = 65536.0;
constexpr double kMaxScaled = 4.0e18;

bool ToClipper(const QVector<SlicePolygon>& polygons, Paths& out)
{
    out.clear();
    out.reserve(size_t(polygons.size()));
    for (const SlicePolygon& polygon : polygons) {
        Path path;
        path.reserve(size_t(polygon.size()));
        for (const QPointF p : polygon) {
            const double x = std::round(p.x() * kPixelScale);
            const double y = std::round(p.y() * kPixelScale);
            if (!(std::fabs(x) < kMaxScaled) || !(std::fabs(y) < kMaxScaled))
                return false;
            path.emplace_back(ClipperLib::cInt(x), ClipperLib::cInt(y));
        }
        out.push_back(std::move(path));
    }
    return true;
}

SlicePolygon FromClipper(const Path& path)
{
    SlicePolygon polygon;
    polygon.reserve(int(path.size()));
    for (const ClipperLib::IntPoint& p : path)
        polygon.append(QPointF(double(p.X) / kPixelScale, double(p.Y) / kPixelScale));
    return polygon;
}

bool OverlapArea(const Paths& a, const Paths& b, bool& overlaps)
{
    Paths common;
    try {
        ClipperLib::Clipper clipper;
        clipper.AddPaths(a, ClipperLib::ptSubject, true);
        clipper.AddPaths(b, ClipperLib::ptClip, true);
        if (!clipper.Execute(ClipperLib::ctIntersection, common, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd))
            return false;
    } catch (...) {
        return false;
    }
    double area = 0.0;
    for (const Path& p : common)
        area += std::fabs(ClipperLib::Area(p));
    // Shared edges alone leave no area to speak of (1e-6 px^2).
    overlaps = area > 1e-6 * kPixelScale * kPixelScale;
    return true;
}

} // namespace

void AppendInstanceToLayer(QVector<SlicePolygon>& layer, const QVector<SlicePolygon>& polygons)
{
    if (polygons.isEmpty())
        return;
    if (layer.isEmpty()) {
        layer += polygons;
        return;
    }

    // The polygons of the layer whose bounds chain to the new ones. Everything
    // outside this group is disjoint from it and from the new polygons, so
    // the group can be replaced on its own without changing the rest.
    QVector<QRectF> bounds;
    bounds.reserve(layer.size());
    for (const SlicePolygon& p : layer)
        bounds.append(p.boundingRect());
    QVector<QRectF> front;
    for (const SlicePolygon& p : polygons)
        front.append(p.boundingRect());
    auto touches = [](const QRectF& a, const QRectF& b) {
        return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
    };
    QVector<bool> inGroup(layer.size(), false);
    int grouped = 0;
    while (!front.isEmpty()) {
        QVector<QRectF> next;
        for (int i = 0; i < layer.size(); ++i) {
            if (inGroup[i])
                continue;
            for (const QRectF& r : front) {
                if (touches(bounds[i], r)) {
                    inGroup[i] = true;
                    ++grouped;
                    next.append(bounds[i]);
                    break;
                }
            }
        }
        front.swap(next);
    }
    if (grouped == 0) {
        layer += polygons;
        return;
    }

    QVector<SlicePolygon> group;
    for (int i = 0; i < layer.size(); ++i)
        if (inGroup[i])
            group.append(layer[i]);
    Paths groupPaths;
    Paths newPaths;
    bool overlaps = false;
    if (!ToClipper(group, groupPaths) || !ToClipper(polygons, newPaths)
        || !OverlapArea(groupPaths, newPaths, overlaps) || !overlaps) {
        layer += polygons;
        return;
    }
    Paths united;
    if (!UnitePaths(groupPaths, ClipperLib::pftEvenOdd, newPaths, ClipperLib::pftEvenOdd, united)) {
        layer += polygons;
        return;
    }
    QVector<SlicePolygon> kept;
    kept.reserve(layer.size() - grouped + int(united.size()));
    for (int i = 0; i < layer.size(); ++i)
        if (!inGroup[i])
            kept.append(layer[i]);
    for (const Path& p : united)
        kept.append(FromClipper(p));
    layer.swap(kept);
}

void PublishInstanceLayers(const QVector<Paths>& outlines, const PixelMapping& mapping, SliceTarget target)
{
    QMutexLocker lock(&target.mutex);
    const int layerCount = outlines.size();
    if (layerCount > target.layers.size())
        target.layers.resize(layerCount);
    for (int layer = 0; layer < layerCount; ++layer) {
        const Paths& paths = outlines[layer];
        if (paths.empty())
            continue;
        QVector<SlicePolygon> polygons;
        polygons.reserve(int(paths.size()));
        for (const Path& path : paths) {
            SlicePolygon polygon = OutlineToPixels(path, mapping);
            WidenSliceExtent(polygon, mapping, target.maxPt, target.minPt);
            polygons.append(std::move(polygon));
        }
        AppendInstanceToLayer(target.layers[layer], polygons);
    }
}

} // namespace layers
