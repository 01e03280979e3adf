#include "VSLModelLoader.h"
#include "wholefile.h"
#include "test_meshes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class StlFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, bytes));
        return path;
    }
    // Probes and reads; returns false with the loader's message on refusal.
    bool Load(const QString& path, QVector<VSLTriangle3D>& out, VSLModelLoader& loader)
    {
        loader.path = path;
        if (!loader.IsReady())
            return false;
        return loader.LoadData(out);
    }
};

void ExpectSameCorners(const QVector<VSLTriangle3D>& a, const QVector<VSLTriangle3D>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(a[i].vertices[k], b[i].vertices[k]) << "triangle " << i << " corner " << k;
}

} // namespace

TEST_F(StlFiles, NameTestIsCaseInsensitiveAndAnywhereInThePath)
{
    const QByteArray bytes = testmesh::BinaryStl(testmesh::Cube());
    VSLModelLoader l;
    for (const char* name : {"A.STL", "part.stl.bak", "part.obj"}) {
        l.path = Write(name, bytes);
        EXPECT_EQ(l.IsReady(), QString(name) != "part.obj") << name;
    }
    EXPECT_TRUE(l.errorString().contains("part.obj"));
    l.path = dir.filePath("missing.stl");
    EXPECT_FALSE(l.IsReady());
}

