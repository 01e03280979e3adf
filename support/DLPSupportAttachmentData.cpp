#include "DLPSupportAttachmentData.h"

#include "vslglview/gltriangles.h"

#include <QDebug>
#include <QOpenGLContext>

#include <GL/gl.h>

#include <utility>

DLPSupportAttachmentData::DLPSupportAttachmentData() : name(QStringLiteral("Default Attachment")) {}

DLPSupportAttachmentData::~DLPSupportAttachmentData()
{
    DeleteDisplayList();
}

DLPSupportAttachmentData::DLPSupportAttachmentData(DLPSupportAttachmentData&& other) noexcept
    : triangles(std::move(other.triangles)), name(std::move(other.name)),
      displayListIndex(std::exchange(other.displayListIndex, 0u)),
      m_pListGroup(std::exchange(other.m_pListGroup, nullptr)), m_bListFailed(other.m_bListFailed)
{
}

DLPSupportAttachmentData& DLPSupportAttachmentData::operator=(DLPSupportAttachmentData&& other) noexcept
{
    if (this != &other) {
        DeleteDisplayList();
        triangles = std::move(other.triangles);
        name = std::move(other.name);
        displayListIndex = std::exchange(other.displayListIndex, 0u);
        m_pListGroup = std::exchange(other.m_pListGroup, nullptr);
        m_bListFailed = other.m_bListFailed;
    }
    return *this;
}

void DLPSupportAttachmentData::DeleteDisplayList()
{
    if (displayListIndex != 0) {
        // Without the owning context group current the list goes with its
        // context; deleting the id elsewhere would hit someone else's list.
        QOpenGLContext* ctx = QOpenGLContext::currentContext();
        if (ctx && ctx->shareGroup() == m_pListGroup)
            glDeleteLists(displayListIndex, 1);
    }
    displayListIndex = 0;
    m_pListGroup = nullptr;
}

void DLPSupportAttachmentData::CenterGeometry()
{
    if (triangles.isEmpty())
        return;
    QVector3D maxB = triangles[0].maxBound, minB = triangles[0].minBound;
    for (const VSLTriangle3D& t : qAsConst(triangles)) {
        for (int a = 0; a < 3; ++a) {
            maxB[a] = std::max(maxB[a], t.maxBound[a]);
            minB[a] = std::min(minB[a], t.minBound[a]);
        }
    }
    const QVector3D centre = (maxB + minB) / 2.f;
    for (VSLTriangle3D& t : triangles) {
        for (QVector3D& v : t.vertices)
            v -= centre;
        t.UpdateBound();
    }
}

void DLPSupportAttachmentData::FormDisplayList()
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (!ctx)
        return;
    DeleteDisplayList();
    const GLuint list = glGenLists(1);
    if (list == 0) {
        qDebug() << "DLPSupportAttachmentData: Error Creating display list";
        m_bListFailed = true;
        return;
    }
    m_bListFailed = false;
    displayListIndex = list;
    m_pListGroup = ctx->shareGroup();
    glNewList(list, GL_COMPILE);
    GlTriangles(triangles);
    glEndList();
}

void DLPSupportAttachmentData::Render()
{
    if (displayListIndex == 0 && !m_bListFailed)
        FormDisplayList();
    if (displayListIndex != 0)
        glCallList(displayListIndex);
}
