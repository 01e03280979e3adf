#include "archive_builder.h"
#include "vxs_reader.h"

#include "printfile/ExportThread.h"
#include "printfile/archivemember.h"
#include "printfile/filesafety.h"
#include "printfile/layercodingpool.h"
#include "printfile/printermodels.h"
#include "printfile/vxsresave.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <sched.h>
#include <sys/stat.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HostileConversion : public ::testing::Test
{
protected:
    int convert(const QVector<QImage>& layers, int code = 30)
    {
        EXPECT_TRUE(WriteZipArchive(archive(), StandardArchive(QImage(), layers)));
        job.m_zipPath = archive();
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = out();
        job.m_machineName = "Pellar30";
        job.m_machineCode = code;
        job.m_grayBits = 4;
        job.m_para = PrinterModels::ConverterDefaultPara();
        job.start();
        job.wait();
        return job.lastResult();
    }
    QString archive() const { return dir.filePath("job.zip"); }
    QString out() const { return dir.filePath("out.vxs"); }

    QTemporaryDir dir;
    ExportThread job;
};

QImage solid(int w, int h, QColor c, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(c);
    return image;
}

} // namespace

TEST_F(HostileConversion, LayersOfAnotherSizeStopTheConversionNamingTheLayer)
{
    const QVector<QImage> layers = {solid(200, 100, Qt::black), solid(200, 100, Qt::white), solid(300, 100, Qt::white),
                                    solid(200, 100, Qt::black)};
    EXPECT_EQ(convert(layers), ExportLayerFailed);
    EXPECT_EQ(job.failedLayer(), 3);
    EXPECT_TRUE(job.lastMessage().contains("layer 3")) << job.lastMessage().toStdString();
    EXPECT_TRUE(job.lastMessage().contains("300 x 100")) << job.lastMessage().toStdString();
    EXPECT_FALSE(QFile::exists(out()));
}

TEST_F(HostileConversion, AnArchiveWithoutLayersGivesNoFile)
{
    EXPECT_EQ(convert({}), ExportBadArchiveData) << job.lastMessage().toStdString() << " layers " << job.m_totalLayer;
    EXPECT_FALSE(QFile::exists(out()));
}

TEST_F(HostileConversion, MixedSizesScaledToTheModelFramePass)
{
    // Machine code 10 scales every layer to 480 x 854 first.
    const QVector<QImage> layers = {solid(200, 100, Qt::white), solid(300, 100, Qt::white)};
    EXPECT_EQ(convert(layers, 10), ExportOk) << job.lastMessage().toStdString();
}

TEST_F(HostileConversion, TransparentPixelsAreLaidOverBlack)
{
    struct Case {
        QImage image;
        quint8 level; // of every pixel
    };
    const QVector<Case> cases = {
        {solid(16, 8, QColor(255, 255, 255, 0), QImage::Format_ARGB32), 0x00},
        {solid(16, 8, QColor(255, 255, 255, 0), QImage::Format_RGBA64), 0x00},
        {solid(16, 8, QColor(255, 255, 255, 255), QImage::Format_ARGB32), 0xF0},
        {solid(16, 8, QColor(255, 255, 255, 128), QImage::Format_ARGB32), 0x80},
    };
    QVector<QImage> layers;
    for (const Case& c : cases)
        layers << c.image;
    ASSERT_EQ(convert(layers), ExportOk) << job.lastMessage().toStdString();
    VxsFileContents vxs;
    QString error;
    ASSERT_TRUE(ReadVxs(readAll(out()), false, vxs, error)) << error.toStdString();
    ASSERT_EQ(vxs.layerCodes.size(), cases.size());
    for (int i = 0; i < cases.size(); ++i) {
        QVector<quint8> levels;
        ASSERT_TRUE(DecodeLayerLevels(vxs.layerCodes[i], 4, 16 * 8, levels));
        ASSERT_EQ(levels.size(), 16 * 8);
        EXPECT_EQ(std::count(levels.begin(), levels.end(), cases[i].level), 16 * 8) << "layer " << i + 1;
    }
}

