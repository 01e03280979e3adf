#include "archive_builder.h"
#include "hostile_sources.h"
#include "memory_in_use.h"
#include "printfiledecoder.h"
#include "vxs_reader.h"

#include "dlp/machinepara.h"
#include "printfile/ExportThread.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

#include <unistd.h>

namespace {

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QDataStream& littleEndian(QDataStream& out)
{
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    return out;
}

// A small VXS file laid out by hand: header, parameters 1..34, 2 layers.
QByteArray handMadeVxs(qint32 paraCount = 34, const char* magic = "Vexmor3D")
{
    QByteArray b(magic, 8);
    QDataStream out(&b, QIODevice::Append);
    littleEndian(out) << qint32(1) << qint32(1) << qint32(10) << qint32(0) << paraCount;
    for (int i = 0; i < 34; ++i)
        out << float(i + 1);
    // Two layers of the 3 x 4 frame the parameters state (elements 2 and 3).
    out << qint32(2) << qint32(4) << qint32(0) << qint32(0) << qint32(3);
    out.writeRawData("\x03\xF1\x08", 3);
    out << qint32(2);
    out.writeRawData("\x7B\xF1", 2);
    return b;
}

QByteArray withLayerCount(QByteArray b, qint32 n)
{
    for (int i = 0; i < 4; ++i)
        b[164 + i] = char(quint32(n) >> (8 * i));
    return b;
}

const float kNewValue0 = -100.0f, kNewStep = -0.5f;

// New values, the source's frame of 3 x 4 pixels kept.
ST_MachinePara newPara()
{
    ST_MachinePara para;
    for (int i = 0; i < 34; ++i)
        (&para.DotsPermmX)[i] = kNewValue0 + kNewStep * i;
    para.XResolution = 3;
    para.YResolution = 4;
    para.MachineHeight = 1000; // holds every source here
    return para;
}

// What a re-save must produce from `source`: the new block at 28..163 only.
QByteArray expectedAfterResave(const QByteArray& source)
{
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    const ST_MachinePara para = newPara();
    for (int i = 0; i < 34; ++i)
        littleEndian(out) << (&para.DotsPermmX)[i];
    return source.left(28) + block + source.mid(164);
}

class ResaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        source = handMadeVxs();
        srcPath = dir.filePath("part.vxs");
        ASSERT_TRUE(writeAll(srcPath, source));
    }

    int resave(const QString& src, const QString& dst, const ST_MachinePara& para = newPara())
    {
        job.m_exportType = "Vexmor3D";
        job.m_machineCode = 10; // the code of the sources here
        job.m_srcPath = src;
        job.m_dstPath = dst;
        job.m_para = para;
        job.start();
        job.wait();
        return job.lastResult();
    }

    QTemporaryDir dir;
    ExportThread job;
    QByteArray source;
    QString srcPath;
};

TEST_F(ResaveTest, OnlyTheParameterBlockChangesInPlaceOrInACopy)
{
    ASSERT_EQ(resave(srcPath, srcPath), ExportOk) << qPrintable(job.lastMessage());
    const QByteArray after = ReadFileBytes(srcPath);
    EXPECT_EQ(after, expectedAfterResave(source));
    EXPECT_EQ(LittleEndianFloat(after, 28 + 4 * 4), -102.0f); // thickness
    EXPECT_EQ(job.m_totalLayer, 2);

    // A copy replaces an existing file and leaves the source alone.
    ASSERT_TRUE(writeAll(srcPath, source));
    const QString dst = dir.filePath("copy.vxs");
    ASSERT_TRUE(writeAll(dst, QByteArray(10000, 'z')));
    ASSERT_EQ(resave(srcPath, dst), ExportOk) << qPrintable(job.lastMessage());
    EXPECT_EQ(ReadFileBytes(dst), expectedAfterResave(source));
    EXPECT_EQ(ReadFileBytes(srcPath), source);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(ResaveTest, SecondSpellingsOfTheSourceLoseNothing)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const QString symlink = dir.filePath("link.vxs");
    ASSERT_TRUE(QFile::link(srcPath, symlink));
    const QString hardlink = dir.filePath("hard.vxs");
    ASSERT_EQ(::link(QFile::encodeName(srcPath).constData(), QFile::encodeName(hardlink).constData()), 0);

    const QString oldCwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString& other :
         {dir.path() + "/./part.vxs", dir.path() + "/sub/../part.vxs", symlink, hardlink, QString("part.vxs")}) {
        for (bool sourceFirst : {true, false}) {
            ASSERT_TRUE(writeAll(srcPath, source));
            EXPECT_EQ(sourceFirst ? resave(srcPath, other) : resave(other, srcPath), ExportOk) << qPrintable(other);
            EXPECT_EQ(ReadFileBytes(srcPath), expectedAfterResave(source)) << qPrintable(other);
        }
    }
    QDir::setCurrent(oldCwd);
    EXPECT_TRUE(QFileInfo(symlink).isSymLink());
}

