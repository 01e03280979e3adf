#include "DLPSupportStructure.h"

#include "DLPSupportTruss.h"
#include "vslglview/VSLModelLoader.h"
#include "vslglview/VSLModelPainter.h"
#include "vslfunction/savecommit.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

std::deque<DLPSupportAttachmentData> DLPSupportStructure::AttachmentDataList;
unsigned char DLPSupportStructure::sColorID[3] = {0, 0, 0};

namespace {

constexpr double kDeg = 57.29577951308232;

// Strict normalisation in double: a zero vector gives NaNs, so degenerate
// geometry shows up as a non-finite placement instead of a plausible one.
QVector3D Unit(const QVector3D& v)
{
    const double x = v.x(), y = v.y(), z = v.z();
    const double n = std::sqrt(x * x + y * y + z * z);
    return QVector3D(float(x / n), float(y / n), float(z / n));
}

double Turn(double x, double y) { return std::atan2(y, x) * kDeg + 90.0; }

double Length(const QVector3D& v)
{
    return std::sqrt(double(v.x()) * v.x() + double(v.y()) * v.y() + double(v.z()) * v.z());
}

// Points the part at the first entry of that name and builds its list when
// a context is current.
DLPSupportAttachmentData* SelectShape(const QString& name)
{
    DLPSupportAttachmentData* shape = DLPSupportStructure::FindAttachment(name);
    if (shape && shape->displayListIndex == 0)
        shape->FormDisplayList();
    return shape;
}

struct PresetRow {
    const char* shape;
    double angle, length, penetration, radius;
};
struct Preset {
    const char* name;
    PresetRow top;
    const char* midShape;
    double midRadius;
    PresetRow grounded, nonGrounded;
};
const Preset kPresets[] = {
    {"LIGHT", {"Cone 25%", 0.8, 2.0, 0.25, 0.5}, "Cylinder", 0.5, {"Cylinder", 1.0, 0.25, 0.0, 3.0},
     {"Cone 25%", 0.5, 1.0, 0.4, 0.5}},
    {"MEDIUM", {"Cone 25%", 0.8, 4.0, 0.5, 1.0}, "Cylinder", 1.0, {"Cylinder", 1.0, 0.5, 0.0, 6.0},
     {"Cone 25%", 0.5, 2.0, 0.5, 1.0}},
    {"HEAVY", {"Cone 25%", 0.8, 8.0, 0.75, 2.0}, "Cylinder", 2.0, {"Cylinder", 1.0, 0.5, 0.0, 12.0},
     {"Cone 25%", 0.5, 4.0, 0.75, 2.0}},
};

void WriteRow(QSettings& s, const char* group, const PresetRow& row)
{
    s.beginGroup(QLatin1String(group));
    s.setValue("ATTACHSHAPE", QString::fromLatin1(row.shape));
    s.setValue("ANGLEFACTOR", row.angle);
    s.setValue("LENGTH", row.length);
    s.setValue("PENETRATION", row.penetration);
    s.setValue("RADIUS", row.radius);
    s.endGroup();
}

} // namespace

void AdvanceSupportPickColor(unsigned char c[3])
{
    for (int i = 0; i < 3; ++i) {
        if (c[i] < 254) {
            ++c[i];
            return;
        }
        c[i] = 0;
    }
}

bool cmp_NeighborSupports(const QPair<unsigned int, double>& a, const QPair<unsigned int, double>& b)
{
    return a.second < b.second;
}

// ---------------------------------------------------------------- start-up

void DLPSupportStructure::ImportAttachmentDataFromStls()
{
    // AppLocalDataLocation is the writable application-data folder.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/KALTrix");
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::TempLocation) + "/KALTrix");

    // The literal folder name, backslash included, wherever "/" separates.
    QDir dir(QStringLiteral(".\\template"));
    dir.setNameFilters({QStringLiteral("SUPPORT_*")});
    const QFileInfoList entries = dir.exists() ? dir.entryInfoList() : QFileInfoList();
    for (const QFileInfo& entry : entries) {
        VSLModelLoader loader;
        loader.path = entry.filePath();
        if (!loader.IsReady()) {
            qDebug().noquote() << "DLPSupportStructure: Error Loading: " + entry.fileName();
            continue;
        }
        DLPSupportAttachmentData shape;
        if (!loader.LoadData(shape.triangles))
            qDebug().noquote() << "DLPSupportStructure: no triangles in " + entry.fileName() + ": " +
                                      loader.errorString();
        shape.name = entry.fileName().section(QLatin1Char('.'), 0, 0);
        shape.name.remove(QStringLiteral("SUPPORT_"), Qt::CaseSensitive);
        shape.CenterGeometry();
        AttachmentDataList.push_back(std::move(shape));
    }
}

