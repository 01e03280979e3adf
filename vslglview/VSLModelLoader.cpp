#include "VSLModelLoader.h"
#include "wholefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QRegularExpression>
#include <QTextStream>

#include "mesh/parallel.h"
#include "printfile/filesafety.h"
#include "vslfunction/modelbound.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 kBinaryHeaderBytes = 84;
constexpr qint64 kBinaryFacetBytes = 50;
// A triangle list is one QVector, whose block Qt 5 limits to 2 GiB.
constexpr qint64 kMaxTriangles = (qint64(INT_MAX) - 64) / qint64(sizeof(VSLTriangle3D));

quint32 ReadU32(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

float ReadF32(const uchar* p)
{
    const quint32 bits = ReadU32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// True when the size is exactly that of a binary file with the count it holds.
bool HasBinarySize(QFile& file)
{
    const qint64 size = file.size();
    if (size < kBinaryHeaderBytes)
        return false;
    uchar head[kBinaryHeaderBytes];
    if (!file.seek(0) || file.read(reinterpret_cast<char*>(head), kBinaryHeaderBytes) != kBinaryHeaderBytes)
        return false;
    const quint64 count = ReadU32(head + 80);
    return quint64(size) == quint64(kBinaryHeaderBytes) + quint64(kBinaryFacetBytes) * count;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool TokenIs(const char* b, const char* e, const char* word)
{
    const size_t n = std::strlen(word);
    if (size_t(e - b) != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((b[i] | 0x20) != word[i])
            return false;
    return true;
}

// Decimal exponent of the leading digit of a number token (12.5e3 gives 4,
// 0.001 gives -3); only its sign matters to the caller.
long long LeadingExponent(const char* b, const char* e)
{
    if (b < e && (*b == '-' || *b == '+'))
        ++b;
    long long intDigits = 0, leadingFractionZeros = 0;
    bool nonZero = false, fraction = false;
    for (; b < e && *b != 'e' && *b != 'E'; ++b) {
        if (*b == '.') {
            fraction = true;
        } else if (!fraction) {
            if (nonZero || *b != '0') {
                nonZero = true;
                ++intDigits;
            }
        } else if (!nonZero) {
            if (*b == '0')
                ++leadingFractionZeros;
            else
                nonZero = true;
        }
    }
    long long exponent = 0;
    if (b < e) { // after 'e'
        ++b;
        bool negative = false;
        if (b < e && (*b == '-' || *b == '+'))
            negative = *b++ == '-';
        for (; b < e && exponent < 1000000000LL; ++b)
            exponent = exponent * 10 + (*b - '0');
        if (negative)
            exponent = -exponent;
    }
    return (intDigits > 0 ? intDigits - 1 : -(leadingFractionZeros + 1)) + exponent;
}

enum class NumberText { Read, Malformed, TooLarge };

// Number token in the C locale. A magnitude too large for a float reads as
// infinity and says so; one too small reads as 0, as it would be stored. A
// token that is no number is not read as any: a corner silently moved to 0
// would be printed as such.
NumberText ParseNumber(const char* b, const char* e, float& v)
{
    if (b < e && *b == '+')
        ++b;
    v = 0.f;
    const auto r = std::from_chars(b, e, v);
    if (r.ec == std::errc::result_out_of_range && r.ptr == e) {
        const bool negative = b < e && *b == '-';
        if (LeadingExponent(b, e) < 0) {
            v = negative ? -0.f : 0.f;
            return NumberText::Read;
        }
        v = negative ? -INFINITY : INFINITY;
        return NumberText::TooLarge;
    }
    if (r.ec != std::errc() || r.ptr != e)
        return NumberText::Malformed;
    return NumberText::Read;
}

class Tokens {
public:
    Tokens(const char* b, const char* e) : m_p(b), m_end(e) {}
    bool Next(const char*& b, const char*& e)
    {
        while (m_p < m_end && IsSpace(*m_p))
            ++m_p;
        if (m_p >= m_end)
            return false;
        b = m_p;
        while (m_p < m_end && !IsSpace(*m_p))
            ++m_p;
        e = m_p;
        return true;
    }
    // Peeks the next token without consuming it.
    bool Peek(const char*& b, const char*& e)
    {
        const char* save = m_p;
        const bool ok = Next(b, e);
        m_p = save;
        return ok;
    }

private:
    const char* m_p;
    const char* m_end;
};

bool Finite(const VSLTriangle3D& t)
{
    for (const QVector3D& v : t.vertices)
        if (!std::isfinite(v.x()) || !std::isfinite(v.y()) || !std::isfinite(v.z()))
            return false;
    return true;
}

bool WithinBound(const VSLTriangle3D& t)
{
    for (const QVector3D& v : t.vertices)
        if (!WithinModelBound(v))
            return false;
    return true;
}

QString BeyondBoundProblem()
{
    return QStringLiteral("has a coordinate beyond 100 m (%1 mm)").arg(double(kMaxModelCoordinateMm), 0, 'f', 0);
}

// Why a triangle's corners cannot be a model's; empty when they can.
QString CornerProblem(const VSLTriangle3D& t)
{
    if (!Finite(t))
        return QStringLiteral("has a coordinate that is not a finite number");
    if (!WithinBound(t))
        return BeyondBoundProblem();
    return QString();
}

// Printable ASCII and line ends only: text, which a binary facet list never is.
bool LooksLikeText(const uchar* p, qint64 n)
{
    for (qint64 i = 0; i < n; ++i) {
        const uchar c = p[i];
        if (!(c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F)))
            return false;
    }
    return true;
}

// The whole file as bytes; an empty one is refused here.
bool ReadStlBytes(const QString& path, WholeFile& bytes, QString& error)
{
    if (!bytes.Read(path, error))
        return false;
    if (bytes.size() == 0) {
        error = QStringLiteral("the file is empty");
        return false;
    }
    return true;
}

} // namespace

bool VSLModelLoader::Fail(const QString& problem)
{
    m_error = QStringLiteral("%1: %2").arg(path, problem);
    return false;
}

bool VSLModelLoader::IsReady()
{
    PrepareSTLFile();
    return ready;
}

void VSLModelLoader::PrepareSTLFile()
{
    isAscii = 1;
    ready = false;
    m_error.clear();
    if (!path.contains(QLatin1String(".stl"), Qt::CaseInsensitive)) {
        Fail(QStringLiteral("not an STL file name"));
        return;
    }
    // A FIFO would block the open, a device never end.
    const QString problem = InputFileProblem(path);
    if (!problem.isEmpty()) {
        m_error = problem;
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot be opened (%1)").arg(file.errorString()));
        return;
    }
    ready = true;
    // A file whose size matches the count it holds is binary, whatever its
    // header says ("solid ..." headers are common in binary files).
    if (HasBinarySize(file)) {
        isAscii = 0;
        return;
    }
    // Text saved as UTF-16 ("Unicode" in Windows editors) would read as a
    // binary file cut short: refused with what it is.
    file.seek(0);
    const QByteArray start = file.peek(12);
    const bool bom = start.startsWith("\xff\xfe") || start.startsWith("\xfe\xff");
    const bool wide = start.size() >= 10 && ((start[1] == 0 && start[3] == 0 && start[5] == 0 && start[0] != 0) ||
                                             (start[0] == 0 && start[2] == 0 && start[4] == 0 && start[1] != 0));
    if (bom || wide) {
        ready = false;
        Fail(QStringLiteral("the file is UTF-16 text; an STL file is ASCII or binary"));
        return;
    }
    // Otherwise it is ASCII when it starts with "solid" or its first lines
    // hold a vertex (several vertices on one line included).
    // A binary file that merely starts with "solid" has NUL bytes in its count
    // or first facets; a text file has none.
    const QByteArray head = file.peek(512);
    const bool solid = head.trimmed().startsWith("solid") && !head.contains('\0');
    static const QRegularExpression vertex(QStringLiteral("vertex\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    int points = 0;
    for (int line = 0; line < probeLineCount && !file.atEnd(); ++line) {
        const QString text = QString::fromLatin1(file.readLine(4096));
        auto it = vertex.globalMatch(text);
        while (it.hasNext()) {
            it.next();
            ++points;
        }
    }
    isAscii = (solid || points > 0) ? 1 : 0;
}

namespace {

// Corners on one line or one point: nothing a slice could light. Worked in
// double, so a small but real triangle does not vanish in the product.
bool HasArea(const VSLTriangle3D& t)
{
    const double ax = double(t.vertices[1].x()) - t.vertices[0].x(), ay = double(t.vertices[1].y()) - t.vertices[0].y(),
                 az = double(t.vertices[1].z()) - t.vertices[0].z();
    const double bx = double(t.vertices[2].x()) - t.vertices[0].x(), by = double(t.vertices[2].y()) - t.vertices[0].y(),
                 bz = double(t.vertices[2].z()) - t.vertices[0].z();
    return ay * bz - az * by != 0 || az * bx - ax * bz != 0 || ax * by - ay * bx != 0;
}

} // namespace

bool VSLModelLoader::LoadData(QVector<VSLTriangle3D>& out)
{
    if (!(isAscii == 1 ? ReadAscii(path, out) : ReadBinary(path, out)))
        return false;
    // Such a model would load as nothing on the plate and slice to no layer.
    if (std::none_of(out.cbegin(), out.cend(), HasArea)) {
        const int count = out.size();
        out.clear();
        m_warning.clear();
        return Fail(QStringLiteral("none of its %1 triangles has an area: the file holds no solid").arg(count));
    }
    return true;
}

bool VSLModelLoader::ReadBinary(QString file, QVector<VSLTriangle3D>& out)
{
    out.clear();
    m_warning.clear();
    WholeFile bytes;
    QString error;
    if (!ReadStlBytes(file, bytes, error))
        return Fail(error);
    const qint64 size = bytes.size();
    if (size < kBinaryHeaderBytes)
        return Fail(QStringLiteral("the file is too short to be a binary STL file (%1 bytes)").arg(size));
    const uchar* data = bytes.bytes();
    // Never trust the count beyond what the file holds.
    const quint64 declared = ReadU32(data + 80);
    const quint64 available = quint64(size - kBinaryHeaderBytes) / kBinaryFacetBytes;
    const QString notStl = QStringLiteral("not an STL file: neither ASCII STL nor a binary STL whose size agrees "
                                          "with its facet count (it declares %1 triangles and holds %2)")
                               .arg(declared)
                               .arg(available);
    // Whole facets after the declared ones: the count is not this file's.
    if (available > declared)
        return Fail(notStl);
    const bool cut = available < declared;
    const quint64 count = available;
    if (count == 0)
        return Fail(cut ? notStl : QStringLiteral("the file holds no triangles"));
    if (count > quint64(kMaxTriangles))
        return Fail(QStringLiteral("the file holds more triangles than can be loaded (%1)").arg(count));
    // A text file (renamed to .stl) reads as a huge count it does not hold.
    if (cut && LooksLikeText(data + kBinaryHeaderBytes, qMin<qint64>(size - kBinaryHeaderBytes, 4096)))
        return Fail(notStl + QStringLiteral("; it is text"));
    out.resize(int(count));
    VSLTriangle3D* tris = out.data();
    std::atomic<quint64> firstBad{count};
    vcg::ParallelFor(uint32_t(count), 65536, [&](uint32_t begin, uint32_t end) {
        const uchar* p = data + kBinaryHeaderBytes + quint64(begin) * kBinaryFacetBytes;
        for (uint32_t i = begin; i < end; ++i, p += kBinaryFacetBytes) {
            VSLTriangle3D& t = tris[i];
            for (int c = 0; c < 3; ++c) {
                const uchar* q = p + 12 + 12 * c;
                t.vertices[c] = QVector3D(ReadF32(q), ReadF32(q + 4), ReadF32(q + 8));
            }
            if (!WithinBound(t)) {
                quint64 seen = firstBad.load();
                while (i < seen && !firstBad.compare_exchange_weak(seen, i)) {
                }
                return;
            }
            t.UpdateNormal();
            t.UpdateBound();
        }
    });
    if (firstBad.load() < count) {
        const quint64 bad = firstBad.load();
        const QString why = QStringLiteral("triangle %1 %2").arg(bad + 1).arg(CornerProblem(tris[bad]));
        out.clear();
        return Fail(cut ? notStl + QStringLiteral("; ") + why : why);
    }
    if (cut)
        m_warning = QStringLiteral("%1: the file declares %2 triangles and holds %3").arg(path).arg(declared).arg(count);
    return true;
}

bool VSLModelLoader::ReadAscii(QString file, QVector<VSLTriangle3D>& out)
{
    out.clear();
    m_warning.clear();
    WholeFile bytes;
    QString error;
    if (!ReadStlBytes(file, bytes, error))
        return Fail(error);
    const char* data = bytes.data();
    const qint64 size = bytes.size();
    Tokens tokens(data, data + size);
    VSLTriangle3D t;
    int corners = 0; // vertices since the last facet end
    int dropped = 0;
    QString textProblem; // this facet's first number that cannot be read, or missing
    bool tooLarge = false;
    bool endSolid = false; // a file cut short lacks it
    const char *b, *e;
    while (tokens.Next(b, e)) {
        if (TokenIs(b, e, "endsolid")) {
            endSolid = true;
            continue;
        }
        if (TokenIs(b, e, "vertex")) {
            float xyz[3] = {0.f, 0.f, 0.f};
            int read = 0;
            for (float& c : xyz) {
                const char *nb, *ne;
                if (!tokens.Peek(nb, ne) || TokenIs(nb, ne, "vertex") || TokenIs(nb, ne, "endloop")
                    || TokenIs(nb, ne, "endfacet"))
                    break;
                tokens.Next(nb, ne);
                const NumberText text = ParseNumber(nb, ne, c);
                if (text == NumberText::Malformed && textProblem.isEmpty())
                    textProblem = QStringLiteral("has a number that cannot be read (\"%1\")")
                                      .arg(QString::fromLatin1(nb, int(qMin<qint64>(ne - nb, 40))));
                tooLarge = tooLarge || text == NumberText::TooLarge;
                ++read;
            }
            if (read < 3 && textProblem.isEmpty())
                textProblem = QStringLiteral("has a vertex of %1 coordinates, not 3").arg(read);
            if (corners < 3)
                t.vertices[corners] = QVector3D(xyz[0], xyz[1], xyz[2]);
            ++corners;
            continue;
        }
        bool end = TokenIs(b, e, "endfacet");
        if (!end && TokenIs(b, e, "end")) {
            const char *nb, *ne;
            if (tokens.Peek(nb, ne) && TokenIs(nb, ne, "facet")) {
                tokens.Next(nb, ne);
                end = true;
            }
        }
        if (!end)
            continue;
        // Only a facet with exactly three corners is a triangle.
        if (corners == 3) {
            const QString problem = !textProblem.isEmpty() ? textProblem
                                    : tooLarge             ? BeyondBoundProblem()
                                                           : CornerProblem(t);
            if (!problem.isEmpty()) {
                const int facet = out.size() + dropped + 1;
                out.clear();
                return Fail(QStringLiteral("facet %1 %2").arg(facet).arg(problem));
            }
            if (out.size() >= kMaxTriangles) {
                out.clear();
                return Fail(QStringLiteral("the file holds more triangles than can be loaded (over %1)").arg(kMaxTriangles));
            }
            t.UpdateNormal();
            t.UpdateBound();
            out.append(t);
        } else {
            ++dropped;
        }
        corners = 0;
        textProblem.clear();
        tooLarge = false;
    }
    if (out.isEmpty())
        return Fail(QStringLiteral("the file holds no triangles"));
    QStringList warnings;
    if (dropped > 0)
        warnings << QStringLiteral("%1 facets without exactly three vertices were left out").arg(dropped);
    if (!endSolid)
        warnings << QStringLiteral("the file ends without \"endsolid\"; it may be cut short");
    if (!warnings.isEmpty())
        m_warning = QStringLiteral("%1: %2 (%3 triangles read)")
                        .arg(path, warnings.join(QStringLiteral("; ")), QString::number(out.size()));
    return true;
}

void VSLModelWriter::AddTriangles(const QVector<VSLTriangle3D>& list) { triangles += list; }

bool VSLModelWriter::WriterBinary(QString path)
{
    // Written beside the old file and renamed over it once complete: a full
    // disk leaves the old one as it was.
    if (!DestinationProblem(path).isEmpty())
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    auto put32 = [](char* p, quint32 v) {
        for (int i = 0; i < 4; ++i)
            p[i] = char((v >> (8 * i)) & 0xFF);
    };
    auto putF = [&](char* p, float v) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        put32(p, bits);
    };
    char head[kBinaryHeaderBytes] = {};
    std::memcpy(head, "vexmor3D-tarvoselin", 19);
    put32(head + 80, quint32(triangles.size()));
    if (f.write(head, kBinaryHeaderBytes) != kBinaryHeaderBytes)
        return false;
    std::vector<char> batch;
    for (int begin = 0; begin < triangles.size(); begin += kFacetsPerWrite) {
        const int count = qMin(kFacetsPerWrite, triangles.size() - begin);
        batch.resize(size_t(kBinaryFacetBytes) * size_t(count));
        char* p = batch.data();
        for (int i = begin; i < begin + count; ++i) {
            const VSLTriangle3D& t = triangles[i];
            for (int a = 0; a < 3; ++a)
                putF(p + 4 * a, t.normal[a]);
            for (int c = 0; c < 3; ++c)
                for (int a = 0; a < 3; ++a)
                    putF(p + 12 + 12 * c + 4 * a, t.vertices[c][a]);
            p[48] = 12;
            p[49] = 0;
            p += kBinaryFacetBytes;
        }
        if (f.write(batch.data(), qint64(batch.size())) != qint64(batch.size()))
            return false;
    }
    QString why;
    return CommitSaveFile(f, why);
}

bool VSLModelWriter::WriterASCII(QString path)
{
    // Written beside the old file and renamed over it once complete: a full
    // disk leaves the old one as it was.
    if (!DestinationProblem(path).isEmpty())
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    auto fixed = [](float v) { return QByteArray::number(double(v), 'f', 6); };
    QByteArray text("solid\n");
    for (int begin = 0; begin < triangles.size(); begin += kFacetsPerWrite) {
        const int end = qMin(begin + kFacetsPerWrite, triangles.size());
        for (int i = begin; i < end; ++i) {
            const VSLTriangle3D& t = triangles[i];
            text += "facet normal " + fixed(t.normal.x()) + ' ' + fixed(t.normal.y()) + ' ' + fixed(t.normal.z()) +
                    '\n';
            text += "outer loop\n";
            for (const QVector3D& v : t.vertices)
                text += "vertex " + QByteArray::number(double(v.x()), 'g', 6) + ' ' + fixed(v.y()) + ' ' +
                        fixed(v.z()) + '\n';
            text += "endloop\nendfacet\n";
        }
        if (f.write(text) != text.size())
            return false;
        text.clear();
    }
    QString why;
    return f.write(text) == text.size() && CommitSaveFile(f, why);
}
