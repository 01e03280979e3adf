#include "../scene/scene_fixture.h"
#include "hang_ceiling.h"
#include "slice_polygons.h"
#include "scene/TaskFile.h"
#include "support/SupportGeometry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// An independent reading of the section layout.
struct Section {
    QByteArray tag, id, endTag;
    QVector<float> values; // matrix entries
    qint32 count = -1;     // triangles or layers
};

QByteArray Text(const QByteArray& field) { return field.left(field.indexOf('\0')); }

QVector<Section> Sections(const QByteArray& bytes)
{
    QVector<Section> out;
    int at = 0;
    auto field = [&](int n) { return bytes.mid((at += n) - n, n); };
    auto word = [&] { return qFromLittleEndian<quint32>(field(4).constData()); };
    while (at + 20 <= bytes.size()) {
        Section s;
        s.tag = Text(field(20));
        if (s.tag == "Model:" || s.tag == "Matrix:")
            s.id = field(10);
        if (s.tag == "Matrix:") {
            for (int i = 0; i < 16; ++i) {
                const quint32 b = word();
                float f;
                std::memcpy(&f, &b, 4);
                s.values << f;
            }
        } else {
            s.count = qint32(word());
            if (s.tag == "Model:" || s.tag == "Support:")
                at += s.count * 48;
        }
        s.endTag = Text(field(20));
        out << s;
    }
    return out;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What the loader hands back from a file or from bytes.
struct LoadedTask {
    QMap<int, QVector<VSLTriangle3D>> models;
    QVector<QPair<int, QMatrix4x4>> matrices;
    QVector<VSLTriangle3D> supports;
    SliceLayers sm, ss;
    QVector<int> pi;
    QVector<float> pf;

    bool load(const QString& path) { return TaskLoader().LoadBinaryTask(path, models, matrices, supports, sm, ss, pi, pf); }
    bool load(const QByteArray& bytes)
    {
        return TaskLoader().LoadBinaryTask(bytes.constData(), bytes.size(), models, matrices, supports, sm, ss, pi, pf);
    }
};

// Polygons of each layer in a canonical order: threads append in any order.
SliceLayers Canonical(SliceLayers layers)
{
    for (auto& layer : layers)
        std::sort(layer.begin(), layer.end(), [](const QPolygonF& a, const QPolygonF& b) {
            const QRectF ra = a.boundingRect(), rb = b.boundingRect();
            return std::make_pair(ra.left(), ra.top()) < std::make_pair(rb.left(), rb.top());
        });
    return layers;
}

class TaskFileTest : public SceneFixture {
protected:
    // Model A twice, model B once.
    void BuildPlate()
    {
        const QString a = CenteredBox("a", 10, 10, 4);
        ASSERT_TRUE(m_scene.AddModel(a));
        ASSERT_TRUE(m_scene.AddModel(a));
        ASSERT_TRUE(m_scene.AddModel(BoxFile("b", {0, 0, 0}, {6, 8, 3})));
        ASSERT_TRUE(WaitUntilReady());
    }
    static SliceLayers SliceNow(VSL3DScene& scene)
    {
        QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
        EXPECT_EQ(scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
        EXPECT_TRUE(done.wait(kHangMs));
        return Canonical(scene.m_modelSliceLayers);
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Snapshot() const
    {
        QString s;
        for (auto it = m_scene.instances().cbegin(); it != m_scene.instances().cend(); ++it)
            s += QString("%1:%2 ").arg(it.key()).arg(it.value()->m_pModel->m_nModelId);
        return s + QString::number(m_scene.models().size());
    }
    void ExpectRefused(const QByteArray& bytes, const char* why)
    {
        const QString before = Snapshot();
        ASSERT_TRUE(testmesh::WriteFile(Path("bad.task"), bytes));
        EXPECT_FALSE(m_scene.LoadBinaryScene(Path("bad.task"))) << why;
        EXPECT_EQ(Snapshot(), before) << why;
    }
};

TEST_F(TaskFileTest, SavedPlateHasTheLayoutAndLoadsBackReadyToSliceAsBefore)
{
    BuildPlate();
    VSLModelPainter* moved = m_scene.instances().first();
    moved->m_matrix.translate(1, 2, 3);
    moved->UpdateData();
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("unsliced.task"))); // slice sections written empty
    const QVector<Section> s = Sections(ReadAll(Path("unsliced.task")));
    QStringList tags;
    for (const Section& x : s)
        tags << QString(x.tag) + "/" + QString(x.endTag);
    EXPECT_EQ(tags, QStringList({"Model:/modelend", "Model:/modelend", "Matrix:/matrixend", "Matrix:/matrixend",
                                 "Matrix:/matrixend", "Support:/supportend", "Support:/supportend",
                                 "Support:/supportend", "SliceM:/sliceMend", "SliceS:/sliceSend"}));
    const int idA = moved->m_pModel->m_nModelId;
    EXPECT_EQ(s[0].id, QByteArray::number(idA) + QByteArray(10 - QByteArray::number(idA).size(), '\0'));
    EXPECT_EQ(s[0].count, 12);
    EXPECT_EQ(QVector<QByteArray>({Text(s[2].id), Text(s[3].id), Text(s[4].id)}),
              QVector<QByteArray>({QByteArray::number(idA), QByteArray::number(idA), QByteArray::number(idA + 1)}));
    for (int r = 0; r < 4; ++r) // row by row: the translation ends the first three rows
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(s[2].values[r * 4 + c], moved->m_matrix(r, c)) << r << c;
    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(s[i].count, 0);

    const SliceLayers before = SliceNow(m_scene);
    ASSERT_FALSE(before.isEmpty());
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("one.task")));
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("one.task")));
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("two.task")));
    EXPECT_EQ(ReadAll(Path("one.task")), ReadAll(Path("two.task"))); // a second save replaces, never appends
    VSL3DScene loaded;
    ASSERT_TRUE(loaded.LoadBinaryScene(Path("one.task")));
    ASSERT_TRUE(loaded.models().size() == 2 && loaded.instances().size() == 3);
    EXPECT_EQ(loaded.models().first()->m_nInstanceCount, 2);
    EXPECT_EQ(Canonical(loaded.m_modelSliceLayers), before);
    for (auto a = m_scene.instances().cbegin(), b = loaded.instances().cbegin(); b != loaded.instances().cend();
         ++a, ++b) {
        EXPECT_EQ((*b)->m_matrix, (*a)->m_matrix);
        EXPECT_EQ((*b)->m_maxBound, (*a)->m_maxBound); // bounds follow the stored matrix
    }
    // The topology pass ran: a new slice does not wait for ever on the gate.
    EXPECT_EQ(SliceNow(loaded), before);
    // Ids handed out later do not collide with loaded ones.
    VSLModel3D fresh;
    EXPECT_GT(fresh.m_nModelId, loaded.models().lastKey());
}