void DLPSupportStructure::FillRegistryDefaults(bool force, QString preset)
{
    // The plain object's file, its organisation named as QSettings names
    // it: an unnamed one leaves no status to tell a failed write by.
    const QString organisation = QCoreApplication::organizationName();
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope,
                       organisation.isEmpty() ? QStringLiteral("Unknown Organization") : organisation,
                       QCoreApplication::applicationName());
    if (settings.value("SUPPORTPARAMSLOADED", false).toBool() && !force)
        return;
    settings.setValue("SUPPORTPARAMSLOADED", true);
    settings.beginGroup("USERSUPPORTPARAMS");
    for (const Preset& p : kPresets) {
        if (preset != QLatin1String(p.name))
            continue;
        settings.setValue("ADDPRESETWEIGHT", QString::fromLatin1(p.name));
        WriteRow(settings, "SUPPORT_TOP", p.top);
        settings.beginGroup("SUPPORT_MID");
        settings.setValue("ATTACHSHAPE", QString::fromLatin1(p.midShape));
        settings.setValue("RADIUS", p.midRadius);
        settings.endGroup();
        WriteRow(settings, "SUPPORT_BOTTOM_GROUNDED", p.grounded);
        WriteRow(settings, "SUPPORT_BOTTOM_NONGROUNDED", p.nonGrounded);
        break;
    }
    settings.endGroup();
    // QSettings' own write fails silently on a full disk.
    SyncSettingsAndReport(settings);
}

DLPSupportAttachmentData* DLPSupportStructure::FindAttachment(const QString& name)
{
    for (DLPSupportAttachmentData& d : AttachmentDataList)
        if (d.name == name)
            return &d;
    return nullptr;
}

void DLPSupportStructure::ClearAttachmentData()
{
    AttachmentDataList.clear();
}

// ---------------------------------------------------------------- column

DLPSupportStructure::DLPSupportStructure(VSLModelPainter* parent) : m_pInstanceParent(parent)
{
    SetTopAttachShape(QStringLiteral("Cone 25%"));
    SetMidAttachShape(QStringLiteral("Cylinder"));
    SetBottomAttachShape(QStringLiteral("Cone 25%"));
    ForceUpdate();
}

DLPSupportStructure::~DLPSupportStructure()
{
    qDeleteAll(m_trusses);
    m_trusses.clear();
}

void DLPSupportStructure::AssignPickId()
{
    std::copy(sColorID, sColorID + 3, m_pickColor);
    AdvanceSupportPickColor(sColorID);
}

void DLPSupportStructure::CopyFrom(DLPSupportStructure* other)
{
    m_pInstanceParent = other->m_pInstanceParent;
    m_pTopShape = other->m_pTopShape;
    m_pMidShape = other->m_pMidShape;
    m_pBottomShape = other->m_pBottomShape;
    m_bGrounded = other->m_bGrounded;
    SetTopPoint(other->m_topPoint);
    SetBottomPoint(other->m_bottomPoint);
    SetTopRadius(other->m_dTopRadius);
    SetMidRadius(other->m_dMidRadius);
    SetBottomRadius(other->m_dBottomRadius);
    SetTopLength(other->m_dTopLength);
    SetBottomLength(other->m_dBottomLength);
    SetTopPenetration(other->m_dTopPenetration);
    SetBottomPenetration(other->m_dBottomPenetration);
    SetTopNormal(other->m_topNormal);
    SetBottomNormal(other->m_bottomNormal);
    SetTopAngleFactor(other->m_dTopAngleFactor);
    SetBottomAngleFactor(other->m_dBottomAngleFactor);
}

QMatrix4x4 DLPSupportStructure::InstanceMatrix() const
{
    return m_pInstanceParent ? m_pInstanceParent->m_matrix : QMatrix4x4();
}

