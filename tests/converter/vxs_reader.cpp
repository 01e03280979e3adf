#include "vxs_reader.h"

#include <cstring>

qint32 LittleEndianInt(const QByteArray& bytes, int offset)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + offset);
    return static_cast<qint32>(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

float LittleEndianFloat(const QByteArray& bytes, int offset)
{
    const quint32 bits = static_cast<quint32>(LittleEndianInt(bytes, offset));
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

bool ReadVxs(const QByteArray& bytes, bool withPng, VxsFileContents& out, QString& error)
{
    int pos = 0;
    auto need = [&](int n) {
        if (n < 0 || bytes.size() - pos < n) {
            error = QStringLiteral("file ends early at %1").arg(pos);
            return false;
        }
        return true;
    };
    auto readInt = [&](qint32& v) {
        if (!need(4))
            return false;
        v = LittleEndianInt(bytes, pos);
        pos += 4;
        return true;
    };
    if (!need(8) || bytes.left(8) != "Vexmor3D") {
        error = "magic";
        return false;
    }
    pos = 8;
    qint32 one = 0, zero = 0, count = 0;
    if (!readInt(out.formatWord) || !readInt(one) || !readInt(out.machineCode) || !readInt(zero) || !readInt(count))
        return false;
    if (one != 1 || zero != 0 || count != 34) {
        error = "fixed header words";
        return false;
    }
    if (!need(136))
        return false;
    out.para.clear();
    for (int i = 0; i < 34; ++i, pos += 4)
        out.para.append(LittleEndianFloat(bytes, pos));
    if (!readInt(out.layerCount) || !readInt(out.bitsPerPixel) || !readInt(out.previewWidth) ||
        !readInt(out.previewHeight))
        return false;
    if (out.previewWidth < 0 || out.previewHeight < 0 || out.layerCount < 0 ||
        !need(2 * out.previewWidth * out.previewHeight))
        return false;
    out.preview.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (int i = 0; i < out.previewWidth * out.previewHeight; ++i, pos += 2)
        out.preview.append(static_cast<quint16>(p[pos] << 8 | p[pos + 1]));
    out.hasPngBlock = withPng;
    if (withPng) {
        qint32 n = 0;
        if (!readInt(n) || !need(n))
            return false;
        out.png = bytes.mid(pos, n);
        pos += n;
        const int pad = (4 - n % 4) % 4;
        if (!need(pad))
            return false;
        for (int i = 0; i < pad; ++i)
            if (bytes.at(pos + i) != 0) {
                error = "padding not zero";
                return false;
            }
        pos += pad;
    }
    out.layerCodes.clear();
    for (int i = 0; i < out.layerCount; ++i) {
        qint32 n = 0;
        if (!readInt(n) || !need(n))
            return false;
        out.layerCodes.append(bytes.mid(pos, n));
        pos += n;
    }
    if (pos != bytes.size()) {
        error = QStringLiteral("%1 bytes after the last layer").arg(bytes.size() - pos);
        return false;
    }
    return true;
}

bool DecodeLayerLevels(const QByteArray& code, int bitsPerPixel, qint64 maxPixels, QVector<quint8>& levels)
{
    levels.clear();
    const int digitBits = 8 - bitsPerPixel;
    const quint8 levelMask = static_cast<quint8>(0xFF << digitBits);
    int i = 0;
    while (i < code.size()) {
        const quint8 level = static_cast<quint8>(code.at(i)) & levelMask;
        qint64 count = 0;
        int digits = 0;
        while (i < code.size() && (static_cast<quint8>(code.at(i)) & levelMask) == level) {
            const quint8 digit = static_cast<quint8>(code.at(i)) & ~levelMask;
            if (digits == 0 && digit == 0)
                return false; // a count never has a leading zero
            count = (count << digitBits) | digit;
            ++digits;
            ++i;
        }
        if (levels.size() + count > maxPixels)
            return false;
        levels.insert(levels.size(), static_cast<int>(count), level);
    }
    return true;
}
