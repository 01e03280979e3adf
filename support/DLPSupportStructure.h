#pragma once
#include "DLPSupportAttachmentData.h"

#include <QMatrix4x4>
#include <QPair>
#include <QString>
#include <QVector3D>
#include <QVector>

#include <deque>

class VSLModelPainter;
class DLPSupportTruss;

// One manual support column of a placed instance: a top part touching the
// model, a shaft, and a foot standing on the plate (grounded) or on the
// model, each a template shape scaled and turned into place, plus the truss
// points and the trusses to its neighbours. Lengths are millimetres in the
// painter's model coordinates, angles degrees. Every setter of an input
// recomputes the derived geometry (ForceUpdate). GUI thread only; drawing
// needs the view's GL context.
class DLPSupportStructure {
public:
    explicit DLPSupportStructure(VSLModelPainter* parent);
    ~DLPSupportStructure();
    DLPSupportStructure(const DLPSupportStructure&) = delete;
    DLPSupportStructure& operator=(const DLPSupportStructure&) = delete;

    // --- template shapes and presets (start-up) ---
    // Loads every "SUPPORT_*" STL of the folder ".\template" of the working
    // directory into AttachmentDataList, after creating the start-up folders.
    static void ImportAttachmentDataFromStls();
    // Writes the named preset into the application's settings once (again
    // when force is set).
    static void FillRegistryDefaults(bool force, QString preset);
    // First entry of that name (exact), or null.
    static DLPSupportAttachmentData* FindAttachment(const QString& name);
    // Empties the list; only while no column or truss exists (their shape
    // pointers point into it).
    static void ClearAttachmentData();
    // Entries keep their addresses while the list grows.
    static std::deque<DLPSupportAttachmentData> AttachmentDataList;
    static unsigned char sColorID[3];

    // --- identity ---
    void AssignPickId();
    void CopyFrom(DLPSupportStructure* other);
    void SetInstanceParent(VSLModelPainter* parent) { m_pInstanceParent = parent; }
    VSLModelPainter* GetInstanceParent() const { return m_pInstanceParent; }
    const unsigned char* GetPickColor() const { return m_pickColor; }
    int m_nNumber = 0;

    // --- inputs ---
    void SetIsGrounded(bool grounded);
    void SetTopPoint(QVector3D p);
    void SetBottomPoint(QVector3D p);
    void SetTopRadius(double r);
    void SetMidRadius(double r);
    void SetBottomRadius(double r);
    void SetTopLength(double l);
    void SetBottomLength(double l);
    void SetTopPenetration(double d);
    void SetBottomPenetration(double d);
    void SetTopAngleFactor(double f);
    void SetBottomAngleFactor(double f);
    void SetTopNormal(QVector3D n);
    void SetBottomNormal(QVector3D n);
    void SetTopAttachShape(QString name);
    void SetMidAttachShape(QString name);
    void SetBottomAttachShape(QString name);
    void SetSelected(bool s) { m_bSelected = s; }
    void SetVisible(bool v) { m_bVisible = v; }
    void EnableErrorGlow() { m_bErrorGlow = true; }
    void DisableErrorGlow() { m_bErrorGlow = false; }
    void ReBuildGeometry() {}
    void ForceUpdate();
    // Turns points and normals about z by r.z() degrees.
    void Rotate(QVector3D r);

    // --- getters ---
    bool GetIsGrounded() const { return m_bGrounded; }
    QVector3D GetTopPoint() const { return m_topPoint; }
    QVector3D GetBottomPoint() const { return m_bottomPoint; }
    double GetTopRadius() const { return m_dTopRadius; }
    double GetMidRadius() const { return m_dMidRadius; }
    double GetBottomRadius() const { return m_dBottomRadius; }
    double GetTopLength() const { return m_dTopLength; }
    double GetBottomLength() const { return m_dBottomLength; }
    double GetTopPenetration() const { return m_dTopPenetration; }
    double GetBottomPenetration() const { return m_dBottomPenetration; }
    QVector3D GetTopNormal() const { return m_topNormal; }
    QVector3D GetBottomNormal() const { return m_bottomNormal; }
    double GetTopAngleFactor() const { return m_dTopAngleFactor; }
    double GetBottomAngleFactor() const { return m_dBottomAngleFactor; }
    double GetMidLength() const { return m_dMidLength; }
    QVector3D GetTopPivot() const { return m_topPivot; }
    // Bottom point minus bottom length times the stored bottom normal,
    // computed on each call.
    QVector3D GetBottomPivot() const;
    double GetTrussSection() const { return m_dTrussSection; }
    QVector<QVector3D> GetTrussPoints() const { return m_trussPoints; }
    double GetTrussPointInterval() const { return m_dTrussPointInterval; }
    int GetNumTrussPoints() const { return m_nNumTrussPoints; }
    bool IsVisible() const { return m_bVisible; }
    bool IsSelected() const { return m_bSelected; }
    QString GetTopAttachShape() const;
    QString GetMidAttachShape() const;
    QString GetBottomAttachShape() const;
    // Derived values of the last ForceUpdate.
    QVector3D GetShaftTopEnd() const { return m_shaftTop; }
    QVector3D GetShaftBottomEnd() const { return m_shaftBottom; }
    QVector3D GetStoredBottomPivot() const { return m_bottomPivot; }
    double GetTopTilt() const { return m_dTopTilt; }
    double GetTopTurn() const { return m_dTopTurn; }
    double GetMidTilt() const { return m_dMidTilt; }
    double GetMidTurn() const { return m_dMidTurn; }

