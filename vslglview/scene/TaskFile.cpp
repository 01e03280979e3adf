#include "scene/TaskFile.h"
#include "wholefile.h"

#include <QFile>
#include <QtEndian>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace taskfile {

bool IdText(int id, QByteArray& text)
{
    text = QByteArray::number(id);
    if (text.size() > kIdBytes - 1)
        return false;
    text.append(QByteArray(kIdBytes - text.size(), '\0'));
    return true;
}

} // namespace taskfile

namespace {

constexpr int kTriangleBytes = 12 * 4;
constexpr int kParaInts = 3;
constexpr int kParaFloats = 16;

void WriteTriangleRecords(QDataStream& s, const QVector<VSLTriangle3D>& triangles)
{
    for (const VSLTriangle3D& t : triangles) {
        s << t.normal.x() << t.normal.y() << t.normal.z();
        for (const QVector3D& v : t.vertices)
            s << v.x() << v.y() << v.z();
    }
}

void WriteTriangles(QDataStream& s, const QVector<VSLTriangle3D>& triangles)
{
    s << qint32(triangles.size());
    WriteTriangleRecords(s, triangles);
}

void WriteLayers(QDataStream& s, const SliceLayers& layers)
{
    s << qint32(layers.size());
    for (const QVector<SlicePolygon>& layer : layers) {
        s << qint32(layer.size());
        for (const SlicePolygon& poly : layer) {
            s << quint32(poly.size());
            for (const QPointF p : poly)
                s << float(p.x()) << float(p.y());
        }
    }
}

// Appends one section to the file at `path` through `write`.
template <typename Write>
bool AppendSection(const QString& path, Write write)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QDataStream s(&file);
    TaskWriter::PrepareStream(s);
    const bool written = write(s);
    file.close();
    return written && s.status() == QDataStream::Ok && file.error() == QFileDevice::NoError;
}

// Little-endian reads that never pass the end of the bytes; the first short
// read or bad value makes the reader fail for good.
class Reader {
public:
    Reader(const char* data, qint64 size) : m_p(data), m_left(size) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_left == 0; }
    qint64 left() const { return m_left; }
    void fail() { m_ok = false; }

    const char* Take(qint64 n)
    {
        if (!m_ok || n < 0 || n > m_left) {
            m_ok = false;
            return nullptr;
        }
        const char* at = m_p;
        m_p += n;
        m_left -= n;
        return at;
    }
    qint32 Int()
    {
        const char* b = Take(4);
        return b ? qFromLittleEndian<qint32>(b) : 0;
    }
    quint32 UInt()
    {
        const char* b = Take(4);
        return b ? qFromLittleEndian<quint32>(b) : 0;
    }
    float Float()
    {
        const char* b = Take(4);
        if (!b)
            return 0.f;
        const quint32 bits = qFromLittleEndian<quint32>(b);
        float f;
        std::memcpy(&f, &bits, 4);
        if (!std::isfinite(f))
            m_ok = false;
        return f;
    }
    // A count of items of at least `itemBytes` bytes each that the rest can hold.
    bool Count(qint64 n, qint64 itemBytes)
    {
        if (!m_ok || n < 0 || n > m_left / itemBytes)
            m_ok = false;
        return m_ok;
    }
    // The text of a NUL-padded field, read from the field only.
    QByteArray Text(int bytes)
    {
        const char* b = Take(bytes);
        if (!b)
            return QByteArray();
        const void* nul = std::memchr(b, 0, size_t(bytes));
        return QByteArray(b, nul ? int(static_cast<const char*>(nul) - b) : bytes);
    }

private:
    const char* m_p;
    qint64 m_left;
    bool m_ok = true;
};

bool StartsWith(const QByteArray& tag, const char* text) { return tag.startsWith(text); }

int IdOf(const QByteArray& text)
{
    // Decimal text as the C conversion reads it; out-of-range values are clamped.
    const long v = std::strtol(text.constData(), nullptr, 10);
    return int(qBound<long>(INT_MIN, v, INT_MAX));
}