QVector3D DLPSupportStructure::InstanceScale() const
{
    return m_pInstanceParent ? m_pInstanceParent->m_scale : QVector3D(1, 1, 1);
}

void DLPSupportStructure::SetIsGrounded(bool grounded) { m_bGrounded = grounded; ForceUpdate(); }
void DLPSupportStructure::SetTopPoint(QVector3D p) { m_topPoint = p; ForceUpdate(); }
void DLPSupportStructure::SetBottomPoint(QVector3D p) { m_bottomPoint = p; ForceUpdate(); }
void DLPSupportStructure::SetTopRadius(double r) { m_dTopRadius = r; ForceUpdate(); }
void DLPSupportStructure::SetMidRadius(double r) { m_dMidRadius = r; ForceUpdate(); }
void DLPSupportStructure::SetBottomRadius(double r) { m_dBottomRadius = r; ForceUpdate(); }
void DLPSupportStructure::SetTopLength(double l) { m_dTopLength = l; ForceUpdate(); }
void DLPSupportStructure::SetBottomLength(double l) { m_dBottomLength = l; ForceUpdate(); }
void DLPSupportStructure::SetTopPenetration(double d) { m_dTopPenetration = d; ForceUpdate(); }
void DLPSupportStructure::SetBottomPenetration(double d) { m_dBottomPenetration = d; ForceUpdate(); }
void DLPSupportStructure::SetTopAngleFactor(double f) { m_dTopAngleFactor = f; ForceUpdate(); }
void DLPSupportStructure::SetBottomAngleFactor(double f) { m_dBottomAngleFactor = f; ForceUpdate(); }

void DLPSupportStructure::SetTopNormal(QVector3D n)
{
    n.normalize();
    if (std::fabs(n.z()) < 0.05f) {
        n.setZ(0.05f);
        n.normalize();
    }
    m_topNormal = n;
    ForceUpdate();
}

void DLPSupportStructure::SetBottomNormal(QVector3D n)
{
    m_bottomNormal = n.normalized();
    ForceUpdate();
}

void DLPSupportStructure::SetTopAttachShape(QString name) { m_pTopShape = SelectShape(name); }
void DLPSupportStructure::SetMidAttachShape(QString name) { m_pMidShape = SelectShape(name); }
void DLPSupportStructure::SetBottomAttachShape(QString name) { m_pBottomShape = SelectShape(name); }

QString DLPSupportStructure::GetTopAttachShape() const { return m_pTopShape ? m_pTopShape->name : QString(); }
QString DLPSupportStructure::GetMidAttachShape() const { return m_pMidShape ? m_pMidShape->name : QString(); }
QString DLPSupportStructure::GetBottomAttachShape() const
{
    return m_pBottomShape ? m_pBottomShape->name : QString();
}

QVector3D DLPSupportStructure::GetBottomPivot() const
{
    return m_bottomPoint - float(m_dBottomLength) * m_bottomNormal;
}

