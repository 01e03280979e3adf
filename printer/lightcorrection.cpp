#include "lightcorrection.h"

#include <QString>

#include <algorithm>

namespace {

constexpr int kGreyFileLines = 13;

float itemFloat(const QByteArray& item)
{
    bool ok = false;
    const float v = item.toFloat(&ok);
    return ok ? v : 0.0f;
}

int itemInt(const QByteArray& item)
{
    bool ok = false;
    const int v = item.toInt(&ok, 10);
    return ok ? v : 0;
}

QList<QByteArray> machineFileWords(const QByteArray& file, int skipLines)
{
    int from = 0;
    for (int n = 0; n < skipLines && from <= file.size(); ++n) {
        const int eol = file.indexOf('\n', from);
        from = eol < 0 ? file.size() + 1 : eol + 1;
    }
    QList<QByteArray> words;
    if (from >= file.size())
        return words;
    const QString text = QString::fromLatin1(file.constData() + from, file.size() - from).simplified();
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words << word.toLatin1();
    return words;
}

// Positions must rise strictly and stay within 0..limit, so that every pixel
// falls into exactly one cell.
QString checkPositions(const QList<QByteArray>& items, int first, int count, int limit, char axis,
                       std::vector<float>& cuts)
{
    cuts.assign(size_t(count) + 2, 0.0f);
    cuts[size_t(count) + 1] = float(limit);
    for (int n = 0; n < count; ++n) {
        const float v = itemFloat(items[first + n]);
        if (!(v >= 0.0f && v <= float(limit)))
            return QStringLiteral("%1 position %2 (%3) outside 0..%4").arg(axis).arg(n + 1).arg(double(v)).arg(limit);
        if (n > 0 && !(v > cuts[size_t(n)]))
            return QStringLiteral("%1 positions not strictly rising at %2").arg(axis).arg(n + 1);
        cuts[size_t(n) + 1] = v;
    }
    return {};
}

// Whole-pixel cut: a half goes up; the two ends stay exact.
std::vector<int> pixelCuts(const std::vector<float>& cuts, int limit)
{
    std::vector<int> out(cuts.size());
    for (size_t n = 0; n < cuts.size(); ++n)
        out[n] = lightPixelCut(cuts[n]);
    out.front() = 0;
    out.back() = limit;
    return out;
}

}  // namespace

std::vector<double> parseGreyFile(const QList<QByteArray>& lines)
{
    std::vector<double> values(kGreyFileLines, 0.0);
    for (int n = 0; n < kGreyFileLines && n < lines.size(); ++n) {
        bool ok = false;
        const double v = lines[n].trimmed().toDouble(&ok);
        values[size_t(n)] = ok && std::isfinite(v) ? v : 0.0;
    }
    return values;
}

bool lightItemsNeedMachineFile(int replyItems)
{
    return replyItems >= 1 && replyItems <= 3;
}

QList<QByteArray> lightItemsFromReply(const QList<QByteArray>& reply, const QByteArray& machineFile)
{
    QList<QByteArray> items;
    if (reply.isEmpty())
        return items;
    items.reserve(reply.size());
    for (const QByteArray& item : reply)
        items << item.trimmed();
    // Three header items go; a reply that runs out continues in "machine.dat",
    // after as many of its lines as the reply had items. The file is read once:
    // a short file leaves a short list, which the table build refuses.
    bool fileRead = false;
    for (int n = 0; n < 3; ++n) {
        if (!items.isEmpty())
            items.removeFirst();
        if (items.isEmpty() && !fileRead) {
            fileRead = true;
            items = machineFileWords(machineFile, reply.size());
        }
    }
    return items;
}

