#include "SupportInstances.h"

#include "SupportShapeLists.h"
#include "VSLModelPainter.h"
#include "support/SupportGeometry.h"

#include <QMatrix4x4>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QVector2D>
#include <QVector4D>

#include <GL/gl.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace {

// Shapes of one run share a few radius ratios; past this many groups the
// rest are drawn from their triangles, as the shape lists do.
constexpr int kMaxGroups = 256;

// Attribute slots of the shape's vertices.
enum Slot { kPosition = 0, kNormal = 1, kPlaceIndex = 2 };
constexpr int kVertexFloats = 7; // position, normal, which of the draw's places
// Places per draw: the shape buffer holds this many copies of each shape,
// the draw takes their transforms as uniforms. One call per place cost the
// software rasteriser microseconds each, as did one instance of an
// instanced draw.
constexpr int kMostPlacesPerDraw = 128;

// The fixed-function lighting the scene sets (one directional light seen
// from a local viewer, colour material for ambient and diffuse, normals
// renormalised), per vertex as the lists are lit.
const char* const kVertexShader = R"(
attribute vec3 shapePosition;
attribute vec3 shapeNormal;
attribute float placeIndex;
uniform vec4 rows[3 * PLACES];
uniform vec3 normalRows[3 * PLACES];
uniform bool lit;
uniform bool lines;
vec4 Lit(vec3 N, vec3 eye)
{
    vec3 L = normalize(gl_LightSource[0].position.xyz);
    vec4 color = gl_FrontMaterial.emission + gl_LightModel.ambient * gl_Color
               + gl_LightSource[0].ambient * gl_Color;
    float diffuse = dot(N, L);
    if (diffuse > 0.0) {
        color += diffuse * gl_LightSource[0].diffuse * gl_Color;
        vec3 H = normalize(L + normalize(-eye));
        float facing = max(dot(N, H), 0.0);
        color += pow(facing, gl_FrontMaterial.shininess) * gl_FrontMaterial.specular * gl_LightSource[0].specular;
    }
    return clamp(color, 0.0, 1.0);
}
void main()
{
    int i = 3 * int(placeIndex);
    vec4 p = vec4(shapePosition, 1.0);
    vec4 eye = gl_ModelViewMatrix * vec4(dot(rows[i], p), dot(rows[i + 1], p), dot(rows[i + 2], p), 1.0);
    gl_Position = gl_ProjectionMatrix * eye;
    gl_ClipVertex = eye;
    if (!lit) {
        gl_FrontColor = gl_Color;
        return;
    }
    if (lines) {
        // A line stands for a cone a pixel or two wide: the mean of the
        // light across its width, taken at two normals either side of the
        // one facing the eye (where a third and two thirds of the width
        // lie), for the near side and the far one; blended as the cone's
        // two sides blend, the near one over the far one.
        vec3 axis = (gl_ModelViewMatrix * vec4(rows[i].z, rows[i + 1].z, rows[i + 2].z, 0.0)).xyz;
        vec3 V = normalize(-eye.xyz);
        axis = length(axis) > 0.0 ? normalize(axis) : axis;
        vec3 F = V - dot(V, axis) * axis;
        F = length(F) > 0.0 ? normalize(F) : V;
        vec3 S = cross(axis, F);
        const float c = 0.8165, s = 0.5774; // cos and sin of asin(1 / sqrt(3))
        vec4 near = 0.5 * (Lit(c * F + s * S, eye.xyz) + Lit(c * F - s * S, eye.xyz));
        vec4 far = 0.5 * (Lit(-c * F + s * S, eye.xyz) + Lit(-c * F - s * S, eye.xyz));
        float a = gl_Color.a;
        float both = 1.0 - (1.0 - a) * (1.0 - a);
        vec4 color = both > 0.0 ? (a * near + a * (1.0 - a) * far) / both : near;
        color.a = both;
        gl_FrontColor = color;
        return;
    }
    vec3 n = vec3(dot(normalRows[i], shapeNormal), dot(normalRows[i + 1], shapeNormal),
                  dot(normalRows[i + 2], shapeNormal));
    vec3 N = gl_NormalMatrix * n;
    float len = length(N);
    vec4 color = Lit(len > 0.0 ? N / len : N, eye.xyz);
    color.a = gl_Color.a;
    gl_FrontColor = color;
}
)";

const char* const kFragmentShader = R"(
#version 120
void main()
{
    gl_FragColor = gl_Color;
}
)";

