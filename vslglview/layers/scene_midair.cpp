// What the scene's last slice holds in mid-air, from its instances' counts.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"

#include <QFileInfo>

#include <algorithm>

SliceMidAir VSL3DScene::LastSliceMidAir() const
{
    SliceMidAir found;
    if (!m_bSliceIslandsCounted || !m_strSliceError.isEmpty() || m_jobs.sliceJobs() != 0)
        return found;
    for (VSLModelPainter* p : m_instances) {
        const layers::IslandCount& islands = p->m_sliceIslands;
        found.model += islands.model;
        found.support += islands.support;
        for (const auto* at : {&islands.modelAt, &islands.supportAt})
            for (const auto& island : *at) {
                // The plate layers stand in front of every instance's own.
                const int layer = island.first + std::max(0, m_nPlateLayers);
                if (found.lowestLayer >= 0 && layer >= found.lowestLayer)
                    continue;
                found.lowestLayer = layer;
                found.lowestModel = p->m_pModel ? QFileInfo(p->m_pModel->m_strFileName).fileName() : QString();
            }
    }
    return found;
}
