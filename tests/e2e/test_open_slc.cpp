// An SLC file through the main window's open road: its layers are the slice
// and the plate takes no STL model beside them.
#include "e2e_fixture.h"
#include "modal_answer.h"

#include <QDataStream>
#include <QFile>

namespace {

// An SLC file of `layers` records, each a 12 x 8 mm rectangle, 0.05 mm apart.
QByteArray SlcBlock(int layers)
{
    QByteArray bytes("-SLCVER 2.0 -UNIT MM\r\n\x1a");
    bytes.append(QByteArray(256, '\0')).append(char(1));
    QDataStream s(&bytes, QIODevice::Append);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << 0.f << 0.05f << 0.f << 0.f;
    for (int i = 1; i <= layers; ++i) {
        s << 0.05f * float(i) << quint32(1) << quint32(5) << quint32(0);
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
    WAIT_TRUE(w.sceneSliced() && !w.isWorking(), 5000);
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
