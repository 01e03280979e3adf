#pragma once
#include <polyclipping/clipper.hpp>

#include <QPair>
#include <QVector>

// Islands of one instance's layers that rest on nothing: a connected region
// of layer L (L >= 1) that overlaps nothing of the united layer L - 1.
namespace layers {

struct IslandCount {
    int support = 0; // regions of the support cross-sections alone
    int model = 0;   // regions of the model outlines alone
    // Where the support islands lie: layer and the first point of each outline.
    QVector<QPair<int, ClipperLib::IntPoint>> supportAt;
};

// `model` holds even-odd outlines, `support` non-zero cross-sections, one
// entry per layer (1/1000 mm); the shorter list counts as empty beyond its end.
IslandCount CountUnsupportedIslands(const QVector<ClipperLib::Paths>& model,
                                    const QVector<ClipperLib::Paths>& support);

} // namespace layers
