#include "test_meshes.h"

#include <QFile>
#include <QMatrix4x4>
#include <QVector2D>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace testmesh {

VSLTriangle3D Tri(QVector3D a, QVector3D b, QVector3D c)
{
    VSLTriangle3D t;
    t.vertices[0] = a;
    t.vertices[1] = b;
    t.vertices[2] = c;
    t.UpdateNormal();
    t.UpdateBound();
    return t;
}

QVector<VSLTriangle3D> Box(QVector3D lo, QVector3D hi)
{
    auto P = [&](int x, int y, int z) {
        return QVector3D(x ? hi.x() : lo.x(), y ? hi.y() : lo.y(), z ? hi.z() : lo.z());
    };
    // Each quad listed counter-clockwise seen from outside.
    const int quads[6][4][3] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, // bottom (-z)
        {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, // top (+z)
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, // front (-y)
        {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}}, // back (+y)
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, // left (-x)
        {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}, // right (+x)
    };
    QVector<VSLTriangle3D> out;
    for (const auto& q : quads) {
        const QVector3D a = P(q[0][0], q[0][1], q[0][2]), b = P(q[1][0], q[1][1], q[1][2]),
                        c = P(q[2][0], q[2][1], q[2][2]), d = P(q[3][0], q[3][1], q[3][2]);
        out << Tri(a, b, c) << Tri(a, c, d);
    }
    return out;
}

QVector<VSLTriangle3D> Cube(float size, QVector3D origin) { return Box(origin, origin + QVector3D(size, size, size)); }

QVector<VSLTriangle3D> Tetrahedron(float s)
{
    const QVector3D a(0, 0, 0), b(s, 0, 0), c(0, s, 0), d(0, 0, s);
    return {Tri(a, c, b), Tri(a, b, d), Tri(a, d, c), Tri(b, c, d)};
}

QVector<VSLTriangle3D> UvSphere(float r, int slices, int stacks, QVector3D centre, bool weldPoles)
{
    auto P = [&](int i, int j) {
        if (weldPoles && j == 0)
            return centre + QVector3D(0, 0, -r);
        if (weldPoles && j == stacks)
            return centre + QVector3D(0, 0, r);
        const double phi = -M_PI / 2 + M_PI * j / stacks;
        const double th = 2 * M_PI * (i % slices) / slices;
        return centre + QVector3D(float(r * cos(phi) * cos(th)), float(r * cos(phi) * sin(th)), float(r * sin(phi)));
    };
    QVector<VSLTriangle3D> out;
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i) {
            const QVector3D a = P(i, j), b = P(i + 1, j), c = P(i + 1, j + 1), d = P(i, j + 1);
            if (j != 0)
                out << Tri(a, b, c);
            if (j != stacks - 1)
                out << Tri(a, c, d);
        }
    return out;
}

QVector<VSLTriangle3D> OpenTube(float r, float h, int n)
{
    QVector<VSLTriangle3D> out;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * ((i + 1) % n) / n;
        const QVector3D p0(float(r * cos(a0)), float(r * sin(a0)), 0), p1(float(r * cos(a1)), float(r * sin(a1)), 0);
        const QVector3D q0 = p0 + QVector3D(0, 0, h), q1 = p1 + QVector3D(0, 0, h);
        out << Tri(p0, p1, q1) << Tri(p0, q1, q0);
    }
    return out;
}

QVector<VSLTriangle3D> UnweldedTube(int n, float R, float r, float h, float jitter, bool shuffled)
{
    // A fixed linear congruential generator: the same mesh on every platform.
    quint64 state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double(state >> 11) / double(1ull << 53);
    };
    auto corner = [&](double radius, double angle, float z) {
        const double dx = (2 * next() - 1) * jitter, dy = (2 * next() - 1) * jitter;
        return QVector3D(float(radius * cos(angle) + dx), float(radius * sin(angle) + dy), z);
    };
    QVector<VSLTriangle3D> out;
    out.reserve(8 * n);
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * M_PI * i / n, a1 = 2 * M_PI * ((i + 1) % n) / n;
        const auto quad = [&](double rp, double ap, float zp, double rq, double aq, float zq, bool flip) {
            // p0 p1 on one side, q0 q1 on the other; each triangle gets corners of its own.
            const QVector3D p0 = corner(rp, ap, zp), p1 = corner(rp, aq, zp), q1 = corner(rq, aq, zq);
            const QVector3D p0b = corner(rp, ap, zp), q1b = corner(rq, aq, zq), q0 = corner(rq, ap, zq);
            if (flip)
                out << Tri(p0, q1, p1) << Tri(p0b, q0, q1b);
            else
                out << Tri(p0, p1, q1) << Tri(p0b, q1b, q0);
        };
        quad(R, a0, 0, R, a1, h, false); // outer wall
        quad(r, a0, 0, r, a1, h, true);  // inner wall
        quad(r, a0, h, R, a1, h, true);  // top
        quad(r, a0, 0, R, a1, 0, false); // bottom
    }
    if (shuffled)
        for (int i = out.size() - 1; i > 0; --i)
            std::swap(out[i], out[int(next() * (i + 1))]);
    return out;
}

