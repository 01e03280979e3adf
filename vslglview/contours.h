#pragma once
#include <polyclipping/clipper.hpp>

#include <QVector>

#include <vector>

// Outlines of one mesh per layer plane, integer 1/1000 mm.
using LayerContours = QVector<ClipperLib::Paths>;

// Outlines per shell, then per layer plane, read as contours[shell][layer];
// an extra last shell slot holds the chained outlines of all open shells when
// the mesh has border edges. A shell stores only the layer range it has
// outlines in, so a plate of many small parts does not pay for the planes a
// part never reaches.
class ShellLayerContours {
public:
    class Slot {
    public:
        int size() const { return m_layerCount; }
        bool isEmpty() const { return m_layerCount == 0; }
        const ClipperLib::Paths& operator[](int layer) const
        {
            const int i = layer - m_first;
            return i >= 0 && i < int(m_layers.size()) ? m_layers[size_t(i)] : Empty();
        }
        // Creates the storage of `layer` on first write.
        ClipperLib::Paths& operator[](int layer);
        // Lays out the storage of layers [first, end) at once, before any
        // write: writes within it then never move what is stored, so the
        // layers already written can be read while later ones are.
        void Reserve(int first, int end);
        // The stored layers only: every outline of the slot, in layer order.
        std::vector<ClipperLib::Paths>::const_iterator begin() const { return m_layers.begin(); }
        std::vector<ClipperLib::Paths>::const_iterator end() const { return m_layers.end(); }

    private:
        friend class ShellLayerContours;
        static const ClipperLib::Paths& Empty();
        int m_layerCount = 0;
        int m_first = 0;
        std::vector<ClipperLib::Paths> m_layers;
    };

    ShellLayerContours() = default;
    explicit ShellLayerContours(int slots, int layers = 0);
    ShellLayerContours(int slots, const QVector<ClipperLib::Paths>& layers);

    int size() const { return int(m_slots.size()); }
    bool isEmpty() const { return m_slots.empty(); }
    void clear() { m_slots.clear(); }
    const Slot& operator[](int slot) const { return m_slots[size_t(slot)]; }
    Slot& operator[](int slot) { return m_slots[size_t(slot)]; }
    std::vector<Slot>::const_iterator begin() const { return m_slots.begin(); }
    std::vector<Slot>::const_iterator end() const { return m_slots.end(); }

private:
    std::vector<Slot> m_slots;
};