QVector<VSLTriangle3D> ReadTriangles(Reader& r)
{
    QVector<VSLTriangle3D> out;
    const qint32 n = r.Int();
    if (!r.Count(n, kTriangleBytes))
        return out;
    out.resize(n);
    for (VSLTriangle3D& t : out) {
        const float nx = r.Float(), ny = r.Float(), nz = r.Float();
        t.normal = QVector3D(nx, ny, nz);
        for (QVector3D& v : t.vertices) {
            const float x = r.Float(), y = r.Float(), z = r.Float();
            v = QVector3D(x, y, z);
        }
        t.UpdateBound();
    }
    return out;
}

void ReadLayers(Reader& r, SliceLayers& out)
{
    const qint32 layers = r.Int();
    if (!r.Count(layers, 4))
        return;
    out.reserve(out.size() + layers);
    for (qint32 L = 0; L < layers && r.ok(); ++L) {
        const qint32 polys = r.Int();
        if (!r.Count(polys, 4))
            return;
        QVector<SlicePolygon> layer;
        layer.reserve(polys);
        for (qint32 k = 0; k < polys && r.ok(); ++k) {
            const quint32 points = r.UInt();
            if (!r.Count(qint64(points), 8))
                return;
            SlicePolygon poly;
            poly.reserve(int(points));
            for (quint32 i = 0; i < points && r.ok(); ++i) {
                const float x = r.Float(), y = r.Float();
                poly.append(x, y);
            }
            layer.append(poly);
        }
        out.append(layer);
    }
}

bool EndTag(Reader& r, const char* expected)
{
    const char* tag = r.Take(taskfile::kTagBytes);
    return tag && std::strncmp(tag, expected, std::strlen(expected)) == 0;
}

} // namespace

// ------------------------------------------------------------------ writer

