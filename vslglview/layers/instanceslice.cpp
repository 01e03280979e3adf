#include "layers/instanceslice.h"

#include "contour/tracedlayers.h"
#include "layers/freedmemory.h"
#include "layers/layeroutlines.h"
#include "layers/layerunion.h"
#include "layers/litgroups.h"
#include "layers/litislands.h"
#include "mesh/workerpriority.h"

#include <QMutexLocker>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

namespace layers {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct ChunkResult {
    IslandCount islands, outlineIslands;
    QPointF maxPt, minPt;
    double islandSeconds = 0;
    double seconds = 0;
};

bool StopRequested(const InstanceSliceJob& job)
{
    return job.stop && job.stop->load(std::memory_order_relaxed);
}

// The polygons the workers make, by their points: one equal bit for bit to
// a polygon made before is handed that one instead, and the layers share
// its points. Walls and supports repeat from layer to layer, within a run
// of layers and across runs: most of a tall print's points are repeats.
class SharedPolygons {
public:
    SlicePolygon Intern(SlicePolygon polygon)
    {
        const quint64 hash = PointsHash(polygon);
        Stripe& stripe = m_stripes[size_t(hash >> 58)];
        std::lock_guard<std::mutex> lock(stripe.mutex);
        const auto range = stripe.polygons.equal_range(hash);
        for (auto it = range.first; it != range.second; ++it)
            if (BitEqual(it->second, polygon))
                return it->second;
        stripe.polygons.emplace(hash, polygon);
        return polygon;
    }

private:
    struct Stripe {
        std::mutex mutex;
        std::unordered_multimap<quint64, SlicePolygon> polygons;
    };
    std::array<Stripe, 64> m_stripes;
};

} // namespace

// Under four seventeenths of a pixel: a region that small may straddle four
// pixels, each then getting less light from it than the first of the print
// file's 16 grey levels (the projector of a direct print shows it at under
// 6 % of full light). The point of a slender spike is such a region for
// layer after layer.
double NegligibleIslandArea(const PixelMapping& mapping)
{
    if (!(mapping.dotsPerMmX > 0) || !(mapping.dotsPerMmY > 0))
        return 0;
    return 1000.0 / mapping.dotsPerMmX * (1000.0 / mapping.dotsPerMmY) * 4.0 / 17.0;
}