void DLPSupportStructure::ForceUpdate()
{
    const QVector3D scale = InstanceScale();
    const double sx = scale.x(), sz = scale.z();
    const QMatrix4x4 M = InstanceMatrix();
    // The sizes follow the instance scale, whatever was set before.
    m_dTopRadius = m_dMidRadius = m_dBottomRadius = 0.5 / sx;
    m_dTopLength = m_dBottomLength = 2.0 / sz;
    m_dTopPenetration = m_dBottomPenetration = 0.1 / sz;

    const QMatrix4x4 inv = M.inverted();
    if (m_bGrounded) {
        QVector3D w = M.map(m_topPoint);
        w.setZ(0.f);
        m_bottomPoint = inv.map(w);
        SetBottomAttachShape(QStringLiteral("Cylinder"));
        m_dBottomRadius = 2.0 / sx;
        m_dBottomLength = 0.8 / sz;
    }

    const QVector3D& T = m_topPoint;
    const QVector3D& B = m_bottomPoint;
    const QVector3D Dt = Unit(QVector3D(float(m_topNormal.x() * m_dTopAngleFactor),
                                        float(m_topNormal.y() * m_dTopAngleFactor), m_topNormal.z()));
    const QVector3D Db = m_bGrounded ? Unit(inv.mapVector(m_bottomNormal))
                                     : Unit(QVector3D(float(m_bottomNormal.x() * m_dBottomAngleFactor),
                                                      float(m_bottomNormal.y() * m_dBottomAngleFactor),
                                                      m_bottomNormal.z()));
    m_topPivot = T - float(m_dTopLength) * Dt;
    m_bottomPivot = B - float(m_dBottomLength) * Db;

    const QVector3D U = Unit(m_bottomPivot - m_topPivot);
    m_dTopOffset = Length(QVector3D::crossProduct(Dt, U)) * m_dTopRadius;
    m_shaftTop = m_topPivot - float(m_dTopOffset) * U;

    const QVector3D V = Unit(m_topPivot - m_bottomPivot);
    if (!m_bGrounded) {
        m_dBottomOffset = Length(QVector3D::crossProduct(Db, V)) * m_dBottomRadius;
    } else {
        m_dBottomOffset = Length(QVector3D::crossProduct(Db, V)) * 2.0 * m_dMidRadius;
        m_dBottomPenetration = 0.0;
    }
    m_shaftBottom = m_bottomPivot - float(m_dBottomOffset) * V;
    m_dMidLength = Length(m_shaftTop - m_shaftBottom);

    m_topPenetrationPoint = T + float(m_dTopPenetration) * Dt;
    m_bottomPenetrationPoint = B + float(m_dBottomPenetration) * Db;

    m_dTopTilt = std::acos(double(Dt.z())) * kDeg;
    m_dTopTurn = Turn(Dt.x(), Dt.y());
    const QVector3D shaft = m_shaftTop - m_shaftBottom;
    m_dMidTilt = std::acos(double(shaft.z()) / m_dMidLength) * kDeg;
    m_dMidTurn = Turn(shaft.x(), shaft.y());
    m_dBottomTilt = std::acos(double(Db.z())) * kDeg + 180.0;
    m_dBottomTurn = Turn(Db.x(), Db.y());
}

void DLPSupportStructure::Rotate(QVector3D r)
{
    const double a = double(r.z()) / kDeg;
    const double c = std::cos(a), s = std::sin(a);
    auto turn = [&](QVector3D& v) {
        const double x = v.x(), y = v.y();
        v.setX(float(x * c - y * s));
        v.setY(float(x * s + y * c));
    };
    turn(m_topPoint);
    turn(m_bottomPoint);
    turn(m_topNormal);
    turn(m_bottomNormal);
    ForceUpdate();
}

// ---------------------------------------------------------------- printability

bool DLPSupportStructure::IsTopPrintable() const { return m_topNormal.z() >= 0.f; }
bool DLPSupportStructure::IsBottomPrintable() const { return m_bottomNormal.z() <= 0.f; }
bool DLPSupportStructure::IsMidPrintable() const
{
    return (double(m_topPivot.z()) - m_bottomPivot.z()) / m_dMidLength >= 0.4;
}
bool DLPSupportStructure::IsUpsideDown() const { return m_bottomPoint.z() > m_topPoint.z(); }
bool DLPSupportStructure::IsPrintable() const
{
    return IsTopPrintable() && IsMidPrintable() && IsBottomPrintable() && !IsUpsideDown();
}

bool DLPSupportStructure::IsVertical() const
{
    const double dx = double(m_topPivot.x()) - m_bottomPivot.x(), dy = double(m_topPivot.y()) - m_bottomPivot.y();
    return std::sqrt(dx * dx + dy * dy) < 0.1;
}

bool DLPSupportStructure::IsUnderground(double& depth) const
{
    const double z = InstanceMatrix().map(m_topPoint).z();
    if (z < 0.0) {
        depth = std::fabs(z);
        return true;
    }
    return false;
}

bool DLPSupportStructure::IsConstricted(double& amount) const
{
    if (IsUnderground(amount))
        return true;
    const double span = double(m_topPoint.z()) - m_bottomPoint.z();
    const double need = std::fabs(double(m_bottomPivot.z()) - m_bottomPoint.z()) +
                        std::fabs(double(m_topPoint.z()) - m_topPivot.z());
    amount = need >= span ? need - span : 0.0;
    return span <= need;
}

// ---------------------------------------------------------------- trusses

