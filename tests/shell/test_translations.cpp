#include "hang_ceiling.h"
#include "notices.h"
#include "printfile/printjobinput.h"
#include "translators.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

// A pair of each context, exact (leading blanks and full-width colons included).
struct Pair { const char* context; const char* source; const char* chinese; };
const Pair kPairs[] = {
    {"navbar", "Save Job", "保存任务"}, {"layoutools", "Scale selected model", "缩放选中模型"},
    {"Vexmor", "Slicing the scene", "正在生成切片"}, {"VFixWidget", "Holes：", "破孔:"},
    {"HelpDialog", "In preparaion", "准备中"}, {"EditWidget", "Position:", "        平移"},
    {"VSupportWidgetX", "Attaching Point", "顶端直径"}, {"VSupportWidgetEditX", "Cancel", "取消"},
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
    for (const auto& [context, source] : english) {
        const QString shown = zh.translate(context, source);
        EXPECT_TRUE(shown.isEmpty() || shown == QString::fromUtf8(source)) << source;
    }
}

// Qt's own dialogs (the file chooser's captions, a box's standard button)
// follow the chosen language, and go back to English when it is removed.
TEST(Translations, QtsOwnDialogsSpeakTheChosenLanguage)
{
    vexmorInitResources();
    const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
    const auto ok = [] { return QCoreApplication::translate("QPlatformTheme", "OK"); };
    {
        Translators chinese;
        ASSERT_TRUE(chinese.install(":/Resources/lang/zh-cn.qm"));
        EXPECT_NE(lookIn(), "Look in:");
        EXPECT_NE(ok(), "OK");
        EXPECT_EQ(QCoreApplication::translate("navbar", "Save Job"), QString::fromUtf8("保存任务"));
    }
    EXPECT_EQ(lookIn(), "Look in:");
    Translators english;
    ASSERT_TRUE(english.install(":/Resources/lang/en.qm"));
    EXPECT_EQ(lookIn(), "Look in:");
    EXPECT_EQ(ok(), "OK");
    EXPECT_FALSE(english.install(":/Resources/lang/none.qm"));
}

// Why a print file was not written reaches the save box in the interface's
// language, every reason of the writers, and stays English in the log.
TEST(Translations, EveryReasonAPrintFileFailsWithIsChinese)
{
    vexmorInitResources();
    Translators chinese;
    ASSERT_TRUE(chinese.install(":/Resources/lang/zh-cn.qm"));
    for (int code = PrintFileOk + 1; code <= PrintFileNothingLit + 1; ++code) {
        const QString shown = PrintFileResultShown(code);
        EXPECT_NE(shown, PrintFileResultText(code)) << code;
        EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](QChar c) { return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff; }))
            << code << " " << shown.toStdString();
        EXPECT_TRUE(PrintFileResultText(code).at(0).isLetter() && PrintFileResultText(code).at(0).unicode() < 0x80) << code;
    }
    EXPECT_EQ(PrintFileResultShown(99), QString::fromUtf8("未知错误 99"));
}

// The committed Chinese file lists every text lupdate finds in the sources and
// translates all of them but the English-only notices.
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
    ASSERT_TRUE(p.waitForFinished(kHangMs));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    // (context, source) pairs of a .ts file; open Chinese entries go to `open`.
    QStringList open;
    auto read = [&open](const QString& path) {
        QSet<QString> keys;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        QXmlStreamReader xml(&f);
        QString context;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                keys.insert(context + "\x1f" + xml.readElementText());
            else if (xml.name() == QLatin1String("translation")) {
                const bool unfinished = xml.attributes().value("type") == QLatin1String("unfinished");
                if (xml.readElementText().isEmpty() || unfinished)
                    open << context;
            }
        }
        return keys;
    };
    const QSet<QString> found = read(fresh);
    open.clear();
    const QSet<QString> committed = read(root + "/Resources/lang/zh-cn.ts");
    // Only the notices that stay English by design may remain untranslated.
    for (const char* form : {"BusyWidget", "VSlicingMsgBox", "VPrintMsgBox"})
        open.removeAll(form);
    EXPECT_TRUE(open.isEmpty()) << open.join(", ").toStdString();
    ASSERT_GT(found.size(), 100);
    QStringList missing = (found - committed).values();
    missing.sort();
    EXPECT_TRUE(missing.isEmpty()) << missing.join("\n").replace("\x1f", " | ").toStdString();
}

} // namespace
