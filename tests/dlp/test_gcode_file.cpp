#include "dlp/gcodefile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using DLP::GCodeFile;

namespace {

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readRaw(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

using Lines = std::vector<std::string>;

} // namespace

TEST(GCodeFile, SaveAndLoadKeepEveryByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("job.gcode");
    const std::string text = std::string("M219\r\nG92 Y0\nG1 Z0.05 F30\r\n;(end)") + '\0' + "x";
    ASSERT_TRUE(GCodeFile(text).Save(path.toStdString()));
    EXPECT_EQ(readRaw(path), QByteArray(text.data(), int(text.size())));
    GCodeFile in;
    ASSERT_TRUE(in.Load(path.toStdString()));
    EXPECT_EQ(in.text, text);
    EXPECT_EQ(in.getLines(), (Lines{"M219\r", "G92 Y0", "G1 Z0.05 F30\r"})); // unterminated last line dropped
}

TEST(GCodeFile, FailedLoadKeepsText)
{
    QTemporaryDir dir;
    GCodeFile file("previous");
    EXPECT_FALSE(file.Load(dir.filePath("missing.gcode").toStdString()));
    EXPECT_EQ(file.text, "previous");
    EXPECT_FALSE(file.Save(dir.filePath("missing/dir/x.gcode").toStdString()));
}

TEST(GCodeFile, LoadLeavesLinesUntilCleared)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("job.gcode");
    writeRaw(path, "new1\nnew2\n");
    GCodeFile file("old\n");
    EXPECT_EQ(file.getLines(), Lines{"old"});
    ASSERT_TRUE(file.Load(path.toStdString()));
    EXPECT_EQ(file.getLines(), Lines{"old"}); // lines are filled once
    file.clearfile();
    EXPECT_TRUE(file.text.empty());
    ASSERT_TRUE(file.Load(path.toStdString()));
    EXPECT_EQ(file.getLines(), (Lines{"new1", "new2"}));
}

TEST(GCodeFile, LinesEndAtLineFeeds)
{
    const std::pair<const char*, Lines> cases[] = {
        {"A\r\nB\nC\r\n\r\nD", {"A\r", "B", "C\r", "\r"}},
        {"A\r\nB\r\nC", {"A\r", "B\r"}},
        {"no line feed", {}},
        {"A\n\nB\n", {"A", "", "B"}},
        {"\n", {""}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GCodeFile(c.first).getLines(), c.second) << c.first;

    std::string text = "a,b;c";
    std::string delims = ",;";
    Lines pieces;
    GCodeFile::split(text, delims, &pieces);
    EXPECT_EQ(pieces, (Lines{"a", "b"}));
    GCodeFile::split(text, delims, nullptr); // no output: nothing happens
}

TEST(GCodeFile, GenerateLinesAppends)
{
    GCodeFile file("x\ny\n");
    file.GenerateLines();
    file.GenerateLines();
    EXPECT_EQ(file.lines, (Lines{"x", "y", "x", "y"}));
}
