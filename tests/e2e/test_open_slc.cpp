// An SLC file through the main window's open road: its layers are the slice
// and the plate takes no STL model beside them.
#include "e2e_fixture.h"
#include "event_wait.h"
#include "modal_answer.h"

#include <QDataStream>
#include <QFile>

namespace {

// An SLC file of `layers` records, each a 12 x 8 mm rectangle, `spacingMm` apart.
QByteArray SlcBlock(int layers, float spacingMm = 0.05f)
{
    QByteArray bytes("-SLCVER 2.0 -UNIT MM\r\n\x1a");
    bytes.append(QByteArray(256, '\0')).append(char(1));
    QDataStream s(&bytes, QIODevice::Append);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << 0.f << spacingMm << 0.f << 0.f;
    for (int i = 1; i <= layers; ++i) {
        s << spacingMm * float(i) << quint32(1) << quint32(5) << quint32(0);
        for (float xy : {0, 0, 12, 0, 12, 8, 0, 8, 0, 0})
            s << xy;
    }
    s << 9.f << quint32(0xFFFFFFFF);
    return bytes;
}

using OpenSlc = MainWindowTest;

TEST_F(OpenSlc, AnSlcFileIsTheSliceAndKeepsStlModelsOut)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "slc_0_start");
    openAnswer = work.filePath("block.slc");
    ASSERT_TRUE(testmesh::WriteFile(openAnswer, SlcBlock(200)));
    VSLGLView* view = w.ui.GLWidget;
    QSignalSpy thickness(&w, &Vexmor::signal_slc_layerthick);
    {
        ModalAnswers modal;
        ASSERT_NO_FATAL_FAILURE(load(w));  // the bar's Load button
        EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    }
    // The file's model is checked like any other, and its notice goes.
    ASSERT_TRUE(WaitUntil([&] { return !w.m_pBusyWidget->isVisible(); }, kHangMs)) << "the notice stays up";
    EXPECT_GT(shot(w, "slc_1_loaded"), 100);
    EXPECT_TRUE(w.m_bSlcLoaded && w.m_bSliced && w.m_bRepaired && w.m_bSupported && w.sceneSliced());
    EXPECT_EQ(view->GetSliceData().size(), 200);
    EXPECT_EQ(thickness.size(), 1);
    EXPECT_FLOAT_EQ(w.m_buildConfig.SliceThickness, 0.05f);
    EXPECT_EQ(w.m_pSaveWidget->m_nLayers, 200);
    EXPECT_EQ(w.m_pSaveWidget->findChild<QLabel*>("LayerThickLabel")->text(), "50um");

    // STL files are refused, whatever their name holds; a cancel is not.
    const QString odd = work.filePath("bracket.slc.stl");
    ASSERT_TRUE(QFile::copy(stl, odd));
    const std::pair<QString, QStringList> rows[] = {
        {stl, {"Slc File is Loaded,Cannot accept new model"}},
        {odd, {"Slc File is Loaded,Cannot accept new model"}},
        {QString(), {}},
    };
    for (const auto& row : rows) {
        const QString answer = row.first;
        FileChooser::setOpenChooser([answer](QWidget*, const QString&, const QString&, const QString&) { return answer; });
        ModalAnswers modal;
        w.navbarOpenFile();
        EXPECT_EQ(modal.texts, row.second) << answer.toStdString();
    }
    // Slicing again keeps the file's layers (no cut of the model shown);
    // a copy of that model is refused.
    w.m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
    w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
    WAIT_TRUE(w.sceneSliced() && !w.isWorking(), kHangMs);
    EXPECT_EQ(view->GetSliceData().size(), 200);
    view->scene()->SetPickModelPainter(onlyInstance(w)->pickId());
    w.layoutBarClicked(3);
    EXPECT_EQ(view->scene()->instances().size(), 1);

    // With its model removed the plate takes STL files again.
    ASSERT_EQ(view->RemoveCurrentModel(), SceneOp::Done);
    FileChooser::setOpenChooser([this](QWidget*, const QString&, const QString&, const QString&) { return stl; });
    ModalAnswers modal;
    w.navbarOpenFile();
    EXPECT_TRUE(modal.texts.isEmpty()) << modal.texts.join('|').toStdString();
    EXPECT_EQ(view->scene()->instances().size(), 1);
    EXPECT_FALSE(w.m_bSlcLoaded);
}

