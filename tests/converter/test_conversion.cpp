#include "archive_builder.h"
#include "vxs_reader.h"

#include "dlp/machinepara.h"
#include "printfile/ExportThread.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST_F(ConversionTest, Pellar10GetsSmallPreviewNoPngBlockAndLayersAtItsFrame)
{
    const QVector<QImage> layers = patternLayers(3, 480, 854);
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(300, 200), layers)));
    ASSERT_EQ(convert("Pellar10", 10), ExportOk) << qPrintable(job.lastMessage());

    const QByteArray bytes = readAll(outPath());
    ASSERT_EQ(bytes.mid(8, 4), QByteArray("\x01\x00\x00\xFF", 4));
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(bytes, false, vxs, error)) << qPrintable(error);
    EXPECT_EQ(vxs.machineCode, 10);
    EXPECT_EQ(vxs.layerCount, 3);
    EXPECT_EQ(vxs.bitsPerPixel, 4);
    const ST_MachinePara para = distinctPara();
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(vxs.para.at(i), (&para.DotsPermmX)[i]) << "parameter " << i;
    EXPECT_EQ(vxs.previewWidth, 120);
    EXPECT_EQ(vxs.previewHeight, 150);
    EXPECT_EQ(vxs.preview.count(expectedRgb565(200, 100, 50)), 120 * 150);
    expectLayersDecodeTo(vxs, layers);
}

TEST_F(ConversionTest, Pellar10ScalesOtherLayerSizesTo480By854)
{
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(40, 30), patternLayers(2, 240, 427))));
    ASSERT_EQ(convert("Pellar10", 10), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(outPath()), false, vxs, error)) << qPrintable(error);
    for (const QByteArray& code : vxs.layerCodes) {
        QVector<quint8> levels;
        ASSERT_TRUE(DecodeLayerLevels(code, 4, 480 * 854, levels));
        EXPECT_EQ(levels.size(), 480 * 854);
    }
}

TEST_F(ConversionTest, Pellar120CarriesThePreviewAsPngOf1200By1600)
{
    const QVector<QImage> layers = patternLayers(3, 96, 61);
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(300, 200), layers)));
    ASSERT_EQ(convert("Pellar120", 120), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(outPath()), true, vxs, error)) << qPrintable(error);
    EXPECT_EQ(vxs.previewWidth, 120);
    EXPECT_EQ(vxs.previewHeight, 150);
    const QImage png = QImage::fromData(vxs.png, "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), QSize(1200, 1600));
    EXPECT_EQ(QColor(png.pixel(600, 800)), QColor(200, 100, 50));
    expectLayersDecodeTo(vxs, layers);
}

TEST_F(ConversionTest, Pellar200HasNoPreviewAndKeepsLayerSizes)
{
    const QVector<QImage> layers = patternLayers(3, 257, 33);
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(30, 20), layers)));
    ASSERT_EQ(convert("Pellar200", 200), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(outPath()), false, vxs, error)) << qPrintable(error);
    EXPECT_EQ(vxs.machineCode, 200);
    EXPECT_EQ(vxs.previewWidth, 0);
    EXPECT_EQ(vxs.previewHeight, 0);
    expectLayersDecodeTo(vxs, layers);
}

TEST_F(ConversionTest, ManyLayersAreWrittenInOrder)
{
    QVector<QImage> layers;
    for (int i = 0; i < 200; ++i) {
        QImage layer(24, 9, QImage::Format_Grayscale8);
        layer.fill(0);
        layer.scanLine(i % 9)[i % 24] = static_cast<uchar>(16 + i % 240);
        layers.append(layer);
    }
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(solidPreview(30, 20), layers)));
    ASSERT_EQ(convert("Pellar200", 200), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(outPath()), false, vxs, error)) << qPrintable(error);
    expectLayersDecodeTo(vxs, layers);
}

TEST_F(ConversionTest, MissingPreviewFallsBackToFirstLayer)
{
    const QVector<QImage> layers = patternLayers(2, 50, 40);
    ASSERT_TRUE(WriteZipArchive(archivePath(), StandardArchive(QImage(), layers)));
    ASSERT_EQ(convert("Pellar30", 30), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(outPath()), false, vxs, error)) << qPrintable(error);
    EXPECT_EQ(vxs.previewWidth, 120);
    EXPECT_EQ(vxs.previewHeight, 150);
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

TEST_F(ConversionTest, MissingLayerNamesTheLayerAndLeavesNoOutput)
{
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(3, 40, 30));
    members.removeAt(3); // "2.png"
    members.append(qMakePair(QString("extra.txt"), QByteArray("keeps the member count at the claim")));
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar10", 10), ExportLayerFailed);
    EXPECT_EQ(job.failedLayer(), 2);
    EXPECT_TRUE(job.lastMessage().contains("2.png")) << qPrintable(job.lastMessage());
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
}

TEST_F(ConversionTest, TruncatedLayerPngStopsTheConversion)
{
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(3, 200, 120));
    members[4].second.truncate(members[4].second.size() / 2); // "3.png"
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar200", 200), ExportLayerFailed);
    EXPECT_EQ(job.failedLayer(), 3);
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
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

TEST_F(ConversionTest, MissingRunGcodeGivesItsCodeAndNoOutput)
{
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(2, 40, 30));
    members.removeFirst();
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar10", 10), ExportGcodeMissing);
    EXPECT_TRUE(job.m_gcodeParas.isEmpty());
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
}

TEST_F(ConversionTest, UnreadableArchiveGivesItsCodeAndNoOutput)
{
    QFile junk(archivePath());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'x'));
    junk.close();
    EXPECT_EQ(convert("Pellar10", 10), ExportArchiveFailed);
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
}

TEST_F(ConversionTest, LayerCountBeyondTheArchiveIsRefusedBeforeAnyWork)
{
    ArchiveMembers members = StandardArchive(solidPreview(30, 20), patternLayers(2, 40, 30));
    members[0].second = GcodeHeader(5000000, 40, 30);
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar10", 10), ExportBadArchiveData);
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});

    members[0].second = GcodeHeader(4, 40, 30); // more layers than members
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar10", 10), ExportBadArchiveData);

    members[0].second = ";totalLayer:many\nG21\n";
    ASSERT_TRUE(WriteZipArchive(archivePath(), members));
    EXPECT_EQ(convert("Pellar10", 10), ExportBadArchiveData);
    EXPECT_EQ(filesInDir(), QStringList{"job.zip"});
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
