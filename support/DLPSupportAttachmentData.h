#pragma once
#include "vslfunction/VSLTriangle3D.h"

#include <QString>
#include <QVector>

class QOpenGLContextGroup;

// A template shape of the manual supports: a unit mesh centred on the origin
// and the display list drawing it. The record owns its list, so it cannot be
// copied; a move hands the list over and leaves the source without one.
class DLPSupportAttachmentData {
public:
    DLPSupportAttachmentData();
    ~DLPSupportAttachmentData();
    DLPSupportAttachmentData(const DLPSupportAttachmentData&) = delete;
    DLPSupportAttachmentData& operator=(const DLPSupportAttachmentData&) = delete;
    DLPSupportAttachmentData(DLPSupportAttachmentData&& other) noexcept;
    DLPSupportAttachmentData& operator=(DLPSupportAttachmentData&& other) noexcept;

    // Moves the mesh so that its bounding box is centred on the origin.
    void CenterGeometry();
    // (Re)builds the display list from the triangles. Needs a current GL
    // context; without one nothing happens and the list stays absent.
    void FormDisplayList();
    // Calls the display list; builds it first when it is still missing.
    void Render();

    QVector<VSLTriangle3D> triangles;
    QString name;
    unsigned int displayListIndex = 0;

private:
    void DeleteDisplayList();

    // The context group the list belongs to: a list id is only meaningful
    // there, so it is never deleted in another group's context.
    QOpenGLContextGroup* m_pListGroup = nullptr;
    bool m_bListFailed = false;
};
