#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// The preview scaled to `size` (aspect ratio ignored, smooth) as RGB565
// values, row by row from the top. Empty when the preview or size is empty.
QVector<quint16> PreviewRgb565(const QImage& preview, QSize size);

// The image as PNG bytes (default quality); empty for a null image.
QByteArray PreviewPng(const QImage& image);