// The file's layers are printed where its model stands, for the printer
// chosen when slicing: a move, a turn about the vertical or another printer
// reach them; a tilt or a height scale, which layers cannot follow, stops
// the slice with the reason, and a reset brings back the layers as read.
TEST_F(OpenSlc, TheLayersFollowTheModelAndThePrinter)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    openAnswer = work.filePath("block.slc");
    ASSERT_TRUE(testmesh::WriteFile(openAnswer, SlcBlock(200)));
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLGLView* view = w.ui.GLWidget;
    VSL3DScene* scene = view->scene();
    const QRectF read = view->GetSliceData()[0][0].boundingRect();
    // 12 x 8 mm, in the middle of the frame.
    const double kx = 1000.0 / scene->m_fPixelSizeX, ky = 1000.0 / scene->m_fPixelSizeY;
    EXPECT_NEAR(read.width(), 12 * kx, 1e-2);
    EXPECT_NEAR(read.center().x(), scene->m_boundMax.x() * kx, 1e-2);
    VSLModelPainter* instance = onlyInstance(w);
    const QVector3D shownSize = instance->m_maxBound - instance->m_minBound;
    EXPECT_NEAR(shownSize.x(), 12, 1e-3);

    auto edit = [&](const QMatrix4x4& m, int kind) {
        scene->SetPickModelPainter(instance->pickId());
        scene->m_pendingTransform = m;
        return scene->Apply(kind);
    };
    auto sliceBox = [&](const char* what) {
        ModalAnswers modal;
        w.m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
        w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
        EXPECT_TRUE(WaitUntil([&] { return !w.isWorking(); }, kHangMs)) << what;
        EXPECT_TRUE(modal.texts.isEmpty()) << what << ": " << modal.texts.join('|').toStdString();
        return w.sceneSliced() && view->GetSliceData().size() == 200 ? view->GetSliceData()[0][0].boundingRect()
                                                                       : QRectF();
    };

    QMatrix4x4 move;
    move.translate(10, -5, 0);
    ASSERT_EQ(edit(move, 0), SceneOp::Done);
    const QRectF moved = sliceBox("moved");
    EXPECT_NEAR(moved.center().x() - read.center().x(), 10 * kx, 1e-2);
    EXPECT_NEAR(moved.center().y() - read.center().y(), -5 * ky, 1e-2);
    EXPECT_NEAR(moved.width(), read.width(), 1e-2);

    QMatrix4x4 turn;
    turn.rotate(90, 0, 0, 1);
    ASSERT_EQ(edit(turn, 1), SceneOp::Done);
    const QRectF turned = sliceBox("turned");
    EXPECT_NEAR(turned.width(), 8 * kx, 1e-2);
    EXPECT_NEAR(turned.height(), 12 * ky, 1e-2);
    EXPECT_NEAR(scene->m_sliceMaxPt.x() - scene->m_sliceMinPt.x(), 8 * kx, 1e-2);

    // Another printer: other pixels, another middle.
    w.slot_updateMachineConfig("Pellar120");
    const double kx2 = 1000.0 / scene->m_fPixelSizeX;
    ASSERT_NE(kx2, kx);
    const QRectF other = sliceBox("other printer");
    EXPECT_NEAR(other.width(), 8 * kx2, 1e-2);
    const QVector3D centre = (instance->m_maxBound + instance->m_minBound) * 0.5f;
    EXPECT_NEAR(other.center().x(), (centre.x() + scene->m_boundMax.x()) * kx2, 0.5);

    // Taller or tilted: refused, said, nothing to save.
    QMatrix4x4 taller;
    taller.scale(1, 1, 2);
    ASSERT_EQ(edit(taller, 2), SceneOp::Done);
    {
        ModalAnswers modal;
        w.m_pSliceWidget->slot_EditStatChanged(VexmorEditStatEdited);
        w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
        ASSERT_EQ(modal.texts.size(), 1);
        EXPECT_EQ(modal.texts[0], "Slicing cannot start now.");
        EXPECT_TRUE(modal.informative.join('|').contains("cannot be tilted or scaled in height"))
            << modal.informative.join('|').toStdString();
    }
    EXPECT_FALSE(w.m_bSliced);

    w.slot_updateMachineConfig("Pellar10");
    scene->SetPickModelPainter(instance->pickId());
    ASSERT_EQ(scene->ResetSelectedModel(), SceneOp::Done);
    const QRectF again = sliceBox("reset");
    EXPECT_NEAR(again.center().x(), read.center().x(), 1e-2);
    EXPECT_NEAR(again.width(), read.width(), 1e-2);
    EXPECT_TRUE(w.m_bSliced);
}

