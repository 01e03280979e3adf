// The scene's plate layers, built on the slicing core of this folder.
#include "VSL3DScene.h"

#include "layers/platelayers.h"

void VSL3DScene::AddPlatform(int n)
{
    layers::AddPlateLayers(m_modelSliceLayers, m_nPlateLayers, m_sliceMaxPt, m_sliceMinPt, n);
}
