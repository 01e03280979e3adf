// A plate of many copies must not need a file handle or a thread per copy:
// a task file of 1,200 copies loads and slices in a process that may open
// no more than 256 files (the child below; the limit cannot be raised back).
#include "event_wait.h"
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "scene/TaskFile.h"
#include "test_meshes.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

constexpr int kCopies = 1200;

TEST(DISABLED_ManyCopiesChild, LoadAndSliceUnderALowOpenFileLimit)
{
    rlimit limit{256, 256};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray bytes;
    {
        QDataStream s(&bytes, QIODevice::WriteOnly);
        TaskWriter::PrepareStream(s);
        ASSERT_TRUE(TaskWriter::Model(s, testmesh::Cube(1.5f), 1));
        for (int i = 0; i < kCopies; ++i) {
            QMatrix4x4 m;
            m.translate(float(i % 40) * 2.f - 40.f, float(i / 40) * 2.f - 30.f, 0.f);
            ASSERT_TRUE(TaskWriter::Matrix(s, m, 1));
        }
        TaskWriter::SliceModel(s, {});
        TaskWriter::SliceSupport(s, {});
    }
    const QString path = dir.filePath("plate.task");
    ASSERT_TRUE(testmesh::WriteFile(path, bytes));
    VSL3DScene scene;
    ASSERT_TRUE(scene.LoadBinaryScene(path)) << scene.lastLoadError().toStdString();
    ASSERT_EQ(scene.instances().size(), kCopies);
    ASSERT_TRUE(WaitUntil([&] { return scene.models().first()->isReady(); }, kHangMs));
    QSignalSpy done(&scene, &VSL3DScene::sig_SliceSceneDone);
    ASSERT_EQ(scene.StartSliceScene(1920, 1080, 20, 20, 0.5f, 0), SceneOp::Done) << scene.lastSliceError().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return !done.isEmpty(); }, kHangMs));
    EXPECT_TRUE(scene.lastSliceError().isEmpty()) << scene.lastSliceError().toStdString();
    EXPECT_EQ(done.at(0).at(0).toInt(), 3);
    EXPECT_EQ(scene.m_modelSliceLayers.value(0).size(), kCopies);
}

TEST(ManyCopies, ATaskFileOf1200CopiesSlicesUnderALowOpenFileLimit)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=DISABLED_ManyCopiesChild.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    // A bound for a hang, not a speed goal.
    ASSERT_TRUE(child.waitForFinished(400000)) << child.readAll().constData();
    const QByteArray out = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.constData();
    EXPECT_EQ(child.exitCode(), 0) << out.constData();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test.")) << out.constData();
}

} // namespace
