#include "slc/slcfile.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace slc {

namespace {

class Reader {
public:
    Reader(const char* data, qint64 size, qint64 at) : m_data(data), m_size(size), m_at(at) {}
    qint64 left() const { return m_size - m_at; }
    bool ok() const { return m_ok; }
    quint32 UInt()
    {
        if (left() < 4) {
            m_ok = false;
            return 0;
        }
        const quint32 v = qFromLittleEndian<quint32>(m_data + m_at);
        m_at += 4;
        return v;
    }
    float Float()
    {
        const quint32 bits = UInt();
        float f;
        std::memcpy(&f, &bits, 4);
        if (m_ok && !std::isfinite(f))
            m_ok = false;
        return f;
    }
    // The boundary count of the next record, without consuming it.
    bool PeekEnd() const
    {
        return left() >= 8 && qFromLittleEndian<quint32>(m_data + m_at + 4) == 0xFFFFFFFFu;
    }

private:
    const char* m_data;
    qint64 m_size;
    qint64 m_at;
    bool m_ok = true;
};

} // namespace

bool Parse(const char* data, qint64 size, Contents& out)
{
    out = Contents();
    qint64 p = kHeaderSearch;
    for (qint64 i = 0; i <= kHeaderSearch && i + 3 <= size; ++i) {
        if (data[i] == '\r' && data[i + 1] == '\n' && data[i + 2] == '\x1a') {
            p = i;
            break;
        }
    }
    if (p + 260 > size)
        return false;
    // The records follow the whole sampling table, whatever its size.
    const int tableSize = static_cast<unsigned char>(data[p + 259]);
    const qint64 first = p + 260 + 16 * qint64(tableSize);
    if (first > size)
        return false;

    Reader r(data, size, first);
    // The spacing of the first two layers with outlines: a file whose first
    // layer stands higher than one step would otherwise print its layers that
    // much thicker. A file of one layer takes its height.
    int layersWithPoints = 0;
    float firstZ = 0.f, secondZ = 0.f;
    // Records without outlines after the first with some: the gap between
    // parts standing one above the other keeps its height. Those after the
    // last are dropped.
    int pendingEmpty = 0;
    while (r.left() > 0 && !r.PeekEnd()) {
        const float z = r.Float();
        const quint32 boundaries = r.UInt();
        if (!r.ok())
            return false;
        // Each boundary needs at least its two counts.
        if (qint64(boundaries) > r.left() / 8)
            return false;
        QVector<QPolygonF> layer;
        bool hasPoints = false;
        for (quint32 b = 0; b < boundaries; ++b) {
            const quint32 vertices = r.UInt();
            r.UInt(); // gap count
            if (!r.ok() || qint64(vertices) > r.left() / 8)
                return false;
            QPolygonF poly;
            poly.reserve(int(vertices));
            for (quint32 v = 0; v < vertices; ++v) {
                const float x = r.Float();
                const float y = r.Float();
                if (!r.ok())
                    return false;
                poly.append(QPointF(x, y));
                out.minPt.setX(qMin<double>(out.minPt.x(), x));
                out.minPt.setY(qMin<double>(out.minPt.y(), y));
                out.maxPt.setX(qMax<double>(out.maxPt.x(), x));
                out.maxPt.setY(qMax<double>(out.maxPt.y(), y));
                hasPoints = true;
            }
            layer.append(poly);
        }
        if (hasPoints && layersWithPoints < 2) {
            (layersWithPoints == 0 ? firstZ : secondZ) = z;
            ++layersWithPoints;
        }
        if (layer.isEmpty()) {
            pendingEmpty += out.layers.isEmpty() ? 0 : 1;
            continue;
        }
        // Each record took 8 bytes of the file: no more empty layers than that.
        out.layers.resize(out.layers.size() + pendingEmpty);
        pendingEmpty = 0;
        out.layers.append(layer);
    }
    const float t = layersWithPoints >= 2 ? secondZ - firstZ : firstZ;
    // Heights written in single precision differ in their last bits
    // ("3.05 - 3.0" is 0.0500002): a thickness is a whole number of 0.1 um.
    out.thickness = float(std::round(double(t) * 10000.0) / 10000.0);
    return true;
}

bool Collinear(const QPointF& a, const QPointF& b, const QPointF& c)
{
    const float d1 = float((b.y() - a.y()) * (c.x() - b.x()));
    const float d2 = float((c.y() - b.y()) * (b.x() - a.x()));
    return d1 == d2;
}

void Thin(QPolygonF& polygon)
{
    // Scanning from the start and removing the middle of the first collinear
    // triple leaves everything before it clean: a stack over the open chain,
    // then the two triples that wrap round, which only ever drop the last or
    // the first point.
    std::deque<QPointF> s;
    for (const QPointF& q : qAsConst(polygon)) {
        while (s.size() >= 2 && Collinear(s[s.size() - 2], s.back(), q))
            s.pop_back();
        s.push_back(q);
    }
    for (;;) {
        const size_t n = s.size();
        if (n == 0)
            break;
        if (Collinear(s[(n - 2 + n) % n], s[n - 1], s[0])) {
            s.pop_back();
            continue;
        }
        if (Collinear(s[n - 1], s[0], s[1 % n])) {
            s.pop_front();
            continue;
        }
        break;
    }
    polygon = QPolygonF(int(s.size()));
    std::copy(s.begin(), s.end(), polygon.begin());
}

} // namespace slc
