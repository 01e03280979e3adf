#pragma once

#include <QByteArray>
#include <QList>

#include <vector>

// Calibration data written the way the printer and "GreyTestFinal.dat" give them.
namespace lightdata {

// Thirteen lines: c0..c5, k, six unused numbers.
inline QList<QByteArray> greyLines(const std::vector<double>& c, double k)
{
    QList<QByteArray> lines;
    for (size_t n = 0; n < 6; ++n)
        lines << QByteArray::number(n < c.size() ? c[n] : 0.0, 'g', 17);
    lines << QByteArray::number(k, 'g', 17);
    for (int n = 0; n < 6; ++n)
        lines << "7";
    return lines;
}

// p(i) = i / 255: grey level and wanted output in step.
inline QList<QByteArray> linearGrey(double k = 0.0)
{
    return greyLines({0.0, 1.0 / 255.0}, k);
}

inline QByteArray greyFile(const QList<QByteArray>& lines)
{
    return lines.join("\r\n") + "\r\n";
}

struct Grid {
    float target = 50;
    int width = 64, height = 48;
    std::vector<float> xs{32}, ys{24};
    std::vector<float> values{100};  // column by column
};

// The items after the three header items.
inline QList<QByteArray> items(const Grid& g)
{
    QList<QByteArray> out{QByteArray::number(double(g.target)), QByteArray::number(g.width),
                          QByteArray::number(g.height), QByteArray::number(int(g.xs.size())),
                          QByteArray::number(int(g.ys.size()))};
    for (const std::vector<float>* list : {&g.xs, &g.ys, &g.values})
        for (float v : *list)
            out << QByteArray::number(double(v), 'g', 9);
    return out;
}

// A printer's reply: three header lines, then the items, CR LF ended.
inline QList<QByteArray> reply(const Grid& g)
{
    QList<QByteArray> out{"M701\r", "Light engine data\r", "Begin\r"};
    for (const QByteArray& item : items(g))
        out << item + "\r";
    out << "ok\r" << "";
    return out;
}

// n x n measuring points at the centres of equal cells, no values yet.
inline Grid evenGrid(int width, int height, int n, float target)
{
    Grid g{target, width, height, {}, {}, {}};
    for (int i = 0; i < n; ++i) {
        g.xs.push_back(float(width) * (i + 0.5f) / float(n));
        g.ys.push_back(float(height) * (i + 0.5f) / float(n));
    }
    return g;
}

}  // namespace lightdata
