#include "DLPSupportTruss.h"

#include "DLPSupportStructure.h"

#include <cmath>

unsigned char DLPSupportTruss::sColorID[3] = {0, 0, 0};

namespace {
constexpr double kDeg = 57.29577951308232;
}

DLPSupportTruss::DLPSupportTruss(DLPSupportStructure* parent) : m_pSupportParent(parent)
{
    SetTrussAttachShape(QStringLiteral("Cylinder"));
    ForceUpdate();
}

void DLPSupportTruss::AssignPickId()
{
    std::copy(sColorID, sColorID + 3, m_pickColor);
    AdvanceSupportPickColor(sColorID);
}

void DLPSupportTruss::SetTrussPointFrom(QVector3D p)
{
    m_from = p;
    ForceUpdate();
}

void DLPSupportTruss::SetTrussPointTo(QVector3D p)
{
    m_to = p;
    ForceUpdate();
}

void DLPSupportTruss::SetTrussRadius(double r)
{
    m_dRadius = r;
    ForceUpdate();
}

void DLPSupportTruss::SetTrussAttachShape(QString name)
{
    m_pShape = DLPSupportStructure::FindAttachment(name);
    if (m_pShape && m_pShape->displayListIndex == 0)
        m_pShape->FormDisplayList();
}

QString DLPSupportTruss::GetTrussAttachShape() const
{
    return m_pShape ? m_pShape->name : QString();
}

void DLPSupportTruss::ForceUpdate()
{
    const QVector3D d = m_to - m_from;
    m_dLength = std::sqrt(double(d.x()) * d.x() + double(d.y()) * d.y() + double(d.z()) * d.z());
    // A truss of no length has no direction: the angles come out NaN and the
    // truss is neither drawn nor turned into triangles.
    m_dTilt = std::acos(double(d.z()) / m_dLength) * kDeg;
    m_dTurn = std::atan2(double(d.y()), double(d.x())) * kDeg + 90.0;
}

void DLPSupportTruss::RenderTruss(bool pick, float alpha)
{
    BeginPartColour(pick, m_bSelected, m_bErrorGlow, alpha);
    if (m_pShape)
        RenderTrussGL();
    EndPartColour();
}

void DLPSupportTruss::RenderTrussGL()
{
    DLPSupportStructure::RenderPart(m_pShape, m_from, m_to, m_dTurn, m_dTilt, m_dRadius, m_dLength);
}

QVector<VSLTriangle3D> DLPSupportTruss::GetRealTriangles()
{
    QVector<VSLTriangle3D> out;
    QMatrix4x4 place;
    if (!m_pShape || !DLPSupportStructure::PartMatrix(m_from, m_to, m_dTurn, m_dTilt, m_dRadius, m_dLength, place))
        return out;
    const QMatrix4x4 M = m_pSupportParent ? m_pSupportParent->InstanceMatrix() : QMatrix4x4();
    const QMatrix4x4 m = M * place;
    out.reserve(m_pShape->triangles.size());
    for (VSLTriangle3D t : qAsConst(m_pShape->triangles)) {
        t.Convert(m);
        t.UpdateNormal();
        t.UpdateBound();
        out.append(t);
    }
    return out;
}