LightCorrection buildLightCorrection(int greyStart, const QList<QByteArray>& greyLines,
                                     const std::optional<QList<QByteArray>>& lightItems, QSize frame)
{
    LightCorrection r;
    const std::vector<double> grey = parseGreyFile(greyLines);
    const double k = grey[6];

    r.greyCurve.assign(256, 0.0f);
    for (int i = std::clamp(greyStart, 0, 256); i < 256; ++i)
        r.greyCurve[size_t(i)] = float(std::exp(k * (i - 255) / 255.0));

    r.response.assign(256, 0.0);
    for (int i = 0; i < 256; ++i) {
        const double x = i;
        double p = grey[5];
        for (int c = 4; c >= 0; --c)
            p = p * x + grey[size_t(c)];
        r.response[size_t(i)] = p;
    }
    r.response[0] = 0.0;
    r.response[255] = 1.0;
    for (int i = 0; i < 255; ++i)
        if (r.response[size_t(i)] > r.response[size_t(i) + 1])
            r.response[size_t(i) + 1] = r.response[size_t(i)];

    // One sweep over the non-decreasing response; p(255) >= 1 ends every search.
    r.greyLut.assign(1001, 0);
    int s = 0;
    for (int v = 0; v <= 1000; ++v) {
        const double x = v / 1000.0;
        while (s < 255 && x > r.response[size_t(s)])
            ++s;
        r.greyLut[size_t(v)] = uint8_t(s);
    }

    if (!lightItems) {
        r.status = LightCorrection::NoLightData;
        return r;
    }

    const QList<QByteArray>& items = *lightItems;
    auto refuse = [&r](const QString& why) {
        r.status = LightCorrection::BadLightData;
        r.problem = why;
        return r;
    };
    if (items.size() < 5)
        return refuse(QStringLiteral("%1 light items, at least 5 needed").arg(items.size()));
    const float target = itemFloat(items[0]);
    const int W = itemInt(items[1]);
    const int H = itemInt(items[2]);
    const int nx = itemInt(items[3]);
    const int ny = itemInt(items[4]);
    // A target of 0 would bring every pixel down to black.
    if (!(target > 0.0f && target <= kMaxLightValue))
        return refuse(QStringLiteral("target %1 outside what a light engine reports (above 0 up to %2)")
                          .arg(double(target))
                          .arg(double(kMaxLightValue)));
    if (W < 1 || W > kMaxLightGridSide)
        return refuse(QStringLiteral("width %1 outside 1..%2").arg(W).arg(kMaxLightGridSide));
    if (H < 1 || H > kMaxLightGridSide)
        return refuse(QStringLiteral("height %1 outside 1..%2").arg(H).arg(kMaxLightGridSide));
    // The layer image and every table take the grid's size: it must be the
    // projector's, or layers would be cut off or left unlit.
    if (W != frame.width() || H != frame.height())
        return refuse(QStringLiteral("light grid %1 x %2 differs from the projector's %3 x %4")
                          .arg(W).arg(H).arg(frame.width()).arg(frame.height()));
    if (nx < 1 || nx > kMaxLightPoints)
        return refuse(QStringLiteral("nx %1 outside 1..%2").arg(nx).arg(kMaxLightPoints));
    if (ny < 1 || ny > kMaxLightPoints)
        return refuse(QStringLiteral("ny %1 outside 1..%2").arg(ny).arg(kMaxLightPoints));
    const qint64 needed = 5 + qint64(nx) + ny + qint64(nx) * ny;
    if (items.size() < needed)
        return refuse(QStringLiteral("%1 light items, %2 needed").arg(items.size()).arg(needed));

    std::vector<float> xs, ys;
    QString bad = checkPositions(items, 5, nx, W, 'x', xs);
    if (bad.isEmpty())
        bad = checkPositions(items, 5 + nx, ny, H, 'y', ys);
    if (!bad.isEmpty())
        return refuse(bad);

    // Light grid with a border row and column on every side.
    const int gw = nx + 2, gh = ny + 2;
    std::vector<float> g(size_t(gw) * size_t(gh), 0.0f);
    auto at = [&g, gh](int i, int j) -> float& { return g[size_t(i) * size_t(gh) + size_t(j)]; };
    int next = 5 + nx + ny;
    for (int i = 1; i <= nx; ++i)
        for (int j = 1; j <= ny; ++j) {
            const float v = itemFloat(items[next++]);
            // 0, a negative or an unreadable value, inf or 1e30 at one point
            // would leave the layer dark or dim around it.
            if (!(v > 0.0f && v <= kMaxLightValue))
                return refuse(QStringLiteral("light value %1 at point (%2,%3) outside what a light engine reports "
                                             "(above 0 up to %4)")
                                  .arg(double(v))
                                  .arg(i)
                                  .arg(j)
                                  .arg(double(kMaxLightValue)));
            at(i, j) = v;
        }

    // Border: extrapolated by half a step from two measured lines; a single
    // line is copied outwards, since there is no slope to follow.
    for (int j = 1; j <= ny; ++j) {
        if (nx == 1) {
            at(0, j) = at(1, j);
            at(2, j) = at(1, j);
        } else {
            at(0, j) = (at(1, j) * 3.0f - at(2, j)) * 0.5f;
            at(nx + 1, j) = (at(nx, j) * 3.0f - at(nx - 1, j)) * 0.5f;
        }
    }
    for (int i = 1; i <= nx; ++i) {
        if (ny == 1) {
            at(i, 0) = at(i, 1);
            at(i, 2) = at(i, 1);
        } else {
            at(i, 0) = (at(i, 1) * 3.0f - at(i, 2)) * 0.5f;
            at(i, ny + 1) = (at(i, ny) * 3.0f - at(i, ny - 1)) * 0.5f;
        }
    }
    at(0, 0) = at(0, 1) + at(1, 0) - at(1, 1);
    at(0, ny + 1) = at(0, ny) + at(1, ny + 1) - at(1, ny);
    at(nx + 1, 0) = at(nx, 0) + at(nx + 1, 1) - at(nx, 1);
    at(nx + 1, ny + 1) = at(nx, ny + 1) + at(nx + 1, ny) - at(nx, ny);
    for (float& v : g)
        if (v < 0.1f)
            v = 0.1f;

    const std::vector<int> xi = pixelCuts(xs, W);
    const std::vector<int> yi = pixelCuts(ys, H);
    const size_t pixels = size_t(W) * size_t(H);
    r.pixelGain.assign(pixels, 1.0f);
    r.pixelWhite.assign(pixels, r.greyLut[1000]);
    const uint8_t* lut = r.greyLut.data();
    for (int j = 0; j <= ny; ++j) {
        const float y0 = ys[size_t(j)], y1 = ys[size_t(j) + 1];
        for (int i = 0; i <= nx; ++i) {
            const float x0 = xs[size_t(i)], x1 = xs[size_t(i) + 1];
            const float area = (x1 - x0) * (y1 - y0);
            const float g00 = at(i, j), g01 = at(i, j + 1), g10 = at(i + 1, j), g11 = at(i + 1, j + 1);
            for (int py = yi[size_t(j)]; py < yi[size_t(j) + 1]; ++py) {
                const float cy = float(py) + 0.5f;
                float* gainRow = r.pixelGain.data() + size_t(py) * size_t(W);
                uint8_t* whiteRow = r.pixelWhite.data() + size_t(py) * size_t(W);
                for (int px = xi[size_t(i)]; px < xi[size_t(i) + 1]; ++px) {
                    const float cx = float(px) + 0.5f;
                    const float m = (g00 * (x1 - cx) * (y1 - cy) + g01 * (x1 - cx) * (cy - y0)
                                     + g10 * (cx - x0) * (y1 - cy) + g11 * (cx - x0) * (cy - y0))
                                    / area;
                    float gain = target / m;
                    if (!(gain < 1.0f))
                        gain = 1.0f;
                    gainRow[px] = gain;
                    whiteRow[px] = lut[std::min(int(std::ceil(gain * 1000.0f)), 1000)];
                }
            }
        }
    }

    r.status = LightCorrection::Complete;
    r.target = target;
    r.width = W;
    r.height = H;
    r.nx = nx;
    r.ny = ny;
    r.xs = std::move(xs);
    r.ys = std::move(ys);
    r.grid = std::move(g);
    return r;
}
