#pragma once
#include "VSLModelLoader.h"
#include "support/DLPSupportStructure.h"
#include "test_meshes.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace manual {

constexpr int kSegments = 16;

// A closed unit frustum along z: radius 0.5 at z = -0.5, 0.5 * topFraction at z = +0.5.
inline QVector<VSLTriangle3D> Frustum(float topFraction, int segments = kSegments)
{
    QVector<VSLTriangle3D> tris;
    const float r0 = 0.5f, r1 = 0.5f * topFraction;
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2 * M_PI * i / segments, a1 = 2 * M_PI * (i + 1) / segments;
        const QVector3D b0(r0 * std::cos(a0), r0 * std::sin(a0), -0.5f), b1(r0 * std::cos(a1), r0 * std::sin(a1), -0.5f);
        const QVector3D t0(r1 * std::cos(a0), r1 * std::sin(a0), 0.5f), t1(r1 * std::cos(a1), r1 * std::sin(a1), 0.5f);
        tris << testmesh::Tri(b0, b1, t1) << testmesh::Tri(b0, t1, t0);
        tris << testmesh::Tri(QVector3D(0, 0, -0.5f), b1, b0) << testmesh::Tri(QVector3D(0, 0, 0.5f), t0, t1);
    }
    return tris;
}

inline bool WriteStl(const QString& path, const QVector<VSLTriangle3D>& tris)
{
    VSLModelWriter w;
    w.AddTriangles(tris);
    return w.WriterBinary(path);
}

// A working directory for the ".\template" folder and a settings store; shapes emptied on both ends.
class TemplateFolder {
public:
    TemplateFolder() : m_oldCwd(QDir::currentPath())
    {
        EXPECT_TRUE(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("settings"));
        DLPSupportStructure::ClearAttachmentData();
    }
    ~TemplateFolder()
    {
        DLPSupportStructure::ClearAttachmentData();
        QDir::setCurrent(m_oldCwd);
    }
    QString Path() const { return m_dir.filePath(QStringLiteral(".\\template")); }
    // Writes SUPPORT_<shape>.stl, or `file` as named when it is given.
    void Write(const QString& shape, const QVector<VSLTriangle3D>& tris, const QString& file = {})
    {
        QDir().mkpath(Path());
        EXPECT_TRUE(WriteStl(QDir(Path()).filePath(file.isEmpty() ? "SUPPORT_" + shape + ".stl" : file), tris));
    }
    // The four shapes the column model asks for, imported.
    void ImportStandard(int segments = kSegments)
    {
        for (float f : {1.f, 0.25f, 0.5f, 0.75f})
            Write(f == 1.f ? QString("Cylinder") : QString("Cone %1%").arg(int(f * 100)), Frustum(f, segments));
        DLPSupportStructure::ImportAttachmentDataFromStls();
        EXPECT_EQ(DLPSupportStructure::AttachmentDataList.size(), 4u);
    }

    QTemporaryDir m_dir;

private:
    QString m_oldCwd;
};

class ManualSupportTest : public ::testing::Test {
protected:
    TemplateFolder m_templates;
};

} // namespace manual
