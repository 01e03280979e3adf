#include "dlp/slicebuildconfig.h"
#include "locale_guard.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

using DLP::SliceBuildConfig;
using DLP::TypeConversion;

TEST(SliceBuildConfig, DefaultsAreConsistent)
{
    SliceBuildConfig c;
    EXPECT_EQ(c.BlankTime, 0);
    EXPECT_FLOAT_EQ(c.MachineHeight, 200.0f);
    EXPECT_FLOAT_EQ(c.machine.ZSize, 100.0f);
    EXPECT_EQ(c.XResolution, c.machine.XResolution);
    EXPECT_EQ(c.YResolution, 1080);
    EXPECT_EQ(c.MaterialName, ":(VEXMOR3D Keravel W001");
    EXPECT_NE(c.HeaderCode.find(":(VEXMOR3D Keravel W001;(Materials ID : 1001G21\r\n"), std::string::npos);
    EXPECT_EQ(c.HeaderCode.rfind(";(********** Header Start ********)\r\n", 0), 0u);
    EXPECT_EQ(c.FooterCode, ";(********** Footer Start ********)\r\n;(<Completed>)\r\n;(********** Footer End ********)");
    EXPECT_EQ(c.SpareCode1, "\r\n");
}

TEST(SliceBuildConfig, UpdateMachineConfigDerivesPixelDensity)
{
    SliceBuildConfig c;
    c.UpdateMachineConfig(2560, 1440, 47.25f, 47.25f, 150);
    EXPECT_NEAR(c.machine.XSize, 120.96f, 1e-4);
    EXPECT_NEAR(c.machine.YSize, 68.04f, 1e-4);
    EXPECT_NEAR(c.DotsPermmX, 21.164f, 1e-3);
    EXPECT_FLOAT_EQ(c.DotsPermmX, c.machine.DotsPermmX);
    EXPECT_EQ(c.XResolution, 2560);
    EXPECT_EQ(c.YResolution, 1440);
    EXPECT_FLOAT_EQ(c.MachineHeight, 150.0f);
    EXPECT_FLOAT_EQ(c.machine.ZSize, 150.0f);
}

TEST(SliceBuildConfig, BlankTimeTruncatesLiftDistanceFirst)
{
    SliceBuildConfig c;
    c.ZLiftDistance = 5.9f;
    c.ZLiftDistance2 = 0;
    c.ZLiftSpeed = 1;
    c.ZRetractSpeed = 0; // skip the remaining steps that would add
    c.ZLiftFirstBottomSpeed = 0;
    c.TiltSpeed1 = c.TiltSpeed2 = c.TiltRetractSpeed = c.TiltNearSpeed = c.RotateSpeed = 0;
    c.UpdateblankTime();
    EXPECT_EQ(c.BlankTime, 5);
}

TEST(SliceBuildConfig, BlankTimeSumsTruncatedTerms)
{
    SliceBuildConfig c;
    c.ZLiftSpeed = 0; // first step skipped: starts from the previous value
    c.BlankTime = 7;
    c.ZRetractSpeed = 1;      // |5 - 2 - 0.1| / 1 = 2.9 -> 9
    c.ZLiftFirstBottomSpeed = 0.5f; // |2| / 0.5 = 4 -> 13
    c.TiltSpeed1 = c.TiltSpeed2 = c.TiltRetractSpeed = c.TiltNearSpeed = 0;
    c.RotateDistance = -3;   // not made absolute: 13 - 3 = 10
    c.RotateSpeed = 1;
    c.UpdateblankTime();
    EXPECT_EQ(c.BlankTime, 10);
}

TEST(SliceBuildConfig, BlankTimeSurvivesHugeValues)
{
    SliceBuildConfig c;
    c.ZLiftDistance = 3e30f;
    c.ZLiftSpeed = 0.01f;
    c.UpdateblankTime(); // must not be undefined; saturates
    EXPECT_EQ(c.BlankTime, 2147483647);
}

TEST(TypeConversion, FloatAndIntTextExamples)
{
    TypeConversion tc;
    const std::pair<float, const char*> floats[] = {{0.1f, "0.1"},   {600, "600"},           {0.2f, "0.2"},  {0.05f, "0.05"},
                                                    {-288, "-288"}, {1234567, "1.23457e+06"}, {0.00005f, "5e-05"}};
    for (auto f : floats) {
        EXPECT_EQ(tc.float2str(f.first), f.second);
        std::string out;
        DLP::float2str(f.first, out);
        EXPECT_EQ(out, f.second);
    }
    const std::pair<const char*, int> ints[] = {{"  42abc", 42}, {"-7 )", -7}, {"Blank", 0}, {"", 0}};
    for (auto i : ints) {
        std::string text = i.first;
        EXPECT_EQ(tc.str2int(text), i.second) << i.first;
    }
}

