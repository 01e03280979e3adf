#include "archive_builder.h"

#include "printfile/archivemember.h"
#include "printfile/filesafety.h"
#include "printfile/gcodeheader.h"
#include "printfile/layercodingpool.h"
#include "printfile/printermodels.h"

#include "contour/slicegeometry.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

#include <sched.h>

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

TEST(GcodeHeader, ParsesKeyValueLinesUpToTheFirstOther)
{
    const struct {
        const char* name;
        QByteArray text;
        QMap<QString, QString> header;
    } cases[] = {
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
    // An endless header, or an endless line, is refused.
    QByteArray endless;
    for (int i = 0; i < 1000; ++i)
        endless += ";key" + QByteArray::number(i) + ":value\n";
    for (const QByteArray& text : {endless, QByteArray(10000, 'x') + ":1\n"}) {
        bool complete = true;
        parse(text, &complete, 4096);
        EXPECT_FALSE(complete);
    }
}

TEST(GcodeHeader, NumbersAreRangeChecked)
{
    const auto h = parse(";n:12\n;big:99999999999\n;word:ten\n;h:0.05\n;nan:nan\n");
    int n = 0;
    EXPECT_TRUE(GcodeHeaderInt(h, "n", 0, 100, n));
    EXPECT_EQ(n, 12);
    for (const char* key : {"big", "word", "absent"})
        EXPECT_FALSE(GcodeHeaderInt(h, key, 0, 100000, n)) << key;
    EXPECT_FALSE(GcodeHeaderInt(h, "n", 13, 100, n));
    double mm = 0;
    EXPECT_TRUE(GcodeHeaderReal(h, "h", 0.01, 0.1, mm));
    EXPECT_DOUBLE_EQ(mm, 0.05);
    EXPECT_FALSE(GcodeHeaderReal(h, "nan", 0, 1, mm));
}

// Bytes in flight are counted by the pool itself and reported to a hook:
// the bound is checked by counting, whatever the machine's speed.
TEST(LayerCodingBudget, DecodedBytesInFlightStayWithinTheBudget)
{
    QVector<QByteArray> members;
    for (int i = 0; i < 16; ++i) {
        QImage image(256, 128, QImage::Format_RGBA64);
        image.fill(QColor(255, 255, 255, 40 * (i % 6)));
        members << PngBytes(image);
    }
    const qint64 cost = LayerCodingPool::estimateLayerBytes(members[0], LayerCodingPool::Settings());
    QImage decoded;
    QString error;
    ASSERT_TRUE(DecodeArchiveImage(members[0], decoded, error));
    EXPECT_GE(cost, decoded.sizeInBytes() + 256 * 128 * 2) << "the estimate covers the 16-bit pixels";

    // Budget and the peak it allows; the last is bounded by the window of 8.
    const std::pair<qint64, qint64> cases[] = {{cost * 5 / 2, cost * 2}, {cost / 2, cost}, {cost * 100, cost * 8}};
    for (auto [budget, allowed] : cases) {
        std::atomic<qint64> peak{0};
        LayerCodingPool::Settings settings;
        settings.byteBudget = budget;
        settings.inFlightObserver = [&](qint64 bytes) { RaisePeak(peak, bytes); };
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
        EXPECT_GE(peak.load(), cost) << "budget " << budget;
        EXPECT_LE(peak.load(), allowed) << "budget " << budget;
    }
}

// Slice, re-save and conversion count the layers a printer holds alike: a
// plate exactly as tall as the printer is sliced into as many layers as the
// build height holds, and a file of that many layers is taken again; one
// more is not. The thicknesses are the slice panel's (10 to 100 um in steps
// of 5), the heights those of the printers.
TEST(PrintHeight, AFileOfAsManyLayersAsSliceMakesFits)
{
    for (const double height : {140.0, 150.0, 170.0, 190.0}) {
        for (int step = 2; step <= 20; ++step) {
            const float thickness = float(step * 0.005);
            SCOPED_TRACE(QString("%1 mm at %2 mm").arg(height).arg(double(thickness)).toStdString());
            const qint64 held = contour::LayerPlanes::CountBelow(thickness, height);
            EXPECT_EQ(held, contour::LayerPlanes::Heights(thickness, float(height), 0).size());
            EXPECT_EQ(PrinterModels::PrintHeightProblem(held, thickness, height, "P"), "");
            EXPECT_TRUE(PrinterModels::PrintHeightProblem(held + 1, thickness, height, "P")
                            .startsWith("Too tall to print! its " + QString::number(held + 1) + " layers"));
            // The last layer's middle lies below the top, its top at most half a layer above it.
            EXPECT_GT(double(held) * double(thickness), height - double(thickness));
            EXPECT_LT(double(held) * double(thickness), height + double(thickness) / 2 + 1e-6);
        }
    }
    // Files the program wrote for the printer and once refused.
    const struct { float thickness; double height; qint64 layers; } written[] = {
        {0.03f, 170, 5667}, {0.045f, 170, 3778}, {0.035f, 150, 4286}, {0.035f, 190, 5429}};
    for (const auto& w : written)
        EXPECT_EQ(PrinterModels::PrintHeightProblem(w.layers, w.thickness, w.height, "P"), "") << w.layers;
    // Nothing holds a layer that no printer takes, nor a height that is no number.
    EXPECT_EQ(contour::LayerPlanes::CountBelow(0.0f, 170), 0);
    EXPECT_EQ(contour::LayerPlanes::CountBelow(0.0005f, 170), 0);
    EXPECT_EQ(contour::LayerPlanes::CountBelow(0.05f, std::nan("")), 0);
    EXPECT_EQ(contour::LayerPlanes::CountBelow(0.05f, -1), 0);
    EXPECT_EQ(contour::LayerPlanes::CountBelow(std::numeric_limits<float>::quiet_NaN(), 170), 0);
    EXPECT_FALSE(PrinterModels::PrintHeightProblem(1, 0.05f, std::nan(""), "P").isEmpty());
    EXPECT_FALSE(PrinterModels::PrintHeightProblem(1, 0.05f, 0, "P").isEmpty());
}

TEST(UsableCores, FollowTheProcessAffinityNotTheMachine)
{
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    int first = 0;
    while (!CPU_ISSET(first, &saved))
        ++first;
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
    EXPECT_LT(full.write(QByteArray(4096, 'x')), 4096);
    EXPECT_EQ(FileErrorSentence(full.error()), "No space left on the device");
}

} // namespace
