#include "../scene/scene_fixture.h"
#include "scene/TaskFile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// An independent reading of the section layout.
struct Section {
    QByteArray tag;
    QByteArray id;
    QVector<float> values; // matrix entries
    qint32 count = -1;     // triangles or layers
    QByteArray endTag;
};

QByteArray Field(const QByteArray& bytes, int& at, int n)
{
    const QByteArray f = bytes.mid(at, n);
    at += n;
    return f;
}
QByteArray Text(const QByteArray& field) { return field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0')); }
qint32 I32(const QByteArray& bytes, int& at) { return qFromLittleEndian<qint32>(Field(bytes, at, 4).constData()); }
float F32(const QByteArray& bytes, int& at)
{
    const quint32 b = qFromLittleEndian<quint32>(Field(bytes, at, 4).constData());
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

QVector<Section> Sections(const QByteArray& bytes)
{
    QVector<Section> out;
    int at = 0;
    while (at + 20 <= bytes.size()) {
        Section s;
        s.tag = Text(Field(bytes, at, 20));
        if (s.tag == "Model:" || s.tag == "Matrix:")
            s.id = Field(bytes, at, 10);
        if (s.tag == "Matrix:") {
            for (int i = 0; i < 16; ++i)
                s.values << F32(bytes, at);
        } else if (s.tag == "Model:" || s.tag == "Support:") {
            s.count = I32(bytes, at);
            at += s.count * 48;
        } else {
            s.count = I32(bytes, at); // slice layers written empty below
        }
        s.endTag = Text(Field(bytes, at, 20));
        out << s;
    }
    return out;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Polygons of each layer in a canonical order: threads append in any order.
QVector<QVector<QPolygonF>> Canonical(SliceLayers layers)
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
    // Model A twice (moved apart), model B once.
    void BuildPlate()
    {
        ASSERT_TRUE(m_scene.AddModel(CenteredBox("a", 10, 10, 4)));
        ASSERT_TRUE(m_scene.AddModel(CenteredBox("a", 10, 10, 4)));
        ASSERT_TRUE(m_scene.AddModel(BoxFile("b", {0, 0, 0}, {6, 8, 3})));
        ASSERT_TRUE(WaitUntilReady());
    }
    SliceLayers SliceNow()
    {
        QSignalSpy done(&m_scene, &VSL3DScene::sig_SliceSceneDone);
        EXPECT_EQ(m_scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
        EXPECT_TRUE(done.wait(20000));
        return m_scene.m_modelSliceLayers;
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Snapshot() const
    {
        QString s;
        for (auto it = m_scene.instances().cbegin(); it != m_scene.instances().cend(); ++it)
            s += QString("%1:%2 ").arg(it.key()).arg(it.value()->m_pModel->m_nModelId);
        return s + QString::number(m_scene.models().size());
    }
};

TEST_F(TaskFileTest, WrittenLayoutHasFixedTagsIdsMatricesRowByRowAndEmptySupports)
{
    BuildPlate();
    VSLModelPainter* moved = m_scene.instances().first();
    moved->m_matrix.translate(1, 2, 3);
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("plate.task")));

    const QVector<Section> s = Sections(ReadAll(Path("plate.task")));
    QStringList tags;
    for (const Section& x : s)
        tags << QString(x.tag) + "/" + QString(x.endTag);
    EXPECT_EQ(tags, QStringList({"Model:/modelend", "Model:/modelend", "Matrix:/matrixend", "Matrix:/matrixend",
                                 "Matrix:/matrixend", "Support:/supportend", "Support:/supportend",
                                 "Support:/supportend", "SliceM:/sliceMend", "SliceS:/sliceSend"}));
    const int idA = moved->m_pModel->m_nModelId;
    EXPECT_EQ(s[0].id, QByteArray::number(idA) + QByteArray(10 - QByteArray::number(idA).size(), '\0'));
    EXPECT_EQ(s[0].count, 12);
    EXPECT_EQ(Text(s[2].id), QByteArray::number(idA));
    EXPECT_EQ(Text(s[3].id), QByteArray::number(idA));
    EXPECT_EQ(Text(s[4].id), QByteArray::number(idA + 1));
    // Row by row: the translation ends each of the first three rows.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(s[2].values[r * 4 + c], moved->m_matrix(r, c)) << r << c;
    EXPECT_EQ(s[2].values[7], moved->m_matrix(1, 3));
    for (int i = 5; i < 8; ++i)
        EXPECT_EQ(s[i].count, 0);
}

TEST_F(TaskFileTest, PlateLoadsBackReadyAndSlicesAsBeforeAndSavesAreRepeatable)
{
    BuildPlate();
    const SliceLayers before = SliceNow();
    ASSERT_FALSE(before.isEmpty());
    QVector<QMatrix4x4> matrices;
    for (VSLModelPainter* p : m_scene.instances())
        matrices << p->m_matrix;
    QVector<QVector3D> maxBounds;
    for (VSLModelPainter* p : m_scene.instances())
        maxBounds << p->m_maxBound;
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("one.task")));
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("one.task")));
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("two.task")));
    EXPECT_EQ(ReadAll(Path("one.task")), ReadAll(Path("two.task"))); // a second save replaces, never appends

    VSL3DScene loaded;
    ASSERT_TRUE(loaded.LoadBinaryScene(Path("one.task")));
    ASSERT_EQ(loaded.models().size(), 2);
    ASSERT_EQ(loaded.instances().size(), 3);
    EXPECT_EQ(loaded.models().first()->m_nInstanceCount, 2);
    int i = 0;
    for (VSLModelPainter* p : loaded.instances()) {
        EXPECT_EQ(p->m_matrix, matrices[i]);
        EXPECT_EQ(p->m_maxBound, maxBounds[i]); // bounds follow the stored matrix
        ++i;
    }
    EXPECT_EQ(loaded.m_modelSliceLayers, before);

    // The topology pass ran: a new slice does not wait for ever on the gate.
    QSignalSpy done(&loaded, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(loaded.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done);
    ASSERT_TRUE(done.wait(20000));
    for (VSLModel3D* m : loaded.models())
        EXPECT_TRUE(m->isReady());
    EXPECT_EQ(Canonical(loaded.m_modelSliceLayers), Canonical(before));
    // Ids handed out later do not collide with loaded ones.
    VSLModel3D fresh;
    EXPECT_GT(fresh.m_nModelId, loaded.models().lastKey());
}

