#include "manual_fixture.h"

#include <QFile>
#include <QStandardPaths>

using namespace manual;

namespace {

// angle < 0: the shaft row (shape and radius only).
struct Row { const char* group; const char* shape; double angle, length, penetration, radius; };

void ExpectPreset(const char* name, const std::vector<Row>& rows)
{
    QSettings s;
    EXPECT_TRUE(s.value("SUPPORTPARAMSLOADED").toBool());
    s.beginGroup("USERSUPPORTPARAMS");
    EXPECT_EQ(s.value("ADDPRESETWEIGHT").toString(), QString(name));
    EXPECT_EQ(s.childGroups(), (QStringList{"SUPPORT_BOTTOM_GROUNDED", "SUPPORT_BOTTOM_NONGROUNDED", "SUPPORT_MID",
                                            "SUPPORT_TOP"}));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.group);
        s.beginGroup(r.group);
        EXPECT_EQ(s.value("ATTACHSHAPE").toString(), QString(r.shape));
        EXPECT_DOUBLE_EQ(s.value("RADIUS").toDouble(), r.radius);
        EXPECT_EQ(s.childKeys().size(), r.angle < 0 ? 2 : 5);
        if (r.angle >= 0) {
            EXPECT_DOUBLE_EQ(s.value("ANGLEFACTOR").toDouble(), r.angle);
            EXPECT_DOUBLE_EQ(s.value("LENGTH").toDouble(), r.length);
            EXPECT_DOUBLE_EQ(s.value("PENETRATION").toDouble(), r.penetration);
        }
        s.endGroup();
    }
}

class Presets : public ManualSupportTest {};

TEST_F(Presets, FirstStartWritesLightOnceAndLaterStartsKeepTheUsersValues)
{
    DLPSupportStructure::FillRegistryDefaults(false, "LIGHT");
    ExpectPreset("LIGHT", {{"SUPPORT_TOP", "Cone 25%", 0.8, 2.0, 0.25, 0.5},
                           {"SUPPORT_MID", "Cylinder", -1, 0, 0, 0.5},
                           {"SUPPORT_BOTTOM_GROUNDED", "Cylinder", 1.0, 0.25, 0.0, 3.0},
                           {"SUPPORT_BOTTOM_NONGROUNDED", "Cone 25%", 0.5, 1.0, 0.4, 0.5}});
    {
        QSettings s;
        s.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS", 7.5);
        s.remove("USERSUPPORTPARAMS/SUPPORT_MID");
    }
    DLPSupportStructure::FillRegistryDefaults(false, "LIGHT");
    DLPSupportStructure::FillRegistryDefaults(false, "HEAVY");
    QSettings s;
    EXPECT_DOUBLE_EQ(s.value("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS").toDouble(), 7.5);
    EXPECT_FALSE(s.contains("USERSUPPORTPARAMS/SUPPORT_MID/RADIUS"));
    EXPECT_EQ(s.value("USERSUPPORTPARAMS/ADDPRESETWEIGHT").toString(), "LIGHT");
}

TEST_F(Presets, ForcedWritesReplaceTheUsersValuesAnUnknownNameOnlyTheFlag)
{
    DLPSupportStructure::FillRegistryDefaults(true, "heavy");
    QSettings s;
    EXPECT_EQ(s.allKeys(), QStringList{"SUPPORTPARAMSLOADED"});
    s.setValue("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS", 7.5);
    const struct { const char* name; double topRadius; } cases[] = {{"MEDIUM", 1.0}, {"HEAVY", 2.0}, {"LIGHT", 0.5}};
    for (const auto& c : cases) {
        DLPSupportStructure::FillRegistryDefaults(true, c.name);
        EXPECT_EQ(s.value("USERSUPPORTPARAMS/ADDPRESETWEIGHT").toString(), QString(c.name));
        EXPECT_DOUBLE_EQ(s.value("USERSUPPORTPARAMS/SUPPORT_TOP/RADIUS").toDouble(), c.topRadius) << c.name;
    }
}

// Debug lines written while a scope lives.
class DebugLines {
public:
    DebugLines() { s_lines = &m_lines; m_old = qInstallMessageHandler(Handler); }
    ~DebugLines() { qInstallMessageHandler(m_old); s_lines = nullptr; }
    QStringList m_lines;

private:
    static void Handler(QtMsgType, const QMessageLogContext&, const QString& msg)
    {
        if (s_lines)
            s_lines->append(msg);
    }
    static inline QStringList* s_lines = nullptr;
    QtMessageHandler m_old;
};