// An SLC file's layers are the whole print: it joins no model, and no
// second file stacks its layers on the first's. An empty plate keeps no
// thickness of a file refused or removed.
TEST_F(OpenSlc, TheFileIsOpenedOnAnEmptyPlateOnly)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_NO_FATAL_FAILURE(load(w)); // the cube
    VSLGLView* view = w.ui.GLWidget;
    const QString block = work.filePath("block.slc");
    ASSERT_TRUE(testmesh::WriteFile(block, SlcBlock(200)));
    auto openFile = [&](const QString& path) {
        FileChooser::setOpenChooser([path](QWidget*, const QString&, const QString&, const QString&) { return path; });
        ModalAnswers modal;
        w.navbarOpenFile();
        return modal.texts.join('|') + "/" + modal.informative.join('|');
    };
    QString said = openFile(block);
    EXPECT_TRUE(said.startsWith("Open File Failed,check model please/") && said.contains("empty plate"))
        << said.toStdString();
    EXPECT_EQ(view->scene()->instances().size(), 1);
    EXPECT_FALSE(w.m_bSlcLoaded);

    view->scene()->SetPickModelPainter(onlyInstance(w)->pickId());
    ASSERT_EQ(view->RemoveCurrentModel(), SceneOp::Done);
    EXPECT_EQ(openFile(block), "/");
    EXPECT_TRUE(w.m_bSlcLoaded);
    said = openFile(block);
    EXPECT_TRUE(said.contains("empty plate")) << said.toStdString();
    EXPECT_EQ(view->GetSliceData().size(), 200);
    EXPECT_EQ(view->scene()->instances().size(), 1);

    // Removed, the next file's thickness is its own.
    view->scene()->SetPickModelPainter(onlyInstance(w)->pickId());
    ASSERT_EQ(view->RemoveCurrentModel(), SceneOp::Done);
    const QString tenth = work.filePath("tenth.slc");
    ASSERT_TRUE(testmesh::WriteFile(tenth, SlcBlock(20, 0.1f)));
    EXPECT_EQ(openFile(tenth), "/");
    EXPECT_FLOAT_EQ(view->scene()->m_fLayerThick, 0.1f);
    EXPECT_EQ(view->GetSliceData().size(), 20);
}

TEST_F(OpenSlc, AFailedOpenIsToldAndTheHelpSlotLogs)
{
    Vexmor w;
    QSignalSpy loaded(&w, &Vexmor::navbarFileLoaded);
    {
        ModalAnswers modal;
        w.slot_openFileDone(false, stl);
        w.slot_openFileDone(true, QString());
        const QString failed = "Open File Failed,check model please";
        EXPECT_EQ(modal.texts, (QStringList{failed, failed}));
    }
    w.slot_openFileDone(true, stl);  // an STL: the load is reported, nothing armed
    EXPECT_EQ(loaded.size(), 1);
    EXPECT_FALSE(w.m_bSlcLoaded || w.m_bSliced);
    static QStringList logged;
    const QtMessageHandler before = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
    w.slot_ShowHelpDialog();
    qInstallMessageHandler(before);
    EXPECT_EQ(logged, QStringList{"hello"});
}

} // namespace
