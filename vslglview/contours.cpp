#include "contours.h"

#include <algorithm>

const ClipperLib::Paths& ShellLayerContours::Slot::Empty()
{
    static const ClipperLib::Paths empty;
    return empty;
}

ClipperLib::Paths& ShellLayerContours::Slot::operator[](int layer)
{
    if (layer >= m_layerCount)
        m_layerCount = layer + 1;
    if (m_layers.empty()) {
        m_first = layer;
        m_layers.resize(1);
        return m_layers.front();
    }
    if (layer < m_first) {
        m_layers.insert(m_layers.begin(), size_t(m_first - layer), ClipperLib::Paths());
        m_first = layer;
    } else if (layer - m_first >= int(m_layers.size())) {
        m_layers.resize(size_t(layer - m_first + 1));
    }
    return m_layers[size_t(layer - m_first)];
}

void ShellLayerContours::Slot::Reserve(int first, int end)
{
    if (!m_layers.empty() || first < 0 || end <= first)
        return;
    m_first = first;
    m_layers.resize(size_t(end - first));
    m_layerCount = std::max(m_layerCount, end);
}

ShellLayerContours::ShellLayerContours(int slots, int layers) : m_slots(size_t(std::max(0, slots)))
{
    for (Slot& s : m_slots)
        s.m_layerCount = std::max(0, layers);
}

ShellLayerContours::ShellLayerContours(int slots, const QVector<ClipperLib::Paths>& layers)
    : ShellLayerContours(slots, layers.size())
{
    for (Slot& s : m_slots)
        for (int L = 0; L < layers.size(); ++L)
            if (!layers[L].empty())
                s[L] = layers[L];
}
