// Window rectangle helpers of the 3D view that the drawing does not use.
#include "VSLGLView.h"
#include "VSLCoordConvert.h"

#include <algorithm>
#include <limits>

void VSLGLView::getRect2(QRect& r, QVector3D a, QVector3D b)
{
    QPoint max, min;
    for (int i = 0; i < 8; ++i) {
        const QVector3D c((i & 4) ? b.x() : a.x(), (i & 2) ? b.y() : a.y(), (i & 1) ? b.z() : a.z());
        QPoint p;
        UCToDC(p, c);
        if (i == 0)
            max = min = p;
        else
            comppare(max, min, p);
    }
    // Top is the largest window y, as in getRect.
    r.setCoords(min.x(), max.y(), max.x(), min.y());
}

void VSLGLView::comppare(QPoint& max, QPoint& min, QPoint& p)
{
    max = QPoint(std::max(max.x(), p.x()), std::max(max.y(), p.y()));
    min = QPoint(std::min(min.x(), p.x()), std::min(min.y(), p.y()));
}

float VSLGLView::getMinium(float* values, unsigned char n)
{
    float smallest = std::numeric_limits<float>::infinity();
    if (!values)
        return smallest;
    for (unsigned char i = 0; i < n; ++i)
        smallest = std::min(smallest, values[i]);
    return smallest;
}
