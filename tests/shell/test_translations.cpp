#include "notices.h"

#include <QTranslator>
#include <gtest/gtest.h>

TEST(Translations, ChineseTextsOfTheFormsAndBars)
{
    vexmorInitResources();
    QTranslator zh, en;
    ASSERT_TRUE(zh.load(":/Resources/lang/zh-cn.qm"));
    ASSERT_TRUE(en.load(":/Resources/lang/en.qm"));
    struct Row { const char* context; const char* source; const char* chinese; };
    const Row rows[] = {
        {"navbar", "Load Model", "导入模型"},
        {"layoutools", "Scale selected model", "缩放选中模型"},
        {"EditWidget", "Position:", "        平移"},
        {"EditWidget", "Edit", "模型编辑"},
        {"VSupportWidgetX", "Edit", "编辑支撑"},
        {"VFixWidget", "Holes：", "破孔:"},
        {"HelpDialog", "In preparaion", "准备中"},
        {"VSupportWidgetEditX", "Cancel", "取消"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(zh.translate(r.context, r.source), QString::fromUtf8(r.chinese)) << r.context << " " << r.source;
    // Texts that stay English: the notices, the version, the language names.
    for (const auto& [context, source] : {std::pair{"VPrintMsgBox", "The Job is Cancelling,wait please!"},
                                          std::pair{"HelpDialog", "VexmorSuite"},
                                          std::pair{"frmDeviceInterfaceSettings", "English"}})
        EXPECT_TRUE(zh.translate(context, source).isEmpty()) << source;
}