void DLPSupportStructure::GenerateTrussPoints()
{
    const QVector3D W = Unit(m_topPivot - m_bottomPivot);
    const double usable = m_dMidLength - m_dBottomOffset - m_dTopOffset - m_dTrussStartOffset - m_dTrussEndOffset;
    const double count = std::floor(usable / m_dTrussPointInterval) + 1.0;
    // A degenerate column (NaN length) gets none; a bound keeps a wild one
    // from allocating without end.
    m_nNumTrussPoints = std::isfinite(count) ? int(std::clamp(count, -1e6, 1e6)) : 0;
    m_dTrussSection = (m_nNumTrussPoints - 1) * m_dTrussPointInterval;
    if (m_nNumTrussPoints < 1)
        return;
    for (int i = 0; i < m_nNumTrussPoints; ++i)
        m_trussPoints.append(m_bottomPivot + float(m_dTrussStartOffset + i * m_dTrussPointInterval) * W);
}

DLPSupportTruss* DLPSupportStructure::AddTruss(QVector3D a, QVector3D b)
{
    auto* truss = new DLPSupportTruss(this);
    truss->AssignPickId();
    truss->SetTrussPointFrom(b);
    truss->SetTrussPointTo(a);
    truss->m_nNumber = m_nNextTrussNumber++;
    m_trusses.append(truss);
    return truss;
}

void DLPSupportStructure::SetNeighborSupports(unsigned int index, double distance)
{
    m_neighbors.append(qMakePair(index, distance));
}

void DLPSupportStructure::SortNeighborSupports()
{
    std::sort(m_neighbors.begin(), m_neighbors.end(), cmp_NeighborSupports);
}

// ---------------------------------------------------------------- drawing

bool DLPSupportStructure::PartMatrix(const QVector3D& a, const QVector3D& b, double turn, double tilt, double r,
                                     double L, QMatrix4x4& out)
{
    const QVector3D mid = (a + b) / 2.f;
    if (!std::isfinite(mid.x()) || !std::isfinite(mid.y()) || !std::isfinite(mid.z()) || !std::isfinite(turn) ||
        !std::isfinite(tilt) || !std::isfinite(r) || !std::isfinite(L))
        return false;
    out.setToIdentity();
    out.translate(mid);
    out.rotate(float(turn), 0, 0, 1);
    out.rotate(float(tilt), 1, 0, 0);
    out.scale(float(2 * r), float(2 * r), float(L));
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(out.constData()[i]))
            return false;
    return true;
}

void DLPSupportStructure::RenderPart(DLPSupportAttachmentData* shape, const QVector3D& a, const QVector3D& b,
                                     double turn, double tilt, double r, double L)
{
    QMatrix4x4 place;
    if (!shape || !PartMatrix(a, b, turn, tilt, r, L, place))
        return;
    glPushMatrix();
    glMultMatrixf(place.constData());
    shape->Render();
    glPopMatrix();
}

void DLPSupportStructure::RenderTopGL()
{
    RenderPart(m_pTopShape, m_topPivot, m_topPenetrationPoint, m_dTopTurn, m_dTopTilt, m_dTopRadius,
               m_dTopLength + m_dTopPenetration);
}

void DLPSupportStructure::RenderMidGL()
{
    RenderPart(m_pMidShape, m_shaftTop, m_shaftBottom, m_dMidTurn, m_dMidTilt, m_dMidRadius, m_dMidLength);
}

void DLPSupportStructure::RenderBottomGL()
{
    RenderPart(m_pBottomShape, m_bottomPivot, m_bottomPenetrationPoint, m_dBottomTurn, m_dBottomTilt + 180.0,
               m_dBottomRadius, m_dBottomLength + m_dBottomPenetration);
}

void BeginPartColour(bool pick, bool selected, bool glow, float alpha)
{
    glPushAttrib(GL_LIGHTING_BIT);
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    if (pick)
        return;
    if (selected)
        glColor4f(0.f, 1.f, 1.f, alpha);
    else
        glColor4f(0.f, 0.7f, 0.f, alpha);
    if (glow) {
        glDisable(GL_LIGHTING);
        glColor4f(1.f, 0.f, 0.f, alpha);
    }
}

void EndPartColour()
{
    glPopAttrib();
    glPopAttrib();
}

void DLPSupportStructure::RenderUpper(bool pick, float alpha)
{
    BeginPartColour(pick, m_bSelected, m_bErrorGlow, alpha);
    RenderTopGL();
    RenderMidGL();
    EndPartColour();
}