// A source is checked whole before anything is written.
TEST_F(ResaveTest, DamagedOrForeignSourcesAreRefusedUnchanged)
{
    auto withCount = [&](qint32 n) {
        QByteArray b = source;
        for (int i = 0; i < 4; ++i)
            b[164 + i] = char(quint32(n) >> (8 * i));
        return b;
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"33 parameters", handMadeVxs(33)},     {"other magic", handMadeVxs(34, "Vexmor2D")},
        {"short", "Vexmor3D short"},            {"parameters cut short", source.left(100)},
        {"header only", source.left(180)},      {"last layer cut short", source.left(source.size() - 1)},
        {"a billion layers", withCount(1000000000)}, {"negative layers", withCount(-7)},
        {"no layers, layer bytes", withCount(0)},
    };
    const QString dst = dir.filePath("never.vxs");
    for (const auto& [name, bad] : cases) {
        ASSERT_TRUE(writeAll(srcPath, bad));
        EXPECT_EQ(resave(srcPath, srcPath), ExportSourceInvalid) << name;
        EXPECT_EQ(ReadFileBytes(srcPath), bad) << name;
        EXPECT_EQ(resave(srcPath, dst), ExportSourceInvalid) << name;
        EXPECT_FALSE(QFile::exists(dst)) << name;
    }
    EXPECT_EQ(resave(dir.filePath("absent.vxs"), dst), ExportSourceInvalid);
    EXPECT_FALSE(QFile::exists(dst));
    ASSERT_TRUE(writeAll(srcPath, source));
    EXPECT_EQ(resave(srcPath, dir.filePath("no/such/folder/out.vxs")), ExportOutputFailed);
    EXPECT_FALSE(job.lastMessage().isEmpty());
    EXPECT_EQ(ReadFileBytes(srcPath), source);
}

// A re-save copies exactly the layers the header counts: bytes after them,
// or a record the count leaves out, would go along unprinted.
TEST_F(ResaveTest, ASourceMustEndWithTheLayersItsHeaderCounts)
{
    // A third record of the 3 x 4 frame: one byte, twelve black pixels.
    const QByteArray third = source + QByteArray("\x01\x00\x00\x00\x0C", 5);
    const struct { const char* name; QByteArray src; const char* message; } cases[] = {
        {"1000 bytes of garbage", source + QByteArray(1000, '\x5A'), "holds 1000 bytes after its last layer"},
        {"one zero byte", source + QByteArray(1, '\0'), "holds 1 bytes after its last layer"},
        {"a record the header does not count", withLayerCount(source, 1), "holds 2 layer records, not the 1 its header counts"},
        {"a third record", third, "holds 3 layer records, not the 2 its header counts"},
    };
    const QString dst = dir.filePath("resaved.vxs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeAll(srcPath, c.src));
        for (const QString& target : {dst, srcPath}) {
            EXPECT_EQ(resave(srcPath, target), ExportSourceInvalid);
            EXPECT_TRUE(job.lastMessage().contains(c.message)) << qPrintable(job.lastMessage());
            EXPECT_FALSE(QFile::exists(dst));
            EXPECT_EQ(ReadFileBytes(srcPath), c.src);
        }
    }
    // The same file without the extra bytes is re-saved, and reads back whole.
    ASSERT_TRUE(writeAll(srcPath, source));
    ASSERT_EQ(resave(srcPath, dst), ExportOk) << qPrintable(job.lastMessage());
    VxsFileContents vxs;
    QString error;
    EXPECT_TRUE(ReadVxs(ReadFileBytes(dst), false, vxs, error)) << qPrintable(error);
    EXPECT_EQ(vxs.layerCodes.size(), 2);
}