QVector<VSLTriangle3D> TwoDisjointCubes() { return Cube(10, {0, 0, 0}) + Cube(10, {20, 0, 0}); }

QVector<VSLTriangle3D> ThreeFacesOnOneEdge()
{
    const QVector3D a(0, 0, 0), b(0, 0, 1);
    return {Tri(a, b, {1, 0, 0}), Tri(b, a, {0, 1, 0}), Tri(a, b, {-1, -1, 0})};
}

QVector<VSLTriangle3D> SphereWithTriangles(int triangles, float radius)
{
    // 2 * s * (k - 1) triangles with s = 2k.
    int k = 2;
    while (4 * k * (k - 1) < triangles)
        ++k;
    return UvSphere(radius, 2 * k, k);
}

QVector<VSLTriangle3D> FanSlab(float x0, float y0, float w, float d, float h, int n)
{
    // Rim points evenly spaced along the perimeter, counter-clockwise from above.
    const double perimeter = 2.0 * (w + d);
    auto rim = [&](int k) {
        double s = perimeter * (k % n) / n;
        if (s < w)
            return QVector3D(float(x0 + s), y0, 0);
        s -= w;
        if (s < d)
            return QVector3D(x0 + w, float(y0 + s), 0);
        s -= d;
        if (s < w)
            return QVector3D(float(x0 + w - s), y0 + d, 0);
        s -= w;
        return QVector3D(x0, float(y0 + d - s), 0);
    };
    const QVector3D up(0, 0, h);
    const QVector3D centre(x0 + w / 2, y0 + d / 2, 0);
    QVector<VSLTriangle3D> out;
    out.reserve(4 * n);
    for (int k = 0; k < n; ++k) {
        const QVector3D a = rim(k), b = rim(k + 1);
        out << Tri(centre + up, a + up, b + up) << Tri(centre, b, a) << Tri(a, b, b + up) << Tri(a, b + up, a + up);
    }
    return out;
}

QVector<VSLTriangle3D> BumpySphere(float r, float bump, int slices, int stacks, QVector3D centreXY)
{
    QVector<VSLTriangle3D> tris = UvSphere(1.f, slices, stacks);
    float lowest = 0;
    for (VSLTriangle3D& t : tris) {
        for (QVector3D& v : t.vertices) {
            const double th = std::atan2(double(v.y()), double(v.x())), ph = std::asin(std::max(-1.f, std::min(1.f, v.z())));
            v *= r * float(1.0 + bump * std::sin(7 * th) * std::cos(5 * ph));
            lowest = std::min(lowest, v.z());
        }
    }
    for (VSLTriangle3D& t : tris) {
        for (QVector3D& v : t.vertices)
            v += QVector3D(centreXY.x(), centreXY.y(), -lowest);
        t.UpdateNormal();
        t.UpdateBound();
    }
    return tris;
}

QVector<VSLTriangle3D> BumpySphereBesideFanSlab(int slices, int stacks, int rimPoints)
{
    return BumpySphere(20.f, 0.06f, slices, stacks, {-25, 0, 0}) + FanSlab(5, -30, 60, 60, 4, rimPoints);
}

QVector<VSLTriangle3D> InsideOut(QVector<VSLTriangle3D> tris)
{
    for (VSLTriangle3D& t : tris)
        std::swap(t.vertices[1], t.vertices[2]);
    return tris;
}

QVector<VSLTriangle3D> Translated(QVector<VSLTriangle3D> tris, QVector3D by)
{
    for (VSLTriangle3D& t : tris) {
        for (QVector3D& v : t.vertices)
            v += by;
        t.UpdateBound();
    }
    return tris;
}