// As many places as the vertex stage's uniforms hold beside the matrices
// and lights (each place takes six vectors).
int PlacesPerDraw()
{
    GLint components = 0;
    glGetIntegerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS, &components);
    const int vectors = components / 4 - 64;
    return std::max(0, std::min(kMostPlacesPerDraw, vectors / 6));
}

// Few facets for shapes a few pixels wide, fewer for a pixel or two.
constexpr int kFarConeSides = 6;
constexpr int kFarSphereSectors = 6, kFarSphereBands = 3;
constexpr int kTinySphereSectors = 4, kTinySphereBands = 2;

// A unit cone's sides only: at a few pixels its end caps (mostly inside the
// joint spheres) cost half the triangles and show nothing.
QVector<VSLTriangle3D> ConeSides(const SupportShapeLists::ConeKey& key)
{
    const QVector<VSLTriangle3D> all = SupportShapeLists::UnitCone(key);
    QVector<VSLTriangle3D> sides;
    for (const VSLTriangle3D& t : all) {
        // A cap lies in its end's plane; a side reaches from end to end
        // (also where an end is a point).
        const float z = t.vertices[0].z();
        if (t.vertices[1].z() != z || t.vertices[2].z() != z)
            sides << t;
    }
    return sides;
}

// A shape's corners shared between its triangles, each lit by the mean of
// the faces it joins: the vertex stage runs once a corner, not three times
// a triangle, and a body a few pixels wide looks round rather than cut.
struct WeldedShape {
    QVector<QVector3D> positions, normals;
    QVector<GLuint> indices; // three a triangle, into positions
};

WeldedShape Weld(const QVector<VSLTriangle3D>& triangles)
{
    WeldedShape w;
    std::map<std::tuple<float, float, float>, GLuint> corners;
    for (const VSLTriangle3D& t : triangles) {
        // Area-weighted: the unnormalised cross product.
        const QVector3D face = QVector3D::crossProduct(t.vertices[1] - t.vertices[0], t.vertices[2] - t.vertices[0]);
        for (const QVector3D& v : t.vertices) {
            const auto key = std::make_tuple(v.x(), v.y(), v.z());
            auto it = corners.find(key);
            if (it == corners.end()) {
                it = corners.emplace(key, GLuint(w.positions.size())).first;
                w.positions << v;
                w.normals << QVector3D();
            }
            w.normals[int(it->second)] += face;
            w.indices << it->second;
        }
    }
    for (QVector3D& n : w.normals)
        n.normalize();
    return w;
}

// The unit cone's axis, from the origin down the z axis, as a line.
WeldedShape UnitConeLine()
{
    WeldedShape w;
    w.positions << QVector3D(0, 0, 0) << QVector3D(0, 0, -1);
    w.normals << QVector3D() << QVector3D();
    w.indices << 0 << 1;
    return w;
}

bool Finite(const vcg::Point3f& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

} // namespace

void SupportInstances::Places::Append(const float A[3][3], const vcg::Point3f& t, const float B[3][3])
{
    for (int i = 0; i < 3; ++i) {
        rows.insert(rows.end(), {A[i][0], A[i][1], A[i][2], t[i]});
        normalRows.insert(normalRows.end(), {B[i][0], B[i][1], B[i][2]});
    }
}

void SupportInstances::Places::Append(const Places& more)
{
    rows.insert(rows.end(), more.rows.begin(), more.rows.end());
    normalRows.insert(normalRows.end(), more.normalRows.begin(), more.normalRows.end());
}

void SupportInstances::Places::AppendSphere(const vcg::Point3f& centre, float r)
{
    const float A[3][3] = {{r, 0, 0}, {0, r, 0}, {0, 0, r}};
    const float B[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Append(A, centre, B);
}

SupportInstances::SupportInstances() = default;

SupportInstances::~SupportInstances() = default;

bool SupportInstances::Supported()
{
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    return ctx && !ctx->isOpenGLES() && QOpenGLShaderProgram::hasOpenGLShaderPrograms(ctx) &&
           PlacesPerDraw() >= 8;
}

bool SupportInstances::MakeProgram()
{
    if (m_program)
        return m_program->isLinked();
    m_placesPerDraw = PlacesPerDraw();
    m_program = std::make_unique<QOpenGLShaderProgram>();
    m_program->bindAttributeLocation("shapePosition", kPosition);
    m_program->bindAttributeLocation("shapeNormal", kNormal);
    m_program->bindAttributeLocation("placeIndex", kPlaceIndex);
    const QByteArray vertex =
        "#version 120\n#define PLACES " + QByteArray::number(m_placesPerDraw) + "\n" + kVertexShader;
    if (!m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) ||
        !m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !m_program->link())
        return false;
    m_rowsUniform = m_program->uniformLocation("rows");
    m_normalRowsUniform = m_program->uniformLocation("normalRows");
    m_litUniform = m_program->uniformLocation("lit");
    m_linesUniform = m_program->uniformLocation("lines");
    return true;
}