QByteArray Tag(const char* text) { return QByteArray(text).leftJustified(20, '\0'); }

TEST_F(TaskFileTest, DamagedFilesLeaveTheSceneAsItWas)
{
    BuildPlate();
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("good.task")));
    const QByteArray good = ReadAll(Path("good.task"));
    const int modelEnd = good.indexOf(Tag("modelend"));

    QByteArray wrongEnd = good;
    wrongEnd.replace(good.lastIndexOf(Tag("sliceSend")), 20, Tag("sliceXend"));
    QByteArray hugeCount = good;
    hugeCount.replace(20 + 10, 4, QByteArray("\x00\xff\xff\x7f", 4));
    QByteArray nan = good;
    nan.replace(20 + 10 + 4 + 12, 4, QByteArray("\x00\x00\xc0\x7f", 4));
    ExpectRefused(wrongEnd, "wrong end tag");
    ExpectRefused(good.left(good.size() - 7), "truncated");
    ExpectRefused(good.left(modelEnd + 5), "cut inside a tag");
    ExpectRefused(hugeCount, "count beyond the file");
    ExpectRefused(nan, "non-finite vertex");
    // Tags it does not know are skipped: junk of a multiple of their length,
    // or nothing at all, holds no plate and must not clear the one there is.
    ExpectRefused(QByteArray(), "empty");
    ExpectRefused(QByteArray(20 * 550, 'x'), "junk");
    EXPECT_TRUE(m_scene.lastLoadError().contains("holds no plate")) << m_scene.lastLoadError().toStdString();
    EXPECT_FALSE(m_scene.LoadBinaryScene(Path("missing.task")));

    // A save that cannot be written keeps the old file.
    EXPECT_FALSE(m_scene.WriteBinaryScene(m_dir.filePath("no/such/dir/x.task")));
    VSL3DScene empty;
    EXPECT_FALSE(empty.WriteBinaryScene(Path("good.task")));
    EXPECT_EQ(ReadAll(Path("good.task")), good);
}