namespace {

// A closed rounded rectangle, counter-clockwise from above.
QVector<QVector2D> RoundedRect(float w, float d, float r, int segments)
{
    QVector<QVector2D> loop;
    const float cx[4] = {w / 2 - r, -w / 2 + r, -w / 2 + r, w / 2 - r};
    const float cy[4] = {d / 2 - r, d / 2 - r, -d / 2 + r, -d / 2 + r};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k <= segments; ++k) {
            const double a = M_PI / 2 * (c + double(k) / segments);
            loop << QVector2D(cx[c] + r * float(std::cos(a)), cy[c] + r * float(std::sin(a)));
        }
    return loop;
}

QVector3D At(const QVector2D& p, float z) { return QVector3D(p.x(), p.y(), z); }

// Walls of a loop from z0 up to z1, facing out (or in).
void AddWall(QVector<VSLTriangle3D>& out, const QVector<QVector2D>& loop, float z0, float z1, bool outward)
{
    for (int i = 0; i < loop.size(); ++i) {
        const QVector2D& a = loop[i];
        const QVector2D& b = loop[(i + 1) % loop.size()];
        if (outward)
            out << Tri(At(a, z0), At(b, z0), At(b, z1)) << Tri(At(a, z0), At(b, z1), At(a, z1));
        else
            out << Tri(At(a, z0), At(b, z1), At(b, z0)) << Tri(At(a, z0), At(a, z1), At(b, z1));
    }
}

// A fan over a convex loop at height z, facing up (or down).
void AddFan(QVector<VSLTriangle3D>& out, const QVector<QVector2D>& loop, float z, bool up, QVector2D centre)
{
    for (int i = 0; i < loop.size(); ++i) {
        const QVector2D& a = loop[i];
        const QVector2D& b = loop[(i + 1) % loop.size()];
        if (up)
            out << Tri(At(centre, z), At(a, z), At(b, z));
        else
            out << Tri(At(centre, z), At(b, z), At(a, z));
    }
}

} // namespace

QVector<VSLTriangle3D> Housing(float w, float d, float h, int cornerSegments)
{
    QVector<VSLTriangle3D> out;
    const QVector<QVector2D> outer = RoundedRect(w, d, 10, cornerSegments);
    const QVector<QVector2D> inner = RoundedRect(w - 6, d - 6, 7, cornerSegments);
    AddWall(out, outer, 0, h, true);
    AddFan(out, outer, 0, false, {});
    AddWall(out, inner, 4, h, false);
    AddFan(out, inner, 4, true, {});
    for (int i = 0; i < outer.size(); ++i) { // the rim: both loops have as many points
        const int j = (i + 1) % outer.size();
        out << Tri(At(outer[i], h), At(outer[j], h), At(inner[j], h)) << Tri(At(outer[i], h), At(inner[j], h), At(inner[i], h));
    }
    const int bossSegments = 4 * cornerSegments;
    const QVector2D bosses[6] = {{-w / 2 + 15, -d / 2 + 15}, {w / 2 - 15, -d / 2 + 15}, {-w / 2 + 15, d / 2 - 15},
                                 {w / 2 - 15, d / 2 - 15},   {0, -d / 2 + 15},         {0, d / 2 - 15}};
    for (const QVector2D& c : bosses) {
        QVector<QVector2D> ring;
        for (int k = 0; k < bossSegments; ++k) {
            const double a = 2 * M_PI * k / bossSegments;
            ring << c + 4.f * QVector2D(float(std::cos(a)), float(std::sin(a)));
        }
        AddWall(out, ring, 3.5f, 70, true);
        AddFan(out, ring, 70, true, c);
        AddFan(out, ring, 3.5f, false, c);
    }
    out += Box({-w / 2 + 2, -10, 40}, {w / 2 - 2, -4, 43});
    out += Box({-w / 2 + 2, 4, 50}, {w / 2 - 2, 10, 53});
    out += UvSphere(12, 4 * cornerSegments, 2 * cornerSegments, {0, 0, 30});
    return out;
}

