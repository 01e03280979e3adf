#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "mesh/allocator.h"
#include "mesh/clean.h"
#include "mesh/topology.h"

#include <QMutexLocker>

SceneOp VSL3DScene::RepairScene(int& holes, int& repairHoles, int& manifold, int& orientation)
{
    if (m_jobs.AnyJob())
        return SceneOp::JobRunning;
    for (VSLModel3D* model : qAsConst(m_models))
        if (!model->isReady())
            return SceneOp::JobRunning;
    for (VSLModel3D* model : qAsConst(m_models)) {
        MeshGateLocker gate(model->readyGate());
        if (!gate.held())
            continue;
        QMutexLocker data(model->dataMutex());
        model->TriRound(10000);
        model->CopyMesh(VSLModel3D::TrianglesToMesh);
        vcg::tri::Clean<MyMesh>::RemoveDuplicateVertex(model->m_mesh, true);
        vcg::tri::Allocator<MyMesh>::CompactVertexVector(model->m_mesh);
        vcg::tri::Allocator<MyMesh>::CompactFaceVector(model->m_mesh);
        vcg::tri::UpdateTopology<MyMesh>::FaceFace(model->m_mesh);
        vcg::tri::UpdateTopology<MyMesh>::VertexFace(model->m_mesh);
        holes = model->CheckHoles();
        manifold = model->CheckRepairManifold();
        if (manifold != -3) {
            repairHoles = model->RepairHoles();
            orientation = model->CheckRepairNormal();
        }
        // Workers place the mesh from the vertex copy and slice by the shell
        // labels: both must follow the repaired mesh, or a merge that changed
        // the vertex count would scatter the next slice.
        model->CopyMesh(VSLModel3D::MeshToTriangles);
        model->CopyVertex();
        model->m_vShellOfFace.clear();
        model->m_defects = CountMeshDefects(model->m_mesh);
        model->m_bDataChanged = true;
        if (manifold == -3)
            break;
    }
    emit sig_Update();
    return SceneOp::Done;
}

bool VSL3DScene::CountDefects(MeshDefectCounts& sum) const
{
    sum = MeshDefectCounts();
    bool all = true;
    for (VSLModel3D* model : m_models) {
        if (!model->isReady()) {
            all = false;
            continue;
        }
        sum += model->defectCounts();
    }
    return all;
}

int VSL3DScene::ModelsBeingChecked() const
{
    int n = 0;
    for (VSLModel3D* model : m_models)
        n += model->isReady() ? 0 : 1;
    return n;
}