TEST_F(HostileConversion, OutputOntoTheArchiveOrADeviceIsRefusedBeforeAnythingIsWritten)
{
    const QVector<QImage> layers = {solid(20, 10, Qt::white)};
    ASSERT_TRUE(WriteZipArchive(archive(), StandardArchive(QImage(), layers)));
    const QByteArray before = readAll(archive());
    const QString fifo = dir.filePath("device.vxs");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(archive(), dir.filePath("link.zip")));
    for (const QString& target : {archive(), dir.filePath("link.zip"), fifo}) {
        job.m_zipPath = archive();
        job.m_exportType = "ChiTuBox";
        job.m_exportPath = target;
        job.m_machineCode = 30;
        job.start();
        job.wait();
        EXPECT_EQ(job.lastResult(), ExportOutputFailed) << target.toStdString();
        EXPECT_EQ(readAll(archive()), before);
        EXPECT_FALSE(QFileInfo(fifo).isFile());
    }
    // A FIFO as the archive is refused, not opened (which would block).
    job.m_zipPath = fifo;
    job.m_exportPath = out();
    EXPECT_EQ(job.LoadGcode_ChiTuBox(), ExportArchiveFailed);
    EXPECT_TRUE(job.lastMessage().contains("not a regular file"));
}

// Bytes in flight are counted by the pool itself and reported to a hook:
// the bound is checked by counting, whatever the machine's speed.
TEST(LayerCodingBudget, DecodedBytesInFlightStayWithinTheBudget)
{
    QVector<QByteArray> members;
    for (int i = 0; i < 16; ++i)
        members << PngBytes(solid(256, 128, QColor(255, 255, 255, 40 * (i % 6)), QImage::Format_RGBA64));
    LayerCodingPool::Settings probe;
    const qint64 cost = LayerCodingPool::estimateLayerBytes(members[0], probe);
    QImage decoded;
    QString error;
    ASSERT_TRUE(DecodeArchiveImage(members[0], decoded, error));
    EXPECT_GE(cost, decoded.sizeInBytes() + 256 * 128 * 2) << "the estimate covers the 16-bit pixels";

    struct Case {
        qint64 budget;
        qint64 expectedPeak; // at most
    };
    const QVector<Case> cases = {{cost * 5 / 2, cost * 2}, {cost / 2, cost}, {cost * 100, cost * 8}}; // the last bounded by the window of 8
    for (const Case& c : cases) {
        std::atomic<qint64> peak{0};
        LayerCodingPool::Settings settings;
        settings.byteBudget = c.budget;
        settings.inFlightObserver = [&](qint64 bytes) {
            qint64 seen = peak.load();
            while (bytes > seen && !peak.compare_exchange_weak(seen, bytes)) {
            }
        };
        {
            LayerCodingPool pool(settings, 6, 8);
            int submitted = 0, taken = 0;
            for (const QByteArray& m : members) {
                if (pool.isFull()) {
                    EXPECT_EQ(pool.takeNext().layer, ++taken);
                }
                pool.submit(++submitted, m);
            }
            while (pool.hasPending()) {
                const LayerCodingPool::Result r = pool.takeNext();
                EXPECT_EQ(r.layer, ++taken);
                EXPECT_TRUE(r.ok) << r.error.toStdString();
            }
            EXPECT_EQ(pool.peakBytesInFlight(), peak.load());
        }
        EXPECT_GE(peak.load(), cost) << "budget " << c.budget;
        EXPECT_LE(peak.load(), c.expectedPeak) << "budget " << c.budget;
    }
}

TEST_F(HostileConversion, TheConverterPassesItsBudgetToThePool)
{
    QVector<QImage> layers;
    for (int i = 0; i < 12; ++i)
        layers << solid(256, 128, QColor(255, 255, 255, 20 * i), QImage::Format_RGBA64);
    const qint64 cost = LayerCodingPool::estimateLayerBytes(PngBytes(layers[0]), LayerCodingPool::Settings());
    std::atomic<qint64> peak{0};
    job.m_decodeBudget = cost; // one layer at a time
    job.m_inFlightObserver = [&](qint64 bytes) {
        qint64 seen = peak.load();
        while (bytes > seen && !peak.compare_exchange_weak(seen, bytes)) {
        }
    };
    ASSERT_EQ(convert(layers), ExportOk) << job.lastMessage().toStdString();
    EXPECT_GE(peak.load(), cost);
    EXPECT_LE(peak.load(), cost);
}

TEST(UsableCores, FollowTheProcessAffinityNotTheMachine)
{
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = -1;
    for (int i = 0; i < CPU_SETSIZE && first < 0; ++i)
        if (CPU_ISSET(i, &saved))
            first = i;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(UsableCoreCount(), 1);
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);
    EXPECT_EQ(UsableCoreCount(), CPU_COUNT(&saved));
}

