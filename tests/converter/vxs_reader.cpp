#include "vxs_reader.h"

#include <QDataStream>

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
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const auto fail = [&](const QString& why) {
        error = why;
        return false;
    };
    // n bytes, never trusting n beyond what is left.
    const auto block = [&](qint64 n, QByteArray& into) {
        if (in.status() != QDataStream::Ok || n < 0 || n > bytes.size() - in.device()->pos())
            return false;
        into.resize(int(n));
        return in.readRawData(into.data(), int(n)) == n;
    };
    QByteArray magic;
    if (!block(8, magic) || magic != "Vexmor3D")
        return fail("magic");
    qint32 one = 0, zero = 0, count = 0;
    in >> out.formatWord >> one >> out.machineCode >> zero >> count;
    if (in.status() == QDataStream::Ok && (one != 1 || zero != 0 || count != 34))
        return fail("fixed header words");
    out.para.resize(34);
    for (float& p : out.para)
        in >> p;
    in >> out.layerCount >> out.bitsPerPixel >> out.previewWidth >> out.previewHeight;
    QByteArray preview;
    if (out.previewWidth < 0 || out.previewHeight < 0 || out.layerCount < 0 ||
        !block(2 * qint64(out.previewWidth) * out.previewHeight, preview))
        return fail(QStringLiteral("header or preview cut short or negative at %1").arg(in.device()->pos()));
    out.preview.clear();
    for (int i = 0; i + 1 < preview.size(); i += 2)
        out.preview.append(static_cast<quint16>(quint8(preview[i]) << 8 | quint8(preview[i + 1])));
    out.hasPngBlock = withPng;
    if (withPng) {
        qint32 n = 0;
        in >> n;
        QByteArray pad;
        if (!block(n, out.png) || !block((4 - n % 4) % 4, pad))
            return fail("PNG block cut short");
        if (pad.count('\0') != pad.size())
            return fail("padding not zero");
    }
    out.layerCodes.clear();
    for (qint32 i = 0; i < out.layerCount; ++i) {
        qint32 n = 0;
        in >> n;
        QByteArray code;
        if (!block(n, code))
            return fail(QStringLiteral("layer %1 cut short").arg(i + 1));
        out.layerCodes.append(code);
    }
    if (!in.atEnd())
        return fail(QStringLiteral("%1 bytes after the last layer").arg(bytes.size() - in.device()->pos()));
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
