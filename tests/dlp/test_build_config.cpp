#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"
#include "locale_guard.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

using DLP::SliceBuildConfig;
using DLP::TypeConversion;

TEST(SliceBuildConfig, UpdateMachineConfigDerivesPixelDensity)
{
    SliceBuildConfig c;
    c.UpdateMachineConfig(2560, 1440, 47.25f, 47.25f, 150);
    EXPECT_NEAR(c.machine.XSize, 120.96f, 1e-4);
    EXPECT_NEAR(c.machine.YSize, 68.04f, 1e-4);
    EXPECT_NEAR(c.DotsPermmX, 21.164f, 1e-3);
    EXPECT_FLOAT_EQ(c.DotsPermmX, c.machine.DotsPermmX);
    EXPECT_EQ(std::make_pair(c.XResolution, c.YResolution), std::make_pair(2560, 1440));
    EXPECT_EQ(std::make_pair(c.MachineHeight, c.machine.ZSize), std::make_pair(150.0f, 150.0f));
}

TEST(SliceBuildConfig, BlankTimeSumsTruncatedTerms)
{
    const auto noTilt = [](SliceBuildConfig& c) {
        c.TiltSpeed1 = c.TiltSpeed2 = c.TiltRetractSpeed = c.TiltNearSpeed = 0;
    };
    const struct { const char* name; std::function<void(SliceBuildConfig&)> set; int blankTime; } cases[] = {
        {"lift distance truncated first",
         [&](SliceBuildConfig& c) {
             noTilt(c);
             c.ZLiftDistance = 5.9f, c.ZLiftDistance2 = 0, c.ZLiftSpeed = 1;
             c.ZRetractSpeed = c.ZLiftFirstBottomSpeed = c.RotateSpeed = 0; // steps that would add
         },
         5},
        // Skipped first step: starts from 7; |5 - 2 - 0.1| / 1 -> 9; |2| / 0.5 -> 13;
        // the rotation is not made absolute: 13 - 3 = 10.
        {"terms truncated one by one",
         [&](SliceBuildConfig& c) {
             noTilt(c);
             c.ZLiftSpeed = 0, c.BlankTime = 7, c.ZRetractSpeed = 1, c.ZLiftFirstBottomSpeed = 0.5f;
             c.RotateDistance = -3, c.RotateSpeed = 1;
         },
         10},
        {"huge values saturate", [](SliceBuildConfig& c) { c.ZLiftDistance = 3e30f, c.ZLiftSpeed = 0.01f; }, INT_MAX},
    };
    for (const auto& row : cases) {
        SliceBuildConfig c;
        row.set(c);
        c.UpdateblankTime();
        EXPECT_EQ(c.BlankTime, row.blankTime) << row.name;
    }
}

// Resolutions from a printer table become ints without undefined casts.
TEST(MachineConfig, ResolutionsSaturateInBothUpdates)
{
    const std::pair<float, int> cases[] = {{1920.7f, 1920}, {-3.9f, -3},          {NAN, 0},
                                           {1e20f, INT_MAX}, {INFINITY, INT_MAX}, {-1e20f, INT_MIN}};
    for (const auto& c : cases) {
        DLP::MachineConfig config;
        EXPECT_EQ(config.updateMachineSettings(c.first, c.first, 50, 50, 100), c.second) << c.first;
        EXPECT_EQ(config.YResolution, c.second) << c.first;
        DLP::MachineConfig recalc;
        recalc.XRes = recalc.YRes = c.first;
        EXPECT_EQ(recalc.CalcPixPerMM(), c.second) << c.first;
        EXPECT_EQ(recalc.YResolution, c.second) << c.first;
    }
}

TEST(TypeConversion, NumberTextIgnoresTheProcessLocale)
{
    const std::pair<float, const char*> floats[] = {{0.1f, "0.1"}, {600, "600"}, {0.2f, "0.2"}, {0.05f, "0.05"},
                                                    {-288, "-288"}, {1234567, "1.23457e+06"}, {0.00005f, "5e-05"}};
    const std::pair<const char*, int> ints[] = {{"  42abc", 42}, {"-7 )", -7}, {"Blank", 0}, {"", 0}, {"1.920", 1}};
    for (const NumberLocale& l : kNumberLocales) {
        ScopedGlobalLocale guard(l.make(), l.language, l.country);
        TypeConversion tc;
        for (auto f : floats) {
            EXPECT_EQ(tc.float2str(f.first), f.second) << l.name;
            std::string out;
            DLP::float2str(f.first, out);
            EXPECT_EQ(out, f.second) << l.name;
        }
        for (auto i : ints) {
            std::string text = i.first;
            EXPECT_EQ(tc.str2int(text), i.second) << l.name << ": " << i.first;
        }
        int big = 1234567;
        std::string out;
        DLP::int2str(big, out);
        EXPECT_EQ(tc.int2str(big), "1234567") << l.name;
        EXPECT_EQ(out, "1234567") << l.name;
    }
}

