#include "VSLModelPainter.h"

#include "VPolygonAlgorithm.h"
#include "VSLModel3D.h"
#include "mesh/workerpriority.h"
#include "support/DLPSupportStructure.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A transform baked into an instance must be finite and keep volume; a zero
// or non-finite one would turn bounds and hull into NaNs or collapse them.
// The volume test is relative to the axes' lengths: a small uniform scale
// (0.0001 from the transform panel) keeps the shape, a flattening does not.
bool IsUsableTransform(const QMatrix4x4& m)
{
    const float* d = m.constData();
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(d[i]))
            return false;
    // Column-major: element (row r, column c) is d[c * 4 + r].
    auto e = [d](int r, int c) { return static_cast<double>(d[c * 4 + r]); };
    const double det = e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) -
                       e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
                       e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
    double lengths = 1;
    for (int c = 0; c < 3; ++c)
        lengths *= std::sqrt(e(0, c) * e(0, c) + e(1, c) * e(1, c) + e(2, c) * e(2, c));
    return std::isfinite(det) && lengths > 0 && std::fabs(det) > 1e-6 * lengths;
}

bool IsFinite(const QVector3D& v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// Open-addressing set of packed (x, y) integer points: the rounded corners of
// a mesh repeat many times, and only the distinct ones go on to the sort.
class PointSet {
public:
    explicit PointSet(size_t expected)
    {
        size_t cap = 1024;
        while (cap < expected * 2 && cap < (size_t(1) << 26))
            cap <<= 1;
        m_slots.assign(cap, kEmpty);
    }
    bool Insert(uint64_t key)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            Grow();
        return InsertNoGrow(key);
    }

private:
    static constexpr uint64_t kEmpty = ~uint64_t(0);
    static uint64_t Hash(uint64_t k)
    {
        k ^= k >> 33;
        k *= 0xff51afd7ed558ccdULL;
        k ^= k >> 33;
        return k;
    }
    bool InsertNoGrow(uint64_t key)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
            if (m_slots[i] == key)
                return false;
            if (m_slots[i] == kEmpty) {
                m_slots[i] = key;
                ++m_count;
                return true;
            }
        }
    }
    void Grow()
    {
        std::vector<uint64_t> old;
        old.swap(m_slots);
        m_slots.assign(old.size() * 2, kEmpty);
        m_count = 0;
        for (uint64_t k : old)
            if (k != kEmpty)
                InsertNoGrow(k);
    }
    std::vector<uint64_t> m_slots;
    size_t m_count = 0;
};

// m x p for the affine matrices of an instance, as QMatrix4x4::map computes
// it (w stays 1), without its per-call dispatch; other matrices go through map.
class PointMapper {
public:
    explicit PointMapper(const QMatrix4x4& m) : m_matrix(m), d(m.constData())
    {
        m_affine = d[3] == 0.f && d[7] == 0.f && d[11] == 0.f && d[15] == 1.f;
    }
    QVector3D operator()(const QVector3D& v) const
    {
        if (!m_affine)
            return m_matrix.map(v);
        return QVector3D(v.x() * d[0] + v.y() * d[4] + v.z() * d[8] + d[12],
                         v.x() * d[1] + v.y() * d[5] + v.z() * d[9] + d[13],
                         v.x() * d[2] + v.y() * d[6] + v.z() * d[10] + d[14]);
    }

private:
    const QMatrix4x4& m_matrix;
    const float* d;
    bool m_affine;
};

} // namespace

QVector<vcg::Point3f> VSLModelPainter::UnitSphere;
QVector<vcg::Point3f> VSLModelPainter::UnitCircle;
QVector<QVector<int>> VSLModelPainter::CoPlane;

VSLModelPainter::VSLModelPainter(VSLModel3D* model, VSL3DScene* scene)
    : QObject(nullptr), m_pModel(model), m_pScene(scene)
{
    m_nPickOffset = 0;
    if (m_pModel)
        ++m_pModel->m_nInstanceCount;
    ResetModelPainter();
    m_pSupportThread = new SupportThread(this);
    initUnitSphere();
    m_pSliceThread = new SliceThread(this);
    initUnitCircle();
    initMeshColumn();
}

VSLModelPainter::~VSLModelPainter()
{
    if (m_pModel)
        --m_pModel->m_nInstanceCount;
    qDeleteAll(m_vSupportStructures);
    m_vSupportStructures.clear();
    m_pSupportThread->stop();
    m_pSupportThread->wait();
    delete m_pSupportThread;
    m_bStopSlice = true; // its layers would have no instance to belong to
    m_pSliceThread->wait();
    delete m_pSliceThread;
    DeleteSupportLists();
    DeleteTriPickLists();
    m_hull.clear();
}