namespace {

// Layers [from, to) into out[from .. to - 1]. Counting the outlines'
// islands needs the layer below the first and what that one rests on, which
// are made again here but not kept.
void SliceChunk(const InstanceSliceJob& job, int from, int to, QVector<SlicePolygon>* out, SharedPolygons& shared,
                ChunkResult& r)
{
    const Clock::time_point started = Clock::now();
    const double inf = std::numeric_limits<double>::infinity();
    r.maxPt = QPointF(-inf, -inf);
    r.minPt = QPointF(inf, inf);
    const int first = job.countOutlineIslands ? std::max(0, from - 2) : from;
    std::unique_ptr<SupportLayerWalk> walk;
    // The pixels of the outlines each solid led on the layers before: a
    // support standing alone, or the union of a group of supports.
    struct Kept {
        std::vector<SlicePolygon> polygons;
        int layer = -1;
        bool alone = false;
    };
    std::vector<Kept> kept;
    if (job.supports && job.supports->count() > 0) {
        walk = std::make_unique<SupportLayerWalk>(*job.supports, first);
        kept.resize(size_t(job.supports->count()));
    }
    UnionMemory memory;
    static const std::vector<SupportOutline> noSupports;
    IslandCounter counter(NegligibleIslandArea(job.mapping));
    LayerOutlines united;
    for (int layer = first; layer < to; ++layer) {
        if (StopRequested(job))
            break;
        const bool groundOnly = layer < from;
        if (job.traced)
            job.traced->WaitTraced(layer + 1);
        if (!groundOnly && job.beforeLayer)
            job.beforeLayer(layer);
        const std::vector<SupportOutline>& supports = walk ? walk->Next() : noSupports;
        bool modelIsUnion = false;
        const ClipperLib::Paths model = ModelLayerOutlines(*job.contours, layer, job.slicedOpen, &modelIsUnion);
        if (job.countOutlineIslands) {
            const Clock::time_point t = Clock::now();
            counter.AddLayer(layer, model, supports, walk.get(), modelIsUnion, !groundOnly);
            r.islandSeconds += SecondsSince(t);
        }
        if (groundOnly)
            continue;
        UniteLayer(model, supports, walk.get(), united, &memory, modelIsUnion, job.stop);
        if (StopRequested(job))
            break;
        QVector<SlicePolygon>& polygons = out[layer];
        polygons.reserve(int(united.items.size()));
        for (const LayerOutlines::Item& item : united.items) {
            Kept* k = item.key >= 0 ? &kept[size_t(item.key)] : nullptr;
            const bool alone = item.alone;
            // An upright cylinder gives the same outline on layer after
            // layer: its pixels are shared, not made again.
            if (k && item.repeated && k->alone == alone && size_t(item.part) < k->polygons.size() &&
                (k->layer == layer - 1 || k->layer == layer)) {
                polygons.append(k->polygons[size_t(item.part)]);
                k->layer = layer;
                continue;
            }
            SlicePolygon polygon = OutlineToPixels(*item.path, job.mapping);
            // Where a repeat may come from elsewhere: a run's first layer
            // (the run below made the same supports), an outline the walk
            // repeated that nothing kept, a model wall or a union with one.
            if (layer == from || item.repeated || item.key < 0)
                polygon = shared.Intern(std::move(polygon));
            else if (k && k->layer == layer - 1 && size_t(item.part) < k->polygons.size() &&
                     BitEqual(k->polygons[size_t(item.part)], polygon))
                polygon = k->polygons[size_t(item.part)]; // a union that came out the same
            WidenSliceExtent(polygon, job.mapping, r.maxPt, r.minPt);
            if (k) {
                if (item.part == 0)
                    k->polygons.clear();
                if (k->polygons.size() == size_t(item.part))
                    k->polygons.push_back(polygon);
                k->layer = layer;
                k->alone = alone;
            }
            polygons.append(std::move(polygon));
        }
    }
    r.outlineIslands = counter.count();
    r.seconds = SecondsSince(started);
}

// The frame the file stores the layers in.
QSize CountFrame(const InstanceSliceJob& job)
{
    return job.turned ? QSize(job.mapping.yResolution, job.mapping.xResolution)
                      : QSize(job.mapping.xResolution, job.mapping.yResolution);
}

// The islands of the finished layers [from, to) as the print file lights
// them, by `counter`. With `groundLaid` the counter's last layer is the one
// below `from`; else that layer is drawn again as their ground. False when
// stopped before the last layer.
template <class Counter>
bool CountLitIslands(const InstanceSliceJob& job, const SliceLayers& layers, int from, int to, Counter& counter,
                     bool groundLaid, ChunkResult& r)
{
    if (StopRequested(job))
        return false;
    const Clock::time_point started = Clock::now();
    const QSize frame = CountFrame(job);
    std::vector<QPoint> islands;
    if (from > 0 && !groundLaid)
        counter.AddLayer(layers[from - 1], false, islands);
    const double hx = job.mapping.xResolution / 2, hy = job.mapping.yResolution / 2;
    int layer = from;
    for (; layer < to && !StopRequested(job); ++layer) {
        islands.clear();
        counter.AddLayer(layers[layer], true, islands);
        if (islands.empty())
            continue;
        // Model or support: whether the model's own outlines light a pixel of it.
        QVector<SlicePolygon> model;
        for (const ClipperLib::Path& outline : ModelLayerOutlines(*job.contours, layer, job.slicedOpen))
            model.append(OutlineToPixels(outline, job.mapping));
        // Turned, each is told where it starts in the layers' own rows.
        const std::vector<QPoint> starts =
            job.turned ? FirstPixelsUnturned(counter.litRuns(), counter.regionOf(), islands) : islands;
        const std::vector<bool> lit = counter.LightIslands(model, islands);
        for (size_t k = 0; k < islands.size(); ++k) {
            // The middle of the pixel, in the layers' own frame (turned,
            // (x, y) was drawn at (H - y, x)), back in 1/1000 mm.
            const QPointF at = job.turned ? QPointF(starts[k].y() + 0.5, frame.width() - (starts[k].x() + 0.5))
                                          : QPointF(islands[k].x() + 0.5, islands[k].y() + 0.5);
            const ClipperLib::IntPoint where(
                ClipperLib::cInt(std::llround((at.x() - hx) * 1000.0 / double(job.mapping.dotsPerMmX))),
                ClipperLib::cInt(std::llround((at.y() - hy) * 1000.0 / double(job.mapping.dotsPerMmY))));
            if (lit[k]) {
                ++r.islands.model;
                r.islands.modelAt.append(qMakePair(layer, where));
            } else {
                ++r.islands.support;
                r.islands.supportAt.append(qMakePair(layer, where));
            }
        }
    }
    const double seconds = SecondsSince(started);
    r.islandSeconds += seconds;
    r.seconds += seconds;
    return layer == to;
}


struct Run {
    int from, to;
    double cost;
};

// The runs of layers the workers take, heaviest first. Without supports the
// runs are of equal length; with them, of about equal cost: the layers where
// braces cross the columns, or the supports' tips reach the model, cost tens
// of times the others, and runs of equal length left one worker on a run of
// them long after the rest. Heaviest first, the last runs taken are light.
std::vector<Run> Runs(const InstanceSliceJob& job, int layers, int workers)
{
    // A few runs per worker even out layers of unequal cost.
    const int evenLength = std::max(8, (layers + workers * 4 - 1) / (workers * 4));
    std::vector<Run> runs;
    // Rough costs of a layer's cut and union: a tilted solid's section
    // changes on every layer and is united with the column it leans on,
    // which costs tens of times a circle that repeats; a model outline,
    // which supports' tips reach one by one, about as much as a tilted
    // section; every layer a little.
    constexpr double kTiltedCost = 64, kOtherSolidCost = 1, kOutlineCost = 64, kPointCost = 0.25, kLayerCost = 256;
    std::vector<double> costs;
    if (job.supports && job.supports->count() > 0)
        costs = job.supports->PlaneCosts(kTiltedCost, kOtherSolidCost);
    if (costs.size() < size_t(layers)) {
        for (int from = 0; from < layers; from += evenLength)
            runs.push_back({from, std::min(layers, from + evenLength), 0.0});
        return runs;
    }
    if (job.traced)
        job.traced->WaitTraced(layers); // the outlines' costs
    for (int slot = 0; slot < job.contours->size(); ++slot) {
        const ShellLayerContours::Slot& slotLayers = (*job.contours)[slot];
        for (int i = 0; i < layers; ++i) {
            const ClipperLib::Paths& outlines = slotLayers[i];
            costs[size_t(i)] += kOutlineCost * double(outlines.size());
            for (const ClipperLib::Path& outline : outlines)
                costs[size_t(i)] += kPointCost * double(outline.size());
        }
    }
    double total = 0;
    for (int i = 0; i < layers; ++i)
        total += costs[size_t(i)] + kLayerCost;
    const double target = total / (workers * 6);
    // A run starts by making the two layers below again when islands are
    // counted, and shares no polygons with the run before: not too short.
    // Nor much longer than an even run, in case the costs are far off.
    const int shortest = 4, longest = 2 * evenLength;
    Run run{0, 0, 0.0};
    for (int i = 0; i < layers; ++i) {
        run.cost += costs[size_t(i)] + kLayerCost;
        run.to = i + 1;
        const int length = run.to - run.from;
        if (run.to == layers || (run.cost >= target && length >= shortest) || length >= longest) {
            runs.push_back(run);
            run = {run.to, run.to, 0.0};
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.cost > b.cost; });
    return runs;
}

// The runs' numbers from the lowest run up (the runs tile the layers).
std::vector<int> RunsInLayerOrder(const std::vector<Run>& runList)
{
    std::vector<int> byLayer(runList.size());
    std::iota(byLayer.begin(), byLayer.end(), 0);
    std::sort(byLayer.begin(), byLayer.end(),
              [&runList](int a, int b) { return runList[size_t(a)].from < runList[size_t(b)].from; });
    return byLayer;
}

// `work` on `threads` threads, this one among them, all joined before it
// returns. The threads started here run below the caller; the caller keeps
// the priority it chose (lowered, it would stay so for good).
template <class Work> void OnThreads(int threads, Work& work)
{
    std::vector<std::thread> started;
    for (int w = 1; w < threads; ++w) {
        try {
            started.emplace_back([&work] {
                vcg::LowerThisThreadPriority();
                work();
            });
        } catch (const std::system_error&) {
            break; // fewer threads than asked: the others share the work
        }
    }
    work();
    for (std::thread& t : started)
        t.join();
}

// Runs 0 .. runs - 1 handed out to `workers` threads as each finishes the
// one before.
template <class Fn> void ForEachRun(int runs, int workers, Fn fn)
{
    std::atomic<int> nextRun{0};
    auto work = [&] {
        for (int run = nextRun++; run < runs; run = nextRun++)
            fn(run);
    };
    OnThreads(workers, work);
}

// The slice's runs, and each run's count once its layers and the layer
// below its first are made, on `threads` threads (this one among them):
// a thread takes the next run while fewer than `sliceWorkers` slice, else a
// count that is ready, else waits. The counts take the cores the slice
// leaves idle (a plain copy slices on one) and the slice's tail, rather
// than starting when the last run ends. `count(run, thread, groundLaid)`:
// `thread` numbers the threads from 0; with `groundLaid`, that thread's last
// count was of the run below, which it goes on from (a count that starts
// afresh draws the layer below whole); it returns whether it reached the
// run's last layer.
template <class SliceFn, class CountFn>
void SliceAndCountRuns(const std::vector<Run>& runList, int sliceWorkers, int threads, SliceFn slice, CountFn count)
{
    const int runs = int(runList.size());
    const std::vector<int> byLayer = RunsInLayerOrder(runList);
    std::vector<int> place(static_cast<size_t>(runs));
    for (int k = 0; k < runs; ++k)
        place[size_t(byLayer[size_t(k)])] = k;
    std::mutex mutex;
    std::condition_variable changed;
    int nextRun = 0, slicing = 0, countsLeft = runs, nextThread = 0;
    std::vector<bool> made(size_t(runs), false), taken(size_t(runs), false), counted(size_t(runs), false);
    // Where a thread starts counting afresh: at the foot of a stretch of
    // ready runs that no count below goes on into, else halfway up the
    // longest stretch, so that the threads' counts go on from run to run.
    auto freshStart = [&]() -> int {
        int longest = 0, pick = -1;
        for (int k = 0; k < runs;) {
            const int r = byLayer[size_t(k)];
            const bool startsStretch = made[size_t(r)] && !taken[size_t(r)] &&
                                       (k == 0 || made[size_t(byLayer[size_t(k) - 1])]);
            if (!startsStretch) {
                ++k;
                continue;
            }
            int end = k + 1;
            while (end < runs && made[size_t(byLayer[size_t(end)])] && !taken[size_t(byLayer[size_t(end)])])
                ++end;
            const bool fed = k > 0 && !counted[size_t(byLayer[size_t(k) - 1])] && taken[size_t(byLayer[size_t(k) - 1])];
            if (!fed)
                return r;
            if (end - k > longest) {
                longest = end - k;
                pick = byLayer[size_t(k + (end - k) / 2)];
            }
            k = end;
        }
        return pick;
    };
    auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        const int thread = nextThread++;
        int top = -1; // the run this thread's last count ended with
        while (countsLeft > 0) {
            if (nextRun < runs && slicing < sliceWorkers) {
                const int r = nextRun++;
                ++slicing;
                lock.unlock();
                slice(r);
                lock.lock();
                --slicing;
                made[size_t(r)] = true;
                changed.notify_all();
                continue;
            }
            // Going on from its last count spares drawing a whole layer.
            const int up = top >= 0 && place[size_t(top)] + 1 < runs ? byLayer[size_t(place[size_t(top)] + 1)] : -1;
            const bool goesOn = up >= 0 && made[size_t(up)] && !taken[size_t(up)];
            const int r = goesOn ? up : freshStart();
            if (r < 0) {
                changed.wait(lock);
                continue;
            }
            taken[size_t(r)] = true;
            lock.unlock();
            const bool reachedTop = count(r, thread, goesOn);
            lock.lock();
            counted[size_t(r)] = true;
            top = reachedTop ? r : -1;
            if (--countsLeft == 0)
                changed.notify_all();
        }
    };
    OnThreads(threads, work);
}

