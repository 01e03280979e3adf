#pragma once

#include "printfile/slicelayers.h"

#include <QPainter>

class VSLGLView;

// Draws one layer of a slice result into the top-left `previewSize` of a
// panel: the build area black, model sections white with their holes black
// (odd-even), support sections white. Shared by the slice panels.
struct SlicePreviewLayer
{
    QSize previewSize;
    int xResolution = 0;
    int yResolution = 0;
    bool drawLayer = false; // false: only the black build area
    int layer = 0;
};

void paintSlicePreview(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                       const SliceLayers& supports);

// The same drawing in projector pixels, for a painter the caller has already
// scaled; `what.previewSize` is not used.
void paintSliceLayer(QPainter& painter, const SlicePreviewLayer& what, const SliceLayers& model,
                     const SliceLayers& supports);

// The view's current slice layer as the print panels draw it, in projector
// pixels: each support outline filled alone, then the model's outlines as one
// odd-even path (holes stay black). Nothing is drawn while the model has no
// layers.
void paintPanelLayer(QPainter& painter, const VSLGLView& view, int layer);