TEST(TypeConversion, NumbersIgnoreProcessLocale)
{
    TypeConversion tc;
    {
        ScopedGlobalLocale guard(groupedEnglishLocale(), QLocale::English, QLocale::UnitedStates);
        int a = 1920, b = 1234567;
        EXPECT_EQ(tc.int2str(a), "1920");
        EXPECT_EQ(tc.int2str(b), "1234567");
        std::string out;
        DLP::int2str(b, out);
        EXPECT_EQ(out, "1234567");
    }
    {
        ScopedGlobalLocale guard(germanLocale(), QLocale::German, QLocale::Germany);
        float f = 0.05f;
        EXPECT_EQ(tc.float2str(f), "0.05");
        int i = 1920;
        EXPECT_EQ(tc.int2str(i), "1920");
        std::string text = "1.920";
        EXPECT_EQ(tc.str2int(text), 1);
    }
}

TEST(TypeConversion, WstringToStringLeavesProcessLocaleAlone)
{
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    ScopedGlobalLocale guard(groupedEnglishLocale(), QLocale::English, QLocale::UnitedStates);
    const std::string cppBefore = std::locale().name();
    TypeConversion tc;
    EXPECT_EQ(tc.WstringToString(L"C:/jobs/part 1.gcode"), "C:/jobs/part 1.gcode");
    EXPECT_EQ(std::locale().name(), cppBefore);
    EXPECT_EQ(std::use_facet<std::numpunct<char>>(std::locale()).thousands_sep(), ',');
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), cBefore);
}

TEST(TypeConversion, WstringToStringUsesUserEncoding)
{
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    ::setenv("LC_ALL", "C.UTF-8", 1);
    TypeConversion tc;
    const std::string text = tc.WstringToString(L"M\u00fcller \u6a21\u578b");
    if (old)
        ::setenv("LC_ALL", saved.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
    EXPECT_EQ(text, "M\xc3\xbcller \xe6\xa8\xa1\xe5\x9e\x8b");
}

namespace {

// Splits the dump into rows, checking the CR LF ending of each.
std::vector<std::string> readDumpRows(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = f.readAll().split('\n');
    EXPECT_TRUE(rows.last().isEmpty()); // every row ends in a line feed
    std::vector<std::string> out;
    for (int r = 0; r + 1 < rows.size(); ++r) {
        QByteArray row = rows[r];
        EXPECT_TRUE(row.endsWith('\r')) << r;
        row.chop(1);
        out.push_back(row.toStdString());
    }
    return out;
}

} // namespace

TEST(SliceBuildConfig, SaveWritesKeyedDumpInCLocale)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SliceBuildConfig c;
    c.SliceThickness = 0.05f;
    c.TiltNearDistance2 = 0.25f;
    c.ExportSVG = true;
    c.XOffset = 1234;
    const QString path = dir.filePath("dump.txt");
    {
        ScopedGlobalLocale guard(germanLocale(), QLocale::German, QLocale::Germany);
        ASSERT_TRUE(c.Save(path.toStdString()));
    }
    const std::vector<std::string> expected = {
        "SliceBuildConfig", "DotsPermmX20", "DotsPermmY20", "XResolution1920", "YResolution1080",
        "SliceThickness0.05", "ExposureTimePerLayer500", "BottomExposureTime1000", "HighofBottomLayer0.6",
        "HighofMiddleLayer5", "NumberofBottomLayer0.6", "ZLiftDistance22", "ZLiftBottomLayer0",
        "ZLiftFirstBottomSpeed30", "ZLiftBottomSpeed48", "ZLiftDistance5", "ZLiftSpeed600", "ZRetractSpeed600",
        "TiltDistance15", "TiltSpeed160", "TiltDistance210", "TiltSpeed2600", "TiltRetractSpeed600",
        "TiltNearDistance2", "TiltNearDistance0.25", "TiltNearSpeed60", "RotateDistance1", "RotateSpeed6",
        "ExportImages0", "ExportSVG1", "BlankTime0", "BottomMaterialStable2000", "MaterialStable4000",
        "XOffset1234", "YOffset0"};
    EXPECT_EQ(readDumpRows(path), expected);
}

TEST(SliceBuildConfig, SaveToUnopenablePathFails)
{
    QTemporaryDir dir;
    SliceBuildConfig c;
    EXPECT_FALSE(c.Save(dir.filePath("no/such/dir/dump.txt").toStdString()));
}
