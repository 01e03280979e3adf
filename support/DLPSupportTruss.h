#pragma once
#include "DLPSupportAttachmentData.h"

#include <QVector3D>
#include <QVector>

class DLPSupportStructure;

// A thin bar between a truss point of one manual column and one of a
// neighbouring column, drawn with a template shape. Owned by its column.
class DLPSupportTruss {
public:
    explicit DLPSupportTruss(DLPSupportStructure* parent);
    ~DLPSupportTruss() = default;
    DLPSupportTruss(const DLPSupportTruss&) = delete;
    DLPSupportTruss& operator=(const DLPSupportTruss&) = delete;

    static unsigned char sColorID[3];
    void AssignPickId();
    const unsigned char* GetPickColor() const { return m_pickColor; }

    void SetTrussPointFrom(QVector3D p);
    void SetTrussPointTo(QVector3D p);
    void SetTrussRadius(double r);
    void SetSupportParent(DLPSupportStructure* parent) { m_pSupportParent = parent; }
    void SetTrussAttachShape(QString name);
    void SetSelected(bool s) { m_bSelected = s; }
    void SetVisible(bool v) { m_bVisible = v; }
    void EnableErrorGlow() { m_bErrorGlow = true; }
    void DisableErrorGlow() { m_bErrorGlow = false; }

    QVector3D GetTrussPointFrom() const { return m_from; }
    QVector3D GetTrussPointTo() const { return m_to; }
    double GetTrussRadius() const { return m_dRadius; }
    QString GetTrussAttachShape() const;
    double GetLength() const { return m_dLength; }
    double GetTilt() const { return m_dTilt; }
    double GetTurn() const { return m_dTurn; }

    void ForceUpdate();
    void RenderTruss(bool pick, float alpha);
    void RenderTrussGL();
    // World-space triangles (the parent's instance matrix times the
    // placement); none without a shape or a finite placement.
    QVector<VSLTriangle3D> GetRealTriangles();

    int m_nNumber = 0;

private:
    unsigned char m_pickColor[3] = {0, 0, 0};
    DLPSupportStructure* m_pSupportParent = nullptr;
    DLPSupportAttachmentData* m_pShape = nullptr;
    double m_dLength = 0;
    double m_dTilt = 0;
    double m_dTurn = 0;
    bool m_bSelected = false;
    bool m_bErrorGlow = false;
    bool m_bVisible = true;
    QVector3D m_from{0, 0, 0};
    QVector3D m_to{0, 0, 1};
    double m_dRadius = 0.25;
};