// A record is judged by the frame before it is read: a sparse source whose
// one record claims 512 MB costs no memory to refuse.
TEST_F(ResaveTest, ARecordLongerThanItsFrameCanNeedIsNeverRead)
{
    const qint32 claimed = 512 << 20;
    QByteArray head = withLayerCount(source.left(180), 1); // header and the empty preview
    {
        QDataStream out(&head, QIODevice::Append);
        littleEndian(out) << claimed;
    }
    ASSERT_TRUE(writeAll(srcPath, head));
    {
        QFile sparse(srcPath);
        ASSERT_TRUE(sparse.resize(head.size() + qint64(claimed))); // a hole, not written bytes
    }
    const QString dst = dir.filePath("resaved.vxs");
    ASSERT_TRUE(resetPeakMemory());
    const qint64 before = peakMemoryKb();
    EXPECT_EQ(resave(srcPath, dst), ExportLayerFailed);
    const qint64 grown = peakMemoryKb() - before;
    EXPECT_EQ(job.failedLayer(), 1);
    EXPECT_TRUE(job.lastMessage().contains(QString("layer 1 holds %1 bytes of code, more than the 3 x 4 frame").arg(claimed)))
        << qPrintable(job.lastMessage());
    EXPECT_LT(grown, 32 << 10) << "kB";
    EXPECT_FALSE(QFile::exists(dst));
    // A record of the most a 3 x 4 code takes (one byte a pixel) is read and judged by its pixels.
    QByteArray twelve = withLayerCount(source.left(180), 1);
    {
        QDataStream out(&twelve, QIODevice::Append);
        littleEndian(out) << qint32(12);
        out.writeRawData("\x01\xF1\x01\xF1\x01\xF1\x01\xF1\x01\xF1\x01\xF1", 12);
    }
    ASSERT_TRUE(writeAll(srcPath, twelve));
    ASSERT_EQ(resave(srcPath, dst), ExportOk) << qPrintable(job.lastMessage());
}

// A source whose layers are all black is not re-saved: the printer would
// cure nothing.
TEST_F(ResaveTest, ASourceThatLightsNothingIsNotResaved)
{
    // Layer 1 twelve black pixels, layer 2 eleven black and one white.
    const QByteArray black("\x01\x00\x00\x00\x0C", 5), lastLit("\x02\x00\x00\x00\x0B\xF1", 6);
    QByteArray dark = source.left(180) + black + lastLit;
    const QString dst = dir.filePath("resaved.vxs");
    ASSERT_TRUE(writeAll(srcPath, dark));
    ASSERT_EQ(resave(srcPath, dst), ExportOk) << qPrintable(job.lastMessage());
    dark = source.left(180) + black + black;
    ASSERT_TRUE(writeAll(srcPath, dark));
    QFile::remove(dst);
    for (const QString& target : {dst, srcPath}) {
        EXPECT_EQ(resave(srcPath, target), ExportNothingLit);
        EXPECT_TRUE(job.lastMessage().startsWith("Nothing to print.")) << qPrintable(job.lastMessage());
        EXPECT_FALSE(QFile::exists(dst));
        EXPECT_EQ(ReadFileBytes(srcPath), dark);
    }
}

