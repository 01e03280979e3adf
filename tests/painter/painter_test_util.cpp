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

DLP_Support MakeSupport(int index, vcg::Point3f contact)
{
    DLP_Support s;
    s.index = index;
    s.point = contact;
    s.tipEnd = contact + vcg::Point3f(0, 0, -1);
    s.normal = vcg::Point3f(0, 0, -1);
    s.shaftTop = s.tipEnd;
    s.base = vcg::Point3f(contact[0], contact[1], 0);
    s.landing = vcg::Point3f(1, 2, 3);
    s.pointPairs.insert(2.f, qMakePair(vcg::Point3f(1, 1, 1), vcg::Point3f(2, 2, 2)));
    s.cones << SaveCone(contact, 0.2, s.tipEnd, 0.5) << SaveCone(s.shaftTop, 0.5, s.base, 0.5);
    s.spheres << SaveSphere(s.tipEnd, 0.6);
    return s;
}

void GiveSupports(VSLModelPainter& p, int count)
{
    for (int i = 0; i < count; ++i) {
        const vcg::Point3f c(float(i), 0.5f, 4.f + i);
        p.m_supportMap.insert(qMakePair(SupportHeightKey(c[2]), uint(10 * i + 3)), MakeSupport(i, c));
    }
    p.RebuildSupportIndex();
    p.m_bHasSupports = true;
}

// These tests never slice; weak, so the real run wins whenever it is linked in.
__attribute__((weak)) void VSLModelPainter::SliceModelPainterX(float) {}