QByteArray Tag(const char* text)
{
    QByteArray t(text);
    t.append(QByteArray(20 - t.size(), '\0'));
    return t;
}

TEST_F(TaskFileTest, DamagedFilesLeaveTheSceneAsItWas)
{
    BuildPlate();
    ASSERT_TRUE(m_scene.WriteBinaryScene(Path("good.task")));
    const QByteArray good = ReadAll(Path("good.task"));
    const int modelEnd = good.indexOf(Tag("modelend"));
    ASSERT_GT(modelEnd, 0);

    QByteArray wrongEnd = good;
    wrongEnd.replace(good.lastIndexOf(Tag("sliceSend")), 20, Tag("sliceXend"));
    QByteArray hugeCount = good;
    const qint32 big = 0x7fffff00;
    hugeCount.replace(20 + 10, 4, QByteArray(reinterpret_cast<const char*>(&big), 4));
    QByteArray nan = good;
    const quint32 nanBits = 0x7fc00000;
    nan.replace(20 + 10 + 4 + 12, 4, QByteArray(reinterpret_cast<const char*>(&nanBits), 4));

    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"wrong end tag", wrongEnd},
        {"truncated", good.left(good.size() - 7)},
        {"cut inside a tag", good.left(modelEnd + 5)},
        {"count beyond the file", hugeCount},
        {"non-finite vertex", nan},
    };
    const QString before = Snapshot();
    for (const auto& c : cases) {
        ASSERT_TRUE(testmesh::WriteFile(Path("bad.task"), c.bytes));
        EXPECT_FALSE(m_scene.LoadBinaryScene(Path("bad.task"))) << c.name;
        EXPECT_EQ(Snapshot(), before) << c.name;
    }
    EXPECT_FALSE(m_scene.LoadBinaryScene(Path("missing.task")));
    EXPECT_EQ(Snapshot(), before);

    // A save that cannot be written keeps the old file.
    EXPECT_FALSE(m_scene.WriteBinaryScene(m_dir.filePath("no/such/dir/x.task")));
    VSL3DScene empty;
    EXPECT_FALSE(empty.WriteBinaryScene(Path("good.task")));
    EXPECT_EQ(ReadAll(Path("good.task")), good);
}

