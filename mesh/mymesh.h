#pragma once
#include "mesh/point3.h"

#include <cstdint>
#include <vector>

// Indexed triangle mesh. Elements are addressed by 32-bit index; adjacency is
// stored as indices too, with kNone for "no element".
namespace vcg {

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Flag bits shared by vertices and faces.
enum : uint16_t {
    kDeleted = 0x01,
    kVisited = 0x10,
    kSelected = 0x20,
};

// Flag-bit accessors of an element with a `flags` word (no data of its own,
// so the element layout is unchanged).
template <class Element> struct FlagBits {
    bool IsD() const { return Flags() & kDeleted; }
    void SetD() { Flags() |= kDeleted; }
    void ClearD() { Flags() &= uint16_t(~kDeleted); }
    bool IsV() const { return Flags() & kVisited; }
    void SetV() { Flags() |= kVisited; }
    void ClearV() { Flags() &= uint16_t(~kVisited); }
    bool IsS() const { return Flags() & kSelected; }
    void SetS() { Flags() |= kSelected; }
    void ClearS() { Flags() &= uint16_t(~kSelected); }

private:
    uint16_t& Flags() { return static_cast<Element*>(this)->flags; }
    uint16_t Flags() const { return static_cast<const Element*>(this)->flags; }
};

struct MyVertex : FlagBits<MyVertex> {
    Point3f p;
    Point3f n;
    uint32_t vfFace = kNone; // first incident face of the vertex-face ring
    uint16_t flags = 0;
    int8_t vfCorner = -1;    // this vertex's corner index in vfFace

    Point3f& P() { return p; }
    const Point3f& P() const { return p; }
    Point3f& N() { return n; }
    const Point3f& N() const { return n; }
    uint16_t& Flags() { return flags; }
    uint16_t Flags() const { return flags; }
    uint32_t& VFp() { return vfFace; }
    uint32_t VFp() const { return vfFace; }
    int8_t& VFi() { return vfCorner; }
    int VFi() const { return vfCorner; }

};

// Edge i of a face joins its vertex i and vertex (i + 1) % 3. An edge whose
// face-face link points back to the face itself is a border edge.
struct MyFace : FlagBits<MyFace> {
    uint32_t v[3] = {kNone, kNone, kNone};
    Point3f n;
    uint32_t ff[3] = {kNone, kNone, kNone}; // face across edge i
    uint32_t vf[3] = {kNone, kNone, kNone}; // next face in the ring of vertex i
    uint16_t flags = 0;
    int8_t ffi[3] = {-1, -1, -1};           // edge index of edge i inside ff[i]
    int8_t vfi[3] = {-1, -1, -1};           // corner index of vertex i inside vf[i]

    uint32_t& V(int i) { return v[i]; }
    uint32_t V(int i) const { return v[i]; }
    uint32_t& FFp(int i) { return ff[i]; }
    uint32_t FFp(int i) const { return ff[i]; }
    int8_t& FFi(int i) { return ffi[i]; }
    int FFi(int i) const { return ffi[i]; }
    uint32_t& VFp(int i) { return vf[i]; }
    uint32_t VFp(int i) const { return vf[i]; }
    int8_t& VFi(int i) { return vfi[i]; }
    int VFi(int i) const { return vfi[i]; }
    Point3f& N() { return n; }
    const Point3f& N() const { return n; }
    uint16_t& Flags() { return flags; }
    uint16_t Flags() const { return flags; }

};

struct MyMesh {
    std::vector<MyVertex> vert;
    std::vector<MyFace> face;
    int vn = 0; // live vertices
    int fn = 0; // live faces

    void Clear()
    {
        vert.clear();
        face.clear();
        vn = fn = 0;
    }
    uint32_t VertexCount() const { return static_cast<uint32_t>(vert.size()); }
    uint32_t FaceCount() const { return static_cast<uint32_t>(face.size()); }
    const Point3f& P(uint32_t f, int corner) const { return vert[face[f].v[corner]].p; }
};

namespace face {
inline bool IsBorder(const MyMesh& m, uint32_t f, int e) { return m.face[f].ff[e] == f; }
} // namespace face

static_assert(sizeof(MyVertex) == 32 && sizeof(MyFace) == 56, "mesh elements grew");

} // namespace vcg

using MyMesh = vcg::MyMesh;
using MyVertex = vcg::MyVertex;
using MyFace = vcg::MyFace;
