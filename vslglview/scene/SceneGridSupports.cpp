// Grid automatic supports: a height grid of the selected instance, spots over
// its downward-facing regions and the overhang candidates, each turned into
// a manual support column.
#include "SupportGrid.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"
#include "support/DLPSupportStructure.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <memory>

bool cmp_SupportPoint(SupportPoint const& a, SupportPoint const& b) { return a.z < b.z; }

namespace gridsupport {
namespace detail {

bool AllocateGrid(SupportStorage& grid, float loX, float loY, float hiX, float hiY)
{
    grid = SupportStorage();
    if (!std::isfinite(loX) || !std::isfinite(loY) || !std::isfinite(hiX) || !std::isfinite(hiY) || hiX < loX ||
        hiY < loY)
        return false;
    grid.originX = double(loX) * 1000.0;
    grid.originY = double(loY) * 1000.0;
    const double w = std::ceil((double(hiX) - loX) * 1000.0 / grid.cellSize) + 1;
    const double d = std::ceil((double(hiY) - loY) * 1000.0 / grid.cellSize) + 1;
    if (w * d > double(kMaxCells))
        return false;
    grid.width = int(w);
    grid.depth = int(d);
    grid.cellCount = grid.width * grid.depth;
    grid.cells.resize(grid.cellCount);
    grid.filled = true;
    return true;
}

void AppendSample(SupportStorage& grid, int ix, int iy, double z, const vcg::Point3f& n)
{
    // Rounding at the box's edge can put a node just outside the grid.
    if (ix < 0 || iy < 0 || ix >= grid.width || iy >= grid.depth)
        return;
    SupportPoint p;
    p.x = float((double(ix) * grid.cellSize + grid.originX) / 1000.0);
    p.y = float((double(iy) * grid.cellSize + grid.originY) / 1000.0);
    p.z = float(z);
    p.nx = n.X();
    p.ny = n.Y();
    p.nz = n.Z();
    grid.cells[grid.width * iy + ix].append(p);
}

namespace {
// y and z of the edge p-q at column x (p.gx < q.gx).
void AtColumn(const GridVertex& p, const GridVertex& q, double x, double& y, double& z)
{
    const double t = (x - p.gx) / (q.gx - p.gx);
    y = p.gy + t * (q.gy - p.gy);
    z = p.z + t * (q.z - p.z);
}

void ScanColumn(SupportStorage& grid, int ix, double y0, double z0, double y1, double z1, const vcg::Point3f& n)
{
    if (y1 < y0) {
        std::swap(y0, y1);
        std::swap(z0, z1);
    }
    for (double iy = std::ceil(y0); iy < y1; iy += 1.0)
        AppendSample(grid, ix, int(iy), z0 + (iy - y0) / (y1 - y0) * (z1 - z0), n);
}
} // namespace

void ScanTriangle(SupportStorage& grid, GridVertex a, GridVertex b, GridVertex c, const vcg::Point3f& n)
{
    for (const GridVertex& v : {a, b, c})
        if (!std::isfinite(v.gx) || !std::isfinite(v.gy) || !std::isfinite(v.z))
            return;
    if (b.gx < a.gx)
        std::swap(a, b);
    if (c.gx < b.gx)
        std::swap(b, c);
    if (b.gx < a.gx)
        std::swap(a, b);
    double y0, z0, y1, z1;
    for (double ix = std::ceil(a.gx); ix < b.gx; ix += 1.0) {
        AtColumn(a, b, ix, y0, z0);
        AtColumn(a, c, ix, y1, z1);
        ScanColumn(grid, int(ix), y0, z0, y1, z1, n);
    }
    for (double ix = std::ceil(b.gx); ix < c.gx; ix += 1.0) {
        AtColumn(b, c, ix, y0, z0);
        AtColumn(a, c, ix, y1, z1);
        ScanColumn(grid, int(ix), y0, z0, y1, z1, n);
    }
}

void SortCells(SupportStorage& grid)
{
    for (QVector<SupportPoint>& cell : grid.cells)
        if (cell.size() > 1)
            std::stable_sort(cell.begin(), cell.end(), cmp_SupportPoint);
}

} // namespace detail

namespace {
// Nearest filled cell of [first, last] (one row) around `cell`, searching
// forward and backward; the backward one only when strictly nearer.
int SearchRow(const SupportStorage& grid, int cell, int first, int last)
{
    int forward = -1, backward = -1;
    for (int i = cell + 1; i <= last; ++i)
        if (grid.HasPoints(i)) {
            forward = i;
            break;
        }
    for (int i = cell - 1; i >= first; --i)
        if (grid.HasPoints(i)) {
            backward = i;
            break;
        }
    if (backward >= 0 && (forward < 0 || cell - backward < forward - cell))
        return backward;
    return forward;
}
} // namespace

int NearestFilledCell(const SupportStorage& grid, int cell)
{
    constexpr int kNone = -9999;
    if (grid.width <= 0 || cell < 0 || cell >= grid.cellCount)
        return kNone;
    if (grid.HasPoints(cell))
        return cell;
    const int w = grid.width;
    const int rowStart = cell / w * w;
    int found = SearchRow(grid, cell, rowStart, rowStart + w - 1);
    if (found >= 0)
        return found;
    int up = -1, down = -1;
    for (int i = cell + w; i < grid.cellCount; i += w)
        if (grid.HasPoints(i)) {
            up = i;
            break;
        }
    for (int i = cell - w; i >= 0; i -= w)
        if (grid.HasPoints(i)) {
            down = i;
            break;
        }
    if (down >= 0 && (up < 0 || cell - down < up - cell))
        return down;
    if (up >= 0)
        return up;
    int next = cell > w ? cell - w : cell + w;
    if (next < 0 || next >= grid.cellCount)
        next = 0;
    if (grid.HasPoints(next))
        return next;
    const int nextStart = next / w * w;
    found = SearchRow(grid, next, nextStart, std::min(nextStart + w - 1, grid.cellCount - 1));
    return found >= 0 ? found : kNone;
}

QVector<int> SpotCells(const SupportStorage& grid, const RegionList& regions, int spacing)
{
    QVector<int> out;
    if (spacing <= 0 || grid.width <= 0)
        return out;
    const double s = spacing;
    for (const auto& region : regions) {
        if (region.bb.empty)
            continue;
        const double w = (double(region.bb.max.X()) - region.bb.min.X()) * 1000.0;
        const double d = (double(region.bb.max.Y()) - region.bb.min.Y()) * 1000.0;
        if (!std::isfinite(w) || !std::isfinite(d) || (w < s / 2 && d < s / 2))
            continue;
        const qint64 nx = qint64(std::floor(w / s)) + 1, ny = qint64(std::floor(d / s)) + 1;
        if (nx * ny > grid.cellCount)
            continue; // more spots than cells: no region of this instance
        for (qint64 k = 0; k < nx * ny; ++k) {
            const qint64 x = qint64(double(region.bb.min.X()) * 1000.0 + 200 + double(k % nx) * s);
            const qint64 y = qint64(double(region.bb.min.Y()) * 1000.0 + 200 + double(k / nx) * s);
            const qint64 cell = qint64(std::floor((x - grid.originX) / 200.0)) +
                                qint64(std::floor((y - grid.originY) / 200.0)) * grid.width;
            if (cell < 0 || cell >= grid.cellCount)
                continue;
            out.append(NearestFilledCell(grid, int(cell)));
        }
    }
    return out;
}

} // namespace gridsupport