QVector<VSLTriangle3D> BumpPlateOnLegs(float w, float d, float pitch, float bump, float thick, float height, float leg)
{
    const float g = pitch / 2;
    const int nx = std::max(2, int(std::lround(w / g))), ny = std::max(2, int(std::lround(d / g)));
    const float x0 = -nx * g / 2, y0 = -ny * g / 2, top = height + thick;
    // Odd-odd grid points away from the rim are the pyramid tips.
    auto under = [&](int i, int j) {
        const bool tip = (i % 2) == 1 && (j % 2) == 1 && i < nx && j < ny;
        return QVector3D(x0 + i * g, y0 + j * g, tip ? height - bump : height);
    };
    QVector<VSLTriangle3D> out;
    out.reserve(2 * nx * ny + 8 * (nx + ny) + 48);
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
            const QVector3D a = under(i, j), b = under(i + 1, j), c = under(i + 1, j + 1), e = under(i, j + 1);
            // Every quad has one tip corner; split along the diagonal through it
            // (seen from below, so wound clockwise from above).
            if ((i % 2) == ((j % 2)))
                out << Tri(a, c, b) << Tri(a, e, c);
            else
                out << Tri(b, a, e) << Tri(b, e, c);
        }
    // Rim of the underside, counter-clockwise from above, and the walls up to a
    // top fanned from its centre.
    QVector<QVector3D> rim;
    for (int i = 0; i < nx; ++i)
        rim << under(i, 0);
    for (int j = 0; j < ny; ++j)
        rim << under(nx, j);
    for (int i = nx; i > 0; --i)
        rim << under(i, ny);
    for (int j = ny; j > 0; --j)
        rim << under(0, j);
    const QVector3D up(0, 0, top - height), centre(x0 + nx * g / 2, y0 + ny * g / 2, top);
    for (int k = 0; k < rim.size(); ++k) {
        const QVector3D a = rim[k], b = rim[(k + 1) % rim.size()];
        out << Tri(a, b, b + up) << Tri(a, b + up, a + up) << Tri(centre, a + up, b + up);
    }
    const float reach = std::min(thick, 1.f) / 2;
    for (int cx = 0; cx < 2; ++cx)
        for (int cy = 0; cy < 2; ++cy) {
            const float lx = cx ? x0 + nx * g - leg : x0, ly = cy ? y0 + ny * g - leg : y0;
            out += Box({lx, ly, 0}, {lx + leg, ly + leg, height + reach});
        }
    return out;
}

namespace {
void Put32(QByteArray& b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}
void PutF(QByteArray& b, float f)
{
    quint32 v;
    std::memcpy(&v, &f, 4);
    Put32(b, v);
}
} // namespace

QByteArray BinaryStl(const QVector<VSLTriangle3D>& tris, const QByteArray& header, qint64 countOverride)
{
    QByteArray b = header.left(80);
    b.append(QByteArray(80 - b.size(), '\0'));
    Put32(b, quint32(countOverride >= 0 ? countOverride : tris.size()));
    for (const VSLTriangle3D& t : tris) {
        for (int a = 0; a < 3; ++a)
            PutF(b, t.normal[a]);
        for (const QVector3D& v : t.vertices)
            for (int a = 0; a < 3; ++a)
                PutF(b, v[a]);
        b.append(2, '\0');
    }
    return b;
}

QByteArray AsciiStl(const QVector<VSLTriangle3D>& tris, const char* nl)
{
    QByteArray b = QByteArray("solid test") + nl;
    auto num = [](float f) { return QByteArray::number(double(f), 'g', 9); };
    for (const VSLTriangle3D& t : tris) {
        b += "  facet normal " + num(t.normal.x()) + ' ' + num(t.normal.y()) + ' ' + num(t.normal.z()) + nl;
        b += QByteArray("    outer loop") + nl;
        for (const QVector3D& v : t.vertices)
            b += "      vertex " + num(v.x()) + ' ' + num(v.y()) + ' ' + num(v.z()) + nl;
        b += QByteArray("    endloop") + nl + "  endfacet" + nl;
    }
    b += QByteArray("endsolid test") + nl;
    return b;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVector<VSLTriangle3D> Ledge(QVector2D edge)
{
    const float h = 4.f;
    // Built with the slope towards +x, then turned to face `edge`.
    const QVector3D lo[4] = {{-5, -5, 0}, {1, -5, 0}, {1, 5, 0}, {-5, 5, 0}};
    const QVector3D hi[4] = {{-5, -5, h}, {5, -5, h}, {5, 5, h}, {-5, 5, h}};
    QVector<VSLTriangle3D> out;
    out << Tri(lo[0], lo[2], lo[1]) << Tri(lo[0], lo[3], lo[2]);
    out << Tri(hi[0], hi[1], hi[2]) << Tri(hi[0], hi[2], hi[3]);
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        out << Tri(lo[i], lo[j], hi[j]) << Tri(lo[i], hi[j], hi[i]);
    }
    QMatrix4x4 turn;
    turn.rotate(float(std::atan2(edge.y(), edge.x()) * 180.0 / 3.14159265358979), 0, 0, 1);
    for (VSLTriangle3D& t : out) {
        for (QVector3D& v : t.vertices)
            v = turn.map(v);
        t.UpdateNormal();
    }
    return out;
}

} // namespace testmesh
