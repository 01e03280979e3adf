// Plate columns and 45 degree struts between tall neighbouring columns.
#include "SupportPhaseUtil.h"
#include "SupportRun.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace supportphase;

namespace {

// Struts start only from shaft tops at this height or more (mm, absolute).
constexpr float kBraceHeight = 5.0f;

} // namespace

void SupportRun::BraceColumns(const MyMesh& mesh, SupportMap& map, QVector<DLP_Support*>& index)
{
    ThrowIfStopped();
    const SupportSizes& sz = m_sizes;
    const double rs = sz.rs, strutR = sz.rs08, rb = sz.rs08 + 0.2;
    const float reach = sz.shaftSquare8;
    const double gap = sz.shaft5;
    const float tipLength = float(sz.tipLength);

    // Neighbours are the records that still hold their slot (null slots:
    // bridged or gone). A plan grid stands in for the full distance matrix.
    std::vector<DLP_Support*> live;
    for (auto it = map.begin(); it != map.end(); ++it) {
        DLP_Support* s = &it.value();
        if (s->index >= 0 && s->index < index.size() && index[s->index] == s)
            live.push_back(s);
    }
    const double cell = std::max(double(reach), 0.5);
    auto cellOf = [cell](float c) { return qint64(std::floor(double(c) / cell)); };
    auto keyOf = [](qint64 x, qint64 y) { return qint64((quint64(x) << 32) ^ (quint64(y) & 0xFFFFFFFFull)); };
    QHash<qint64, QVector<int>> cells;
    for (int i = 0; i < int(live.size()); ++i)
        cells[keyOf(cellOf(live[size_t(i)]->shaftTop[0]), cellOf(live[size_t(i)]->shaftTop[1]))].append(i);
    auto record = [&](int idx) -> DLP_Support* {
        return idx >= 0 && idx < index.size() ? index[idx] : nullptr;
    };

    int visited = 0;
    for (auto it = map.begin(); it != map.end(); ++it) {
        if ((++visited & 63) == 0)
            ThrowIfStopped();
        DLP_Support& s = it.value();
        if (s.skipShaft)
            continue;
        s.pointPairs.clear();
        if (!s.onModel)
            s.cones.append(SaveCone(s.shaftTop, rs, s.base, rs));
        if (s.shaftTop[2] < kBraceHeight)
            continue;
        const bool hasSlot = s.index >= 0 && s.index < index.size() && index[s.index] == &s;
        if (!hasSlot)
            continue;

        // Neighbour list: nearest first; among equal distances the later in
        // map order first.
        QMultiMap<float, int> neighbours;
        {
            QVector<int> found;
            const qint64 cx = cellOf(s.shaftTop[0]), cy = cellOf(s.shaftTop[1]);
            for (qint64 y = cy - 1; y <= cy + 1; ++y)
                for (qint64 x = cx - 1; x <= cx + 1; ++x) {
                    const auto c = cells.constFind(keyOf(x, y));
                    if (c != cells.constEnd())
                        found += c.value();
                }
            std::sort(found.begin(), found.end());
            for (int o : found) {
                const DLP_Support* w = live[size_t(o)];
                if (w == &s)
                    continue;
                const float d = float(HorizontalDistance(s.shaftTop, w->shaftTop));
                if (d < kMinNeighbourDistance || d > reach)
                    continue;
                neighbours.insert(d, w->index);
            }
        }

        // Up to two struts from c, 45 degrees down onto neighbouring columns
        // at least 30 degrees apart; returns how many were made.
        auto strutsFrom = [&](const vcg::Point3f& c, bool recordBraces) {
            DLP_Support* first = nullptr;
            vcg::Point3f firstDir;
            int made = 0;
            auto consider = [&](float d, int k, bool fromList) {
                DLP_Support* w = record(k);
                if (!w || w == &s || made >= 2 || double(d) < kMinNeighbourDistance)
                    return;
                const float h = c[2] - d;
                if (!(UprightShaftFoot(*w, tipLength)[2] <= h && h <= w->shaftTop[2]))
                    return;
                const vcg::Point3f dir = HorizontalDirection(c, w->shaftTop);
                if (first && (w == first || double(dir * firstDir) > kCos30))
                    return;
                const vcg::Point3f end(w->shaftTop[0], w->shaftTop[1], h);
                if (CheckCollisionColumn(c, rb, end, mesh))
                    return;
                s.pointPairs.insert(c[2], qMakePair(c, end));
                if (fromList && recordBraces) {
                    s.braces[d] = w->index;
                    w->braces[d] = s.index;
                }
                s.cones.append(SaveCone(c, strutR, end, strutR));
                if (!first) {
                    first = w;
                    firstDir = dir;
                }
                ++made;
            };
            const QMap<float, int> own = s.braces;
            for (auto b = own.constBegin(); b != own.constEnd() && made < 2; ++b)
                consider(b.key(), b.value(), false);
            for (auto n = neighbours.constBegin(); n != neighbours.constEnd() && made < 2; ++n)
                consider(n.key(), n.value(), true);
            return made;
        };
        const vcg::Point3f foot = UprightShaftFoot(s, tipLength);
        strutsFrom(s.shaftTop, true);
        strutsFrom(foot, true);
        QList<float> heights{s.shaftTop[2], foot[2]};
        for (int k = 0; k + 1 < heights.size(); ++k) {
            if (double(heights[k]) - double(heights[k + 1]) < gap)
                continue;
            const float z = float(double(heights[k]) - gap);
            if (strutsFrom(vcg::Point3f(s.shaftTop[0], s.shaftTop[1], z), true) == 2)
                heights.insert(k + 1, z);
        }
    }
    for (auto it = map.begin(); it != map.end(); ++it)
        it.value().addedByClick = false;
}
