#include "painter_test_util.h"

#include "VSLModelPainter.h"

std::unique_ptr<VSLModel3D> MakeModel(const QVector<VSLTriangle3D>& tris)
{
    auto model = std::make_unique<VSLModel3D>();
    model->m_vTriangles = tris;
    // Bounds now, display lists at the first draw with a context.
    model->UpdataData();
    return model;
}

// The slicing run lives with the slicing code; these tests never start a
// slice thread. Weak, so the real run wins whenever it is linked in.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}
