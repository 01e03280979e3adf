#include "dlp/gcodefile.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using DLP::GCodeFile;

namespace {

using Lines = std::vector<std::string>;

TEST(GCodeFile, SaveAndLoadKeepEveryByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("job.gcode");
    const std::string text = std::string("M219\r\nG92 Y0\nG1 Z0.05 F30\r\n;(end)") + '\0' + "x";
    ASSERT_TRUE(GCodeFile(text).Save(path.toStdString()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(text.data(), int(text.size())));
    GCodeFile in;
    ASSERT_TRUE(in.Load(path.toStdString()));
    EXPECT_EQ(in.text, text);
    EXPECT_EQ(in.getLines(), (Lines{"M219\r", "G92 Y0", "G1 Z0.05 F30\r"})); // unterminated last line dropped

    // Lines are filled once: a later load leaves them until cleared.
    ASSERT_TRUE(GCodeFile("new1\nnew2\n").Save(path.toStdString()));
    ASSERT_TRUE(in.Load(path.toStdString()));
    EXPECT_EQ(in.getLines().size(), 3u);
    in.clearfile();
    EXPECT_TRUE(in.text.empty());
    ASSERT_TRUE(in.Load(path.toStdString()));
    EXPECT_EQ(in.getLines(), (Lines{"new1", "new2"}));
    in.GenerateLines(); // appends
    EXPECT_EQ(in.lines, (Lines{"new1", "new2", "new1", "new2"}));

    // A failed load keeps the text.
    EXPECT_FALSE(in.Load(dir.filePath("missing.gcode").toStdString()));
    EXPECT_EQ(in.text, "new1\nnew2\n");
    EXPECT_FALSE(in.Save(dir.filePath("missing/dir/x.gcode").toStdString()));
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

} // namespace
