#pragma once

// Readers of the print files written here, independent of the writers: they
// parse by the published byte layout only.

#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>
#include <string>

struct DecodedRun
{
    uint8_t level;
    uint64_t count;
};

// Splits a run-length code into runs where the high `bits` bits change.
QVector<DecodedRun> DecodeRuns(const QByteArray& code, int bits);
// Expands runs into pixel levels; stops (returns short) past `limit` pixels.
QVector<uint8_t> ExpandRuns(const QVector<DecodedRun>& runs, uint64_t limit);

struct VxsFile
{
    bool valid = false;
    std::string error;
    QByteArray magic;
    int32_t words[4] = {};  // offsets 8..20
    int32_t paramCount = 0;
    float params[34] = {};
    int32_t layerCount = 0;
    int32_t bits = 0;
    int32_t previewWidth = 0, previewHeight = 0;
    QVector<uint16_t> previewPixels; // read big-endian
    bool hasPng = false;
    QByteArray png;
    QByteArray pngPadding;
    QVector<QByteArray> layers;
};

// `pngBlock` tells whether the file is expected to carry the PNG block; the
// decoder checks that the file ends exactly after the last layer record, and
// refuses a layer holding a run of length 0.
VxsFile ReadVxs(const QString& path, bool pngBlock);

struct Reader
{
    QByteArray data;
    int pos = 0;
    bool ok = true;
    int32_t i32();
    uint32_t u32();
    float f32();
    QByteArray bytes(int n);
    bool atEnd() const { return pos == data.size(); }
};
