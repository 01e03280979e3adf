#include "VSLModelPainter.h"

#include "VSLModel3D.h"
#include "gltriangles.h"
#include "support/DLPSupportStructure.h"

#include <QDebug>
#include <QMutexLocker>
#include <QOpenGLContext>

#include <memory>

#include <GL/gl.h>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

constexpr int kTrianglesPerPickList = 10000;

void BeginPickState(const QMatrix4x4& m)
{
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_MULTISAMPLE);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m.constData());
}

void EndPickState()
{
    glPopMatrix();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_MULTISAMPLE);
}

void ClearGlErrors()
{
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

// Brings the model's display lists up to date when its triangles changed.
// A worker holding the data mutex is never waited for: the lists already
// built (GUI-thread objects) are drawn and the rebuild waits for a later frame.
bool VSLModelPainter::TryRefreshModelLists()
{
    if (!m_pModel->m_bDataChanged && !m_pModel->displayListsStale())
        return true;
    QMutex* mutex = m_pModel->dataMutex();
    if (!mutex->tryLock())
        return false;
    if (m_pModel->m_bDataChanged) {
        m_pModel->UpdataData();
        m_pModel->m_bDataChanged = false;
    }
    m_pModel->EnsureDisplayLists();
    mutex->unlock();
    return true;
}

void VSLModelPainter::Render()
{
    if (!m_pModel)
        return;
    TryRefreshModelLists();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(m_matrix.constData());
    for (GLuint list : m_pModel->GetDisplayList())
        glCallList(list);
    glPopMatrix();
}

void VSLModelPainter::RenderBoundaryHull()
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor4f(0.1f, 0.1f, 0.1f, 0.5f);
    glBegin(GL_POLYGON);
    for (const QVector2D& p : qAsConst(m_hull))
        glVertex2f(p.x(), p.y());
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void VSLModelPainter::RenderPickGL()
{
    if (!m_pModel)
        return;
    TryRefreshModelLists();
    double rgb[3];
    CalNumberColor(rgb, pickId());
    glColor3dv(rgb);
    BeginPickState(m_matrix);
    for (GLuint list : m_pModel->GetDisplayList())
        glCallList(list);
    for (DLPSupportStructure* s : m_vSupportStructures) {
        s->RenderUpper(true, 1.0f);
        s->RenderLower(true, 1.0f);
    }
    EndPickState();
}

void VSLModelPainter::TrianglePickColor(int i, unsigned char rgb[3])
{
    const uint32_t v = static_cast<uint32_t>(i) + 1u;
    rgb[0] = static_cast<unsigned char>(v & 0xFF);
    rgb[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    rgb[2] = static_cast<unsigned char>((v >> 16) & 0xFF);
}

// Emits the coloured pick triangles of the whole model inside one
// glBegin/glEnd; used for immediate drawing.
void VSLModelPainter::EmitPickTriangles()
{
    const QVector<VSLTriangle3D>& tris = m_pModel->m_vTriangles;
    if (tris.size() >= (1 << 24) - 1)
        qDebug() << "WARNING! Triangle Pick Overflow!";
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < tris.size(); ++i) {
        unsigned char c[3];
        TrianglePickColor(i, c);
        glColor3ub(c[0], c[1], c[2]);
        GlTriangle(tris[i]);
    }
    glEnd();
}

void VSLModelPainter::DeleteTriPickLists()
{
    if (QOpenGLContext::currentContext()) {
        for (GLuint list : m_vTriPickLists)
            glDeleteLists(list, 1);
    }
    m_vTriPickLists.clear();
}

bool VSLModelPainter::FormTriPickDispLists()
{
    if (!m_pModel || !QOpenGLContext::currentContext())
        return false;
    QMutex* mutex = m_pModel->dataMutex();
    if (!mutex->tryLock())
        return false;
    const bool ok = FormTriPickDispListsLocked();
    mutex->unlock();
    return ok;
}

bool VSLModelPainter::TriPickListsCurrent() const
{
    return m_pModel && !m_vTriPickLists.isEmpty() && !m_pModel->m_bDataChanged &&
           m_nTriPickVersion == m_pModel->m_nTrianglesVersion;
}

bool VSLModelPainter::EnsureTriPickLists()
{
    if (TriPickListsCurrent())
        return true;
    if (!m_pModel || !QOpenGLContext::currentContext())
        return false;
    QMutex* mutex = m_pModel->dataMutex();
    if (!mutex->tryLock())
        return false;
    if (m_pModel->m_bDataChanged) {
        m_pModel->UpdataData();
        m_pModel->m_bDataChanged = false;
    }
    const bool ok = FormTriPickDispListsLocked();
    mutex->unlock();
    return ok;
}

bool VSLModelPainter::FormTriPickDispListsLocked()
{
    DeleteTriPickLists();
    m_nTriPickVersion = m_pModel->m_nTrianglesVersion;
    ClearGlErrors();
    const QVector<VSLTriangle3D>& tris = m_pModel->m_vTriangles;
    if (tris.size() >= (1 << 24) - 1)
        qDebug() << "WARNING! Triangle Pick Overflow!";
    bool ok = true;
    auto openList = [this, &ok]() {
        const GLuint id = glGenLists(1);
        if (id == 0) {
            ok = false;
            return;
        }
        m_vTriPickLists.append(id);
        glNewList(id, GL_COMPILE);
        glBegin(GL_TRIANGLES);
    };
    openList();
    int inList = 0;
    for (int i = 0; ok && i < tris.size(); ++i) {
        unsigned char c[3];
        TrianglePickColor(i, c);
        glColor3ub(c[0], c[1], c[2]);
        GlTriangle(tris[i]);
        if (inList >= kTrianglesPerPickList) {
            // The primitive must end before its list does.
            glEnd();
            glEndList();
            openList();
            inList = 0;
        } else {
            ++inList;
        }
    }
    if (ok) {
        glEnd();
        glEndList();
    }
    if (ok && glGetError() == GL_NO_ERROR) {
        qDebug() << m_vTriPickLists.size() << "TriPick Display Lists created for Instance " << m_nNumber;
        return true;
    }
    DeleteTriPickLists();
    qDebug() << "TriPick Display List creation failed for Instance " << m_nNumber;
    qDebug() << "Using Procedural rendering.";
    return false;
}

void VSLModelPainter::RenderTrianglePickGL()
{
    if (!m_pModel)
        return;
    if (TriPickListsCurrent()) {
        // The lists hold their own copy of the triangles: no lock needed.
        BeginPickState(m_matrix);
        for (GLuint list : m_vTriPickLists)
            glCallList(list);
        EndPickState();
        return;
    }
    // Immediate drawing reads the triangles; with a worker on them the pass
    // draws nothing and so reports no hit.
    QMutex* mutex = m_pModel->dataMutex();
    if (!mutex->tryLock())
        return;
    BeginPickState(m_matrix);
    EmitPickTriangles();
    EndPickState();
    mutex->unlock();
}

void VSLModelPainter::RenderSingleTrianglePickGL(unsigned int index)
{
    if (!m_pModel)
        return;
    QMutex* mutex = m_pModel->dataMutex();
    if (!mutex->tryLock())
        return;
    const std::unique_ptr<QMutex, void (*)(QMutex*)> held(mutex, [](QMutex* m) { m->unlock(); });
    const QVector<VSLTriangle3D>& tris = m_pModel->m_vTriangles;
    if (index >= static_cast<unsigned int>(tris.size()))
        return;
    const VSLTriangle3D& t = tris[static_cast<int>(index)];
    BeginPickState(m_matrix);
    glBegin(GL_TRIANGLES);
    glNormal3f(t.normal.x(), t.normal.y(), t.normal.z());
    for (const QVector3D& v : t.vertices) {
        float c[3];
        for (int a = 0; a < 3; ++a) {
            const float span = t.maxBound[a] - t.minBound[a];
            // A flat axis has no extent to encode; its colour stays 0.
            c[a] = span != 0.f ? (v[a] - t.minBound[a]) / span : 0.f;
        }
        glColor3f(c[0], c[1], c[2]);
        glVertex3f(v.x(), v.y(), v.z());
    }
    glEnd();
    EndPickState();
}
