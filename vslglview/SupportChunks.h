#pragma once
#include "support/DLP_Support.h"

#include <functional>
#include <vector>

typedef unsigned int GLuint;

// The support body compiled as lists of a few dozen supports each, in the
// run's order, each with the box its shapes lie in. Zoomed in on part of a
// plate of ten thousand supports, a frame calls only the lists whose boxes
// it sees: the rest would cost a software rasteriser their every vertex for
// no pixel. In the run's order, so what is drawn blends as one list of
// everything would.
class SupportChunks {
public:
    static constexpr int kSupportsPerChunk = 64;
    static constexpr float kChunkAcrossMm = 8.f;

    // Compiles drawOne(support) for every support, a chunk at a time (one
    // chunk of all unless `chunked`), and one list calling every chunk.
    // Needs the context current. A body of its own triangles stays one
    // chunk: GL keeps each list's vertices in a buffer of its own, and
    // thousands of small ones took a third more memory than one.
    void Compile(const SupportMap& supports, const std::function<void(const DLP_Support&)>& drawOne,
                 bool chunked);
    // The chunks whose boxes meet the view volume of the current matrices.
    void Draw() const;
    // Calls every chunk.
    GLuint allList() const { return m_all; }
    // Frees the lists; needs the context current.
    void Clear();

    // Off: every chunk is drawn, for pictures to compare against.
    bool cullOutsideView = true;

    int chunkCount() const { return int(m_chunks.size()); }
    // Chunks the last Draw called.
    int drawnLastFrame() const { return m_drawn; }

    // The box a support's cones and spheres lie in; false when it has none
    // or a coordinate is not finite (such a chunk is always drawn).
    static bool BoxOf(const DLP_Support& support, vcg::Point3f& lo, vcg::Point3f& hi);
    // False only when the box lies wholly outside one side of the view
    // volume of `clip` (projection times modelview, column-major).
    static bool MayBeSeen(const float clip[16], const vcg::Point3f& lo, const vcg::Point3f& hi);

private:
    struct Chunk {
        GLuint list = 0;
        vcg::Point3f lo, hi;
        bool bounded = false; // else always drawn
    };
    std::vector<Chunk> m_chunks;
    GLuint m_all = 0;
    mutable int m_drawn = 0;
};
