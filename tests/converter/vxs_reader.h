#pragma once

// Reads VXS files for the tests, written from the file layout alone (it
// shares no code with the writer).

#include <QByteArray>
#include <QString>
#include <QVector>

struct VxsFileContents
{
    qint32 formatWord = 0;
    qint32 machineCode = 0;
    QVector<float> para;
    qint32 layerCount = 0;
    qint32 bitsPerPixel = 0;
    qint32 previewWidth = 0;
    qint32 previewHeight = 0;
    QVector<quint16> preview;
    bool hasPngBlock = false;
    QByteArray png;
    QVector<QByteArray> layerCodes;
};

// Parses a whole file; the PNG block is expected when `withPng`. False with a
// reason when the bytes do not follow the layout or do not end with the last layer.
bool ReadVxs(const QByteArray& bytes, bool withPng, VxsFileContents& out, QString& error);

// Pixel levels of one layer code (each the run's level, B high bits).
bool DecodeLayerLevels(const QByteArray& code, int bitsPerPixel, qint64 maxPixels, QVector<quint8>& levels);

float LittleEndianFloat(const QByteArray& bytes, int offset);
qint32 LittleEndianInt(const QByteArray& bytes, int offset);
