#pragma once
#include "layers/outlinebox.h"
#include "printfile/slicelayers.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <memory>
#include <vector>

class QPainter;

// Islands as the layer-image file prints them: a region of lit pixels
// (8-connected: pixels that meet at a corner cure as one piece) with no lit
// pixel straight under it in the layer before. The layers are drawn by the
// file's own renderer at its grey depth, so what is counted is what cures;
// outlines alone cannot tell, as the renderer lights every pixel an outline
// covers enough of and joins outlines that only touch.
namespace layers {

// Lit pixels of one row of a layer, x0 to x1 inclusive.
struct LitRun {
    int y, x0, x1;
};

// The regions of a layer's lit runs `here` (in row order): `regionOf[i]`
// is the first run of run i's region. With `below` (the lit runs of the
// layer under it, in row order), every region none of whose pixels has a
// lit pixel straight under it is appended to `islands` as the first pixel
// of its first run.
void JudgeLitRuns(const std::vector<LitRun>& here, const std::vector<LitRun>* below, std::vector<int>& regionOf,
                  std::vector<QPoint>* islands);

// Where each row's runs start in `runs` (in row order, rows 0 .. rows - 1):
// row y's are [rowStart[y], rowStart[y + 1]).
void IndexRows(const std::vector<LitRun>& runs, int rows, std::vector<int>& rowStart);

// Whether every region of the runs `here[0 .. n)` (in row order) has a lit
// pixel straight under it among `below` (in row order, its rows indexed by
// IndexRows). `regions`: scratch.
bool EveryRegionRests(const LitRun* here, int n, const std::vector<LitRun>& below, const std::vector<int>& belowRows,
                      Components& regions);

// Of the regions of `runs` (regionOf as JudgeLitRuns gives it) whose first
// pixels are `islands`: whether each has a pixel among `lit` (in row order).
std::vector<bool> IslandsMeeting(const std::vector<LitRun>& runs, const std::vector<int>& regionOf,
                                 const std::vector<QPoint>& islands, const std::vector<LitRun>& lit);

// For each island (a region's first pixel, as JudgeLitRuns gives it), the
// pixel of its region furthest right, the highest of those: where a turned
// frame's island starts in the rows of the frame it was turned from.
std::vector<QPoint> FirstPixelsUnturned(const std::vector<LitRun>& runs, const std::vector<int>& regionOf,
                                        const std::vector<QPoint>& islands);

class LitIslandCounter {
public:
    // `frame`: the layers' pixel frame (nothing outside it is printed).
    // `area`: the box of the frame the counter draws, which must hold what
    // the layers handed over light in the frame, with a margin (LitArea).
    // `turned`: the layers are drawn a quarter turned into `frame` (the
    // layers' own frame turned), as the file of a printer model that turns
    // its image stores them, always into the whole frame.
    LitIslandCounter(const QSize& frame, const QRect& area, bool turned = false);
    ~LitIslandCounter();
    LitIslandCounter(const LitIslandCounter&) = delete;
    LitIslandCounter& operator=(const LitIslandCounter&) = delete;

    // The next layer. Its islands (`count` true and a layer before it was
    // handed over: the first layer stands on the plate) are appended to
    // `islands`, each as the first pixel of its region in row order.
    void AddLayer(const QVector<SlicePolygon>& layer, bool count, std::vector<QPoint>& islands);

    // For each island of the layer last handed over (by the pixel AddLayer
    // gave for it): whether `polygons`, drawn once alone as a layer, light a
    // pixel of it.
    std::vector<bool> LightIslands(const QVector<SlicePolygon>& polygons, const std::vector<QPoint>& islands);

    // The lit runs of the layer last handed over, in row order, and the
    // region of each (see JudgeLitRuns).
    const std::vector<LitRun>& litRuns() const { return m_below; }
    const std::vector<int>& regionOf() const { return m_regionOf; }

private:
    using Run = LitRun; // frame pixels
    // Draws `layer` into the image; false when the image is missing.
    bool Draw(const QVector<SlicePolygon>& layer);
    // The lit runs of the image within the box the last drawing lit.
    void LitRuns(std::vector<Run>& runs) const;

    QSize m_frame;
    QRect m_area;
    bool m_turned = false;
    std::unique_ptr<QImage> m_image;
    std::unique_ptr<QPainter> m_painter;
    QRect m_litBox;      // image pixels outside which the image is black
    bool m_hasBelow = false;
    // Lit runs, in row order, of the layer last handed over (the ground of
    // the next) and of the one being counted.
    std::vector<Run> m_below, m_here;
    std::vector<int> m_regionOf; // region (its first run) of each run of the layer last handed over
};

// The box of the frame (whole pixels) that holds the points of `layers`
// lying in the frame, as LitIslandCounter wants it; empty when none does.
QRect LitArea(const SliceLayers& layers, int from, int to, const QSize& frame);

} // namespace layers