TEST(TypeConversion, WstringToStringUsesUserEncodingAndLeavesProcessLocaleAlone)
{
    std::string text;
    std::string cBefore;
    {
        ScopedUserLocale user("C.UTF-8");
        cBefore = std::setlocale(LC_ALL, nullptr);
        ScopedGlobalLocale guard(kNumberLocales[2].make(), QLocale::English, QLocale::UnitedStates);
        const std::string cppBefore = std::locale().name();
        text = TypeConversion().WstringToString(L"M\u00fcller \u6a21\u578b");
        EXPECT_EQ(std::locale().name(), cppBefore);
        EXPECT_EQ(std::use_facet<std::numpunct<char>>(std::locale()).thousands_sep(), ',');
    }
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), cBefore);
    EXPECT_EQ(text, "M\xc3\xbcller \xe6\xa8\xa1\xe5\x9e\x8b");
}

// Text in the user's encoding comes back as the same wide text and again as
// the same bytes; a sequence the encoding cannot read ends the text there.
TEST(TypeConversion, StringWstringIsTheReverseInTheUserEncoding)
{
    ScopedUserLocale user("C.UTF-8");
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    const std::string utf8 = "M\xc3\xbcller \xe6\xa8\xa1\xe5\x9e\x8b \xf0\x9f\x96\xa8 0.05mm";
    const std::wstring wide = L"M\u00fcller \u6a21\u578b \U0001F5A8 0.05mm";
    std::string longText;
    for (int i = 0; i < 50; ++i)
        longText += "\xe6\xa8\xa1"; // longer than one conversion step
    const std::pair<const char*, std::string> cut[] = {
        {"an invalid byte", "ab\xff" "cd"},
        {"a sequence cut off", "ab\xe6\xa8"},
    };
    std::wstring back, longBack;
    std::string again, longAgain;
    std::vector<std::wstring> cutBack;
    {
        ScopedGlobalLocale guard(kNumberLocales[1].make(), QLocale::German, QLocale::Germany);
        const std::string cppBefore = std::locale().name();
        TypeConversion tc;
        back = tc.string_Wstring(utf8);
        again = tc.WstringToString(back);
        longBack = tc.string_Wstring(longText);
        longAgain = tc.WstringToString(longBack);
        for (const auto& c : cut)
            cutBack.push_back(tc.string_Wstring(c.second));
        EXPECT_EQ(tc.string_Wstring(std::string()), std::wstring());
        EXPECT_EQ(std::locale().name(), cppBefore);
        EXPECT_EQ(std::use_facet<std::numpunct<char>>(std::locale()).decimal_point(), ',');
    }
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), cBefore);
    EXPECT_TRUE(back == wide) << back.size();
    EXPECT_EQ(again, utf8);
    EXPECT_EQ(longBack.size(), 50u);
    EXPECT_EQ(longAgain, longText);
    for (size_t i = 0; i < std::size(cut); ++i)
        EXPECT_TRUE(cutBack[i] == L"ab") << cut[i].first;
}

TEST(SliceBuildConfig, SaveWritesKeyedDumpInCLocale)
{
    QTemporaryDir dir;
    SliceBuildConfig c;
    c.SliceThickness = 0.05f;
    c.TiltNearDistance2 = 0.25f;
    c.ExportSVG = true;
    c.XOffset = 1234;
    const QString path = dir.filePath("dump.txt");
    {
        ScopedGlobalLocale guard(kNumberLocales[1].make(), QLocale::German, QLocale::Germany);
        ASSERT_TRUE(c.Save(path.toStdString()));
    }
    const char* expected[] = {
        "SliceBuildConfig", "DotsPermmX20", "DotsPermmY20", "XResolution1920", "YResolution1080",
        "SliceThickness0.05", "ExposureTimePerLayer500", "BottomExposureTime1000", "HighofBottomLayer0.6",
        "HighofMiddleLayer5", "NumberofBottomLayer0.6", "ZLiftDistance22", "ZLiftBottomLayer0",
        "ZLiftFirstBottomSpeed30", "ZLiftBottomSpeed48", "ZLiftDistance5", "ZLiftSpeed600", "ZRetractSpeed600",
        "TiltDistance15", "TiltSpeed160", "TiltDistance210", "TiltSpeed2600", "TiltRetractSpeed600",
        "TiltNearDistance2", "TiltNearDistance0.25", "TiltNearSpeed60", "RotateDistance1", "RotateSpeed6",
        "ExportImages0", "ExportSVG1", "BlankTime0", "BottomMaterialStable2000", "MaterialStable4000",
        "XOffset1234", "YOffset0"};
    QByteArray text;
    for (const char* row : expected)
        text += QByteArray(row) + "\r\n";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), text);
    EXPECT_FALSE(c.Save(dir.filePath("no/such/dir/dump.txt").toStdString()));
}
