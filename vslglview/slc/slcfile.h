#pragma once
#include <QPolygonF>
#include <QVector>

#include <QPointF>

#include <deque>

// Reading the SLC contour format: a text header ended by CR LF SUB, 256
// reserved bytes, a sampling table (one size byte, 16 bytes per entry), then
// layer records of closed outlines in millimetres.
namespace slc {

constexpr int kHeaderSearch = 2048;

struct Contents {
    // From the first layer holding an outline to the last, millimetres; a
    // record without outlines in between is an empty layer.
    QVector<QVector<QPolygonF>> layers;
    QPointF minPt;       // running minimum and maximum of every vertex,
    QPointF maxPt;       // both starting at (0, 0)
    float thickness = 0; // mm: the spacing of the first two layers with outlines (one: its height)
};

// Never reads, loops or allocates past `size`; false for a truncated file
// or a non-finite number.
bool Parse(const char* data, qint64 size, Contents& out);

// a, b, c lie on one line by the format's test (products compared as floats).
bool Collinear(const QPointF& a, const QPointF& b, const QPointF& c);
// Removes collinear middle points as repeated scans from the start would,
// in linear time.
void Thin(QPolygonF& polygon);

} // namespace slc