void VSLModelPainter::ResetModelPainter()
{
    m_matrix.setToIdentity();
    UpdateData();
    QMatrix4x4 t;
    t.translate(-(m_maxBound.x() + m_minBound.x()) / 2, -(m_maxBound.y() + m_minBound.y()) / 2, 0);
    ApplyConvertX(t, 0);
    LayToPlatform();
}

void VSLModelPainter::UpdateData()
{
    if (!m_pModel)
        return;
    QMutexLocker lock(m_pModel->dataMutex());
    UpdateDataLocked();
}

void VSLModelPainter::UpdateDataLocked()
{
    const QVector<VSLTriangle3D>& tris = m_pModel->m_vTriangles;
    if (tris.isEmpty())
        return;
    const PointMapper map(m_matrix);
    QVector3D maxB = map(tris[0].vertices[0]);
    QVector3D minB = maxB;
    for (const VSLTriangle3D& t : tris) {
        for (const QVector3D& v : t.vertices) {
            const QVector3D p = map(v);
            for (int a = 0; a < 3; ++a) {
                if (p[a] > maxB[a])
                    maxB[a] = p[a];
                if (p[a] < minB[a])
                    minB[a] = p[a];
            }
        }
    }
    m_maxBound = maxB;
    m_minBound = minB;
    m_center = m_matrix.map(m_pModel->m_center);
    UpdateModelHullLocked();
}

void VSLModelPainter::UpdateModelHull()
{
    if (!m_pModel)
        return;
    QMutexLocker lock(m_pModel->dataMutex());
    UpdateModelHullLocked();
}

