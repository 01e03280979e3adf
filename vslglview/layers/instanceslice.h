#pragma once
#include "contours.h"
#include "layers/islands.h"
#include "layers/slicepublish.h"
#include "layers/supportlayers.h"
#include "printfile/slicelayers.h"

#include <QPointF>

#include <atomic>
#include <functional>

// One instance's layers, made plane by plane from its contours and its
// support solids: each layer's model outlines are united with the supports
// that reach it and turned into pixels before the next, so nothing holds
// every layer's cross-sections at once. Runs of layers go to several workers.
namespace contour {
class TracedLayers;
}

namespace layers {

struct InstanceSliceJob {
    const ShellLayerContours* contours = nullptr;
    // Set: the contours are still being cut; each layer waits for its plane.
    const contour::TracedLayers* traced = nullptr;
    int layerCount = 0;
    bool slicedOpen = false;                 // contours have the open-shell slot
    const SupportSolids* supports = nullptr; // finished; null: no supports
    PixelMapping mapping;
    // Islands of the finished layers as the print file lights them (see
    // LitIslandCounter; the instance's own pixels: where instances touch,
    // the file unites them), and of the outlines (see IslandCounter).
    bool countIslands = false;
    bool countOutlineIslands = false;
    // Without countIslands: the same islands, found by drawing only the
    // groups of polygons that differ from the layer before's (see
    // GroupedLitIslandCounter). What the window tells the user, at a share
    // of the cost.
    bool countLitIslandsByGroups = false;
    // The islands are those of the layers drawn a quarter turned, as the
    // file of a printer model that turns its image stores them.
    bool turned = false;
    int workers = 0; // 0: one per core, at most 8
    // Set: the run ends before the next layer and publishes nothing.
    const std::atomic<bool>* stop = nullptr;
    // Called before each layer is made, on the worker making it.
    std::function<void(int layer)> beforeLayer;
};

struct InstanceSlice {
    SliceLayers layers; // one entry per layer; empty when stopped
    // Extent of the points inside the frame, as the scene widens its own:
    // starts at (-inf, -inf) and (inf, inf).
    QPointF maxPt, minPt;
    IslandCount islands;        // lit pixels: a region is model when the model's outlines light part of it
    IslandCount outlineIslands; // outlines
    double islandSeconds = 0;   // worker time spent counting islands
    double workerSeconds = 0; // worker time in all
    bool stopped = false;
};

InstanceSlice SliceInstanceLayers(const InstanceSliceJob& job);

// The area (square 1/1000 mm) under which a region lights no pixel of the
// mapping: the island count leaves such regions out (see IslandCounter).
double NegligibleIslandArea(const PixelMapping& mapping);

// Appends the instance's layers to the scene's and widens its extent, under
// its mutex (polygons overlapping those already in a layer are united with
// them, see AppendInstanceToLayer).
void PublishInstanceSlice(const InstanceSlice& slice, SliceTarget target);

} // namespace layers
