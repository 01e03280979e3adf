#include "notices.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

// Every pair the panels' descriptions give, exact (leading blanks included).
struct Pair { const char* context; const char* source; const char* chinese; };
const Pair kPairs[] = {
    {"navbar", "Load Model", "导入模型"}, {"navbar", "Edit Model", "编辑模型"}, {"navbar", "Fix Model", "修复模型"},
    {"navbar", "Support Model", "生成支撑"}, {"navbar", "Slice Model", "模型切片"}, {"navbar", "Save Job", "保存任务"},
    {"layoutools", "Translate", "平移"}, {"layoutools", "Translate selected Model", "平移选中模型"},
    {"layoutools", "Rotate", "旋转"}, {"layoutools", "Rotate selected Model", "旋转选中模型"},
    {"layoutools", "Scale", "缩放"}, {"layoutools", "Scale selected model", "缩放选中模型"},
    {"Vexmor", "Loading model file", "正在加载模型"}, {"Vexmor", "Saving slice file", "正在保存文件"},
    {"Vexmor", "Generating supports", "正在生成支撑"}, {"Vexmor", "Slicing the scene", "正在生成切片"},
    {"VFixWidget", "Fix", "模型修复"}, {"VFixWidget", "Defects", "模型缺陷"}, {"VFixWidget", "Holes：", "破孔:"},
    {"VFixWidget", "Non-manifold:", "非流型:"}, {"VFixWidget", "Inverted Normals:", "法向量反:"},
    {"VFixWidget", "Fix completed", "修复完成"},
    {"HelpDialog", "Web Link:", "网页链接："}, {"HelpDialog", "Videos of Operation", "操作说明"},
    {"HelpDialog", "Pellar10 Trouble Shooting", "Pellar10常见问题"},
    {"HelpDialog", "Pellar30 Trouble Shooting", "Pellar30常见问题"},
    {"HelpDialog", "Please contact us at:", "请通过以下方式联系我们："}, {"HelpDialog", "In preparaion", "准备中"},
    {"EditWidget", "Edit", "模型编辑"}, {"EditWidget", "Position:", "        平移"},
    {"EditWidget", "Rotation:", "        旋转"}, {"EditWidget", "Scale:", "        缩放"},
    {"EditWidget", "Size:", "        尺寸"}, {"EditWidget", "Clone", "克隆"}, {"EditWidget", "Reset", "重置"},
    {"EditWidget", "Maximize", "最大化"},
    {"VSupportWidgetX", "Support", "添加支撑"}, {"VSupportWidgetX", "All Models", "所有模型"},
    {"VSupportWidgetX", "Model Selected", "选中模型"}, {"VSupportWidgetX", "Generate", "自动支撑"},
    {"VSupportWidgetX", "Edit", "编辑支撑"}, {"VSupportWidgetX", "Delete", "删除支撑"},
    {"VSupportWidgetX", "Density", "支撑密度"}, {"VSupportWidgetX", "Attaching Point", "顶端直径"},
    {"VSupportWidgetX", "Shaft Diameter", "支撑直径"}, {"VSupportWidgetX", "Lift Distance", "抬升高度"},
    {"VSupportWidgetX", "mm", "mm"}, {"VSupportWidgetX", "Default", "恢复默认"},
    {"VSupportWidgetEditX", "Save", "保存"}, {"VSupportWidgetEditX", "Cancel", "取消"},
};

TEST(Translations, EveryGivenPairIsExactInChinese)
{
    vexmorInitResources();
    QTranslator zh, en;
    ASSERT_TRUE(zh.load(":/Resources/lang/zh-cn.qm"));
    ASSERT_TRUE(en.load(":/Resources/lang/en.qm"));
    for (const Pair& r : kPairs) {
        EXPECT_EQ(zh.translate(r.context, r.source), QString::fromUtf8(r.chinese)) << r.context << " " << r.source;
        EXPECT_TRUE(en.translate(r.context, r.source).isEmpty() ||
                    en.translate(r.context, r.source) == QString::fromUtf8(r.source))
            << r.source;
    }
    // Texts that stay English: the notices, the version, the language names,
    // the transform panel's other texts, the repair panel's written values.
    const std::pair<const char*, const char*> english[] = {
        {"VPrintMsgBox", "The Job is Cancelling,wait please!"}, {"VSlicingMsgBox", "Slicing,Wait Please"},
        {"HelpDialog", "VexmorSuite"}, {"HelpDialog", "Version: 1.37"},
        {"frmDeviceInterfaceSettings", "English"}, {"frmDeviceInterfaceSettings", "Chinese"},
        {"EditWidget", "Lock"}, {"VFixWidget", "0"}};
    for (const auto& [context, source] : english)
        EXPECT_TRUE(zh.translate(context, source).isEmpty()) << source;
}

// The committed Chinese file lists every text lupdate finds in the sources.
TEST(Translations, ChineseFileCoversEveryTextOfTheSources)
{
    const QString lupdate = QFile::exists("/usr/lib/qt5/bin/lupdate") ? "/usr/lib/qt5/bin/lupdate" : "lupdate";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = VEXMOR_SOURCE_DIR;
    const QString fresh = dir.filePath("fresh.ts");
    QStringList args{"-silent", "-no-obsolete", "-locations", "none"};
    for (const char* d : {"app", "panels", "printer", "vslglview", "Resources/Qml"})
        args << root + "/" + d;
    args << "-ts" << fresh;
    QProcess p;
    p.start(lupdate, args);
    ASSERT_TRUE(p.waitForFinished(120000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    // (context, source) pairs of a .ts file, and the ones left unfinished.
    auto read = [](const QString& path, QSet<QString>* unfinished) {
        QSet<QString> keys;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        QXmlStreamReader xml(&f);
        QString context, source;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                const bool open = xml.attributes().value("type") == QLatin1String("unfinished");
                keys.insert(context + "\x1f" + source);
                if (open && unfinished)
                    unfinished->insert(context + "\x1f" + source);
            }
        }
        return keys;
    };
    const QSet<QString> found = read(fresh, nullptr);
    const QSet<QString> committed = read(root + "/Resources/lang/zh-cn.ts", nullptr);
    ASSERT_GT(found.size(), 100);
    QStringList missing = (found - committed).values();
    missing.sort();
    EXPECT_TRUE(missing.isEmpty()) << missing.join("\n").replace("\x1f", " | ").toStdString();
}

} // namespace
