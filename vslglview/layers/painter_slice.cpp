// The instance painter's slicing run, built on the slicing core of this folder.
#include "VSLModelPainter.h"

#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "layers/freedmemory.h"
#include "layers/instanceslice.h"
#include "layers/supportlayers.h"
#include "support/SupportGeometry.h"

#include <QMutexLocker>
#include <QVector3D>

#include "contour/tracedlayers.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>

bool VSLModelPainter::Z_Intersect(vcg::Point3f const& a, vcg::Point3f const& b, float const& z,
                                  ClipperLib::IntPoint& out)
{
    return layers::ZIntersect(a, b, z, out);
}

namespace {

// Finishes the cut's progress and joins the maker of the layers on every
// way out: a reader must never wait for planes that will not come.
class MakerBesideCut {
public:
    explicit MakerBesideCut(contour::TracedLayers& traced) : m_traced(traced) {}
    ~MakerBesideCut() { Join(); }
    template <class Fn> bool Start(Fn fn)
    {
        try {
            m_thread = std::thread(std::move(fn));
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    void Join()
    {
        m_traced.Finish();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    contour::TracedLayers& m_traced;
    std::thread m_thread;
};

} // namespace

void VSLModelPainter::SliceModelPainterX(float base)
{
    ShellLayerContours contours;
    auto makeLayers = [this, &contours](int layerCount, bool openSlot, const layers::SupportSolids* supports,
                                        const contour::TracedLayers* traced) {
        layers::InstanceSliceJob job;
        job.contours = &contours;
        job.traced = traced;
        job.layerCount = layerCount;
        job.slicedOpen = openSlot;
        job.supports = supports;
        if (m_pScene)
            job.mapping = layers::PixelMapping{m_pScene->m_nXResolution, m_pScene->m_nYResolution,
                                               m_pScene->m_fDotsPermmX, m_pScene->m_fDotsPermmY};
        job.countIslands = m_bCountSliceIslands;
        job.countOutlineIslands = m_bCountSliceIslands;
        job.countLitIslandsByGroups = m_bCheckSliceIslands;
        job.turned = m_pScene && m_pScene->m_bImageRotate;
        job.workers = m_nSliceWorkers;
        job.stop = &m_bStopSlice;
        job.beforeLayer = m_fnSliceLayer;
        return layers::SliceInstanceLayers(job);
    };

    // Without supports, the layers are made while the planes above them are
    // still being cut: on a large mesh the cut, on one thread, is most of
    // the time, and the other cores would wait for it.
    contour::TracedLayers traced;
    layers::InstanceSlice slice;
    MakerBesideCut maker(traced);
    const bool beside = !m_bHasSupports && maker.Start([&] {
        int layerCount = 0;
        bool openSlot = false;
        if (traced.WaitBegun(layerCount, openSlot))
            slice = makeLayers(std::max(0, layerCount), openSlot, nullptr, &traced);
    });

    int layerCount = 0;
    bool openSlot = false;
    if (m_pModel && m_pScene) {
        MeshGateLocker gate(m_pModel->readyGate());
        if (gate.held()) {
            m_pModel->CountShells();
            QMutexLocker dataLock(m_pModel->dataMutex());
            // The model mesh is shared by its instances: place it at ours.
            MyMesh& mesh = m_pModel->m_mesh;
            const QVector<vcg::Point3f>& copy = m_pModel->m_vVertexCopy;
            const int vertexCount = int(std::min<qint64>(mesh.VertexCount(), copy.size()));
            float top = -10000.0f;
            // The slicer rounds the heights it places (to the 1/1000 mm grid),
            // so no matrix stands for these positions: a coefficient that
            // equals nothing makes the next support run place the mesh anew.
            m_pModel->m_meshMatrix.fill(std::numeric_limits<float>::quiet_NaN());
            for (int i = 0; i < vertexCount; ++i) {
                const QVector3D p = m_matrix * QVector3D(copy[i].X(), copy[i].Y(), copy[i].Z());
                mesh.vert[i].p = vcg::Point3f(p.x(), p.y(), p.z());
                if (p.z() > top)
                    top = p.z();
            }
            layerCount = m_pModel->SilceMeshXX(contours, m_vSliceZ, m_pScene->m_fLayerThick, top, base, &m_bStopSlice,
                                               beside ? &traced : nullptr);
            // The open-shell slot is the one beyond the shell count (the
            // model's open flag is sticky and says nothing about this run).
            openSlot = m_pModel->m_bSlicedOpenMesh && contours.size() > m_pModel->m_nShellCount;
        }
    }
    layerCount = std::max(0, layerCount);
    maker.Join();

    std::unique_ptr<layers::SupportSolids> supports;
    if (!beside && m_bHasSupports && layerCount > 0 && !m_bStopSlice) {
        // Cut where they stand, from moved copies: the records stay in the
        // frame their run made them in, which its tables, an edit's rerun
        // and the window's lists all go on taking them in. Rewritten here,
        // on this thread, they left all three behind.
        const QMatrix4x4 toWorld = m_supportMatrix;
        supports = std::make_unique<layers::SupportSolids>(m_vSliceZ, m_columnMesh);
        for (auto it = m_supportMap.cbegin(); it != m_supportMap.cend() && !m_bStopSlice; ++it) {
            if (toWorld.isIdentity()) {
                supports->AddRecord(it->isDeleted, it->spheres, it->cones);
                continue;
            }
            QVector<QVector<vcg::Point3f>> cones = it->cones, spheres = it->spheres;
            supportgeom::MapPrimitives(cones, spheres, toWorld);
            supports->AddRecord(it->isDeleted, spheres, cones);
        }
        supports->Finish(&m_bStopSlice);
        if (m_bStopSlice)
            supports.reset(); // the layers below end at once
    }
    if (!beside)
        slice = makeLayers(layerCount, openSlot, supports.get(), nullptr);
    contours.clear();
    supports.reset();
    // The layers may stay loaded for a long time after (a stopped slice
    // keeps none, and a closing window should not wait for the trim).
    if (!slice.stopped)
        layers::ReturnFreedMemory();
    m_sliceIslands = slice.islands;
    m_sliceOutlineIslands = slice.outlineIslands;
    m_dSliceIslandSeconds = slice.islandSeconds;
    m_dSliceWorkerSeconds = slice.workerSeconds;

    if (!slice.stopped && layerCount > 0 && m_pScene && m_pScene->sceneMutex())
        layers::PublishInstanceSlice(slice, layers::SliceTarget{m_pScene->m_modelSliceLayers, m_pScene->m_sliceMaxPt,
                                                                m_pScene->m_sliceMinPt, *m_pScene->sceneMutex()});
    emit sig_MPSliceDone();
}
