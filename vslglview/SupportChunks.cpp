#include "SupportChunks.h"

#include "layers/supportcut.h"
#include "support/SupportGeometry.h"

#include <QMatrix4x4>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

void Widen(vcg::Point3f& lo, vcg::Point3f& hi, const vcg::Point3f& p, float r)
{
    for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], p[k] - r);
        hi[k] = std::max(hi[k], p[k] + r);
    }
}

bool Finite(const vcg::Point3f& p, float r)
{
    return layers::IsFinite(p) && std::isfinite(r);
}

} // namespace

bool SupportChunks::BoxOf(const DLP_Support& support, vcg::Point3f& lo, vcg::Point3f& hi)
{
    const float inf = INFINITY;
    lo = vcg::Point3f(inf, inf, inf);
    hi = vcg::Point3f(-inf, -inf, -inf);
    bool any = false;
    for (const QVector<vcg::Point3f>& c : support.cones) {
        if (!supportgeom::IsCone(c))
            continue;
        // A cone lies within the spheres of its end radii round its ends.
        const float r0 = std::fabs(c[2][0]), r1 = std::fabs(c[2][1]);
        if (!Finite(c[0], r0) || !Finite(c[1], r1))
            return false;
        Widen(lo, hi, c[0], r0);
        Widen(lo, hi, c[1], r1);
        any = true;
    }
    for (const QVector<vcg::Point3f>& s : support.spheres) {
        if (!supportgeom::IsSphere(s))
            continue;
        const float r = std::fabs(s[1][0]);
        if (!Finite(s[0], r))
            return false;
        Widen(lo, hi, s[0], r);
        any = true;
    }
    return any;
}

bool SupportChunks::MayBeSeen(const float m[16], const vcg::Point3f& lo, const vcg::Point3f& hi)
{
    // Clip coordinates of the eight corners; outside when every corner lies
    // beyond the same one of the six planes -w <= x, y, z <= w.
    int outside[6] = {0, 0, 0, 0, 0, 0};
    for (int corner = 0; corner < 8; ++corner) {
        const double x = (corner & 1) ? hi[0] : lo[0];
        const double y = (corner & 2) ? hi[1] : lo[1];
        const double z = (corner & 4) ? hi[2] : lo[2];
        double c[4];
        for (int row = 0; row < 4; ++row)
            c[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
        outside[0] += c[0] < -c[3];
        outside[1] += c[0] > c[3];
        outside[2] += c[1] < -c[3];
        outside[3] += c[1] > c[3];
        outside[4] += c[2] < -c[3];
        outside[5] += c[2] > c[3];
    }
    return std::none_of(outside, outside + 6, [](int n) { return n == 8; });
}

void SupportChunks::Compile(const SupportMap& supports, const std::function<void(const DLP_Support&)>& drawOne,
                            bool chunked)
{
    Clear();
    Chunk chunk;
    int inChunk = 0;
    auto close = [&] {
        if (chunk.list != 0) {
            glEndList();
            m_chunks.push_back(chunk);
        }
        chunk = Chunk();
        inChunk = 0;
    };
    for (const DLP_Support& s : supports) {
        vcg::Point3f lo, hi;
        const bool bounded = BoxOf(s, lo, hi);
        // A chunk stays small across as well: in the run's order a row of
        // supports can cross the whole plate.
        if (chunked && chunk.list != 0 && bounded && chunk.bounded &&
            (std::max(hi[0], chunk.hi[0]) - std::min(lo[0], chunk.lo[0]) > kChunkAcrossMm ||
             std::max(hi[1], chunk.hi[1]) - std::min(lo[1], chunk.lo[1]) > kChunkAcrossMm))
            close();
        if (chunk.list == 0) {
            chunk.list = glGenLists(1);
            if (chunk.list == 0)
                break;
            glNewList(chunk.list, GL_COMPILE);
            chunk.bounded = true;
            const float inf = INFINITY;
            chunk.lo = vcg::Point3f(inf, inf, inf);
            chunk.hi = vcg::Point3f(-inf, -inf, -inf);
        }
        if (bounded) {
            Widen(chunk.lo, chunk.hi, lo, 0.f);
            Widen(chunk.lo, chunk.hi, hi, 0.f);
        } else if (!s.cones.isEmpty() || !s.spheres.isEmpty()) {
            chunk.bounded = false;
        }
        drawOne(s);
        if (chunked && ++inChunk == kSupportsPerChunk)
            close();
    }
    close();
    // Float matrices round: a box grazing the frame's edge stays in.
    for (Chunk& c : m_chunks)
        if (c.bounded) {
            const float margin = 0.01f + 1e-4f * std::max({c.hi[0] - c.lo[0], c.hi[1] - c.lo[1], c.hi[2] - c.lo[2]});
            Widen(c.lo, c.hi, c.lo, margin);
            Widen(c.lo, c.hi, c.hi, margin);
        }
    m_all = glGenLists(1);
    if (m_all == 0)
        return;
    glNewList(m_all, GL_COMPILE);
    for (const Chunk& c : m_chunks)
        glCallList(c.list);
    glEndList();
}

void SupportChunks::Draw() const
{
    // GL hands its matrices column by column; QMatrix4x4 takes rows.
    float modelview[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const QMatrix4x4 clip = QMatrix4x4(projection).transposed() * QMatrix4x4(modelview).transposed();
    m_drawn = 0;
    for (const Chunk& c : m_chunks) {
        if (cullOutsideView && c.bounded && !MayBeSeen(clip.constData(), c.lo, c.hi))
            continue;
        glCallList(c.list);
        ++m_drawn;
    }
}

void SupportChunks::Clear()
{
    if (m_all != 0)
        glDeleteLists(m_all, 1);
    m_all = 0;
    for (const Chunk& c : m_chunks)
        glDeleteLists(c.list, 1);
    m_chunks.clear();
    m_drawn = 0;
}