void VSLModelPainter::UpdateModelHullLocked()
{
    const QVector<VSLTriangle3D>& tris = m_pModel->m_vTriangles;
    // Walk backwards and keep the first sighting of each rounded point, so the
    // distinct points keep the order of their last occurrence: the hull's
    // same-key rule (a later point replaces an earlier one) is unaffected.
    const PointMapper map(m_matrix);
    PointSet seen(1024);
    QVector<QVector2D> distinct;
    uint64_t previous = ~uint64_t(0);
    for (int i = tris.size() - 1; i >= 0; --i) {
        for (int c = 2; c >= 0; --c) {
            const QVector3D p = map(tris[i].vertices[c]);
            // Beyond int range qRound is undefined; such points cannot be plate positions.
            if (!(std::fabs(p.x()) < 2.0e9f) || !(std::fabs(p.y()) < 2.0e9f))
                continue;
            const int x = qRound(p.x());
            const int y = qRound(p.y());
            const uint64_t key = (uint64_t(uint32_t(x)) << 32) | uint32_t(y);
            // Neighbouring corners mostly round to the same point.
            if (key == previous)
                continue;
            previous = key;
            if (seen.Insert(key))
                distinct.append(QVector2D(x, y));
        }
    }
    std::reverse(distinct.begin(), distinct.end());
    QVector<QVector2D> hull;
    VPolygonAlgorithm::FormConvexPolygon(hull, distinct);
    static const QVector<QVector2D> grow{{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    m_hull = VPolygonAlgorithm::MinkowskHull(hull, grow);
}

void VSLModelPainter::MapPlacement(QMatrix4x4 const& m)
{
    m_maxBound = m.map(m_maxBound);
    m_minBound = m.map(m_minBound);
    m_center = m.map(m_center);
    for (QVector2D& p : m_hull)
        p = m.map(QVector3D(p.x(), p.y(), 0)).toVector2D();
}

void VSLModelPainter::DropOntoPlate()
{
    if (std::fabs(m_minBound.z()) > 0.01 && !m_bLifted) {
        QMatrix4x4 t;
        t.translate(0, 0, -m_minBound.z());
        m_matrix = t * m_matrix;
        UpdateData();
    }
}

bool VSLModelPainter::ApplyConvertX(QMatrix4x4 const& m, int editMode)
{
    QMatrix4x4 next = m * m_matrix;
    next.optimize();
    if (!IsUsableTransform(m) || !IsUsableTransform(next))
        return false;
    if (editMode == 0) {
        m_matrix = next;
        if (m_bHasSupports) {
            m_supportMatrix = m * m_supportMatrix;
            m_supportMatrix.optimize();
            m_supportListMatrix = m * m_supportListMatrix;
            m_supportListMatrix.optimize();
        }
        MapPlacement(m);
        return true;
    }
    // Rotation or scale: the new placement is computed and checked before the
    // supports go, so a refused transform keeps them. Only then are they
    // removed, which also lowers an instance raised for support editing by
    // its lift, after the matrix, as the transform was meant for the raised
    // instance; last the instance is put back onto the plate.
    if (!PlaceByMatrix(next))
        return false;
    if (m_bHasSupports)
        RemoveSupportX();
    DropOntoPlate();
    return true;
}

bool VSLModelPainter::PlaceByMatrix(QMatrix4x4 const& next)
{
    const QMatrix4x4 oldMatrix = m_matrix;
    const QVector3D oldMax = m_maxBound, oldMin = m_minBound, oldCenter = m_center;
    const QVector<QVector2D> oldHull = m_hull;
    m_matrix = next;
    UpdateData();
    if (IsFinite(m_maxBound) && IsFinite(m_minBound) && IsFinite(m_center))
        return true;
    m_matrix = oldMatrix;
    m_maxBound = oldMax;
    m_minBound = oldMin;
    m_center = oldCenter;
    m_hull = oldHull;
    return false;
}

bool VSLModelPainter::ApplyConvert(QMatrix4x4 const& m, bool full)
{
    QMatrix4x4 next = m * m_matrix;
    next.optimize();
    if (!IsUsableTransform(m) || !IsUsableTransform(next))
        return false;
    if (!full) {
        m_matrix = next;
        MapPlacement(m);
        return true;
    }
    if (!PlaceByMatrix(next))
        return false;
    DropOntoPlate();
    return true;
}

void VSLModelPainter::Translate(QVector2D const& d)
{
    QMatrix4x4 t;
    t.translate(d.x(), d.y(), 0);
    ApplyConvertX(t, 0);
}

void VSLModelPainter::Move(QVector3D const& d)
{
    QMatrix4x4 t;
    t.translate(d);
    ApplyConvert(t, false);
}

void VSLModelPainter::Center()
{
    QMatrix4x4 t;
    t.translate(-(m_maxBound.x() + m_minBound.x()) / 2, -(m_maxBound.y() + m_minBound.y()) / 2, 0);
    ApplyConvertX(t, 0);
}

void VSLModelPainter::LayToPlatform() { DropOntoPlate(); }

QVector<VSLTriangle3D> VSLModelPainter::GetRealTriangles()
{
    QVector<VSLTriangle3D> out;
    if (!m_pModel)
        return out;
    QMutexLocker lock(m_pModel->dataMutex());
    out = m_pModel->m_vTriangles;
    for (VSLTriangle3D& t : out)
        t.Convert(m_matrix);
    return out;
}

double VSLModelPainter::GetMaxLength() const
{
    return static_cast<double>((m_maxBound - m_minBound).length());
}

bool VSLModelPainter::CheckHit(VSLModelPainter* other) const
{
    if (!other)
        return false;
    QVector2D push;
    return VPolygonAlgorithm::PolygonCollisionPushVector(m_hull, other->m_hull, push);
}

void VSLModelPainter::DuplicateModelPainterX(VSLModelPainter* source)
{
    if (!source || source == this)
        return;
    m_matrix = source->m_matrix;
    // The same size as its source: the panel shows the same scale.
    m_scale = source->m_scale;
    m_maxBound = source->m_maxBound;
    m_minBound = source->m_minBound;
    m_center = source->m_center;
    m_hull = source->m_hull;
    m_bSupportLifted = source->m_bSupportLifted;
    m_preLift = source->m_preLift;
    m_liftedMatrix = source->m_liftedMatrix;
    m_dLiftedByMm = source->m_dLiftedByMm;
    if (!source->m_bHasSupports) {
        // Lifted only by an open support edit, which does not hold the copy.
        if (m_bSupportLifted)
            LowerSupportLift();
        return;
    }
    m_supportMatrix = source->m_supportMatrix;
    m_supportListMatrix = source->m_supportMatrix; // the frame of the lists this copy compiles
    m_bHasSupports = source->m_bHasSupports;
    m_bSupportsShown = source->m_bSupportsShown;
    m_dSupportDensity = source->m_dSupportDensity;
    m_dTipDiameter = source->m_dTipDiameter;
    m_dShaftDiameter = source->m_dShaftDiameter;
    m_dLiftDistance = source->m_dLiftDistance;
    m_bSupportEditMark = source->m_bSupportEditMark;
    m_bSupportChanged = source->m_bSupportChanged;
    m_nClickCounter = source->m_nClickCounter;
    m_bGenerationRan = source->m_bGenerationRan;
    m_supportRun = source->m_supportRun;
    m_supportMap = source->m_supportMap;
    // The copied lists belong to the source; this painter builds its own.
    m_bSupportsShown = false;
    RebuildSupportIndex();
}

void SliceThread::run()
{
    vcg::LowerThisThreadPriority();
    if (m_pPainter)
        m_pPainter->SliceModelPainterX(0.0f);
}

// Compiled here rather than with the library's other meta-object code, so it
// is linked only together with the painter.
#include "moc_VSLModelPainter.cpp"
