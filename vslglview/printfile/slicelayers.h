#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

#include <cstring>

// One corner of a slice polygon in projector pixels. The slicer computes its
// pixel coordinates in float, so float storage keeps every bit of them.
struct SlicePoint
{
    float x;
    float y;

    operator QPointF() const { return QPointF(double(x), double(y)); }
};
Q_DECLARE_TYPEINFO(SlicePoint, Q_PRIMITIVE_TYPE);

// A closed polygon of a layer at half the size of a QPolygonF. Copies share
// their points, so the layers of an upright column hold one copy.
class SlicePolygon
{
public:
    SlicePolygon() = default;
    // Rounds to float: exact for every polygon the slicer makes.
    explicit SlicePolygon(const QPolygonF& polygon)
    {
        m_points.reserve(polygon.size());
        for (const QPointF& p : polygon)
            append(p);
    }

    int size() const { return m_points.size(); }
    bool isEmpty() const { return m_points.isEmpty(); }
    void reserve(int count) { m_points.reserve(count); }
    void append(float x, float y) { m_points.append(SlicePoint{x, y}); }
    void append(const QPointF& p) { append(float(p.x()), float(p.y())); }

    QPointF point(int i) const { return m_points.at(i); }
    QPointF at(int i) const { return point(i); }
    QPointF operator[](int i) const { return point(i); }
    const SlicePoint* constData() const { return m_points.constData(); }
    QVector<SlicePoint>::const_iterator begin() const { return m_points.constBegin(); }
    QVector<SlicePoint>::const_iterator end() const { return m_points.constEnd(); }

    // The same box QPolygonF::boundingRect gives for these points.
    QRectF boundingRect() const
    {
        if (m_points.isEmpty())
            return QRectF();
        float minX = m_points[0].x, maxX = minX, minY = m_points[0].y, maxY = minY;
        for (const SlicePoint& p : m_points) {
            if (p.x < minX)
                minX = p.x;
            else if (p.x > maxX)
                maxX = p.x;
            if (p.y < minY)
                minY = p.y;
            else if (p.y > maxY)
                maxY = p.y;
        }
        return QRectF(double(minX), double(minY), double(maxX) - double(minX), double(maxY) - double(minY));
    }

    QPolygonF toPolygonF() const
    {
        QPolygonF polygon;
        polygon.reserve(m_points.size());
        for (const SlicePoint& p : m_points)
            polygon.append(p);
        return polygon;
    }
    operator QPolygonF() const { return toPolygonF(); }

    bool operator==(const SlicePolygon& other) const
    {
        if (m_points.size() != other.m_points.size())
            return false;
        for (int i = 0; i < m_points.size(); ++i)
            if (m_points[i].x != other.m_points[i].x || m_points[i].y != other.m_points[i].y)
                return false;
        return true;
    }
    bool operator!=(const SlicePolygon& other) const { return !(*this == other); }

private:
    QVector<SlicePoint> m_points;
};
Q_DECLARE_TYPEINFO(SlicePolygon, Q_MOVABLE_TYPE);

// Same points bit for bit: the rasteriser sees every bit, and points that
// merely compare equal (QPointF is fuzzy, -0 == 0) are not proven to draw alike.
inline bool BitEqual(const SlicePolygon& a, const SlicePolygon& b)
{
    return a.size() == b.size() &&
           (a.constData() == b.constData() ||
            std::memcmp(a.constData(), b.constData(), sizeof(SlicePoint) * size_t(a.size())) == 0);
}

// A hash of the points' bits, equal for BitEqual polygons.
inline quint64 PointsHash(const SlicePolygon& polygon)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ quint64(polygon.size());
    const SlicePoint* p = polygon.constData();
    for (int i = 0; i < polygon.size(); ++i) {
        quint64 v;
        static_assert(sizeof(SlicePoint) == sizeof(v), "a point hashes as one word");
        std::memcpy(&v, p + i, sizeof v);
        h = (h ^ v) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    return h;
}

// Closed polygons per layer in projector pixels, plate layers first.
using SliceLayers = QVector<QVector<SlicePolygon>>;

inline QVector<QPolygonF> ToPolygonsF(const QVector<SlicePolygon>& polygons)
{
    QVector<QPolygonF> out;
    out.reserve(polygons.size());
    for (const SlicePolygon& p : polygons)
        out.append(p.toPolygonF());
    return out;
}
