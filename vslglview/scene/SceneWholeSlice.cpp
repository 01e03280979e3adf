// Whole-plate slicing: every instance merged into one mesh and every support
// into another, each cut in one pass on the caller's thread.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "mesh/merge.h"
#include "mesh/topology.h"

#include <QMutexLocker>

#include <algorithm>
#include <memory>

namespace {

constexpr float kMaxModelPixel = 999987.f;

// Corners merged as the duplicate-vertex clean-up and both compactions do,
// then face-face adjacency.
void PrepareMesh(VSLModel3D& model)
{
    const VSLTriangle3D* tris = model.m_vTriangles.constData();
    vcg::tri::BuildMergedMesh(model.m_mesh, uint32_t(model.m_vTriangles.size()), [tris](uint32_t i, int k) {
        const QVector3D& v = tris[i].vertices[k];
        return vcg::Point3f(v.x(), v.y(), v.z());
    });
    // A face that collapsed under its instance transform is gone from the
    // mesh: the list follows, or the slicer would refuse the count mismatch.
    if (int(model.m_mesh.fn) != model.m_vTriangles.size())
        model.CopyMesh(VSLModel3D::MeshToTriangles);
    vcg::tri::UpdateTopology<MyMesh>::FaceFace(model.m_mesh);
}

// Converts integer contours (1/1000 mm) into pixel polygons of the frame.
// `clamp` keeps model points inside 0 .. kMaxModelPixel; support points are
// stored as they are.
SliceLayers ToPixels(const VSLModel3D& model, int width, int height, float dotsPerMMX, float dotsPerMMY, bool clamp,
                     QPointF& maxPt, QPointF& minPt)
{
    SliceLayers layers;
    if (model.m_nLayerCount < 1)
        return layers;
    const float hx = float(width / 2);
    const float hy = float(height / 2);
    const int count = std::min<int>(model.m_nLayerCount, model.m_vModelContours.size());
    layers.reserve(count);
    for (int L = 0; L < count; ++L) {
        QVector<SlicePolygon> layer;
        for (const ClipperLib::Path& path : model.m_vModelContours[L]) {
            SlicePolygon poly;
            poly.reserve(int(path.size()));
            for (size_t k = 0; k < path.size(); ++k) {
                float x = float(path[k].X) * dotsPerMMX / 1000.f + hx;
                float y = float(path[k].Y) * dotsPerMMY / 1000.f + hy;
                if (clamp) {
                    const bool inside = x >= 0.f && x <= kMaxModelPixel && y >= 0.f && y <= kMaxModelPixel;
                    // Clamped rather than left at the frame's corner, which
                    // would draw a spike there; only inside points widen the extent.
                    x = qBound(0.f, x, kMaxModelPixel);
                    y = qBound(0.f, y, kMaxModelPixel);
                    poly.append(x, y);
                    if (!inside)
                        continue;
                } else {
                    poly.append(x, y);
                }
                maxPt.setX(std::max<double>(maxPt.x(), x));
                maxPt.setY(std::max<double>(maxPt.y(), y));
                minPt.setX(std::min<double>(minPt.x(), x));
                minPt.setY(std::min<double>(minPt.y(), y));
            }
            layer.append(poly);
        }
        layers.append(layer);
    }
    return layers;
}

} // namespace

void VSL3DScene::generatePolygonData(VSLModel3D* model, int width, int height, float dotsPerMMX, float dotsPerMMY)
{
    QMutexLocker lock(m_pSceneMutex);
    m_modelSliceLayers = ToPixels(*model, width, height, dotsPerMMX, dotsPerMMY, true, m_sliceMaxPt, m_sliceMinPt);
}

void VSL3DScene::generatePolygonDataSup(VSLModel3D* model, int width, int height, float dotsPerMMX,
                                        float dotsPerMMY)
{
    QMutexLocker lock(m_pSceneMutex);
    m_supportSliceLayers =
        ToPixels(*model, width, height, dotsPerMMX, dotsPerMMY, false, m_sliceMaxPt, m_sliceMinPt);
}

int VSL3DScene::SliceScene(float layerThickness, QString, QString, int width, int height, float dotsPerMMX,
                           float dotsPerMMY)
{
    if (m_jobs.AnyJob())
        return kRefusedBusy;
    std::unique_ptr<VSLModel3D> merged(SaveAllTransModels());
    std::unique_ptr<VSLModel3D> supports(SaveAllTransSupports());

    PrepareMesh(*merged);
    PrepareMesh(*supports);
    merged->CheckHoles();
    supports->CheckHoles();

    const int r = merged->CheckRepairManifold();
    supports->CheckRepairManifold();
    if (r != 0) {
        emit signal_Exception(-9);
        return r;
    }
    const int h = merged->RepairHoles();
    supports->RepairHoles();
    if (h != 0) {
        emit signal_Exception(-10);
        return -h;
    }

    merged->m_fSliceBase = 0.f;
    merged->m_fSliceTop = merged->m_maxBound.z();
    merged->m_fLayerThick = layerThickness;
    const int n = merged->SliceModel();
    if (n <= 0) {
        emit signal_Exception(-8);
        return n;
    }
    supports->m_fSliceBase = supports->m_minBound.z();
    supports->m_fSliceTop = supports->m_maxBound.z();
    supports->m_fLayerThick = layerThickness;
    const int s = supports->SliceModel();

    {
        QMutexLocker lock(m_pSceneMutex);
        m_sliceMaxPt = QPointF(-width, -height);
        m_sliceMinPt = QPointF(width, height);
    }
    generatePolygonData(merged.get(), width, height, dotsPerMMX, dotsPerMMY);
    if (s < 1) {
        QMutexLocker lock(m_pSceneMutex);
        m_supportSliceLayers.clear();
    } else {
        generatePolygonDataSup(supports.get(), width, height, dotsPerMMX, dotsPerMMY);
    }
    const int result = std::max(n, s);
    m_nPrintLayerCount = result;
    return result;
}