// ---------------------------------------------------------------- scene

namespace {
// The gate of a model taken without waiting: the GUI thread never blocks on
// a worker's run or on a topology pass still going.
class GateTry {
public:
    explicit GateTry(MeshReadyGate& gate) : m_gate(gate), m_held(gate.TryAcquire()) {}
    ~GateTry()
    {
        if (m_held)
            m_gate.Release();
    }
    bool held() const { return m_held; }

private:
    MeshReadyGate& m_gate;
    bool m_held;
};

QVector3D Pos(const SupportPoint& p) { return QVector3D(p.x, p.y, p.z); }
QVector3D Normal(const SupportPoint& p) { return QVector3D(p.nx, p.ny, p.nz); }
} // namespace

bool VSL3DScene::generateSupportGrid(SupportStorage& grid, VSLModelPainter* painter, int a, int b)
{
    grid = SupportStorage();
    if (!painter || !painter->m_pModel)
        return false;
    VSLModel3D* model = painter->m_pModel;
    const QMatrix4x4 m = painter->m_matrix;
    QMutexLocker data(model->dataMutex());
    const VSLTriangle3D* tris = model->m_vTriangles.constData();
    const bool ok = gridsupport::FillGrid(
        grid, model->TriangleCount(), [tris](int i, int k) { return tris[i].vertices[k]; }, m,
        painter->m_minBound.x(), painter->m_minBound.y(), painter->m_maxBound.x(), painter->m_maxBound.y());
    grid.reserved0 = a;
    grid.reserved1 = b;
    return ok;
}

gridsupport::RegionList VSL3DScene::GenerateSupportRegions()
{
    gridsupport::RegionList out;
    std::unique_ptr<VSLModel3D> world(SaveTransModel());
    if (!world)
        return out;
    auto down = std::make_unique<VSLModel3D>();
    --VSLModel3D::ms_nModelCount; // a working copy takes no model number
    down->m_nModelId = world->m_nModelId * 10;
    world->GetAngleTris(down.get(), -0.866f);
    if (down->m_vTriangles.isEmpty())
        return out;
    MyMesh& mesh = down->m_mesh;
    down->CopyMesh(VSLModel3D::TrianglesToMesh);
    vcg::tri::Clean<MyMesh>::RemoveDuplicateVertex(mesh, true);
    vcg::tri::Allocator<MyMesh>::CompactVertexVector(mesh);
    vcg::tri::Allocator<MyMesh>::CompactFaceVector(mesh);
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(mesh);
    down->GetRegions(mesh, false, out);
    return out;
}