bool SupportInstances::Build(const SupportMap& supports)
{
    Clear();
    if (!Supported() || !MakeProgram())
        return false;
    // Multisampled lines may take either range's limit.
    GLfloat aliased[2] = {1, 1}, smooth[2] = {1, 1};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, aliased);
    glGetFloatv(GL_SMOOTH_LINE_WIDTH_RANGE, smooth);
    widestLinePx = std::max(1.0, double(std::min(aliased[1], smooth[1])));
    Places spherePlaces;
    std::map<SupportShapeLists::ConeKey, Places> conePlaces;
    std::vector<SupportShapeLists::ConeKey> coneOrder; // as first met
    QVector<const QVector<vcg::Point3f>*> leftCones, leftSpheres;
    for (const DLP_Support& s : supports) {
        for (const QVector<vcg::Point3f>& c : s.cones) {
            if (!supportgeom::IsCone(c))
                continue;
            const double r0 = c[2][0], r1 = c[2][1];
            SupportShapeLists::ConeKey key;
            auto it = conePlaces.end();
            if (SupportShapeLists::UnitConeOf(c[0], r0, c[1], r1, kFarConeSides, key)) {
                it = conePlaces.find(key);
                if (it == conePlaces.end() && int(conePlaces.size()) < kMaxGroups) {
                    it = conePlaces.emplace(key, Places()).first;
                    coneOrder.push_back(key);
                }
            }
            if (it == conePlaces.end()) {
                leftCones << &c;
                continue;
            }
            // As the shape list's matrix: the unit cone scaled to the radii
            // and length, turned down the axis.
            const vcg::Point3f d = c[1] - c[0];
            const float length = d.Norm();
            const float larger = float(std::max(r0, r1));
            const vcg::Matrix33f R = supportgeom::ProperRotation(vcg::Point3f(0, 0, -1), d / length);
            float A[3][3], B[3][3];
            for (int i = 0; i < 3; ++i) {
                A[i][0] = R[i][0] * larger;
                A[i][1] = R[i][1] * larger;
                A[i][2] = R[i][2] * length;
                B[i][0] = R[i][0] / larger;
                B[i][1] = R[i][1] / larger;
                B[i][2] = R[i][2] / length;
            }
            it->second.Append(A, c[0], B);
        }
        for (const QVector<vcg::Point3f>& sp : s.spheres) {
            if (!supportgeom::IsSphere(sp))
                continue;
            const float r = float(sp[1][0]);
            if (!std::isfinite(r) || !Finite(sp[0])) {
                leftSpheres << &sp;
                continue;
            }
            spherePlaces.AppendSphere(sp[0], r);
        }
    }

    QVector<float> vertices;
    QVector<GLuint> indices;
    const int copies = m_placesPerDraw;
    // One shape's copies for a draw, without places.
    auto addShape = [&](const WeldedShape& shape, bool lines) {
        Shape g;
        g.lines = lines;
        g.firstVertex = vertices.size() / kVertexFloats;
        g.vertexCount = shape.positions.size();
        g.firstIndex = indices.size();
        g.indexCount = shape.indices.size();
        for (int copy = 0; copy < copies; ++copy) {
            for (int i = 0; i < shape.positions.size(); ++i) {
                const QVector3D &v = shape.positions[i], &n = shape.normals[i];
                vertices << v.x() << v.y() << v.z() << n.x() << n.y() << n.z() << float(copy);
            }
            // From the group's first vertex, where the draw points the arrays.
            for (GLuint i : shape.indices)
                indices << GLuint(copy * g.vertexCount) + i;
        }
        return g;
    };
    auto addGroup = [&](Group g, const Places& at) {
        if (at.count() == 0 || g.shapes[kFar].indexCount == 0)
            return;
        g.firstInstance = m_bodies.count();
        g.instanceCount = at.count();
        m_bodies.Append(at);
        m_groups << g;
    };
    // Cones before spheres and in the order first met, as the lists draw
    // them: the bodies are blended, and what is drawn first hides what
    // stands behind it.
    const Shape line = addShape(UnitConeLine(), true);
    for (const SupportShapeLists::ConeKey& key : coneOrder) {
        Group g;
        g.shapes[kFar] = addShape(Weld(ConeSides(key)), false);
        g.shapes[kTiny] = line;
        addGroup(g, conePlaces[key]);
    }
    // Kept without body spheres too: the tips are spheres.
    m_sphereShape.shapes[kFar] =
        addShape(Weld(SupportShapeLists::FacetedUnitSphere(kFarSphereSectors, kFarSphereBands)), false);
    m_sphereShape.shapes[kTiny] =
        addShape(Weld(SupportShapeLists::FacetedUnitSphere(kTinySphereSectors, kTinySphereBands)), false);
    addGroup(m_sphereShape, spherePlaces);

    // The middle of the places and the typical shaft, for the detail a frame
    // needs.
    QVector3D low(FLT_MAX, FLT_MAX, FLT_MAX), high(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    const std::vector<float>& rows = m_bodies.rows;
    for (size_t i = 0; i + Places::kRowFloats <= rows.size(); i += Places::kRowFloats) {
        const QVector3D t(rows[i + 3], rows[i + 7], rows[i + 11]);
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], t[a]);
            high[a] = std::max(high[a], t[a]);
        }
    }
    m_middle = rows.empty() ? QVector3D() : (low + high) / 2;
    std::vector<float> diameters;
    diameters.reserve(size_t(m_bodies.count()));
    for (const auto& cone : conePlaces)
        for (size_t i = 0; i + Places::kRowFloats <= cone.second.rows.size(); i += Places::kRowFloats) {
            // The larger radius is the length of the unit cone's first axis.
            const std::vector<float>& r = cone.second.rows;
            const QVector3D x(r[i], r[i + 4], r[i + 8]);
            diameters.push_back(2.f * x.length());
        }
    if (!diameters.empty()) {
        std::nth_element(diameters.begin(), diameters.begin() + diameters.size() / 2, diameters.end());
        m_shaftDiameterMm = diameters[diameters.size() / 2];
    }

    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    if (!vertices.isEmpty()) {
        f->glGenBuffers(1, &m_shapeBuffer);
        f->glBindBuffer(GL_ARRAY_BUFFER, m_shapeBuffer);
        f->glBufferData(GL_ARRAY_BUFFER, vertices.size() * qsizetype(sizeof(float)), vertices.constData(),
                        GL_STATIC_DRAW);
        f->glBindBuffer(GL_ARRAY_BUFFER, 0);
        f->glGenBuffers(1, &m_indexBuffer);
        f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBuffer);
        f->glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * qsizetype(sizeof(GLuint)), indices.constData(),
                        GL_STATIC_DRAW);
        f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    if (!leftCones.isEmpty() || !leftSpheres.isEmpty()) {
        m_leftoverList = glGenLists(1);
        if (m_leftoverList != 0) {
            glNewList(m_leftoverList, GL_COMPILE);
            for (const QVector<vcg::Point3f>* c : qAsConst(leftCones))
                VSLModelPainter::GenerateCone((*c)[0], (*c)[2][0], (*c)[1], (*c)[2][1], kFarConeSides);
            for (const QVector<vcg::Point3f>* sp : qAsConst(leftSpheres))
                VSLModelPainter::GenerateSphere((*sp)[0], (*sp)[1][0]);
            glEndList();
        }
    }
    return true;
}

