#pragma once
#include "support/DLP_Support.h"

#include <QVector3D>
#include <QVector>

#include <memory>
#include <vector>

class QOpenGLShaderProgram;
typedef unsigned int GLuint;

// The bodies of a big support run, seen from afar, drawn as instances: each
// shape (a cone of one end-radius ratio, the sphere) is stored once at the
// origin with few facets, and one draw places a batch of copies by
// transforms passed as uniforms. Where ten thousand shafts stand a few
// pixels wide, the full facets of the shape lists cost a software
// rasteriser seconds a frame and show nothing more; closer in, the lists
// draw them faster than instances do. Lit as the fixed-function pipeline
// lights the lists.
class SupportInstances {
public:
    SupportInstances();
    ~SupportInstances();
    SupportInstances(const SupportInstances&) = delete;
    SupportInstances& operator=(const SupportInstances&) = delete;

    // Whether the current context draws instances (shaders, room for a
    // batch of transforms).
    static bool Supported();

    // Tables of the supports' cones and spheres. The context must be
    // current. False, and empty, when the context cannot draw them.
    bool Build(const SupportMap& supports);
    // Where the run's typical shaft stands narrower on the screen than
    // `farBelowPx` under the current matrices and viewport, draws every body
    // shape with few facets (cones of 6 sides without end caps, spheres of
    // 24 facets; corners shared and lit smoothly) in the current colour,
    // lighting and blend, and returns true; otherwise draws nothing and
    // returns false. Narrower than `tinyBelowPx`, a cone is a line as wide
    // as the typical shaft, lit as the mean across the cone's width, and a
    // sphere has 8 facets: a cone of few facets is still twelve triangles
    // where two or three pixels show nothing of them.
    bool DrawIfFar() const;
    // The tip spheres as the tip list draws them, for DrawTipsIfFar; kept
    // until the next Build or Clear.
    struct Tip {
        vcg::Point3f centre;
        float radius;
    };
    void SetTips(const std::vector<Tip>& tips);
    // As DrawIfFar, the tips with the body's few-facet sphere.
    bool DrawTipsIfFar() const;
    static constexpr double kFarBelowPx = 12.0;
    static constexpr double kTinyBelowPx = 3.0;
    double farBelowPx = kFarBelowPx;
    double tinyBelowPx = kTinyBelowPx;
    // The widest line the context draws (from its line width ranges, read
    // by Build): where the shaft is wider, lines would draw it thinner than
    // it is, and the few facets draw it instead.
    double widestLinePx = 1.0;
    // Frees the tables; needs the context current. The program stays for
    // the next build.
    void Clear();

    bool empty() const { return m_groups.isEmpty() && m_leftoverList == 0; }
    int groupCount() const { return m_groups.size(); }
    long instanceCount() const { return m_bodies.count(); }

private:
    // Where copies of a shape stand, as a draw uploads them: per place three
    // affine rows (point = A p + t) and three rows of the normals' matrix
    // (B, the inverse transpose of A).
    struct Places {
        static constexpr int kRowFloats = 12;      // three affine rows of 4
        static constexpr int kNormalRowFloats = 9; // three normal rows of 3
        std::vector<float> rows, normalRows;
        int count() const { return int(rows.size() / kRowFloats); }
        void Append(const float A[3][3], const vcg::Point3f& t, const float B[3][3]);
        void AppendSphere(const vcg::Point3f& centre, float r);
        void Append(const Places& more);
    };
    // One copy's part of the shape buffers.
    struct Shape {
        int firstVertex = 0;
        int vertexCount = 0;
        int firstIndex = 0;
        int indexCount = 0;
        bool lines = false;
    };
    enum Level { kNear = -1, kFar = 0, kTiny = 1, kLevels = 2 };
    struct Group {
        Shape shapes[kLevels];
        int firstInstance = 0;
        int instanceCount = 0;
    };
    bool MakeProgram();
    // The detail the current matrices and viewport ask for, and the
    // typical shaft's width in pixels it was judged by.
    Level LevelNow(double& shaftPx) const;
    void BindShapes(Level level, double shaftPx) const;
    void DrawPlaces(const Shape& shape, const Group& g, const Places& places) const;
    void ReleaseShapes(Level level) const;
    // The width in pixels the typical shaft takes at the run's middle under
    // the current matrices and viewport.
    double ShaftWidthPx() const;

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    int m_placesPerDraw = 0;
    int m_rowsUniform = -1, m_normalRowsUniform = -1, m_litUniform = -1, m_linesUniform = -1;
    GLuint m_shapeBuffer = 0;  // per vertex: position, normal, place in the draw
    GLuint m_indexBuffer = 0;  // the copies' triangles and lines
    GLuint m_leftoverList = 0; // primitives no unit shape stands for
    Places m_bodies; // of every group, one after another
    Places m_tips;
    QVector<Group> m_groups;
    Group m_sphereShape; // its copies, also without body spheres
    QVector3D m_middle;            // of the places, in the run's frame
    float m_shaftDiameterMm = 0.f; // the median cone's larger diameter
};
