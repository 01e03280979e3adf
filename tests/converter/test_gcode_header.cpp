#include "archive_builder.h"

#include "printfile/ExportThread.h"
#include "printfile/gcodeheader.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QMap<QString, QString> parse(const QByteArray& text, bool* complete = nullptr, qint64 maxBytes = 1 << 20)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    QMap<QString, QString> header;
    const bool ok = ReadGcodeHeader(buffer, header, maxBytes);
    if (complete)
        *complete = ok;
    return header;
}

// Each text parses to exactly the listed keys.
TEST(GcodeHeader, ParsesKeyValueLinesUpToTheFirstOther)
{
    const struct {
        const char* name;
        QByteArray text;
        QMap<QString, QString> header;
    } cases[] = {
        {"one line", ";totalLayer:250\nG21\n", {{"totalLayer", "250"}}},
        {"CR is no part of a value", ";layerHeight:0.05\r\n;totalLayer:3\r\nG21\r\n",
         {{"layerHeight", "0.05"}, {"totalLayer", "3"}}},
        {"up to the second colon", ";a:b:c\n", {{"a", "b"}}},
        {"empty value", ";a::c\n", {{"a", ""}}},
        {"ends at a line without colon", ";x:1\nG21\n;y:2\n", {{"x", "1"}}},
        {"first line without colon", "G21\n;x:1\n", {}},
        {"later key wins, last line unterminated", ";k:1\n;k:2\n;end:42", {{"k", "2"}, {"end", "42"}}},
        {"a line stops at NUL", QByteArray(";k:ab\0cd\n;m:1\n", 14), {{"k", "ab"}, {"m", "1"}}},
    };
    for (const auto& c : cases) {
        bool complete = false;
        EXPECT_EQ(parse(c.text, &complete), c.header) << c.name;
        EXPECT_TRUE(complete) << c.name;
    }
}

TEST(GcodeHeader, EndlessHeaderIsRefused)
{
    QByteArray text;
    for (int i = 0; i < 1000; ++i)
        text += ";key" + QByteArray::number(i) + ":value\n";
    bool complete = true;
    parse(text, &complete, 4096);
    EXPECT_FALSE(complete);
    parse(QByteArray(10000, 'x') + ":1\n", &complete, 4096);
    EXPECT_FALSE(complete);
}

TEST(GcodeHeader, NumbersAreRangeChecked)
{
    const auto h = parse(";n:12\n;big:99999999999\n;word:ten\n;h:0.05\n;nan:nan\n");
    int n = 0;
    EXPECT_TRUE(GcodeHeaderInt(h, "n", 0, 100, n));
    EXPECT_EQ(n, 12);
    EXPECT_FALSE(GcodeHeaderInt(h, "n", 13, 100, n));
    EXPECT_FALSE(GcodeHeaderInt(h, "big", 0, 100000, n));
    EXPECT_FALSE(GcodeHeaderInt(h, "word", 0, 100, n));
    EXPECT_FALSE(GcodeHeaderInt(h, "absent", 0, 100, n));
    double mm = 0;
    EXPECT_TRUE(GcodeHeaderReal(h, "h", 0.01, 0.1, mm));
    EXPECT_DOUBLE_EQ(mm, 0.05);
    EXPECT_FALSE(GcodeHeaderReal(h, "nan", 0, 1, mm));
}

TEST(GcodeHeader, PanelReadsTheHeaderOfACrLfArchive)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.zip");
    ASSERT_TRUE(WriteZipArchive(path, {{"run.gcode", ";resolutionX:2560\r\n;resolutionY:1440\r\n;machineZ:150\r\nG21\r\n"}}));
    ExportThread job;
    job.m_zipPath = path;
    ASSERT_EQ(job.LoadGcode_ChiTuBox(), ExportOk);
    EXPECT_EQ(job.m_gcodeParas.value("resolutionX"), "2560");
    EXPECT_EQ(job.m_gcodeParas.value("machineZ"), "150");

    ASSERT_TRUE(WriteZipArchive(path, {{"1.png", "x"}}));
    EXPECT_EQ(job.LoadGcode_ChiTuBox(), ExportGcodeMissing);
    EXPECT_TRUE(job.m_gcodeParas.isEmpty());
    job.m_zipPath = dir.filePath("absent.zip");
    EXPECT_EQ(job.LoadGcode_ChiTuBox(), ExportArchiveFailed);
}

} // namespace