SupportInstances::Level SupportInstances::LevelNow(double& shaftPx) const
{
    if (!QOpenGLContext::currentContext() || empty())
        return kNear;
    shaftPx = ShaftWidthPx();
    if (shaftPx < tinyBelowPx && shaftPx <= widestLinePx)
        return kTiny;
    return shaftPx < std::max(tinyBelowPx, farBelowPx) ? kFar : kNear;
}

bool SupportInstances::DrawIfFar() const
{
    double shaftPx = 0;
    const Level level = LevelNow(shaftPx);
    if (level == kNear)
        return false;
    if (m_program && !m_groups.isEmpty()) {
        BindShapes(level, shaftPx);
        for (const Group& g : m_groups)
            DrawPlaces(g.shapes[level], g, m_bodies);
        ReleaseShapes(level);
    }
    if (m_leftoverList != 0)
        glCallList(m_leftoverList);
    return true;
}

void SupportInstances::SetTips(const std::vector<Tip>& tips)
{
    m_tips = Places();
    for (const Tip& t : tips)
        if (std::isfinite(t.radius) && Finite(t.centre)) // else the tip list draws nothing to see either
            m_tips.AppendSphere(t.centre, t.radius);
}

bool SupportInstances::DrawTipsIfFar() const
{
    if (!m_program || m_sphereShape.shapes[kFar].indexCount == 0)
        return false;
    double shaftPx = 0;
    const Level level = LevelNow(shaftPx);
    if (level == kNear)
        return false;
    if (m_tips.count() == 0)
        return true;
    Group tips = m_sphereShape;
    tips.firstInstance = 0;
    tips.instanceCount = m_tips.count();
    BindShapes(level, shaftPx);
    DrawPlaces(tips.shapes[level], tips, m_tips);
    ReleaseShapes(level);
    return true;
}