// Every form reads back the same corners; normals and bounds come from them, not the file.
TEST_F(StlFiles, BinaryAndAsciiFormsReadBack)
{
    const auto cube = testmesh::Cube(10, {1, 2, 3});
    auto lying = cube;
    for (auto& t : lying)
        t.normal = QVector3D(9, 9, 9);
    const auto sphere = testmesh::UvSphere(5, 8, 5);
    QByteArray threeLines = "solid x\n";
    for (const auto& t : testmesh::Tetrahedron()) {
        threeLines += "facet normal 0 0 0 outer loop\n";
        for (const auto& v : t.vertices)
            threeLines += "vertex " + QByteArray::number(v.x()) + ' ' + QByteArray::number(v.y()) + ' '
                          + QByteArray::number(v.z()) + '\n';
        threeLines += "endloop end facet\n";
    }
    threeLines += "endsolid x\n";
    // An ASCII file cut after its sixth facet: read as far as it goes, and said.
    const QByteArray ascii = testmesh::AsciiStl(cube);
    int cut = 0;
    for (int facets = 0; facets < 6; ++facets)
        cut = ascii.indexOf("endfacet", cut) + 8;
    const QByteArray cutShort = ascii.left(cut + 30); // and a few bytes of the seventh
    const QByteArray countBeyond = testmesh::BinaryStl(cube, {}, 0x7FFFFFFF);
    // Facets without exactly three vertices are skipped.
    const QByteArray notThree = "solid t\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
        "facet normal 0 0 1\nouter loop\nvertex 5 5 5\nvertex 6 5 5\nendloop\nendfacet\n"
        "facet normal 0 0 1\nendfacet\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 2\nvertex 1 0 2\nvertex 0 1 2\nvertex 9 9 9\nendloop\nendfacet\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 3\nvertex 1 0 3\nvertex 0 1 3\nendloop\nendfacet\n"
        "endsolid t\n";
    const QVector<VSLTriangle3D> twoOfFive = {testmesh::Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
                                              testmesh::Tri({0, 0, 3}, {1, 0, 3}, {0, 1, 3})};
    const struct { const char* name; QByteArray bytes; QVector<VSLTriangle3D> tris; int isAscii; } cases[] = {
        {"binary", testmesh::BinaryStl(lying), cube, 0},
        {"binary, 'solid' header", testmesh::BinaryStl(sphere, "solid vertex 1 2 3 made by a CAD program"), sphere, 0},
        {"binary, 'solid' header, trailing bytes", testmesh::BinaryStl(cube, "solid part") + "\n\n", cube, 0},
        {"binary, count beyond the file", countBeyond, cube, 0},
        {"binary, trailing partial facet", countBeyond + QByteArray(20, '\x01'), cube, 0},
        {"ascii", testmesh::AsciiStl(sphere), sphere, 1},
        {"ascii CR LF", testmesh::AsciiStl(sphere, "\r\n"), sphere, 1},
        {"ascii, whole facets on one line", testmesh::AsciiStl(sphere, " "), sphere, 1},
        {"ascii, keywords sharing lines", threeLines, testmesh::Tetrahedron(), 1},
        {"ascii, facets without three vertices", notThree, twoOfFive, 1},
        {"ascii, cut short", cutShort, cube.mid(0, 6), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        ASSERT_TRUE(Load(Write("f.stl", c.bytes), out, l)) << l.errorString().toStdString();
        EXPECT_EQ(l.isAscii, c.isAscii);
        ExpectSameCorners(out, c.tris);
        for (int i = 0; i < out.size(); ++i)
            EXPECT_TRUE(out[i].normal == c.tris[i].normal && out[i].minBound == c.tris[i].minBound &&
                        out[i].maxBound == c.tris[i].maxBound) << i;
        // What was left out is said, or the model has holes no one was told of.
        if (c.bytes == notThree) {
            EXPECT_TRUE(l.warningString().endsWith("f.stl: 3 facets without exactly three vertices were left out "
                                                   "(2 triangles read)"))
                << l.warningString().toStdString();
        } else if (c.bytes == cutShort) {
            EXPECT_TRUE(l.warningString().endsWith(
                "f.stl: the file ends without \"endsolid\"; it may be cut short (6 triangles read)"))
                << l.warningString().toStdString();
        } else if (c.isAscii == 1) {
            EXPECT_TRUE(l.warningString().isEmpty()) << l.warningString().toStdString();
        }
    }
}

TEST_F(StlFiles, RefusedFilesNameTheFileAndTheProblem)
{
    struct Case { const char* name; QByteArray bytes; const char* message; };
    auto nan = testmesh::Cube();
    nan[3].vertices[1].setY(std::numeric_limits<float>::quiet_NaN());
    auto inf = testmesh::Cube();
    inf[0].vertices[0].setX(std::numeric_limits<float>::infinity());
    // Corners on a line, and on one point: a model of nothing.
    QVector<VSLTriangle3D> flat(3), point(1);
    for (int i = 0; i < flat.size(); ++i)
        for (int c = 0; c < 3; ++c)
            flat[i].vertices[c] = QVector3D(float(i + c), float(2 * (i + c)), 1.f);
    for (int c = 0; c < 3; ++c)
        point[0].vertices[c] = QVector3D(5.f, 5.f, 5.f);
    const Case cases[] = {
        {"empty.stl", QByteArray(), "empty"},
        {"header.stl", testmesh::BinaryStl({}), "no triangles"},
        {"short.stl", QByteArray(40, '\x80'), "too short"},
        {"nan.stl", testmesh::BinaryStl(nan), "not a finite number"},
        {"inf.stl", testmesh::AsciiStl(inf), "not a finite number"},
        {"words.stl", QByteArray("solid nothing here\nendsolid\n"), "no triangles"},
        {"flat.stl", testmesh::BinaryStl(flat), "none of its 3 triangles has an area"},
        {"point.stl", testmesh::AsciiStl(point), "none of its 1 triangles has an area"},
    };
    for (const Case& c : cases) {
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        EXPECT_FALSE(Load(Write(c.name, c.bytes), out, l)) << c.name;
        EXPECT_TRUE(l.warningString().isEmpty()) << c.name;
        EXPECT_TRUE(out.isEmpty()) << c.name;
        EXPECT_TRUE(l.errorString().contains(c.name)) << l.errorString().toStdString();
        EXPECT_TRUE(l.errorString().contains(c.message)) << l.errorString().toStdString();
    }
    // Small is not flat: a cube a micrometre across loads (its slice says
    // there is nothing to print).
    auto tiny = testmesh::Cube();
    for (VSLTriangle3D& t : tiny)
        for (QVector3D& v : t.vertices)
            v *= 1e-3f / 10.f;
    VSLModelLoader l;
    QVector<VSLTriangle3D> out;
    EXPECT_TRUE(Load(Write("tiny.stl", testmesh::BinaryStl(tiny)), out, l)) << l.errorString().toStdString();
    EXPECT_EQ(out.size(), tiny.size());
}

// Numbers in the C locale; tiny ones read as 0. Huge ones, text that is no
// number and a vertex short of a coordinate are refused, each with its reason.
TEST_F(StlFiles, CoordinateText)
{
    struct Case { const char* vertex; float value; const char* refusal; };
    const Case cases[] = {
        {"1e-50 0 0", 0.f, nullptr}, {"-1e-50 0 0", -0.f, nullptr},
        {"0.0000000000000000000000000000000000000000000000001 0 0", 0.f, nullptr}, {"1e-400 0 0", 0.f, nullptr},
        {"1.5e-3 0 0", 0.0015f, nullptr}, {"+2.25e1 0 0", 22.5f, nullptr}, {"7. 0 0", 7.f, nullptr},
        {"abc 0 0", 0, "has a number that cannot be read (\"abc\")"},
        {"1,5 0 0", 0, "has a number that cannot be read (\"1,5\")"},
        {"0 0 1O", 0, "has a number that cannot be read (\"1O\")"},
        {"0 0", 0, "has a vertex of 2 coordinates, not 3"},
        {"1e39 0 0", 0, "has a coordinate beyond 100 m"}, {"-1e50 0 0", 0, "has a coordinate beyond 100 m"}, {"1e400 0 0", 0, "has a coordinate beyond 100 m"},
        {"123456789012345678901234567890123456789012 0 0", 0, "has a coordinate beyond 100 m"},
        {"nan 0 0", 0, "has a coordinate that is not a finite number"}, {"inf 0 0", 0, "has a coordinate that is not a finite number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vertex);
        // The bad facet is the second: the first is whole.
        const QByteArray text = QByteArray("solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                                           "vertex 0 1 0\nendloop\nendfacet\nfacet normal 0 0 1\nouter loop\n"
                                           "vertex ") + c.vertex + "\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n";
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        const bool loaded = Load(Write("t.stl", text), out, l);
        EXPECT_EQ(loaded, c.refusal == nullptr) << l.errorString().toStdString();
        if (!c.refusal) {
            ASSERT_EQ(out.size(), 2);
            EXPECT_EQ(out[1].vertices[0].x(), c.value);
            continue;
        }
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(l.errorString().contains(QStringLiteral("facet 2 ") + c.refusal)) << l.errorString().toStdString();
    }
}

// Files that are no model: refused at load, with the loader's reason.
TEST_F(StlFiles, HostileFilesAreRefusedWithTheLoadersReason)
{
    QByteArray passwords;
    for (int i = 0; passwords.size() < 1500; ++i)
        passwords += QByteArray("user") + QByteArray::number(i) + ":x:" + QByteArray::number(1000 + i) +
                     ":100:User:/home/user:/bin/bash\n";
    QByteArray random(200, '\0');
    quint32 seed = 12345;
    for (char& c : random) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    auto huge = testmesh::Cube();
    huge[5].vertices[2].setZ(1e30f);
    auto far = testmesh::Cube();
    far[0].vertices[1].setX(-100001.0f);
    auto edge = testmesh::Cube();
    edge[0].vertices[1].setX(-100000.0f); // on the bound: kept
    struct Case { const char* name; QByteArray bytes; const char* message; };
    const Case cases[] = {
        {"passwords.stl", passwords, "not an STL file"},
        {"random.stl", random, "not an STL file"},
        {"extra facets.stl", testmesh::BinaryStl(testmesh::Cube(), {}, 10), "declares 10 triangles and holds 12"},
        {"count zero, data.stl", testmesh::BinaryStl(testmesh::Cube(), {}, 0), "not an STL file"},
        {"huge ascii.stl", testmesh::AsciiStl(huge), "facet 6 has a coordinate beyond 100 m"},
        {"far binary.stl", testmesh::BinaryStl(far), "triangle 1 has a coordinate beyond 100 m"},
        {"huge cut.stl", testmesh::BinaryStl(huge, {}, 1000).left(84 + 50 * 8), "not an STL file"},
        {"less than a facet.stl", testmesh::BinaryStl(testmesh::Cube()).left(84 + 49), "not an STL file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        EXPECT_FALSE(Load(Write(c.name, c.bytes), out, l));
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(l.errorString().contains(c.name)) << l.errorString().toStdString();
        EXPECT_TRUE(l.errorString().contains(c.message)) << l.errorString().toStdString();
        EXPECT_TRUE(l.warningString().isEmpty());
    }
    VSLModelLoader l;
    QVector<VSLTriangle3D> out;
    ASSERT_TRUE(Load(Write("edge.stl", testmesh::BinaryStl(edge)), out, l)) << l.errorString().toStdString();
    EXPECT_EQ(out[0].vertices[1].x(), -100000.0f);
}

// A cut download: the whole facets it holds are read, and the loader says how
// many were declared; a whole file says nothing.
TEST_F(StlFiles, CutBinaryIsReadAsFarAsItGoesWithAWarning)
{
    const auto sphere = testmesh::UvSphere(5, 8, 5);
    const QByteArray whole = testmesh::BinaryStl(sphere);
    const struct { const char* name; int keepBytes; int held; } cases[] = {
        {"cut inside a facet", 84 + 50 * 7 + 23, 7},
        {"cut at a facet end", 84 + 50 * 3, 3},
        {"one facet", 84 + 50 + 49, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        ASSERT_TRUE(Load(Write("cut.stl", whole.left(c.keepBytes)), out, l)) << l.errorString().toStdString();
        ExpectSameCorners(out, sphere.mid(0, c.held));
        EXPECT_TRUE(l.warningString().contains(
            QString("the file declares %1 triangles and holds %2").arg(sphere.size()).arg(c.held)))
            << l.warningString().toStdString();
    }
    VSLModelLoader l;
    QVector<VSLTriangle3D> out;
    ASSERT_TRUE(Load(Write("whole.stl", whole), out, l));
    EXPECT_TRUE(l.warningString().isEmpty());
}

// An ASCII file an editor saved as UTF-16 read as a binary file cut short:
// a heap of garbage triangles.
TEST_F(StlFiles, Utf16TextIsRefusedAsSuch)
{
    const QByteArray ascii = testmesh::AsciiStl(testmesh::Cube());
    QByteArray little("\xff\xfe", 2), big("\xfe\xff", 2), bare;
    for (char c : ascii) {
        little.append(c).append('\0');
        big.append('\0').append(c);
        bare.append(c).append('\0');
    }
    for (const QByteArray& bytes : {little, big, bare}) {
        VSLModelLoader l;
        QVector<VSLTriangle3D> out;
        EXPECT_FALSE(Load(Write("unicode.stl", bytes), out, l));
        EXPECT_TRUE(l.errorString().contains("the file is UTF-16 text")) << l.errorString().toStdString();
    }
}

TEST_F(StlFiles, AFifoOrFolderIsRefusedWithoutOpeningIt)
{
    const QString fifo = dir.filePath("pipe.stl");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // opening it would block
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.stl"));
    for (const QString& path : {fifo, dir.filePath("folder.stl")}) {
        VSLModelLoader l;
        l.path = path;
        EXPECT_FALSE(l.IsReady());
        EXPECT_TRUE(l.errorString().contains("not a regular file")) << l.errorString().toStdString();
        QVector<VSLTriangle3D> out;
        EXPECT_FALSE(l.ReadAscii(path, out));
        EXPECT_FALSE(l.ReadBinary(path, out));
    }
}

// Another program may shorten a file while it is parsed: what was read stays
// readable (a mapped file would end the process with SIGBUS).
TEST_F(StlFiles, WhatWasReadOutlivesTheFileBeingShortened)
{
    QByteArray original(3 << 20, '\0');
    for (int i = 0; i < original.size(); ++i)
        original[i] = char(i * 31 + (i >> 12));
    const QString path = Write("shrinking.stl", original);
    WholeFile file;
    QString error;
    ASSERT_TRUE(file.Read(path, error)) << error.toStdString();
    ASSERT_TRUE(QFile::resize(path, 100));
    ASSERT_EQ(file.size(), original.size());
    EXPECT_EQ(std::memcmp(file.data(), original.constData(), size_t(original.size())), 0);

    ASSERT_TRUE(file.Read(Write("empty.stl", QByteArray()), error));
    EXPECT_EQ(file.size(), 0);
    EXPECT_FALSE(file.Read(dir.filePath("missing.stl"), error));
    EXPECT_EQ(error, "does not exist");
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(file.Read(fifo, error));
    EXPECT_EQ(error, "not a regular file");
}

// A plate is written in batches: facets on both sides of each batch's edge
// land in their places, decoded here byte by byte, and the text form holds
// every facet once.
TEST_F(StlFiles, WritersPutEveryFacetInPlaceAcrossTheirBatches)
{
    const int count = 2 * VSLModelWriter::kFacetsPerWrite + 5;
    VSLModelWriter w;
    w.triangles.reserve(count);
    for (int i = 0; i < count; ++i) {
        VSLTriangle3D t;
        t.vertices[0] = QVector3D(float(i), 0.5f, -float(i % 97));
        t.vertices[1] = QVector3D(float(i) + 1, float(i % 13), 2.f);
        t.vertices[2] = QVector3D(0.25f, float(i) * 0.5f, float(i % 7));
        t.UpdateNormal();
        w.triangles.append(t);
    }
    const QString bin = dir.filePath("batches.stl");
    ASSERT_TRUE(w.WriterBinary(bin));
    QFile f(bin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    ASSERT_EQ(b.size(), 84 + 50 * count);
    auto u32 = [&b](int at) {
        quint32 v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | quint8(b[at + i]);
        return v;
    };
    auto f32 = [&u32](int at) {
        const quint32 bits = u32(at);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    };
    EXPECT_EQ(u32(80), quint32(count));
    for (int i = 0; i < count; ++i) {
        const int at = 84 + 50 * i;
        for (int c = 0; c < 3; ++c)
            for (int a = 0; a < 3; ++a)
                ASSERT_EQ(f32(at + 12 + 12 * c + 4 * a), w.triangles[i].vertices[c][a])
                    << "facet " << i << " corner " << c << " axis " << a;
        ASSERT_EQ(f32(at), w.triangles[i].normal[0]) << "facet " << i;
        ASSERT_EQ(b.mid(at + 48, 2), QByteArray("\x0c\x00", 2)) << "facet " << i;
    }

    const QString txt = dir.filePath("batches_ascii.stl");
    ASSERT_TRUE(w.WriterASCII(txt));
    QFile t(txt);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = t.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + 7 * count + 1); // "solid", seven lines a facet, nothing after the last line feed
    EXPECT_EQ(lines.first(), "solid");
    for (int i : {0, VSLModelWriter::kFacetsPerWrite - 1, VSLModelWriter::kFacetsPerWrite, count - 1}) {
        const QList<QByteArray> corner = lines[1 + 7 * i + 2].split(' ');
        ASSERT_EQ(corner.size(), 4) << "facet " << i;
        EXPECT_EQ(corner[0], "vertex");
        EXPECT_FLOAT_EQ(corner[1].toFloat(), w.triangles[i].vertices[0].x()) << "facet " << i;
        EXPECT_FLOAT_EQ(corner[3].toFloat(), w.triangles[i].vertices[0].z()) << "facet " << i;
    }
}

// A plate written over an earlier file on a disk that fills up (a file-size
// limit below the new file, in a child process with SIGXFSZ ignored): both
// writers refuse, the earlier file stays byte for byte, nothing is left
// beside it.
TEST_F(StlFiles, WritersThatDoNotFitKeepTheEarlierFile)
{
    VSLModelWriter w;
    w.AddTriangles(testmesh::Tetrahedron(2.5f));
    const QByteArray earlier = "solid mine\n" + QByteArray(100, ' ') + "\nendsolid mine\n";
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        const QString path = dir.filePath("mine.stl");
        ASSERT_TRUE(testmesh::WriteFile(path, earlier));
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit limit{rlim_t(150), rlim_t(150)};
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::_exit((binary ? w.WriterBinary(path) : w.WriterASCII(path)) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << "reported written";
        EXPECT_EQ(testmesh::ReadFile(path), earlier);
        EXPECT_EQ(QDir(dir.path()).entryList({"mine.stl*"}, QDir::Files | QDir::Hidden), QStringList{"mine.stl"});
    }
}

TEST_F(StlFiles, WritersProduceTheDocumentedLayouts)
{
    auto tet = testmesh::Tetrahedron(2.5f);
    VSLModelWriter w;
    w.AddTriangles(tet);
    const QString bin = dir.filePath("w.stl");
    ASSERT_TRUE(w.WriterBinary(bin));
    QFile f(bin);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    ASSERT_EQ(b.size(), 84 + 50 * 4);
    EXPECT_EQ(b.left(80), QByteArray("vexmor3D-tarvoselin").leftJustified(80, '\0'));
    EXPECT_EQ(quint8(b[80]), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(b.mid(84 + 50 * i + 48, 2), QByteArray("\x0c\x00", 2)) << i;
    VSLModelLoader l;
    QVector<VSLTriangle3D> out;
    ASSERT_TRUE(Load(bin, out, l));
    ExpectSameCorners(out, tet);
    const QString txt = dir.filePath("w_ascii.stl");
    ASSERT_TRUE(w.WriterASCII(txt));
    QFile t(txt);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll().split('\n').mid(0, 8),
              QList<QByteArray>({"solid", "facet normal 0.000000 0.000000 -1.000000", "outer loop",
                                 "vertex 0 0.000000 0.000000", "vertex 0 2.500000 0.000000",
                                 "vertex 2.5 0.000000 0.000000", "endloop", "endfacet"}));
    ASSERT_TRUE(Load(txt, out, l));
    ExpectSameCorners(out, tet);
    EXPECT_FALSE(w.WriterBinary(dir.filePath("no/such/dir/x.stl")));
}