// A re-save never writes a header over layers of another frame: not for
// another model's frame, and not over a source whose layers already differ
// from its own header.
TEST_F(ResaveTest, AFrameTheLayersDoNotHaveIsNeverWritten)
{
    QByteArray lying = source; // layer 2 holds 16 pixels under the 3 x 4 header
    lying.replace(lying.size() - 2, 2, QByteArray("\x7F\xF1", 2));
    const struct { const char* name; QByteArray src; float xres, yres; int result, failedLayer; const char* message; } cases[] = {
        {"another model's frame", source, 480, 854, ExportSourceInvalid, 0, "Image setting does not match!"},
        {"turned a quarter turn", source, 4, 3, ExportSourceInvalid, 0, "Image setting does not match!"},
        {"layers that differ from the header", lying, 3, 4, ExportLayerFailed, 2, "layer 2 holds 16 pixels"},
    };
    const QString dst = dir.filePath("resaved.vxs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeAll(srcPath, c.src));
        ST_MachinePara para = newPara();
        para.XResolution = c.xres;
        para.YResolution = c.yres;
        for (const QString& target : {dst, srcPath}) {
            EXPECT_EQ(resave(srcPath, target, para), c.result);
            EXPECT_EQ(job.failedLayer(), c.failedLayer);
            EXPECT_TRUE(job.lastMessage().contains(c.message)) << qPrintable(job.lastMessage());
            EXPECT_FALSE(QFile::exists(dst));
            EXPECT_EQ(ReadFileBytes(srcPath), c.src);
        }
    }
}

// Sources with runs of length 0 (a printer's reader refuses them): none is
// copied on, in place or to a new file; the layer is named; a source whose
// every lit run is of length 0 lights nothing. Leading zero digits of a run
// are no run of length 0. Every file written is read back by the tests'
// decoder, which refuses such runs.
TEST_F(ResaveTest, RunsOfLengthZeroAreNeverWritten)
{
    // Layers of the 3 x 4 frame, 4 bits a pixel: level in the high nibble,
    // a digit of the count in the low one.
    const QByteArray layer1("\x03\xF1\x08", 3), layer2("\x7B\xF1", 2), black("\x0C", 1);
    const struct { const char* what; QByteArray first, second; int result, failedLayer; const char* message; } rows[] = {
        {"a dark and a lit run of length 0 open layer 1", QByteArray("\x00\xF0", 2) + layer1, layer2,
         ExportLayerFailed, 1, "layer 1 holds a run of length 0"},
        {"a grey run of length 0 between two runs of layer 2", layer1, QByteArray("\x7B\x30\xF1", 3),
         ExportLayerFailed, 2, "layer 2 holds a run of length 0"},
        {"a lit run of length 0 ends layer 1", layer1 + QByteArray("\xF0", 1), layer2, ExportLayerFailed, 1,
         "layer 1 holds a run of length 0"},
        {"every lit run is of length 0", black + QByteArray("\xF0", 1), QByteArray("\xF0\x0C", 2), ExportNothingLit,
         0, "Nothing to print."},
        {"a lit run written as two zero digits", layer1, QByteArray("\x7C\xF0\xF0", 3), ExportLayerFailed, 2,
         "layer 2 holds a run of length 0"},
        {"leading zero digits", QByteArray("\x00\x03\xF0\xF1\x08", 5), layer2, ExportOk, 0, ""},
    };
    const QString dst = dir.filePath("resaved.vxs");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        QByteArray src = source.left(180);
        QDataStream out(&src, QIODevice::Append);
        littleEndian(out) << qint32(r.first.size());
        out.writeRawData(r.first.constData(), r.first.size());
        out << qint32(r.second.size());
        out.writeRawData(r.second.constData(), r.second.size());
        ASSERT_TRUE(writeAll(srcPath, src));
        // The decoder sees what the re-save is to see.
        const VxsFile read = ReadVxs(srcPath, false);
        EXPECT_EQ(read.valid, r.result == ExportOk) << read.error;
        const int result = r.result;
        for (const QString& target : {dst, srcPath}) {
            QFile::remove(dst);
            EXPECT_EQ(resave(srcPath, target), result) << qPrintable(job.lastMessage());
            EXPECT_EQ(job.failedLayer(), r.failedLayer);
            EXPECT_TRUE(job.lastMessage().contains(r.message)) << qPrintable(job.lastMessage());
            if (result != ExportOk) {
                EXPECT_FALSE(QFile::exists(dst));
                EXPECT_EQ(ReadFileBytes(srcPath), src);
                continue;
            }
            const VxsFile written = ReadVxs(target, false);
            ASSERT_TRUE(written.valid) << written.error;
            ASSERT_EQ(written.layers.size(), 2);
            for (const QByteArray& layer : written.layers) {
                quint64 pixels = 0;
                for (const DecodedRun& run : DecodeRuns(layer, written.bits)) {
                    EXPECT_GT(run.count, 0u);
                    pixels += run.count;
                }
                EXPECT_EQ(pixels, 12u);
            }
            ASSERT_TRUE(writeAll(srcPath, src));
        }
    }
}

