#include "printfile/runlength.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

QImage greyImage(int w, int h, const QVector<uint8_t>& values)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = values[y * w + x];
    return image;
}

// Rows share one output vector: a code that kept leftovers of a longer one shows.
TEST(RunLength, KnownCodes)
{
    QImage frame(2560, 1440, QImage::Format_Grayscale8);
    frame.fill(0);
    const struct { const char* name; QImage image; QByteArray code; } cases[] = {
        {"black projector frame", frame, QByteArray("\x03\x08\x04\x00\x00\x00", 6)},
        {"worked example, two rows", greyImage(4, 2, {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03}),
         QByteArray("\x02\xF5\x01", 3)},
        {"16 white: two digits", greyImage(16, 1, QVector<uint8_t>(16, 0xFF)), QByteArray("\xF1\xF0", 2)},
        {"300 black", greyImage(100, 3, QVector<uint8_t>(300, 0x00)), QByteArray("\x01\x02\x0C", 3)},
    };
    QVector<unsigned char> out;
    for (const auto& c : cases) {
        ASSERT_TRUE(EncodeRunLength(c.image, 4, out)) << c.name;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.constData()), out.size()), c.code) << c.name;
    }
}

TEST(RunLength, RejectsInvalidInput)
{
    QVector<unsigned char> out{1, 2, 3};
    QImage grey(4, 4, QImage::Format_Grayscale8);
    grey.fill(0);
    EXPECT_FALSE(EncodeRunLength(QImage(4, 4, QImage::Format_RGB32), 4, out));
    EXPECT_TRUE(out.isEmpty());
    EXPECT_FALSE(EncodeRunLength(grey, 0, out) || EncodeRunLength(grey, 8, out) || EncodeRunLength(QImage(), 4, out));
}

// The pixels a code covers, from hand-made codes and from coded images of
// every depth; the count stops just past its limit.
TEST(RunLength, PixelCount)
{
    const struct { QByteArray code; int bits; quint64 limit, pixels; } cases[] = {
        {QByteArray("\x03\xF1\x08", 3), 4, 100, 12},
        {QByteArray("\x7B\xF1", 2), 4, 100, 12},
        {QByteArray("\x0F\x0F", 2), 4, 1000, 255}, // one run of two digits
        {QByteArray(), 4, 10, 0},
        {QByteArray("\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F\x0F", 17), 4, 1000,
         1001}, // a run far past the limit
        {QByteArray("\x03", 1), 0, 100, 0}, // no such depth
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunLengthPixelCount(reinterpret_cast<const uchar*>(c.code.constData()), c.code.size(), c.bits, c.limit),
                  c.pixels)
            << c.code.toHex().constData();
    quint32 seed = 7;
    for (int bits = 1; bits <= 7; ++bits) {
        QImage img(37, 23, QImage::Format_Grayscale8);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.scanLine(y)[x] = uchar((seed = seed * 1103515245u + 12345u) >> 24) & (x % 5 ? 0xFF : 0);
        QVector<unsigned char> code;
        ASSERT_TRUE(EncodeRunLength(img, bits, code));
        EXPECT_EQ(RunLengthPixelCount(code.constData(), code.size(), bits, 1u << 20), quint64(37 * 23)) << bits;
    }
}

TEST(Rgb565, DropsAlphaAndLowBits)
{
    EXPECT_EQ(Rgb565(0xFF00FF00u), 0x07E0);
    EXPECT_EQ(Rgb565(0x80123456u), ((0x12 >> 3) << 11) | ((0x34 >> 2) << 5) | (0x56 >> 3));
}

} // namespace