// A save on a disk that fills up before the last bytes (a file-size limit
// one byte short of the file, in a child process with SIGXFSZ ignored:
// the final flush fails with EFBIG) is refused, and the task file saved
// before stays byte for byte.
TEST_F(TaskFileTest, ASaveThatDoesNotFitKeepsTheOldFile)
{
    BuildPlate();
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("plate.task")));
    const QByteArray saved = ReadAll(Path("plate.task"));
    ASSERT_GT(saved.size(), 1);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{rlim_t(saved.size() - 1), rlim_t(saved.size() - 1)};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(m_scene.WriteBinaryScene(Path("plate.task")) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "reported saved";
    EXPECT_EQ(ReadAll(Path("plate.task")), saved);
    EXPECT_EQ(QDir(m_dir.path()).entryList({"plate.task*"}, QDir::Files | QDir::Hidden), QStringList{"plate.task"});
}

// Coordinates no printer reaches are refused with the loader's reason; the
// plate stays as it was. A cube whose far side is at 99995 mm is kept.
TEST_F(TaskFileTest, AFifoOrFolderIsRefusedWithoutBlocking)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("plate.task");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // opening it would block
    for (const QString& path : {fifo, dir.path()})
        EXPECT_FALSE(LoadedTask().load(path));
}

TEST_F(TaskFileTest, CoordinatesBeyondAnyPrinterAreRefused)
{
    BuildPlate();
    const QVector<VSLTriangle3D> cube = testmesh::Cube(5.f);
    auto far = cube;
    far[3].vertices[1].setZ(1e30f);
    QMatrix4x4 placed, flung, stretched, edge;
    placed.translate(3, 0, 0);
    flung.translate(0, 0, 1e30f);
    stretched.scale(5e4f); // each entry within the bound, the corners not
    edge.translate(99990, 0, 0);
    const QVector<QVector<QPolygonF>> hugeLayer{{QPolygonF({QPointF(0, 0), QPointF(1e30, 0), QPointF(0, 5)})}};
    struct Case { const char* name; QVector<VSLTriangle3D> model; QMatrix4x4 matrix; QVector<VSLTriangle3D> support;
                  SliceLayers layers; const char* reason; };
    const Case cases[] = {
        {"a model corner at 1e30", far, placed, {}, {}, "model 7 has a corner beyond 100 m"},
        {"an instance moved 1e30", cube, flung, {}, {}, "beyond 100 m"},
        {"an instance scaled 50000", cube, stretched, {}, {}, "is placed beyond 100 m"},
        {"a support corner at 1e30", cube, placed, far, {}, "a support has a corner beyond 100 m"},
        {"a slice point at 1e30", cube, placed, {}, ToSliceLayers(hugeLayer), "a slice layer has a point beyond"},
        {"a corner at 99995 mm", cube, edge, {}, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes;
        QDataStream s(&bytes, QIODevice::WriteOnly);
        TaskWriter::PrepareStream(s);
        ASSERT_TRUE(TaskWriter::Model(s, c.model, 7));
        ASSERT_TRUE(TaskWriter::Matrix(s, c.matrix, 7));
        TaskWriter::Support(s, c.support);
        TaskWriter::SliceModel(s, c.layers);
        TaskWriter::SliceSupport(s, {});
        if (c.reason) {
            ExpectRefused(bytes, c.name);
            EXPECT_TRUE(m_scene.lastLoadError().contains(c.reason)) << m_scene.lastLoadError().toStdString();
            continue;
        }
        ASSERT_TRUE(testmesh::WriteFile(Path("edge.task"), bytes));
        EXPECT_TRUE(m_scene.LoadBinaryScene(Path("edge.task"))) << m_scene.lastLoadError().toStdString();
        ASSERT_TRUE(WaitUntilReady());
    }
}

// The supports' section, tessellated support by support as it is written,
// is byte for byte the section of all their triangles at once (the count
// first, then each triangle with the normal it has in the world).
TEST(TaskFileSupports, WrittenOneByOneAsAllAtOnce)
{
    DLP_Support a, b, bare;
    a.cones << SaveCone({0, 0, 10}, 0.4, {0, 0, 8}, 0.8) << SaveCone({0, 0, 8}, 0.8, {3, 0, 0}, 0.8);
    a.spheres << SaveSphere({0, 0, 8}, 0.8);
    b.cones << SaveCone({5, 5, 5}, 0.5, {5, 5, 0}, 0.5) << QVector<vcg::Point3f>{{1, 1, 1}}; // a cut-short record
    b.spheres << SaveSphere({5, 5, 5}, 0.5);
    SupportMap supports;
    supports.insert(SupportKey(1, 1), a);
    supports.insert(SupportKey(2, 2), b);
    supports.insert(SupportKey(3, 3), bare);
    const QVector<vcg::Point3f> unitSphere = supportgeom::BuildUnitSphere();
    QMatrix4x4 moved;
    moved.translate(10, -4, 2);
    moved.rotate(30, 0, 0, 1);
    for (const QMatrix4x4& toWorld : {QMatrix4x4(), moved}) {
        QVector<VSLTriangle3D> all;
        for (const DLP_Support& s : supports)
            all += supportgeom::SupportTriangles(s, unitSphere);
        supportgeom::MapTriangles(all, toWorld);
        QByteArray whole, streamed;
        QDataStream w(&whole, QIODevice::WriteOnly), t(&streamed, QIODevice::WriteOnly);
        TaskWriter::PrepareStream(w);
        TaskWriter::PrepareStream(t);
        TaskWriter::Support(w, all);
        TaskWriter::Support(t, {supports, toWorld, unitSphere});
        EXPECT_EQ(all.size(), 3 * 64 + 2 * 480);
        EXPECT_EQ(streamed, whole);
        ASSERT_EQ(Sections(streamed).size(), 1);
        EXPECT_EQ(Sections(streamed)[0].count, all.size());
    }
}

TEST_F(TaskFileTest, UnknownTagsAndOrphanMatricesAreSkippedAndIdsReadFromTheirField)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    TaskWriter::PrepareStream(s);
    const QVector<VSLTriangle3D> cube = testmesh::Cube(5.f);
    ASSERT_TRUE(TaskWriter::Model(s, cube, 12345));
    TaskWriter::Tag(s, "Bogus:");
    QMatrix4x4 m;
    m.translate(3, 0, 0);
    TaskWriter::Matrix(s, m, 77); // names no model
    TaskWriter::Matrix(s, m, 12345);
    TaskWriter::Paras(s, {1, 2, 3}, QVector<float>(16, 0.5f));
    // An id filling its whole field: no NUL, the count follows at once.
    QByteArray longId = bytes;
    longId.replace(20, 10, "1234567890");

    LoadedTask loaded;
    ASSERT_TRUE(loaded.load(longId));
    ASSERT_EQ(loaded.models.keys(), QList<int>({1234567890}));
    EXPECT_EQ(loaded.models.first()[0].maxBound, cube[0].maxBound); // bounds given on load
    ASSERT_EQ(loaded.matrices.size(), 2);
    EXPECT_EQ(loaded.pi, QVector<int>({1, 2, 3}));

    ExpectRefused(longId, "ids that could not be written back");
    EXPECT_TRUE(m_scene.lastLoadError().contains("model id 1234567890 is longer than 9 characters"))
        << m_scene.lastLoadError().toStdString();
    ASSERT_TRUE(testmesh::WriteFile(Path("ids.task"), bytes));
    ASSERT_TRUE(m_scene.LoadBinaryScene(Path("ids.task")));
    ASSERT_EQ(m_scene.instances().size(), 1); // the orphan places nothing
    EXPECT_EQ(m_scene.instances().first()->m_matrix, m);
    ASSERT_TRUE(WaitUntilReady());
}