// The re-save keeps the header's machine code: a file goes only to the
// printer of that code. Nor is a print written taller than the printer.
TEST_F(ResaveTest, ASourceForAnotherPrinterOrTallerThanThePrinterIsNotResaved)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct { const char* name; int code; const char* model; int modelCode; float thickness; int layers; float height; int result; const char* says; } cases[] = {
        {"Pellar30 file for Pellar120", 30, "Pellar120", 120, 0.05f, 3, 150, ExportWrongPrinter,
         "Wrong printer! the source is a print file of machine code 30 (R20, Pellar30); Pellar120 prints only files of "
         "its own code 120"},
        {"Pellar120 file for Pellar30", 120, "Pellar30", 30, 0.05f, 3, 170, ExportWrongPrinter,
         "machine code 120 (Pellar120); Pellar30 prints only files of its own code 30"},
        {"Pellar4K file for Pellar4Kmono", 4000, "Pellar4Kmono", 4500, 0.05f, 3, 190, ExportWrongPrinter,
         "machine code 4000 (Pellar4K); Pellar4Kmono prints only files of its own code 4500"},
        {"a code no printer has", 77, "Pellar30", 30, 0.05f, 3, 170, ExportWrongPrinter,
         "machine code 77 (no known printer)"},
        {"1 m on a 170 mm printer", 30, "Pellar30", 30, 0.05f, 20000, 170, ExportTooTall,
         "Too tall to print! its 20000 layers of 0.05 mm make 1000.00 mm, more than the build height of Pellar30, 170 mm"},
        {"10 m on a 170 mm printer", 30, "Pellar30", 30, 0.01f, 1000000, 170, ExportTooTall,
         "its 1000000 layers of 0.01 mm make 10000.00 mm"},
        {"one layer over", 30, "Pellar30", 30, 0.05f, 3401, 170, ExportTooTall, "make 170.05 mm"},
        {"no height", 30, "Pellar30", 30, 0.05f, 3, nan, ExportTooTall, "Too tall to print!"},
        {"170 mm to the layer", 30, "Pellar30", 30, 0.05f, 3400, 170, ExportOk, ""},
        {"10 um layers to the top", 30, "Pellar30", 30, 0.01f, 17000, 170, ExportOk, ""},
    };
    const QString dst = dir.filePath("new.vxs");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = VxsSource(c.code, 3, 4, c.thickness, c.layers);
        ASSERT_TRUE(writeAll(srcPath, bytes));
        QFile::remove(dst);
        ST_MachinePara para = newPara();
        para.SliceThickness = c.thickness;
        para.MachineHeight = c.height;
        job.m_machineName = c.model;
        job.m_exportType = "Vexmor3D";
        job.m_machineCode = c.modelCode;
        job.m_srcPath = srcPath;
        job.m_dstPath = dst;
        job.m_para = para;
        job.start();
        job.wait();
        EXPECT_EQ(job.lastResult(), c.result) << qPrintable(job.lastMessage());
        EXPECT_TRUE(job.lastMessage().contains(c.says)) << qPrintable(job.lastMessage());
        EXPECT_EQ(QFile::exists(dst), c.result == ExportOk);
        EXPECT_EQ(ReadFileBytes(srcPath), bytes);
    }
}

} // namespace
