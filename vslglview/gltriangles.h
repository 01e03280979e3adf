#pragma once
// Immediate-mode emission of VSLTriangle3D lists, for the display lists of
// models, support primitives and attachment shapes.
#include "vslfunction/VSLTriangle3D.h"

#include <GL/gl.h>

// Normal and corners of one triangle; call between glBegin(GL_TRIANGLES) and glEnd.
inline void GlTriangle(const VSLTriangle3D& t)
{
    glNormal3f(t.normal.x(), t.normal.y(), t.normal.z());
    for (const QVector3D& v : t.vertices)
        glVertex3f(v.x(), v.y(), v.z());
}

// The triangles as one GL_TRIANGLES primitive.
template <class Range> void GlTriangles(const Range& tris)
{
    glBegin(GL_TRIANGLES);
    for (const VSLTriangle3D& t : tris)
        GlTriangle(t);
    glEnd();
}