TEST(FileErrors, AFullDeviceIsSaidInWords)
{
    QFile full("/dev/full");
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        GTEST_SKIP() << "no /dev/full";
    const QByteArray bytes(4096, 'x');
    EXPECT_LT(full.write(bytes), bytes.size());
    EXPECT_EQ(FileErrorSentence(full.error()), "No space left on the device");
    EXPECT_EQ(FileErrorSentence(QFileDevice::PermissionsError), "Permission denied");
}

// A re-save source is checked whole before anything is copied.
TEST(ResaveWholeSource, DamagedSourcesAreRefusedAndNothingIsWritten)
{
    QTemporaryDir dir;
    QByteArray good("Vexmor3D", 8);
    auto put = [](QByteArray& b, qint32 v) {
        for (int i = 0; i < 4; ++i)
            b.append(char(quint32(v) >> (8 * i)));
    };
    for (qint32 v : {1, 1, 30, 0, 34})
        put(good, v);
    for (int i = 0; i < 34; ++i)
        put(good, 0);
    for (qint32 v : {2, 4, 0, 0})
        put(good, v);
    put(good, 2);
    good.append("\x01\x02", 2);
    put(good, 1);
    good.append("\x03", 1);
    auto withCount = [&](qint32 n) {
        QByteArray b = good;
        for (int i = 0; i < 4; ++i)
            b[164 + i] = char(quint32(n) >> (8 * i));
        return b;
    };
    struct Case {
        QByteArray bytes;
        bool accepted;
    };
    const QVector<Case> cases = {
        {good, true},
        {good.left(good.size() - 1), false}, // last layer cut short
        {good.left(180), false},             // header only
        {withCount(1000000000), false},
        {withCount(-7), false},
        {withCount(0), false},
        {good.left(100), false},
    };
    const QString dst = dir.filePath("dst.vxs");
    for (int i = 0; i < cases.size(); ++i) {
        const QString src = dir.filePath(QString("src%1.vxs").arg(i));
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(cases[i].bytes);
        f.close();
        QFile::remove(dst);
        QString error;
        const ResaveResult r = ResaveVxs(src, dst, ST_MachinePara{}, nullptr, error);
        EXPECT_EQ(r == ResaveResult::Ok, cases[i].accepted) << "case " << i << ": " << error.toStdString();
        EXPECT_EQ(QFile::exists(dst), cases[i].accepted) << "case " << i;
        EXPECT_EQ(readAll(src), cases[i].bytes);
    }
}

TEST(PrinterModelTables, CodesExtensionsAndFramesAsTheConverterPanelHasThem)
{
    struct Case {
        const char* model;
        int code;
        const char* extension;
    };
    const Case cases[] = {{"R10", 10, "vxs"},           {"Pellar30", 30, "vxs30"},   {"Pellar4K", 4000, "vxs4k"},
                          {"Pellar4Kmono", 4500, "vxs4k"}, {"Pellar120", 120, "vxs120"}, {"Pellar200Pro", 240, "vxs200p"},
                          {"pellar30", 0, ""},          {"", 0, ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(PrinterModels::MachineCode(c.model), c.code) << c.model;
        EXPECT_EQ(PrinterModels::Extension(c.model), QString(c.extension)) << c.model;
    }
    EXPECT_EQ(PrinterModels::Names().size(), 10);

    // A turned row exchanges the axes; the source must have that frame.
    ST_MachinePara para = PrinterModels::ConverterDefaultPara();
    PrinterModels::Frame frame{3840, 6480, 31.5f, 10.5f, 190, true};
    PrinterModels::ApplyFrame(para, frame);
    EXPECT_FLOAT_EQ(para.XResolution, 6480);
    EXPECT_FLOAT_EQ(para.YResolution, 3840);
    EXPECT_FLOAT_EQ(para.DotsPermmX, 1000 / 10.5f);
    EXPECT_FLOAT_EQ(para.DotsPermmY, 1000 / 31.5f);
    EXPECT_FLOAT_EQ(para.MachineHeight, 190);
    ST_MachinePara source = para;
    EXPECT_TRUE(PrinterModels::SourceFrameProblem(source, para, "Pellar4K").isEmpty());
    std::swap(source.XResolution, source.YResolution);
    EXPECT_TRUE(PrinterModels::SourceFrameProblem(source, para, "Pellar4K").contains("quarter turn"));
}
