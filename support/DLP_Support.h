#pragma once
#include "mesh/point3.h"

#include <QMap>
#include <QMultiMap>
#include <QPair>
#include <QVector>

// One support of a placed instance: contact, tip, shaft and the solid
// primitives it is drawn and sliced from. Millimetres in the support frame
// (the instance's world frame when the supports were generated).
struct DLP_Support {
    int index = 0;
    vcg::Point3f point;
    vcg::Point3f normal;
    vcg::Point3f tipEnd;
    vcg::Point3f shaftTop;
    vcg::Point3f base;
    vcg::Point3f landing;
    bool onModel = false;
    bool linked = false;
    bool skipShaft = false;
    bool isDeleted = false;
    bool addedByClick = false;
    bool generated = true;
    QMap<int, float> joinSources;
    QMap<int, float> joinTargets;
    QMap<float, int> braces;
    QMultiMap<float, QPair<vcg::Point3f, vcg::Point3f>> pointPairs;
    // Cone primitives {p0, p1, (r0, r1, 0)}; the first is the tip cone.
    QVector<QVector<vcg::Point3f>> cones;
    // Sphere primitives {centre, (r, 0, 0)}.
    QVector<QVector<vcg::Point3f>> spheres;
};

// Key of the support map: (int(-1000 * contact z), contact code or click key).
using SupportKey = QPair<int, uint>;
using SupportMap = QMap<SupportKey, DLP_Support>;

// Map key of a contact height: micrometres, negated, truncated toward zero,
// so the map runs from the highest contact down.
int SupportHeightKey(float contactZ);

QVector<vcg::Point3f> SaveCone(vcg::Point3f p0, double r0, vcg::Point3f p1, double r1);
QVector<vcg::Point3f> SaveSphere(vcg::Point3f c, double r);
