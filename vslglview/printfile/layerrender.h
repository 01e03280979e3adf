#pragma once

#include <QPointF>
#include "printfile/slicelayers.h"

#include <QPolygonF>
#include <QRect>
#include <QVector>

#include <vector>

class QImage;
class QPainter;

// Grey bits of a layer-image file's pixels: a pixel is written as its high
// bits, and lit (it cures) when they are not all zero.
constexpr int kLayerImageBits = 4;
inline bool LitLevel(unsigned char grey) { return (grey >> (8 - kLayerImageBits)) != 0; }

// Where a layer point lands in an image of imageWidth x imageHeight: turned
// by 90 degrees when swapping ((x, y) -> (imageWidth - y, x)), then clamped to
// the frame.
QPointF MapLayerPoint(QPointF p, bool swapXY, int imageWidth, int imageHeight);

// A layer polygon in the image: its points mapped as MapLayerPoint maps
// them, but a polygon that reaches out of the frame is cut at its edges, so
// what lies inside keeps its shape (clamping each point would bend the
// edges that cross the frame's edge). Fewer than three points: nothing inside.
QPolygonF MapLayerPolygon(const SlicePolygon& polygon, bool swapXY, int imageWidth, int imageHeight);

// Draws the layer's polygons white as one odd-even path (nested outlines are
// holes) on the painter's imageWidth x imageHeight frame, which must be black
// outside `dirty`; `dirty` is blacked out first. Returns the box outside of
// which the frame is black afterwards (empty for a layer that lights
// nothing), to be passed as `dirty` with the next layer.
// The painter is expected antialiased with no pen, on a Grayscale8 image.
QRect RenderLayer(QPainter& painter, const QVector<SlicePolygon>& layer, bool swapXY, int imageWidth, int imageHeight,
                  const QRect& dirty);

// RenderLayer's steps, for whoever needs its pixels without its whole frame.
// It draws each group of polygons whose pixel boxes overlap (directly or
// through others) on its own: groups touch disjoint pixels, so a group's
// pixels depend on its own polygons alone.
namespace layerdraw {

// Pixel box that every pixel a polygon's antialiased edges can touch lies in.
struct PixelBox
{
    int left, top, right, bottom; // inclusive

    bool overlaps(const PixelBox& o) const
    {
        return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
    }
};

// Of a polygon mapped into the frame (MapLayerPolygon), or of its bounding rectangle.
PixelBox PixelBoxOf(const QPolygonF& polygon);
PixelBox PixelBoxOf(const QRectF& bounds);

// The groups, each as its indices into `boxes` in ascending order, ordered
// by their first index.
std::vector<std::vector<int>> GroupByOverlap(const std::vector<PixelBox>& boxes);

// Draws the group `members` of `mapped` (boxes: PixelBoxOf each) as
// RenderLayer does, on black pixels; `frame` is the painter's image.
void DrawGroup(QPainter& painter, QImage* frame, const QVector<QPolygonF>& mapped, const std::vector<PixelBox>& boxes,
               const std::vector<int>& members);

} // namespace layerdraw
