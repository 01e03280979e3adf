#include "VSLCoordConvert.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

// One unit in the last place above the double nearest to pi.
constexpr double kPi = 3.1415926535897936;

// GUI thread only, like every GL helper here.
double g_widgetPixelRatio = 1.0;

struct Matrices {
    GLint viewport[4];
    GLdouble projection[16];
    GLdouble modelview[16];
};

Matrices CurrentMatrices()
{
    Matrices m;
    glGetIntegerv(GL_VIEWPORT, m.viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, m.modelview);
    return m;
}

QVector3D UnProject(const Matrices& m, double wx, double wy, double wz)
{
    GLdouble x = 0, y = 0, z = 0;
    gluUnProject(wx, wy, wz, m.modelview, m.projection, m.viewport, &x, &y, &z);
    return QVector3D(float(x), float(y), float(z));
}

// Window coordinates of the centre of the pixel under p (may lie outside).
void PixelCentre(const GLint viewport[4], QPoint const& p, double& wx, double& wy)
{
    const QPoint d = WidgetToDevicePixel(p);
    wx = viewport[0] + d.x() + 0.5;
    wy = viewport[1] + viewport[3] - 1 - d.y() + 0.5;
}

} // namespace

void SetWidgetPixelRatio(double ratio)
{
    g_widgetPixelRatio = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
}

double WidgetPixelRatio() { return g_widgetPixelRatio; }

QPoint WidgetToDevicePixel(QPoint const& p)
{
    const double r = g_widgetPixelRatio;
    if (r == 1.0)
        return p;
    return QPoint(int(std::floor((p.x() + 0.5) * r)), int(std::floor((p.y() + 0.5) * r)));
}

bool WidgetToWindowPixel(QPoint const& p, int& windowX, int& windowY)
{
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    const QPoint d = WidgetToDevicePixel(p);
    windowX = vp[0] + d.x();
    windowY = vp[1] + vp[3] - 1 - d.y();
    return d.x() >= 0 && d.y() >= 0 && d.x() < vp[2] && d.y() < vp[3];
}

bool ReadPixelColor(QPoint const& p, unsigned char rgb[3])
{
    rgb[0] = rgb[1] = rgb[2] = 0;
    int x, y;
    if (!WidgetToWindowPixel(p, x, y))
        return false;
    unsigned char px[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    for (int i = 0; i < 3; ++i)
        rgb[i] = px[i];
    return true;
}

bool ReadPixelDepth(QPoint const& p, float& depth)
{
    depth = 1.0f;
    int x, y;
    if (!WidgetToWindowPixel(p, x, y))
        return false;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return true;
}

int ReadPickId(QPoint const& p)
{
    unsigned char c[3];
    ReadPixelColor(p, c);
    return c[0] * 65536 + c[1] * 256 + c[2];
}

bool DCToWC(QPoint const& p, QVector3D& world)
{
    const Matrices m = CurrentMatrices();
    float depth = 1.0f;
    const bool inside = ReadPixelDepth(p, depth);
    double wx, wy;
    PixelCentre(m.viewport, p, wx, wy);
    world = UnProject(m, wx, wy, depth);
    return inside && depth < 1.0f;
}

void DCToWC(QPoint const& p, QVector3D& nearPoint, QVector3D& farPoint)
{
    const Matrices m = CurrentMatrices();
    double wx, wy;
    PixelCentre(m.viewport, p, wx, wy);
    nearPoint = UnProject(m, wx, wy, 0.5);
    farPoint = UnProject(m, wx, wy, 0.8);
}

void UCToDC(QPoint& p, QVector3D const& world)
{
    const Matrices m = CurrentMatrices();
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(world.x(), world.y(), world.z(), m.modelview, m.projection, m.viewport, &wx, &wy, &wz);
    const double r = g_widgetPixelRatio;
    p.setX(int(wx / r));
    p.setY(int((m.viewport[3] - wy) / r));
}

double RadianToDegree(double r) { return r * 180.0 / kPi; }

double DegreeToRadian(double d) { return d * kPi / 180.0; }