QVector<int> VSL3DScene::getGridID()
{
    return gridsupport::SpotCells(m_supportGrid, GenerateSupportRegions(), m_nSupportGridSpacing);
}

SceneOp VSL3DScene::GenerateAutoSupport()
{
    m_pSupportToolPainter = m_pSelModelPainter;
    VSLModelPainter* p = m_pSupportToolPainter;
    if (!p || !p->m_pModel)
        return SceneOp::NoSelection;
    if (m_jobs.IsBusy(p->m_nNumber))
        return SceneOp::JobRunning;
    // Held for the whole run: no worker of the model touches its mesh while
    // the overhang search has it in world coordinates.
    GateTry gate(p->m_pModel->readyGate());
    if (!gate.held())
        return SceneOp::JobRunning;
    const bool lift = p->m_minBound.z() < 1.0f;
    const bool wasLifted = p->m_bLifted;
    if (lift) {
        p->Move(QVector3D(0, 0, float(m_nGridSupportLiftMm)));
        p->m_bLifted = true;
    }
    bool invertible = false;
    const QMatrix4x4 M = p->m_matrix;
    const QMatrix4x4 inv = M.inverted(&invertible);
    if (!invertible || !generateSupportGrid(m_supportGrid, p, 0, 0)) {
        // No run: the instance goes back to where it was.
        if (lift) {
            p->Move(QVector3D(0, 0, -float(m_nGridSupportLiftMm)));
            p->m_bLifted = wasLifted;
        }
        return SceneOp::Unchanged;
    }
    DetectOverhangHeld(p);

    QVector<int> cells = getGridID();
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());

    for (int cell : qAsConst(cells)) {
        if (!m_supportGrid.HasPoints(cell))
            continue;
        const QVector<SupportPoint>& pts = m_supportGrid.cells[cell];
        for (int i = 0; i < pts.size(); i += 2) {
            const SupportPoint& q = pts[i];
            if (M.mapVector(Normal(q)).normalized().z() > -0.866f)
                continue;
            if (i == 0 ? q.z < 1.0f : Pos(q).distanceToPoint(Pos(pts[i - 1])) < 5.0f)
                continue;
            DLPSupportStructure* s = p->AddSupport(QVector3D(), QVector3D());
            s->SetTopAttachShape(m_strAttachName1);
            s->SetTopPoint(inv.map(Pos(q)));
            s->SetTopNormal(-Normal(q));
            if (i == 0) {
                s->SetIsGrounded(true);
            } else {
                s->SetBottomPoint(inv.map(Pos(pts[i - 1])));
                s->SetBottomNormal(-Normal(pts[i - 1]));
                s->SetBottomAttachShape(m_strAttachName2);
                s->SetIsGrounded(false);
            }
            s->GenerateTrussPoints();
        }
    }

    for (const QVector<SupportPoint>& L : qAsConst(m_vOverhangPoints)) {
        if (L.isEmpty())
            continue;
        if (L.size() == 2 ? Pos(L[0]).distanceToPoint(Pos(L[1])) < 5.0f : L.last().z < 1.0f)
            continue;
        DLPSupportStructure* s = p->AddSupport(QVector3D(), QVector3D());
        s->SetTopAttachShape(m_strAttachName1);
        s->SetTopPoint(inv.map(Pos(L.last())));
        s->SetTopNormal(-inv.mapVector(Normal(L.last())));
        if (L.size() == 1) {
            s->SetIsGrounded(true);
        } else {
            s->SetBottomPoint(inv.map(Pos(L.first())));
            s->SetBottomNormal(-Normal(L.first()));
            s->SetBottomAttachShape(m_strAttachName2);
            s->SetIsGrounded(false);
        }
        s->GenerateTrussPoints();
    }
    emit sig_Update();
    return SceneOp::Done;
}

SceneOp VSL3DScene::GenerateAutoSupportForScene()
{
    SceneOp result = SceneOp::NoSelection;
    const QList<int> keys = m_instances.keys();
    for (int key : keys) {
        VSLModelPainter* p = m_instances.value(key);
        if (!p)
            continue;
        SetPickModelPainter(key * 10);
        m_bSelected = true;
        const SceneOp r = GenerateAutoSupport();
        if (result == SceneOp::NoSelection || r != SceneOp::Done)
            result = r;
    }
    return result;
}
