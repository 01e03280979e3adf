#pragma once
#include <QPoint>
#include <QVector3D>

// Conversions between widget (device) coordinates and world coordinates with
// the matrices and viewport of the current OpenGL context (GUI thread only).
//
// A widget point names the pixel whose top-left corner it is: row y from the
// top is GL row viewport height - 1 - y. Every read-back goes through
// ReadPixelColor / ReadPixelDepth so that all of them agree on that row.

// Widget points and device pixels differ on a high-density screen: the
// view sets its device pixel ratio whenever it loads its matrices, and every
// helper below converts with it (widget points in, widget points out).
void SetWidgetPixelRatio(double ratio);
double WidgetPixelRatio();
// The device pixel, counted from the top left, that holds the centre of the
// widget point's area.
QPoint WidgetToDevicePixel(QPoint const& p);

// The GL window pixel under a widget point; false when it lies outside the
// current viewport (and so possibly outside the framebuffer).
bool WidgetToWindowPixel(QPoint const& p, int& windowX, int& windowY);

// Colour bytes of the pixel under `p` in the bound read buffer; a point
// outside the viewport reads as background (0, 0, 0) and returns false.
bool ReadPixelColor(QPoint const& p, unsigned char rgb[3]);

// Depth under `p`; outside the viewport it is the cleared depth 1.0 and the
// result is false.
bool ReadPixelDepth(QPoint const& p, float& depth);

// Pick id under `p`: red * 65536 + green * 256 + blue, 0 for background.
int ReadPickId(QPoint const& p);

// World point under `p` from the depth buffer. False when the depth there is
// the cleared depth (nothing drawn under the point) or `p` is outside the
// viewport; `world` is then the point on the far plane.
bool DCToWC(QPoint const& p, QVector3D& world);

// Two points on the pick ray through `p` (window depths 0.5 and 0.8).
void DCToWC(QPoint const& p, QVector3D& nearPoint, QVector3D& farPoint);

// Widget pixel of a world point (inverse of DCToWC at pixel centres).
void UCToDC(QPoint& p, QVector3D const& world);

double RadianToDegree(double r);
double DegreeToRadian(double d);
