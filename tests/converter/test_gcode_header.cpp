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

TEST(GcodeHeader, KeyAndValueOfALine)
{
    const auto h = parse(";totalLayer:250\nG21\n");
    EXPECT_EQ(h.size(), 1);
    EXPECT_EQ(h.value("totalLayer"), "250");
}

TEST(GcodeHeader, CarriageReturnIsNotPartOfTheValue)
{
    const auto h = parse(";layerHeight:0.05\r\n;totalLayer:3\r\nG21\r\n");
    EXPECT_EQ(h.value("layerHeight"), "0.05");
    EXPECT_EQ(h.value("totalLayer"), "3");
}

TEST(GcodeHeader, OnlyTextUpToTheSecondColonCounts)
{
    EXPECT_EQ(parse(";a:b:c\n").value("a"), "b");
    EXPECT_EQ(parse(";a::c\n").value("a"), "");
}

TEST(GcodeHeader, EndsAtTheFirstLineWithoutColon)
{
    const auto h = parse(";x:1\nG21\n;y:2\n");
    EXPECT_TRUE(h.contains("x"));
    EXPECT_FALSE(h.contains("y"));
    EXPECT_TRUE(parse("G21\n;x:1\n").isEmpty());
}

TEST(GcodeHeader, LaterKeyWinsAndLastLineNeedsNoLineEnd)
{
    const auto h = parse(";k:1\n;k:2\n;end:42");
    EXPECT_EQ(h.value("k"), "2");
    EXPECT_EQ(h.value("end"), "42");
}

TEST(GcodeHeader, TextStopsAtNul)
{
    EXPECT_EQ(parse(QByteArray(";k:ab\0cd\n;m:1\n", 14)).value("k"), "ab");
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
