#pragma once

#include "vslglview/printfile/slicelayers.h"

// Where the projector window takes a print's layers from: the 3D view, which
// implements these two (model layers with the supports merged in, and the
// support layers). Both return implicitly shared copies and may be empty.
class ProjectorLayerSource
{
public:
    virtual ~ProjectorLayerSource() = default;
    virtual SliceLayers GetSliceData() const = 0;
    virtual SliceLayers GetSliceDataSup() const = 0;
};