void DLPSupportStructure::RenderLower(bool pick, float alpha)
{
    BeginPartColour(pick, m_bSelected, m_bErrorGlow, alpha);
    RenderBottomGL();
    EndPartColour();
}

void DLPSupportStructure::RenderPickGL(bool lower, bool upper)
{
    glPushMatrix();
    glColor3ub(m_pickColor[0], m_pickColor[1], m_pickColor[2]);
    glMultMatrixf(InstanceMatrix().constData());
    if (upper) {
        BeginPartColour(true, false, false, 1.f);
        RenderTopGL();
        RenderMidGL();
        EndPartColour();
    }
    if (lower) {
        BeginPartColour(true, false, false, 1.f);
        RenderBottomGL();
        EndPartColour();
    }
    glPopMatrix();
}

void DLPSupportStructure::RenderPartPickGL(bool lower, bool upper)
{
    glPushMatrix();
    glMultMatrixf(InstanceMatrix().constData());
    if (upper) {
        BeginPartColour(true, false, false, 1.f);
        glColor3f(1.f, 0.f, 0.f);
        RenderTopGL();
        glColor3f(0.f, 1.f, 0.f);
        RenderMidGL();
        EndPartColour();
    }
    if (lower) {
        BeginPartColour(true, false, false, 1.f);
        glColor3f(0.f, 0.f, 1.f);
        RenderBottomGL();
        EndPartColour();
    }
    glPopMatrix();
}

void DLPSupportStructure::RenderTrusses()
{
    for (DLPSupportTruss* t : qAsConst(m_trusses))
        t->RenderTruss(false, 1.0f);
}

void DLPSupportStructure::DebugRender()
{
    if (!m_bVisible)
        return;
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    auto line = [](const QVector3D& a, const QVector3D& b, float r, float g, float bl) {
        glColor3f(r, g, bl);
        glVertex3f(a.x(), a.y(), a.z());
        glVertex3f(b.x(), b.y(), b.z());
    };
    line(m_topPenetrationPoint, m_topPoint, 0, 0, 1);
    line(m_topPoint, m_topPivot, 0, 1, 0);
    line(m_topPivot, m_bottomPivot, 0, 1, 1);
    line(m_bottomPivot, m_bottomPoint, 1, 0, 0);
    line(m_bottomPoint, m_bottomPenetrationPoint, 1, 0, 1);
    line(m_topPivot, m_shaftTop, 1, 1, 0);
    glEnd();
    glEnable(GL_LIGHTING);
}

// ---------------------------------------------------------------- triangles

void DLPSupportStructure::AppendPartTriangles(QVector<VSLTriangle3D>& out, const QMatrix4x4& M,
                                              DLPSupportAttachmentData* shape, const QVector3D& a,
                                              const QVector3D& b, double turn, double tilt, double r, double L)
{
    QMatrix4x4 place;
    if (!shape || !PartMatrix(a, b, turn, tilt, r, L, place))
        return;
    const QMatrix4x4 m = M * place;
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m.constData()[i]))
            return;
    for (VSLTriangle3D t : qAsConst(shape->triangles)) {
        t.Convert(m);
        t.UpdateNormal();
        t.UpdateBound();
        out.append(t);
    }
}

QVector<VSLTriangle3D> DLPSupportStructure::GetRealTriangles()
{
    QVector<VSLTriangle3D> out;
    const QMatrix4x4 M = InstanceMatrix();
    AppendPartTriangles(out, M, m_pTopShape, m_topPivot, m_topPenetrationPoint, m_dTopTurn, m_dTopTilt,
                        m_dTopRadius, m_dTopLength + m_dTopPenetration);
    AppendPartTriangles(out, M, m_pMidShape, m_shaftTop, m_shaftBottom, m_dMidTurn, m_dMidTilt, m_dMidRadius,
                        m_dMidLength);
    AppendPartTriangles(out, M, m_pBottomShape, m_bottomPivot, m_bottomPenetrationPoint, m_dBottomTurn,
                        m_dBottomTilt + 180.0, m_dBottomRadius, m_dBottomLength + m_dBottomPenetration);
    for (DLPSupportTruss* t : qAsConst(m_trusses))
        out += t->GetRealTriangles();
    return out;
}
