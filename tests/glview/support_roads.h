#pragma once
// Seeded random roads through a shown 3D view: loads, clones, deletes, typed
// and dragged moves, turns and scales, support generation and hand edits,
// printer switches and slices. After every step each instance's supports
// must stand under its own model; after every slice the written layers
// (read back by the independent decoder) must light the supports' feet
// under their models and nothing beside them, and the frame the view shows
// must draw the supports where a redraw draws them.
#include <QString>
#include <QStringList>

class VSLGLView;

namespace supportroads {

struct Options {
    int steps = 10; // operations of a road, the last a slice
    // Where the frames of a failing check go (none when empty).
    QString failureFrames;
};

struct Outcome {
    bool sound = true;
    QString failure; // the seed, what was wrong and the road up to there
    QStringList road;
    int slices = 0;
    // Slices of supports moved since they were made or last sliced.
    int slicesOfMovedSupports = 0;
    int supportsChecked = 0;
};

// The camera back to its start, panned so that the plate's middle stands
// in the middle of the view. Before the view's first frame, it also makes
// the view's fit (kept for all its frames) fit the plate, not the corner
// a wide window would show it in.
void CentreCamera(VSLGLView& view);

// Runs the road of `seed` on `view`, which is shown and holds nothing yet;
// its model files go to `folder`.
Outcome Run(VSLGLView& view, const QString& folder, unsigned seed, const Options& options = {});

} // namespace supportroads
