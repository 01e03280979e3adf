#include "printfiledecoder.h"

#include <QFile>
#include <cstring>

int32_t Reader::i32()
{
    return int32_t(u32());
}

uint32_t Reader::u32()
{
    if (pos + 4 > data.size()) {
        ok = false;
        return 0;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(data.constData() + pos);
    pos += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float Reader::f32()
{
    const uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

QByteArray Reader::bytes(int n)
{
    if (n < 0 || pos + n > data.size()) {
        ok = false;
        return {};
    }
    QByteArray out = data.mid(pos, n);
    pos += n;
    return out;
}

QVector<DecodedRun> DecodeRuns(const QByteArray& code, int bits)
{
    QVector<DecodedRun> runs;
    const int digitBits = 8 - bits;
    const uint8_t levelMask = uint8_t(0xFF << digitBits);
    for (int i = 0; i < code.size(); ++i) {
        const uint8_t byte = uint8_t(code[i]);
        const uint8_t level = byte & levelMask;
        const uint8_t digit = byte & uint8_t(~levelMask);
        if (runs.isEmpty() || runs.last().level != level)
            runs.append({level, 0});
        runs.last().count = (runs.last().count << digitBits) | digit;
    }
    return runs;
}

QVector<uint8_t> ExpandRuns(const QVector<DecodedRun>& runs, uint64_t limit)
{
    QVector<uint8_t> pixels;
    for (const DecodedRun& run : runs) {
        if (pixels.size() + run.count > limit)
            break;
        for (uint64_t k = 0; k < run.count; ++k)
            pixels.append(run.level);
    }
    return pixels;
}

VxsFile ReadVxs(const QString& path, bool pngBlock)
{
    VxsFile f;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        f.error = "cannot open";
        return f;
    }
    Reader r{file.readAll()};
    f.magic = r.bytes(8);
    for (int32_t& w : f.words)
        w = r.i32();
    f.paramCount = r.i32();
    for (float& p : f.params)
        p = r.f32();
    f.layerCount = r.i32();
    f.bits = r.i32();
    f.previewWidth = r.i32();
    f.previewHeight = r.i32();
    if (!r.ok || f.previewWidth < 0 || f.previewHeight < 0 || f.previewWidth * f.previewHeight > 1000000) {
        f.error = "bad header";
        return f;
    }
    const QByteArray preview = r.bytes(2 * f.previewWidth * f.previewHeight);
    for (int i = 0; i + 1 < preview.size(); i += 2)
        f.previewPixels.append(uint16_t(uint8_t(preview[i]) << 8 | uint8_t(preview[i + 1])));
    if (pngBlock) {
        f.hasPng = true;
        const int32_t n = r.i32();
        f.png = r.bytes(n);
        f.pngPadding = r.bytes((4 - n % 4) % 4);
    }
    for (int i = 0; i < f.layerCount && r.ok; ++i)
        f.layers.append(r.bytes(r.i32()));
    if (!r.ok) {
        f.error = "truncated";
        return f;
    }
    if (!r.atEnd()) {
        f.error = "trailing bytes";
        return f;
    }
    // A printer's reader stops at a run that covers no pixel.
    if (f.bits >= 1 && f.bits <= 7)
        for (int i = 0; i < f.layers.size(); ++i)
            for (const DecodedRun& run : DecodeRuns(f.layers[i], f.bits))
                if (run.count == 0) {
                    f.error = "layer " + std::to_string(i + 1) + ": a run of length 0";
                    return f;
                }
    f.valid = true;
    return f;
}