TEST_F(TaskFileTest, EveryOperationIsRefusedWhileAJobRuns)
{
    ASSERT_TRUE(m_scene.AddModel(CenteredBox("a", 10, 10, 4)));
    ASSERT_TRUE(WaitUntilReady());
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("plate.task")));
    VSLModelPainter* p = Last();
    // With the gate held the support worker waits at its start.
    ASSERT_TRUE(p->m_pModel->readyGate().Acquire());
    QSignalSpy update(&m_scene, &VSL3DScene::sig_Update);
    ASSERT_EQ(m_scene.StartSupportJob(p), SceneOp::Done);

    ST_MachinePara para{};
    EXPECT_FALSE(m_scene.WriteBinaryScene(Path("other.task")));
    EXPECT_FALSE(m_scene.LoadBinaryScene(Path("plate.task")));
    EXPECT_EQ(m_scene.SliceScene(0.5f, "", "", 1920, 1080, 20, 20), VSL3DScene::kRefusedBusy);
    EXPECT_EQ(m_scene.readSlcFile(Path("x.slc"), nullptr), VSL3DScene::kRefusedBusy);
    EXPECT_EQ(m_scene.generatePrintableData1(para, Path("x.dat")), VSL3DScene::kRefusedBusy);
    EXPECT_FALSE(m_scene.saveSvg(1, m_dir.path(), "x", 10, 10));
    EXPECT_FALSE(QFile::exists(Path("other.task")));
    EXPECT_EQ(m_scene.instances().first(), p);

    p->m_pModel->readyGate().Release();
    ASSERT_TRUE(update.count() > 0 || update.wait(kHangMs));
    EXPECT_TRUE(m_scene.WriteBinaryScene(Path("other.task")));
}

} // namespace
