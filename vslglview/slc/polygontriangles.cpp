// Display triangles for a model that exists only as imported layer outlines.
#include "VSLModel3D.h"

namespace {

VSLTriangle3D MakeTriangle(const QPointF& a, float za, const QPointF& b, float zb, const QPointF& c, float zc)
{
    VSLTriangle3D t;
    t.vertices[0] = QVector3D(float(a.x()), float(a.y()), za);
    t.vertices[1] = QVector3D(float(b.x()), float(b.y()), zb);
    t.vertices[2] = QVector3D(float(c.x()), float(c.y()), zc);
    t.UpdateNormal();
    t.UpdateBound();
    return t;
}

} // namespace

int VSLModel3D::ConvertPolygonToTriangles(QVector<QVector<QPolygonF>> layers, float thickness)
{
    // Only every third layer is shown: a preview, not a printable mesh.
    QVector<VSLTriangle3D> pendingCaps;
    for (int L = 0; L < layers.size(); L += 3) {
        const float z0 = float(L) * thickness;
        const float z1 = float(L + 1) * thickness;
        QVector<VSLTriangle3D> caps;
        for (const QPolygonF& p : qAsConst(layers[L])) {
            if (p.size() >= 2) {
                for (int i = 0; i + 1 < p.size(); ++i) {
                    m_vT.append(MakeTriangle(p[i], z0, p[i], z1, p[i + 1], z0));
                    m_vT.append(MakeTriangle(p[i], z1, p[i + 1], z1, p[i + 1], z0));
                }
            }
            if (p.size() > 2) {
                for (int i = 0; i < p.size() - 2; i += 2) {
                    caps.append(MakeTriangle(p[i], z0, p[i + 1], z0, p[i + 2], z0));
                    caps.append(MakeTriangle(p[i], z1, p[i + 1], z1, p[i + 2], z1));
                }
            }
        }
        m_vT += pendingCaps;
        pendingCaps.swap(caps);
    }
    m_vT += pendingCaps;
    UpdataData();
    return 0;
}
