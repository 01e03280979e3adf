#include "archive_builder.h"
#include "vxs_reader.h"

#include "dlp/machinepara.h"
#include "printfile/ExportThread.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint16 expectedRgb565(int r, int g, int b)
{
    return static_cast<quint16>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

QImage solidPreview(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 100, 50));
    return image;
}

QVector<QImage> patternLayers(int count, int width, int height)
{
    QVector<QImage> layers;
    for (int i = 0; i < count; ++i)
        layers.append(PatternLayer(width, height, i));
    return layers;
}

ST_MachinePara distinctPara()
{
    ST_MachinePara para;
    float* v = &para.DotsPermmX;
    for (int i = 0; i < 34; ++i)
        v[i] = 0.5f + 1.25f * i;
    return para;
}

class ConversionTest : public ::testing::Test
{
protected:
    QString archivePath() const { return dir.filePath("job.zip"); }
    QString outPath() const { return dir.filePath("out.vxs"); }

    int convert(const QString& model, int code)
    {
        job.m_zipPath = archivePath();
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = outPath();
        job.m_machineName = model;
        job.m_machineCode = code;
        job.m_grayBits = 4;
        job.m_para = distinctPara();
        job.start();
        job.wait();
        return job.lastResult();
    }

    // Nothing but the archive (and what the test put there) is left.
    QStringList filesInDir() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    void expectLayersDecodeTo(const VxsFileContents& vxs, const QVector<QImage>& layers)
    {
        ASSERT_EQ(vxs.layerCodes.size(), layers.size());
        for (int i = 0; i < layers.size(); ++i) {
            const QImage& src = layers.at(i);
            QVector<quint8> levels;
            ASSERT_TRUE(DecodeLayerLevels(vxs.layerCodes.at(i), 4, qint64(src.width()) * src.height(), levels));
            ASSERT_EQ(levels.size(), src.width() * src.height()) << "layer " << i + 1;
            int mismatches = 0;
            for (int y = 0; y < src.height(); ++y)
                for (int x = 0; x < src.width(); ++x)
                    mismatches += levels.at(y * src.width() + x) != (src.constScanLine(y)[x] & 0xF0);
            EXPECT_EQ(mismatches, 0) << "layer " << i + 1;
        }
    }

    QTemporaryDir dir;
    ExportThread job;
};

// Each printer's preview and layer frame; every parameter and layer arrives.
TEST_F(ConversionTest, ArchivesConvertForEachPrinter)
{
    QVector<QImage> sparse; // many layers, each with one lit pixel, in order
    for (int i = 0; i < 200; ++i) {
        QImage layer(24, 9, QImage::Format_Grayscale8);
        layer.fill(0);
        layer.scanLine(i % 9)[i % 24] = static_cast<uchar>(16 + i % 240);
        sparse.append(layer);
    }
    const struct {
        const char* model;
        int code;
        QVector<QImage> layers;
        QImage preview;
        QSize previewSize; // of the RGB565 preview
        QSize pngSize;     // of the PNG block (code 120), else empty
        QSize frame;       // layers scaled to this size, else kept
    } cases[] = {
        {"Pellar10", 10, patternLayers(3, 480, 854), solidPreview(300, 200), {120, 150}, {}, {}},
        {"Pellar10", 10, patternLayers(2, 240, 427), solidPreview(40, 30), {120, 150}, {}, {480, 854}},
        {"Pellar120", 120, patternLayers(3, 96, 61), solidPreview(300, 200), {120, 150}, {1200, 1600}, {}},
        {"Pellar200", 200, patternLayers(3, 257, 33), solidPreview(30, 20), {0, 0}, {}, {}},
        {"Pellar200", 200, sparse, solidPreview(30, 20), {0, 0}, {}, {}},
        {"Pellar30", 30, patternLayers(2, 50, 40), QImage(), {120, 150}, {}, {}}, // preview from the first layer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.model << ", " << c.layers.size() << " layers of " << c.layers[0].width()
                                        << "x" << c.layers[0].height());
        ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(c.preview, c.layers)));
        ASSERT_EQ(convert(c.model, c.code), ExportOk) << qPrintable(job.lastMessage());
        const QByteArray bytes = readAll(outPath());
        EXPECT_EQ(bytes.mid(8, 4), QByteArray("\x01\x00\x00\xFF", 4));
        VxsFileContents vxs;
        QString error;
        ASSERT_TRUE(ReadVxs(bytes, !c.pngSize.isEmpty(), vxs, error)) << qPrintable(error);
        EXPECT_EQ(vxs.machineCode, c.code);
        EXPECT_EQ(vxs.layerCount, c.layers.size());
        EXPECT_EQ(vxs.bitsPerPixel, 4);
        const ST_MachinePara para = distinctPara();
        for (int i = 0; i < 34; ++i)
            EXPECT_EQ(vxs.para.at(i), (&para.DotsPermmX)[i]) << "parameter " << i;
        EXPECT_EQ(QSize(vxs.previewWidth, vxs.previewHeight), c.previewSize);
        if (!c.preview.isNull()) {
            EXPECT_EQ(vxs.preview.count(expectedRgb565(200, 100, 50)), c.previewSize.width() * c.previewSize.height());
        }
        if (!c.pngSize.isEmpty()) {
            const QImage png = QImage::fromData(vxs.png, "PNG");
            EXPECT_EQ(png.size(), c.pngSize);
            EXPECT_EQ(QColor(png.pixel(c.pngSize.width() / 2, c.pngSize.height() / 2)), QColor(200, 100, 50));
        }
        if (c.frame.isEmpty()) {
            expectLayersDecodeTo(vxs, c.layers);
            continue;
        }
        for (const QByteArray& code : vxs.layerCodes) {
            QVector<quint8> levels;
            ASSERT_TRUE(DecodeLayerLevels(code, 4, c.frame.width() * c.frame.height(), levels));
            EXPECT_EQ(levels.size(), c.frame.width() * c.frame.height());
        }
    }
}