void TaskWriter::PrepareStream(QDataStream& s)
{
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

void TaskWriter::Tag(QDataStream& s, const char* text)
{
    char tag[taskfile::kTagBytes] = {};
    std::strncpy(tag, text, taskfile::kTagBytes - 1);
    s.writeRawData(tag, taskfile::kTagBytes);
}

bool TaskWriter::Model(QDataStream& s, const QVector<VSLTriangle3D>& triangles, int id)
{
    QByteArray text;
    if (!taskfile::IdText(id, text))
        return false;
    Tag(s, "Model:");
    s.writeRawData(text.constData(), taskfile::kIdBytes);
    WriteTriangles(s, triangles);
    Tag(s, "modelend");
    return true;
}

bool TaskWriter::Matrix(QDataStream& s, const QMatrix4x4& matrix, int id)
{
    QByteArray text;
    if (!taskfile::IdText(id, text))
        return false;
    Tag(s, "Matrix:");
    s.writeRawData(text.constData(), taskfile::kIdBytes);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            s << matrix(r, c);
    Tag(s, "matrixend");
    return true;
}

void TaskWriter::Support(QDataStream& s, const QVector<VSLTriangle3D>& triangles)
{
    Tag(s, "Support:");
    WriteTriangles(s, triangles);
    Tag(s, "supportend");
}

void TaskWriter::Support(QDataStream& s, const supportgeom::PlacedSupports& placed)
{
    Tag(s, "Support:");
    s << qint32(supportgeom::TriangleCount(placed));
    for (const DLP_Support& support : placed.supports)
        WriteTriangleRecords(s, supportgeom::WorldTriangles(placed, support));
    Tag(s, "supportend");
}

void TaskWriter::SliceModel(QDataStream& s, const SliceLayers& layers)
{
    Tag(s, "SliceM:");
    WriteLayers(s, layers);
    Tag(s, "sliceMend");
}

void TaskWriter::SliceSupport(QDataStream& s, const SliceLayers& layers)
{
    Tag(s, "SliceS:");
    WriteLayers(s, layers);
    Tag(s, "sliceSend");
}

void TaskWriter::Paras(QDataStream& s, const QVector<int>& ints, const QVector<float>& floats)
{
    Tag(s, "Paras:");
    for (int i = 0; i < kParaInts; ++i)
        s << qint32(ints.value(i));
    for (int i = 0; i < kParaFloats; ++i)
        s << floats.value(i);
    Tag(s, "parasend");
}

bool TaskWriter::WriteBinaryModel(QString path, QVector<VSLTriangle3D>& triangles, int id)
{
    QByteArray text;
    if (!taskfile::IdText(id, text))
        return false;
    return AppendSection(path, [&](QDataStream& s) { return Model(s, triangles, id); });
}

bool TaskWriter::WriteBinaryMatrix(QString path, QMatrix4x4& matrix, int id)
{
    QByteArray text;
    if (!taskfile::IdText(id, text))
        return false;
    return AppendSection(path, [&](QDataStream& s) { return Matrix(s, matrix, id); });
}

bool TaskWriter::WriteBinarySupport(QString path, QVector<VSLTriangle3D>& triangles)
{
    return AppendSection(path, [&](QDataStream& s) {
        Support(s, triangles);
        return true;
    });
}

bool TaskWriter::WriteBinarySliceModel(QString path, SliceLayers& layers)
{
    return AppendSection(path, [&](QDataStream& s) {
        SliceModel(s, layers);
        return true;
    });
}

bool TaskWriter::WriteBinarySliceSupport(QString path, SliceLayers& layers)
{
    return AppendSection(path, [&](QDataStream& s) {
        SliceSupport(s, layers);
        return true;
    });
}

// ------------------------------------------------------------------ loader

bool TaskLoader::LoadBinaryTask(QString path, QMap<int, QVector<VSLTriangle3D>>& models,
                                QVector<QPair<int, QMatrix4x4>>& matrices, QVector<VSLTriangle3D>& supports,
                                SliceLayers& modelSlices, SliceLayers& supportSlices,
                                QVector<int>& paraInts, QVector<float>& paraFloats)
{
    WholeFile file;
    QString error;
    if (!file.Read(path, error))
        return false;
    return LoadBinaryTask(file.data(), file.size(), models, matrices, supports, modelSlices, supportSlices, paraInts, paraFloats);
}

bool TaskLoader::LoadBinaryTask(const char* data, qint64 size, QMap<int, QVector<VSLTriangle3D>>& models,
                                QVector<QPair<int, QMatrix4x4>>& matrices, QVector<VSLTriangle3D>& supports,
                                SliceLayers& modelSlices, SliceLayers& supportSlices,
                                QVector<int>& paraInts, QVector<float>& paraFloats)
{
    QMap<int, QVector<VSLTriangle3D>> m;
    QVector<QPair<int, QMatrix4x4>> mx;
    QVector<VSLTriangle3D> sup;
    SliceLayers sm, ss;
    QVector<int> pi;
    QVector<float> pf;

    Reader r(data, size);
    while (r.ok() && !r.atEnd()) {
        const char* raw = r.Take(taskfile::kTagBytes);
        if (!raw)
            return false;
        const QByteArray tag(raw, taskfile::kTagBytes);
        const char* end = nullptr;
        if (StartsWith(tag, "Model:")) {
            const int id = IdOf(r.Text(taskfile::kIdBytes));
            QVector<VSLTriangle3D> tris = ReadTriangles(r);
            if (r.ok())
                m.insert(id, tris);
            end = "modelend";
        } else if (StartsWith(tag, "Matrix:")) {
            const int id = IdOf(r.Text(taskfile::kIdBytes));
            QMatrix4x4 matrix;
            for (int row = 0; row < 4; ++row)
                for (int c = 0; c < 4; ++c)
                    matrix(row, c) = r.Float();
            mx.append(qMakePair(id, matrix));
            end = "matrixend";
        } else if (StartsWith(tag, "Support:")) {
            sup += ReadTriangles(r);
            end = "supportend";
        } else if (StartsWith(tag, "SliceM:")) {
            ReadLayers(r, sm);
            end = "sliceMend";
        } else if (StartsWith(tag, "SliceS:")) {
            ReadLayers(r, ss);
            end = "sliceSend";
        } else if (StartsWith(tag, "Paras:")) {
            for (int i = 0; i < kParaInts; ++i)
                pi.append(r.Int());
            for (int i = 0; i < kParaFloats; ++i)
                pf.append(r.Float());
            end = "parasend";
        } else {
            continue; // an unknown tag is skipped on its own
        }
        if (!r.ok() || !EndTag(r, end))
            return false;
    }
    if (!r.ok())
        return false;
    for (auto it = m.cbegin(); it != m.cend(); ++it)
        models.insert(it.key(), it.value());
    matrices += mx;
    supports += sup;
    modelSlices += sm;
    supportSlices += ss;
    paraInts += pi;
    paraFloats += pf;
    return true;
}
