#pragma once
#include "event_wait.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// A scene with STL files written to a temporary folder.
class SceneFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_scene.m_fnOutOfRangeWarning = [this] { ++m_warnings; };
    }

    // Writes an axis-aligned box from min to max as a binary STL file.
    QString BoxFile(const QString& name, QVector3D min, QVector3D max)
    {
        const QString path = m_dir.filePath(name + ".stl");
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Box(min, max))));
        return path;
    }
    QString CenteredBox(const QString& name, float w, float d, float h = 10.f)
    {
        return BoxFile(name, {-w / 2, -d / 2, 0}, {w / 2, d / 2, h});
    }

    // Waits (event loop running) until every model has finished its topology pass.
    bool WaitUntilReady(int timeoutMs = kHangMs)
    {
        const bool ready = WaitUntil([this] {
            for (VSLModel3D* m : m_scene.models())
                if (!m->isReady())
                    return false;
            return true;
        }, timeoutMs);
        QCoreApplication::processEvents(); // the pass's queued signals
        return ready;
    }

    VSLModelPainter* Last() const { return m_scene.instances().isEmpty() ? nullptr : m_scene.instances().last(); }
    void Select(VSLModelPainter* p) { m_scene.SetPickModelPainter(p->m_nNumber * 10); }
    static QVector2D CenterXY(const VSLModelPainter* p) { return p->m_center.toVector2D(); }

    QTemporaryDir m_dir;
    VSL3DScene m_scene;
    int m_warnings = 0;
};
