#pragma once
#include "contours.h"

#include <polyclipping/clipper.hpp>

#include <QVector>

// Per-layer outlines of one instance in 1/1000 mm, built from the contour
// slicer's per-shell result and united with the support cross-sections.
namespace layers {

// union(subject, clip) with a fresh Clipper object; result replaces `result`.
// False (and `result` left empty) when Clipper refuses the input.
bool UnitePaths(const ClipperLib::Paths& subject, ClipperLib::PolyFillType subjectFill,
                const ClipperLib::Paths& clip, ClipperLib::PolyFillType clipFill,
                ClipperLib::Paths& result);

// Sum of (x_i - x_{i-1}) * (y_i + y_{i-1}) over the outline closed back to its
// first point: minus twice the signed area, negative for counter-clockwise.
qint64 OrientationSum(const ClipperLib::Path& outline);
qint64 OrientationSum(const ClipperLib::IntPoint* outline, size_t count);

// One entry per layer (layerCount entries). A single closed shell passes
// unchanged; otherwise every layer is united from the shell slots: lone
// outlines are made counter-clockwise and joined non-zero, slots of several
// outlines are merged even-odd.
QVector<ClipperLib::Paths> BuildModelLayerOutlines(const ShellLayerContours& contours, int layerCount,
                                                   bool slicedOpen);
// The same for one layer. `isUnion`, when given, tells whether the outlines
// came out of a union: none crosses another, outer outlines run
// counter-clockwise and holes clockwise.
ClipperLib::Paths ModelLayerOutlines(const ShellLayerContours& contours, int layer, bool slicedOpen,
                                     bool* isUnion = nullptr);

// Unites each layer's support cross-sections into the model outlines of that
// layer (see UniteLayer). `supports` is consumed (entries may be moved out).
void MergeSupportPaths(QVector<ClipperLib::Paths>& modelOutlines, QVector<ClipperLib::Paths>& supports);

} // namespace layers
