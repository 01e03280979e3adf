#include "printfiledecoder.h"
#include "printfile/runlength.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>

namespace {

QImage greyImage(int w, int h, const QVector<uint8_t>& values)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = values[y * w + x];
    return image;
}

QByteArray encode(const QImage& image, int bits = 4)
{
    QVector<unsigned char> out;
    EXPECT_TRUE(EncodeRunLength(image, bits, out));
    return QByteArray(reinterpret_cast<const char*>(out.constData()), out.size());
}

TEST(RunLength, KnownCodes)
{
    QImage frame(2560, 1440, QImage::Format_Grayscale8);
    frame.fill(0);
    const struct {
        const char* name;
        QImage image;
        QByteArray code;
    } cases[] = {
        {"worked example, two rows", greyImage(4, 2, {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03}),
         QByteArray("\x02\xF5\x01", 3)},
        {"16 white: two digits", greyImage(16, 1, QVector<uint8_t>(16, 0xFF)), QByteArray("\xF1\xF0", 2)},
        {"300 black", greyImage(100, 3, QVector<uint8_t>(300, 0x00)), QByteArray("\x01\x02\x0C", 3)},
        {"black projector frame", frame, QByteArray("\x03\x08\x04\x00\x00\x00", 6)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encode(c.image), c.code) << c.name;
}

TEST(RunLength, RejectsInvalidInput)
{
    QVector<unsigned char> out{1, 2, 3};
    QImage rgb(4, 4, QImage::Format_RGB32);
    EXPECT_FALSE(EncodeRunLength(rgb, 4, out));
    EXPECT_TRUE(out.isEmpty());
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(0);
    EXPECT_FALSE(EncodeRunLength(grey, 0, out));
    EXPECT_FALSE(EncodeRunLength(grey, 8, out));
    EXPECT_FALSE(EncodeRunLength(QImage(), 4, out));
}

// Random rows with long runs, single pixels and runs crossing word and row
// boundaries: the decoded levels must equal the masked pixels, for each depth.
TEST(RunLength, RoundTripsRandomImagesAtEveryDepth)
{
    std::mt19937 rng(7);
    for (int bits = 1; bits <= 7; ++bits) {
        const int w = 67, h = 23; // odd width: rows do not align to words
        QVector<uint8_t> values;
        uint8_t v = 0;
        for (int i = 0; i < w * h; ++i) {
            if (rng() % 9 == 0)
                v = uint8_t(rng());
            values.append(v);
        }
        QImage image = greyImage(w, h, values);
        const QVector<DecodedRun> runs = DecodeRuns(encode(image, bits), bits);
        uint64_t total = 0;
        for (int i = 0; i < runs.size(); ++i) {
            EXPECT_GT(runs[i].count, 0u);
            if (i > 0) {
                EXPECT_NE(runs[i].level, runs[i - 1].level);
            }
            total += runs[i].count;
        }
        ASSERT_EQ(total, uint64_t(w * h)) << "bits " << bits;
        const QVector<uint8_t> levels = ExpandRuns(runs, w * h);
        const uint8_t mask = uint8_t(0xFF << (8 - bits));
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(levels[i], values[i] & mask) << "bits " << bits << " pixel " << i;
    }
}

TEST(RunLength, ReusesOutputWithoutLeftovers)
{
    QVector<unsigned char> out;
    QImage noisy(64, 64, QImage::Format_Grayscale8);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            noisy.scanLine(y)[x] = uint8_t((x + y) % 2 ? 0xF0 : 0x00);
    ASSERT_TRUE(EncodeRunLength(noisy, 4, out));
    EXPECT_EQ(out.size(), 64 * 64 - 63); // row ends join two equal pixels into one run
    QImage black(64, 64, QImage::Format_Grayscale8);
    black.fill(0);
    ASSERT_TRUE(EncodeRunLength(black, 4, out));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.constData()), out.size()), QByteArray("\x01\x00\x00\x00", 4)); // 4096 = 0x1000
}

TEST(Rgb565, DropsAlphaAndLowBits)
{
    EXPECT_EQ(Rgb565(0xFFFFFFFFu), 0xFFFF);
    EXPECT_EQ(Rgb565(0x00FF0000u), 0xF800);
    EXPECT_EQ(Rgb565(0x0000FF00u), 0x07E0);
    EXPECT_EQ(Rgb565(0x000000FFu), 0x001F);
    EXPECT_EQ(Rgb565(0x80123456u), ((0x12 >> 3) << 11) | ((0x34 >> 2) << 5) | (0x56 >> 3));
}

} // namespace