TEST_F(ConversionTest, DoneSignalCarriesSuccessAndFailure)
{
    qRegisterMetaType<QString>();
    QSignalSpy spy(&job, &ExportThread::signal_ExportDataDone);
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(30, 20), patternLayers(1, 20, 10))));
    convert("Pellar200", 200);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ExportOk);

    job.m_zipPath = dir.filePath("absent.zip");
    job.start();
    job.wait();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), ExportArchiveFailed);
    EXPECT_FALSE(spy.at(1).at(1).toString().isEmpty());
}

// A refused archive leaves nothing but itself behind.
TEST_F(ConversionTest, BrokenArchivesAreRefusedWithTheirCode)
{
    const auto standard = [](int layers, int width, int height) {
        return StandardArchive(solidPreview(30, 20), patternLayers(layers, width, height));
    };
    const struct {
        const char* name;
        std::function<ArchiveMembers()> members; // null: the archive is junk
        int code;
        int result;
        int failedLayer; // 0: not checked
        const char* message;
    } cases[] = {
        {"layer missing",
         [&] {
             ArchiveMembers m = standard(3, 40, 30);
             m.removeAt(3); // "2.png"
             m.append(qMakePair(QString("extra.txt"), QByteArray("keeps the member count at the claim")));
             return m;
         },
         10, ExportLayerFailed, 2, "2.png"},
        {"layer PNG truncated",
         [&] {
             ArchiveMembers m = standard(3, 200, 120);
             m[4].second.truncate(m[4].second.size() / 2); // "3.png"
             return m;
         },
         200, ExportLayerFailed, 3, ""},
        {"run.gcode missing",
         [&] {
             ArchiveMembers m = standard(2, 40, 30);
             m.removeFirst();
             return m;
         },
         10, ExportGcodeMissing, 0, ""},
        {"not an archive", nullptr, 10, ExportArchiveFailed, 0, ""},
        {"absurd layer count",
         [&] {
             ArchiveMembers m = standard(2, 40, 30);
             m[0].second = GcodeHeader(5000000, 40, 30);
             return m;
         },
         10, ExportBadArchiveData, 0, ""},
        {"more layers than members",
         [&] {
             ArchiveMembers m = standard(2, 40, 30);
             m[0].second = GcodeHeader(4, 40, 30);
             return m;
         },
         10, ExportBadArchiveData, 0, ""},
        {"layer count not a number",
         [&] {
             ArchiveMembers m = standard(2, 40, 30);
             m[0].second = ";totalLayer:many\nG21\n";
             return m;
         },
         10, ExportBadArchiveData, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.members) {
            ASSERT_TRUE(WriteZipArchive(archivePath(), c.members()));
        } else {
            QFile junk(archivePath());
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
            junk.write(QByteArray(5000, 'x'));
        }
        EXPECT_EQ(convert(c.code == 10 ? "Pellar10" : "Pellar200", c.code), c.result);
        if (c.failedLayer) {
            EXPECT_EQ(job.failedLayer(), c.failedLayer);
        }
        EXPECT_TRUE(job.lastMessage().contains(c.message)) << qPrintable(job.lastMessage());
        if (c.result == ExportGcodeMissing) {
            EXPECT_TRUE(job.m_gcodeParas.isEmpty());
        }
        EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
    }
}

TEST_F(ConversionTest, FailedConversionKeepsAnExistingOutputFile)
{
    QFile old(outPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier print file");
    old.close();
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(2, 40, 30));
    members[3].second = "not an image";
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar200", 200), ExportLayerFailed);
    EXPECT_EQ(readAll(outPath()), QByteArray("earlier print file"));
    EXPECT_EQ(filesInDir().size(), 2);
}

TEST_F(ConversionTest, ImagesOfAbsurdSizeAreRefused)
{
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(2, 40, 30));
    members[3].second = PngClaimingSize(members[3].second, 100000, 100000); // "2.png"
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar200", 200), ExportLayerFailed);
    EXPECT_TRUE(job.lastMessage().contains("too large")) << qPrintable(job.lastMessage());
}

TEST_F(ConversionTest, CompressImageOfAnEmptyImageCodesNothing)
{
    job.m_grayBits = 4;
    job.m_layerImage = QImage();
    job.CompressImage();
    EXPECT_TRUE(job.m_rleData.isEmpty());

    job.m_layerImage = PatternLayer(4, 2, 0);
    job.m_layerImage.fill(0);
    job.m_layerImage.scanLine(0)[2] = 0xFF;
    job.CompressImage();
    EXPECT_EQ(job.m_imageWidth, 4);
    EXPECT_EQ(job.m_rleData, (QVector<unsigned char>{0x02, 0xF1, 0x05}));
}

} // namespace
