// A bad preview no longer costs the conversion; a bad layer count still does.
#include "archive_builder.h"
#include "vxs_reader.h"

#include "printfile/ExportThread.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

enum class Preview { Good, Truncated, Oversized };

struct Case {
    const char* name;
    Preview preview;
    const char* gcode; // null: the standard header
    const char* model;
    int code;
    int result;
};

QImage Solid(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    return image;
}

TEST(ConversionPreview, BadPreviewIsDroppedBadLayerCountIsRefused)
{
    const Case cases[] = {
        {"good preview, code 120", Preview::Good, nullptr, "Pellar120", 120, ExportOk},
        {"truncated preview, code 120", Preview::Truncated, nullptr, "Pellar120", 120, ExportOk},
        {"oversized preview, code 10", Preview::Oversized, nullptr, "Pellar10", 10, ExportOk},
        {"missing totalLayer", Preview::Good, ";resolutionX:40\n;resolutionY:30\nG21\n", "Pellar120", 120,
         ExportBadArchiveData},
        {"non-numeric totalLayer", Preview::Good, ";totalLayer:3a\nG21\n", "Pellar120", 120, ExportBadArchiveData},
    };
    const QVector<QImage> layers = {PatternLayer(40, 30, 0), PatternLayer(40, 30, 1)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ArchiveMembers members = StandardArchive(Solid(30, 20), layers);
        ASSERT_EQ(members[1].first, "preview.png");
        if (c.preview == Preview::Truncated)
            members[1].second.truncate(40);
        if (c.preview == Preview::Oversized)
            members[1].second = PngClaimingSize(members[1].second, 60000, 60000);
        if (c.gcode)
            members[0].second = c.gcode;
        ASSERT_TRUE(WriteZipArchive(dir.filePath("job.zip"), members));

        ExportThread job;
        job.m_zipPath = dir.filePath("job.zip");
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = dir.filePath("out.vxs");
        job.m_machineName = c.model;
        job.m_machineCode = c.code;
        job.m_grayBits = 4;
        job.start();
        job.wait();
        ASSERT_EQ(job.lastResult(), c.result) << qPrintable(job.lastMessage());
        if (c.result != ExportOk) {
            EXPECT_FALSE(QFile::exists(job.m_exportPath));
            continue;
        }
        const bool dropped = c.preview != Preview::Good;
        EXPECT_EQ(job.lastMessage().startsWith("preview dropped"), dropped) << qPrintable(job.lastMessage());
        QFile out(job.m_exportPath);
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        VxsFileContents vxs;
        QString error;
        ASSERT_TRUE(ReadVxs(out.readAll(), c.code == 120, vxs, error)) << qPrintable(error);
        EXPECT_EQ(vxs.previewWidth, dropped ? 0 : 120);
        EXPECT_EQ(vxs.previewHeight, dropped ? 0 : 150);
        if (c.code == 120)
            EXPECT_EQ(vxs.png.isEmpty(), dropped);
        EXPECT_EQ(vxs.layerCodes.size(), layers.size());
    }
}

} // namespace