void WidenExtent(QPointF& maxPt, QPointF& minPt, const QPointF& otherMax, const QPointF& otherMin)
{
    maxPt.setX(std::max(maxPt.x(), otherMax.x()));
    maxPt.setY(std::max(maxPt.y(), otherMax.y()));
    minPt.setX(std::min(minPt.x(), otherMin.x()));
    minPt.setY(std::min(minPt.y(), otherMin.y()));
}

} // namespace

InstanceSlice SliceInstanceLayers(const InstanceSliceJob& job)
{
    InstanceSlice result;
    const double inf = std::numeric_limits<double>::infinity();
    result.maxPt = QPointF(-inf, -inf);
    result.minPt = QPointF(inf, inf);
    const int n = job.layerCount;
    if (n <= 0 || !job.contours)
        return result;
    result.layers.resize(n);
    QVector<SlicePolygon>* out = result.layers.data();

    // A lone closed shell without supports is copied, not united: one worker does.
    const bool plainCopy = !job.supports && job.contours->size() == 1 && !job.slicedOpen && !job.countOutlineIslands;
    const int threads =
        job.workers > 0 ? job.workers : int(std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
    // The window's count runs beside the slice, run by run, on every core:
    // runs as short as for every core, also for a plain copy.
    const bool countBeside = !job.countIslands && job.countLitIslandsByGroups;
    int workers = plainCopy ? 1 : threads;
    const std::vector<Run> runList = Runs(job, n, countBeside ? threads : workers);
    const int runs = int(runList.size());
    workers = std::max(1, std::min(workers, runs));

    std::vector<ChunkResult> results(static_cast<size_t>(runs));
    SharedPolygons shared;
    auto sliceRun = [&](int run) {
        SliceChunk(job, runList[size_t(run)].from, runList[size_t(run)].to, out, shared, results[size_t(run)]);
        // Before the next run's work lands between the kept polygons
        // (a stopped slice has no next run: it ends at once). A plain copy
        // frees next to nothing, and its short runs would trim under the
        // counts' feet.
        if (!StopRequested(job) && !plainCopy)
            ReturnFreedMemoryInTurn();
    };
    // Each run's count draws the layer below its first whole; within it,
    // what repeats from layer to layer is taken over.
    std::vector<ChunkResult> counted;
    if (countBeside) {
        counted.resize(static_cast<size_t>(runs));
        const int countThreads = std::max(workers, std::min(threads, runs));
        std::vector<std::unique_ptr<GroupedLitIslandCounter>> counters(static_cast<size_t>(countThreads));
        SliceAndCountRuns(runList, workers, countThreads, sliceRun, [&](int run, int thread, bool groundLaid) {
            std::unique_ptr<GroupedLitIslandCounter>& counter = counters[size_t(thread)];
            const bool goesOn = groundLaid && counter;
            if (!goesOn)
                counter = std::make_unique<GroupedLitIslandCounter>(CountFrame(job), job.turned);
            return CountLitIslands(job, result.layers, runList[size_t(run)].from, runList[size_t(run)].to, *counter,
                                   goesOn, counted[size_t(run)]);
        });
    } else {
        ForEachRun(runs, workers, sliceRun);
    }
    if (plainCopy && !StopRequested(job))
        ReturnFreedMemory();
    if (job.countIslands && !StopRequested(job))
        ForEachRun(runs, workers, [&](int run) {
            const int from = runList[size_t(run)].from, to = runList[size_t(run)].to;
            const QSize frame = CountFrame(job);
            LitIslandCounter counter(frame, job.turned ? QRect() : LitArea(result.layers, from - 1, to, frame),
                                     job.turned);
            CountLitIslands(job, result.layers, from, to, counter, false, results[size_t(run)]);
        });

    // In layer order, so the islands are listed as the layers go.
    const std::vector<int> byLayer = RunsInLayerOrder(runList);
    for (int run : byLayer) {
        const ChunkResult& r = results[size_t(run)];
        result.islands.Add(r.islands);
        result.outlineIslands.Add(r.outlineIslands);
        WidenExtent(result.maxPt, result.minPt, r.maxPt, r.minPt);
        result.islandSeconds += r.islandSeconds;
        result.workerSeconds += r.seconds;
    }
    if (!counted.empty())
        for (int run : byLayer) {
            const ChunkResult& r = counted[size_t(run)];
            result.islands.Add(r.islands);
            result.islandSeconds += r.islandSeconds;
            result.workerSeconds += r.seconds;
        }
    result.stopped = StopRequested(job);
    if (result.stopped)
        result.layers.clear();
    return result;
}

void PublishInstanceSlice(const InstanceSlice& slice, SliceTarget target)
{
    QMutexLocker lock(&target.mutex);
    const int layerCount = slice.layers.size();
    if (layerCount > target.layers.size())
        target.layers.resize(layerCount);
    for (int layer = 0; layer < layerCount; ++layer)
        if (!slice.layers[layer].isEmpty())
            AppendInstanceToLayer(target.layers[layer], slice.layers[layer]);
    WidenExtent(target.maxPt, target.minPt, slice.maxPt, slice.minPt);
}

} // namespace layers
