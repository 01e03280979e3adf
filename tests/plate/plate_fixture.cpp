#include "VSLModelPainter.h"

// The slicing run lives with the slicing code; these tests never slice.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}