class Templates : public ManualSupportTest {};

TEST_F(Templates, NamesFilterOrderAndRefusals)
{
    TemplateFolder& t = m_templates;
    t.Write({}, testmesh::Translated(Frustum(0.25f), {3, -2, 7}), "SUPPORT_Cone 25%.STL");
    t.Write({}, Frustum(1.f), "support_x.stl");
    t.Write("Cylinder", Frustum(1.f, 16));
    t.Write({}, Frustum(1.f, 8), "SUPPORT_Cylinder.b.stl");
    t.Write({}, Frustum(1.f), "other.stl");
    ASSERT_TRUE(testmesh::WriteFile(QDir(t.Path()).filePath("SUPPORT_bad.txt"), "solid x\n"));
    ASSERT_TRUE(testmesh::WriteFile(QDir(t.Path()).filePath("SUPPORT_empty.stl"), QByteArray()));
    DebugLines log;
    DLPSupportStructure::ImportAttachmentDataFromStls();
    QStringList names;
    for (const DLPSupportAttachmentData& d : DLPSupportStructure::AttachmentDataList)
        names << d.name;
    EXPECT_EQ(names, (QStringList{"Cone 25%", "Cylinder", "Cylinder", "empty", "support_x"}));
    EXPECT_EQ(log.m_lines.filter("Error Loading"), QStringList{"DLPSupportStructure: Error Loading: SUPPORT_bad.txt"});
    // Of two files giving one name the first in directory order is found.
    ASSERT_NE(DLPSupportStructure::FindAttachment("Cylinder"), nullptr);
    EXPECT_EQ(DLPSupportStructure::FindAttachment("Cylinder")->triangles.size(), 8 * 4);
    EXPECT_EQ(DLPSupportStructure::FindAttachment("cylinder"), nullptr);
    EXPECT_TRUE(DLPSupportStructure::FindAttachment("empty")->triangles.isEmpty());
    // The displaced cone comes back centred.
    const DLPSupportAttachmentData* cone = DLPSupportStructure::FindAttachment("Cone 25%");
    QVector3D lo(1e9, 1e9, 1e9), hi(-1e9, -1e9, -1e9);
    for (const VSLTriangle3D& t : cone->triangles)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], t.minBound[a]);
            hi[a] = std::max(hi[a], t.maxBound[a]);
        }
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(lo[a], -hi[a], 1e-5) << a;
        EXPECT_NEAR(hi[a] - lo[a], 1.0, 1e-5) << a;
    }
}

TEST_F(Templates, MissingFolderGivesNoShapesButTheStartUpFolders)
{
    const std::pair<QByteArray, QString> env[] = {
        {"HOME", "home"}, {"XDG_DATA_HOME", "home/data"}, {"XDG_CONFIG_HOME", "home/config"}, {"TMPDIR", "tmp"}};
    QMap<QByteArray, QByteArray> saved;
    for (const auto& e : env) {
        saved[e.first] = qgetenv(e.first);
        qputenv(e.first, m_templates.m_dir.filePath(e.second).toUtf8());
    }
    QDir().mkpath(m_templates.m_dir.filePath("tmp"));
    QDir().mkpath(m_templates.m_dir.filePath("template")); // a plain "template" is not the folder
    DebugLines log;
    DLPSupportStructure::ImportAttachmentDataFromStls();
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    for (const auto& e : env)
        saved[e.first].isNull() ? qunsetenv(e.first) : qputenv(e.first, saved[e.first]);
    EXPECT_TRUE(DLPSupportStructure::AttachmentDataList.empty());
    EXPECT_TRUE(log.m_lines.isEmpty()) << log.m_lines.join("|").toStdString();
    EXPECT_TRUE(QDir(m_templates.m_dir.filePath("tmp/KALTrix")).exists());
    EXPECT_TRUE(docs.startsWith(m_templates.m_dir.path()) && QDir(docs + "/KALTrix").exists()) << docs.toStdString();
    EXPECT_TRUE(data.startsWith(m_templates.m_dir.path()) && QDir(data).exists()) << data.toStdString();
}

} // namespace