    // --- printability (no side effects) ---
    bool IsTopPrintable() const;
    bool IsTopAngleUp() const { return IsTopPrintable(); }
    bool IsBottomPrintable() const;
    bool IsBottomAngleDown() const { return IsBottomPrintable(); }
    bool IsMidPrintable() const;
    bool IsUpsideDown() const;
    bool IsPrintable() const;
    bool IsVertical() const;
    bool IsUnderground(double& depth) const;
    bool IsConstricted(double& amount) const;

    // --- trusses ---
    void GenerateTrussPoints();
    DLPSupportTruss* AddTruss(QVector3D a, QVector3D b);
    void SetNeighborSupports(unsigned int index, double distance);
    // Ascending by distance (cmp_NeighborSupports).
    void SortNeighborSupports();
    QVector<QPair<unsigned int, double>> GetNeighborSupports() const { return m_neighbors; }
    QVector<DLPSupportTruss*> GetTrusses() const { return m_trusses; }

    // --- drawing (model coordinates; the caller applies the instance matrix
    // except in the two pick passes) ---
    void RenderTopGL();
    void RenderMidGL();
    void RenderBottomGL();
    void RenderUpper(bool pick, float alpha);
    void RenderLower(bool pick, float alpha);
    void RenderPickGL(bool lower, bool upper);
    void RenderPartPickGL(bool lower, bool upper);
    void RenderTrusses();
    void DebugRender();

    // World-space triangles of the three parts and the trusses; parts
    // without a shape or without a finite placement give none.
    QVector<VSLTriangle3D> GetRealTriangles();

    // The instance matrix and scale of the parent (identity without one).
    QMatrix4x4 InstanceMatrix() const;
    QVector3D InstanceScale() const;

    // Placement of a unit shape between two ends: translation to their
    // midpoint, turn about z, tilt about x, scale (2r, 2r, L). False when it
    // is not finite (degenerate geometry).
    static bool PartMatrix(const QVector3D& a, const QVector3D& b, double turn, double tilt, double r, double L,
                           QMatrix4x4& out);
    // Draws `shape` so placed; nothing without a shape or a finite placement.
    static void RenderPart(DLPSupportAttachmentData* shape, const QVector3D& a, const QVector3D& b, double turn,
                           double tilt, double r, double L);

private:
    void AppendPartTriangles(QVector<VSLTriangle3D>& out, const QMatrix4x4& M, DLPSupportAttachmentData* shape,
                             const QVector3D& a, const QVector3D& b, double turn, double tilt, double r, double L);

    unsigned char m_pickColor[3] = {0, 0, 0};
    VSLModelPainter* m_pInstanceParent = nullptr;
    QVector<QPair<unsigned int, double>> m_neighbors;
    QVector3D m_topPoint{0, 0, 1};
    QVector3D m_bottomPoint{0, 0, 0};
    double m_dTopRadius = 0.5, m_dMidRadius = 0.5, m_dBottomRadius = 0.5;
    double m_dTopLength = 2.0, m_dBottomLength = 2.0;
    double m_dTopPenetration = 0.1, m_dBottomPenetration = 0.1;
    QVector3D m_topNormal{0, 0, 1};
    QVector3D m_bottomNormal{0, 0, -1};
    double m_dTopAngleFactor = 1.0, m_dBottomAngleFactor = 1.0;
    DLPSupportAttachmentData* m_pMidShape = nullptr;
    DLPSupportAttachmentData* m_pBottomShape = nullptr;
    DLPSupportAttachmentData* m_pTopShape = nullptr;
    bool m_bGrounded = false;
    double m_dMidLength = 0;
    double m_dTopOffset = 0;
    QVector3D m_shaftTop;
    double m_dBottomOffset = 0;
    QVector3D m_shaftBottom;
    QVector3D m_topPivot, m_bottomPivot, m_topPenetrationPoint, m_bottomPenetrationPoint;
    double m_dTopTilt = 0, m_dTopTurn = 0, m_dMidTilt = 0, m_dMidTurn = 0, m_dBottomTilt = 0, m_dBottomTurn = 0;
    bool m_bSelected = false;
    bool m_bErrorGlow = false;
    QVector<QVector3D> m_trussPoints;
    double m_dTrussStartOffset = 5.0, m_dTrussEndOffset = 5.0, m_dTrussPointInterval = 5.0;
    double m_dTrussSection = 0;
    int m_nNumTrussPoints = 0;
    int m_nNextTrussNumber = 1;
    QVector<DLPSupportTruss*> m_trusses;
    bool m_bVisible = true;
};

// Colour of a drawn column part or truss (cyan selected, green, red glowing;
// none while picking); pushes the colour and lighting state that
// EndPartColour restores.
void BeginPartColour(bool pick, bool selected, bool glow, float alpha);
void EndPartColour();

// Takes the colour c as a pick colour and advances c: each byte runs 0 .. 254,
// a byte passing 254 goes back to 0 and carries into the next.
void AdvanceSupportPickColor(unsigned char c[3]);

// Ascending by distance.
bool cmp_NeighborSupports(const QPair<unsigned int, double>& a, const QPair<unsigned int, double>& b);
