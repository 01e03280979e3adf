// print_islands [--width W --height H] [--plate-layers N] FILE.vxs
// Reads a layer-image print file with the tests' own decoder and lists the
// islands its layers hold: regions of lit pixels (8-connected) with no lit
// pixel straight under them in the layer before, above the plate layers
// (the first model layer stands on the plate). One line per island
// ("island layer=L pixel=X,Y", L counted from the first model layer), then
// "islands=N". The frame is the one the file's header states (elements 2 and
// 3 of its parameters); a --width or --height that differs from it is
// refused, since the layers would be read with their rows broken elsewhere.
// Layers stored a quarter turned (the writer's files of a printer model that
// turns its image) are turned back first, so places are the frame's.
#include "bench/turnedlayers.h"
#include "layer_checks.h"
#include "printfiledecoder.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The pixels of one layer's code; false when it covers other than w * h.
bool Expand(const QByteArray& code, int bits, std::vector<uint8_t>& pixels)
{
    const uint64_t size = pixels.size();
    uint64_t at = 0;
    for (const DecodedRun& run : DecodeRuns(code, bits)) {
        if (run.count > size - at)
            return false;
        std::memset(pixels.data() + at, run.level, size_t(run.count));
        at += run.count;
    }
    return at == size;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int width = 0, height = 0, plateLayers = 0;
    QString path;
    for (int i = 1; i < args.size(); ++i) {
        const bool value = i + 1 < args.size();
        if (args[i] == "--width" && value)
            width = args[++i].toInt();
        else if (args[i] == "--height" && value)
            height = args[++i].toInt();
        else if (args[i] == "--plate-layers" && value)
            plateLayers = args[++i].toInt();
        else
            path = args[i];
    }
    if (width < 0 || height < 0 || width > 16384 || height > 16384 || plateLayers < 0 || path.isEmpty()) {
        std::fprintf(stderr, "print_islands [--width W --height H] [--plate-layers N] FILE.vxs\n");
        return 1;
    }
    VxsFile f = ReadVxs(path, false);
    if (!f.valid)
        f = ReadVxs(path, true);
    if (!f.valid) {
        std::fprintf(stderr, "print_islands: %s: %s\n", qPrintable(path), f.error.c_str());
        return 1;
    }
    // The frame the header states: whole pixels, 1 to 16384 a side.
    const float statedX = f.params[2], statedY = f.params[3];
    if (!(statedX >= 1 && statedX <= 16384 && statedY >= 1 && statedY <= 16384) || statedX != float(int(statedX)) ||
        statedY != float(int(statedY))) {
        std::fprintf(stderr, "print_islands: %s: the header states no usable frame (%g x %g pixels)\n",
                     qPrintable(path), double(statedX), double(statedY));
        return 1;
    }
    if ((width && width != int(statedX)) || (height && height != int(statedY))) {
        std::fprintf(stderr, "print_islands: %s: its header states a frame of %d x %d pixels, not %d x %d\n",
                     qPrintable(path), int(statedX), int(statedY), width ? width : int(statedX),
                     height ? height : int(statedY));
        return 1;
    }
    width = int(statedX);
    height = int(statedY);
    const bool turned = FileHoldsTurnedLayers(f.words[0], f.words[2]);
    std::vector<uint8_t> below(size_t(width) * size_t(height)), here(below.size());
    // A turned layer is `height` pixels wide and `width` rows high.
    std::vector<uint8_t> stored(turned ? here.size() : 0);
    std::vector<uint8_t> cutHere, cutBelow;
    int islands = 0;
    for (int L = plateLayers; L < f.layers.size(); ++L) {
        if (!Expand(f.layers[L], f.bits, turned ? stored : here)) {
            std::fprintf(stderr, "print_islands: layer %d does not cover the frame\n", L);
            return 1;
        }
        if (turned) {
            // The writer puts the frame's point (x, y) at (height - y, x).
            // In tiles: a 4K frame turned pixel by pixel crawls.
            constexpr int kTile = 64;
            for (int x0 = 0; x0 < width; x0 += kTile)
                for (int y0 = 0; y0 < height; y0 += kTile)
                    for (int x = x0; x < std::min(width, x0 + kTile); ++x) {
                        const uint8_t* row = stored.data() + size_t(x) * size_t(height) + size_t(height - 1);
                        for (int y = y0; y < std::min(height, y0 + kTile); ++y)
                            here[size_t(y) * size_t(width) + size_t(x)] = *(row - y);
                    }
        }
        if (L > plateLayers) {
            // Only the rows and columns this layer lights.
            int x0 = width, y0 = height, x1 = -1, y1 = -1;
            for (int y = 0; y < height; ++y) {
                const uint8_t* row = here.data() + size_t(y) * size_t(width);
                for (int x = 0; x < width; ++x)
                    if (row[x]) {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
            }
            if (x1 >= 0) {
                const int w = x1 - x0 + 1, h = y1 - y0 + 1;
                cutHere.assign(size_t(w) * size_t(h), 0);
                cutBelow.assign(cutHere.size(), 0);
                for (int y = 0; y < h; ++y) {
                    const size_t from = size_t(y0 + y) * size_t(width) + size_t(x0);
                    std::memcpy(cutHere.data() + size_t(y) * size_t(w), here.data() + from, size_t(w));
                    std::memcpy(cutBelow.data() + size_t(y) * size_t(w), below.data() + from, size_t(w));
                }
                std::vector<int> first;
                islands += layercheck::FloatingRegions(cutHere, cutBelow, w, h, 8, &first);
                for (int c : first)
                    std::printf("island layer=%d pixel=%d,%d\n", L - plateLayers, x0 + c % w, y0 + c / w);
            }
        }
        below.swap(here);
    }
    std::printf("islands=%d\n", islands);
    return 0;
}