TEST_F(TaskFileTest, UnknownTagsAndOrphanMatricesAreSkippedAndIdsReadFromTheirField)
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    TaskWriter::PrepareStream(s);
    s.writeRawData(Tag("Model:").constData(), 20);
    s.writeRawData("1234567890", 10); // no NUL: the count follows at once
    const QVector<VSLTriangle3D> cube = testmesh::Cube(5.f);
    s << qint32(cube.size());
    for (const VSLTriangle3D& t : cube) {
        s << t.normal.x() << t.normal.y() << t.normal.z();
        for (const QVector3D& v : t.vertices)
            s << v.x() << v.y() << v.z();
    }
    s.writeRawData(Tag("modelend").constData(), 20);
    s.writeRawData(Tag("Bogus:").constData(), 20);
    QMatrix4x4 m;
    m.translate(3, 0, 0);
    TaskWriter::Matrix(s, m, 77); // names no model
    TaskWriter::Matrix(s, m, 12345);
    s.writeRawData(Tag("Matrix:").constData(), 20);
    s.writeRawData("1234567890", 10);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            s << m(r, c);
    s.writeRawData(Tag("matrixend").constData(), 20);
    TaskWriter::Paras(s, {1, 2, 3}, QVector<float>(16, 0.5f));

    QMap<int, QVector<VSLTriangle3D>> models;
    QVector<QPair<int, QMatrix4x4>> matrices;
    QVector<VSLTriangle3D> supports;
    SliceLayers sm, ss;
    QVector<int> pi;
    QVector<float> pf;
    ASSERT_TRUE(TaskLoader().LoadBinaryTask(bytes.constData(), bytes.size(), models, matrices, supports, sm, ss, pi, pf));
    ASSERT_EQ(models.keys(), QList<int>({1234567890}));
    EXPECT_EQ(models.first()[0].maxBound, cube[0].maxBound); // bounds given on load
    ASSERT_EQ(matrices.size(), 3);
    EXPECT_EQ(pi, QVector<int>({1, 2, 3}));

    // A plate whose ids could not be written back is refused as a whole.
    ASSERT_TRUE(testmesh::WriteFile(Path("ids.task"), bytes));
    const QString before = Snapshot();
    EXPECT_FALSE(m_scene.LoadBinaryScene(Path("ids.task")));
    EXPECT_EQ(Snapshot(), before);
    bytes.replace(bytes.indexOf("1234567890"), 10, QByteArray("12345\0\0\0\0\0", 10));
    ASSERT_TRUE(testmesh::WriteFile(Path("ids.task"), bytes));
    ASSERT_TRUE(m_scene.LoadBinaryScene(Path("ids.task")));
    ASSERT_EQ(m_scene.instances().size(), 1); // the two orphans place nothing
    EXPECT_EQ(m_scene.instances().first()->m_matrix, m);
    ASSERT_TRUE(WaitUntilReady());
}

} // namespace

namespace {

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
    ASSERT_TRUE(update.count() > 0 || update.wait(10000));
    EXPECT_TRUE(m_scene.WriteBinaryScene(Path("other.task")));
}

} // namespace