void SupportInstances::BindShapes(Level level, double shaftPx) const
{
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    if (level == kTiny) {
        glPushAttrib(GL_LINE_BIT);
        glDisable(GL_LINE_STIPPLE);
        glLineWidth(float(std::max(1.0, shaftPx)));
    }
    m_program->bind();
    f->glUniform1i(m_litUniform, glIsEnabled(GL_LIGHTING) == GL_TRUE ? 1 : 0);
    f->glBindBuffer(GL_ARRAY_BUFFER, m_shapeBuffer);
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBuffer);
    f->glEnableVertexAttribArray(kPosition);
    f->glEnableVertexAttribArray(kNormal);
    f->glEnableVertexAttribArray(kPlaceIndex);
}

void SupportInstances::DrawPlaces(const Shape& shape, const Group& g, const Places& places) const
{
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    f->glUniform1i(m_linesUniform, shape.lines ? 1 : 0);
    constexpr GLsizei stride = kVertexFloats * sizeof(float);
    const auto at = [&shape](int floats) {
        return reinterpret_cast<const void*>((size_t(shape.firstVertex) * kVertexFloats + floats) * sizeof(float));
    };
    f->glVertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, stride, at(0));
    f->glVertexAttribPointer(kNormal, 3, GL_FLOAT, GL_FALSE, stride, at(3));
    f->glVertexAttribPointer(kPlaceIndex, 1, GL_FLOAT, GL_FALSE, stride, at(6));
    for (int done = 0; done < g.instanceCount; done += m_placesPerDraw) {
        const int n = std::min(m_placesPerDraw, g.instanceCount - done);
        const size_t place = size_t(g.firstInstance + done);
        f->glUniform4fv(m_rowsUniform, 3 * n, places.rows.data() + place * Places::kRowFloats);
        f->glUniform3fv(m_normalRowsUniform, 3 * n, places.normalRows.data() + place * Places::kNormalRowFloats);
        glDrawElements(shape.lines ? GL_LINES : GL_TRIANGLES, n * shape.indexCount, GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(size_t(shape.firstIndex) * sizeof(GLuint)));
    }
}

void SupportInstances::ReleaseShapes(Level level) const
{
    QOpenGLFunctions* f = QOpenGLContext::currentContext()->functions();
    f->glDisableVertexAttribArray(kPlaceIndex);
    f->glDisableVertexAttribArray(kNormal);
    f->glDisableVertexAttribArray(kPosition);
    f->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_program->release();
    if (level == kTiny)
        glPopAttrib();
}

double SupportInstances::ShaftWidthPx() const
{
    GLfloat mv[16], pr[16];
    GLint vp[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    glGetFloatv(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    const QMatrix4x4 toClip = QMatrix4x4(pr).transposed() * QMatrix4x4(mv).transposed();
    auto toPixels = [&](const QVector3D& p, bool& ok) {
        const QVector4D c = toClip * QVector4D(p, 1.f);
        ok = c.w() > 0.f;
        return ok ? QVector2D(c.x() / c.w() * vp[2] / 2, c.y() / c.w() * vp[3] / 2) : QVector2D();
    };
    bool ok = false;
    const QVector2D middle = toPixels(m_middle, ok);
    if (!ok)
        return 1e9; // behind the eye: no size to judge by, keep the detail
    double widest = 0;
    for (const QVector3D& axis : {QVector3D(1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, 0, 1)}) {
        const QVector2D end = toPixels(m_middle + axis * m_shaftDiameterMm, ok);
        if (!ok)
            return 1e9;
        widest = std::max(widest, double((end - middle).length()));
    }
    return widest;
}

void SupportInstances::Clear()
{
    if (QOpenGLContext* ctx = QOpenGLContext::currentContext()) {
        QOpenGLFunctions* f = ctx->functions();
        if (m_shapeBuffer != 0)
            f->glDeleteBuffers(1, &m_shapeBuffer);
        if (m_indexBuffer != 0)
            f->glDeleteBuffers(1, &m_indexBuffer);
        if (m_leftoverList != 0)
            glDeleteLists(m_leftoverList, 1);
    }
    m_shapeBuffer = m_indexBuffer = m_leftoverList = 0;
    m_bodies = Places();
    m_tips = Places();
    m_groups.clear();
    m_sphereShape = Group();
}
