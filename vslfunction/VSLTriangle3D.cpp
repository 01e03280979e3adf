#include "vslfunction/VSLTriangle3D.h"

QVector3D& VSLTriangle3D::operator[](int index)
{
    Q_ASSERT_X(index >= 0 && index < 3, "VSLTriangle3D", "index >= 0 && index < 3");
    return vertices[index];
}

const QVector3D& VSLTriangle3D::operator[](int index) const
{
    Q_ASSERT_X(index >= 0 && index < 3, "VSLTriangle3D", "index >= 0 && index < 3");
    return vertices[index];
}

void VSLTriangle3D::UpdateNormal()
{
    normal = QVector3D::crossProduct(vertices[1] - vertices[0], vertices[2] - vertices[0]).normalized();
}

void VSLTriangle3D::UpdateBound()
{
    maxBound = minBound = vertices[0];
    for (int c = 1; c < 3; ++c) {
        for (int a = 0; a < 3; ++a) {
            const float v = vertices[c][a];
            if (v > maxBound[a])
                maxBound[a] = v;
            if (!(v > minBound[a]))
                minBound[a] = v;
        }
    }
}

VSLTriangle3D& VSLTriangle3D::Convert(const QMatrix4x4& m)
{
    for (QVector3D& v : vertices)
        v = m * v;
    normal = m.mapVector(normal);
    return *this;
}
