#include "VPrintWidget.h"
#include "../glview/glview_fixture.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include <QPainter>
#include "modal_answer.h"

#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

// Answers the input dialogs: records each proposal, accepts it unchanged
// (or cancels when told to).
class InputAnswers : public QObject
{
public:
    explicit InputAnswers(bool accept = true)
        : m_accept(accept)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!d || d == m_last)
                return;
            m_last = d;
            proposals << d->textValue();
            m_accept ? d->accept() : d->reject();
        });
        m_timer.start(5);
    }
    QStringList proposals;

private:
    bool m_accept;
    QTimer m_timer;
    QInputDialog* m_last = nullptr;
};

// Message boxes opened one after another from one stack frame share an
// address, so these are told apart by being open, not by their pointer.
class BoxAnswers : public QObject
{
public:
    explicit BoxAnswers(std::deque<QMessageBox::StandardButton> answers)
        : m_answers(std::move(answers))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || m_answers.empty())
                return;
            texts << box->text();
            QAbstractButton* b = box->button(m_answers.front());
            m_answers.pop_front();
            b ? b->click() : box->reject();
        });
        m_timer.start(5);
    }
    QStringList texts;

private:
    std::deque<QMessageBox::StandardButton> m_answers;
    QTimer m_timer;
};

const char* const kFile = "VXTLcdMaterial.ini";

// The projector picture the panel paints over a red field.
QImage painted(VPrintWidget& panel, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    panel.paint(painter);
    painter.end();
    return image;
}

class PrintWidget : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }
    void TearDown() override
    {
        panel.reset();
        QDir::setCurrent(old);
    }
    void make() { panel = std::make_unique<VPrintWidget>(nullptr, config); }
    template <class T> T* w(const char* name) { return panel->findChild<T*>(name); }
    QString text(const char* name) { return w<QLineEdit>(name)->text(); }
    void click(const char* name) { w<QPushButton>(name)->click(); }
    int storedCount()
    {
        QSettings s(kFile, QSettings::IniFormat);
        return s.value("Materials/size").toInt();
    }
    // Three materials in the file: the default and two user materials.
    void seedThree()
    {
        make();
        InputAnswers answers;
        click("pushButton");
        click("pushButton");
        ASSERT_EQ(panel->m_pListMaterial->size(), 3);
        (*panel->m_pListMaterial)[2].exposure_tm = 7777;
        ASSERT_TRUE(panel->writeIniFile());
        panel.reset();
        make();
    }

    QTemporaryDir dir;
    QString old;
    DLP::SliceBuildConfig config;
    std::unique_ptr<VPrintWidget> panel;
};

TEST_F(PrintWidget, FirstStartWritesAndShowsTheDefault)
{
    make();
    EXPECT_EQ(storedCount(), 1);
    EXPECT_EQ(text("edit_exposure_tm"), "6000");
    EXPECT_EQ(text("edit_bottom_exposure"), "80000");
    EXPECT_EQ(text("edit_bottom_layers"), "0.3");
    EXPECT_EQ(text("lEMaterialsStableTimeLow"), "80000");
    EXPECT_EQ(text("lEMaterialsStableTimeHigh"), "6000");
    EXPECT_EQ(w<QLabel>("label_material")->text(), "Vexmor3D Lcd Material 001");
    for (const char* user : {"edit_exposure_tm", "edit_bottom_exposure", "edit_bottom_layers", "edit_lift_dist"})
        EXPECT_FALSE(w<QLineEdit>(user)->isEnabled()) << user;
    EXPECT_TRUE(w<QLineEdit>("le_zdist2")->isEnabled());
    EXPECT_EQ(w<QListWidget>("Laythick")->count(), 1);
    EXPECT_EQ(w<QListWidget>("listWidget")->count(), 8);
    EXPECT_TRUE(w<QListWidget>("listWidget")->item(3)->isHidden());
    EXPECT_FALSE(w<QPushButton>("btn_CancelPrint")->isEnabled());

    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    const QImage shot = panel->grab().toImage();
    shot.save(old + "/print_widget_material_page.png"); // the build folder, not the scratch one
    EXPECT_EQ(shot.size(), QSize(420, 520));
    const QRect area = w<QListWidget>("Laythick")->geometry();
    int distinct = 0;
    const QPoint origin = w<QListWidget>("Laythick")->mapTo(panel.get(), QPoint(0, 0));
    for (int x = 0; x < area.width(); x += 3)
        distinct += shot.pixel(origin.x() + x, origin.y() + 8) != shot.pixel(origin.x() + 1, origin.y() + 1);
    EXPECT_GT(distinct, 3); // the material's name is drawn
}

TEST_F(PrintWidget, AddAndDuplicateOnlyTouchTheList)
{
    seedThree();
    ASSERT_EQ(panel->m_pListMaterial->size(), 3);
    {
        InputAnswers answers;
        click("pushButton");
        ASSERT_EQ(answers.proposals.size(), 2);
        EXPECT_EQ(answers.proposals[0], "New 4");
        EXPECT_EQ(answers.proposals[1], "New 4");
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 4);
    EXPECT_TRUE(panel->m_pListMaterial->at(3).editable);
    EXPECT_EQ(panel->m_CurIndex, 0);
    EXPECT_EQ(storedCount(), 3);

    // Duplicate copies what is stored, not what is typed.
    panel->on_Laythick_clicked(w<QListWidget>("Laythick")->model()->index(2, 0));
    EXPECT_EQ(text("edit_exposure_tm"), "7777");
    w<QLineEdit>("edit_exposure_tm")->setText("1111");
    {
        InputAnswers answers;
        click("pushButton_2");
        EXPECT_EQ(answers.proposals.value(0), "New 3-Duplicate");
    }
    ASSERT_EQ(panel->m_pListMaterial->size(), 5);
    EXPECT_EQ(panel->m_pListMaterial->at(4).exposure_tm, 7777);
    EXPECT_EQ(panel->m_pListMaterial->at(4).name, "New 3-Duplicate");
    {
        InputAnswers cancel(false);
        click("pushButton");
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 5);
}

TEST_F(PrintWidget, SelectionStoresTheFieldsOfTheMaterialLeft)
{
    seedThree();
    auto* list = w<QListWidget>("Laythick");
    panel->on_Laythick_clicked(list->model()->index(1, 0));
    w<QLineEdit>("edit_exposure_tm")->setText("4242");
    w<QLineEdit>("lEMaterialsStableTimeLow")->setText("12.9");
    panel->on_Laythick_clicked(list->model()->index(2, 0));
    EXPECT_EQ(panel->m_pListMaterial->at(1).exposure_tm, 4242);
    EXPECT_EQ(panel->m_pListMaterial->at(1).bottomMaterialStable, 12);
    click("pbSavePara");
    panel.reset();
    make();
    EXPECT_EQ(panel->m_pListMaterial->at(1).exposure_tm, 4242);
    EXPECT_EQ(panel->m_pListMaterial->at(2).exposure_tm, 7777);
}

TEST_F(PrintWidget, DeleteRules)
{
    seedThree();
    {
        ModalAnswers answers({QMessageBox::Ok});
        click("pushButton_3");
        EXPECT_EQ(answers.texts, QStringList{"Can not delete"});
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 3);

    auto* list = w<QListWidget>("Laythick");
    panel->on_Laythick_clicked(list->model()->index(1, 0));
    {
        ModalAnswers answers({QMessageBox::No});
        click("pushButton_3");
        EXPECT_EQ(answers.texts, QStringList{"Sure to Delete this config"});
        EXPECT_EQ(answers.defaults.value(0), QMessageBox::No);
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 3);
    {
        ModalAnswers answers({QMessageBox::Yes});
        click("pushButton_3");
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 2);
    EXPECT_EQ(storedCount(), 2);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(w<QLabel>("label_material")->text(), "New 3"); // moved into the place
    EXPECT_EQ(text("edit_exposure_tm"), "7777");

    // Deleting the last one leaves the index past the end: both do nothing.
    {
        ModalAnswers answers({QMessageBox::Yes});
        click("pushButton_3");
    }
    ASSERT_EQ(panel->m_pListMaterial->size(), 1);
    ModalAnswers none;
    InputAnswers inputs;
    click("pushButton_3");
    click("pushButton_2");
    QTest::qWait(30);
    EXPECT_TRUE(none.texts.isEmpty());
    EXPECT_TRUE(inputs.proposals.isEmpty());
    EXPECT_EQ(panel->m_pListMaterial->size(), 1);
    panel->on_Laythick_clicked(list->model()->index(0, 0));
    EXPECT_EQ(text("edit_exposure_tm"), "6000");
}

TEST_F(PrintWidget, GroupsWithoutTheArrayGiveAnEmptyList)
{
    {
        QSettings s(kFile, QSettings::IniFormat);
        s.setValue("Other/x", 1);
    }
    make();
    EXPECT_TRUE(panel->m_pListMaterial->isEmpty());
    EXPECT_EQ(w<QLabel>("label_material")->text(), "Vexmor3d red");
    ModalAnswers none;
    click("pushButton_3");
    QTest::qWait(20);
    EXPECT_TRUE(none.texts.isEmpty());
}

TEST_F(PrintWidget, FailedWritesAreToldAndKeepTheList)
{
    seedThree();
    auto* list = w<QListWidget>("Laythick");
    panel->on_Laythick_clicked(list->model()->index(1, 0));
    // The file's place is taken by a folder: nothing can be written.
    ASSERT_TRUE(QFile::remove(kFile));
    ASSERT_TRUE(QDir().mkpath(QString(kFile) + "/x"));
    {
        BoxAnswers answers({QMessageBox::Yes, QMessageBox::Ok});
        click("pushButton_3");
        EXPECT_EQ(answers.texts.value(1), "Material Save Failed");
    }
    EXPECT_EQ(panel->m_pListMaterial->size(), 3);
    EXPECT_EQ(panel->m_pListMaterial->at(1).name, "New 2");
    {
        ModalAnswers answers({QMessageBox::Ok});
        click("pbSavePara");
        EXPECT_EQ(answers.texts, QStringList{"Material Save Failed"});
    }
}

TEST_F(PrintWidget, TiltDistanceBoundsTheSecond)
{
    make();
    auto* first = w<QLineEdit>("edit_tilt_dist1");
    first->setEnabled(true);
    first->setText("3");
    panel->on_edit_tilt_dist1_editingFinished();
    const auto* v = qobject_cast<const QIntValidator*>(w<QLineEdit>("edit_tilt_dist2")->validator());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->bottom(), 4);
    EXPECT_EQ(v->top(), 500);
}

TEST_F(PrintWidget, EstimateKeepsTheBottomWithinTheJob)
{
    make();
    config.SliceThickness = 0.1f;
    config.BlankTime = 0;
    config.MaterialStable = 50;
    config.ExposureTimePerLayer = 100;
    config.BottomExposureTime = 200;
    struct Case { int layers; float bottom; int seconds; int hours; };
    const Case cases[] = {
        {3, 0.25f, 1, 0},          // 2 bottom layers: 950 ms, rounded up
        {3, 1.0f, 2, 0},           // 10 bottom layers asked, 3 exist: 1050 ms
        {10000000, 0.25f, 2500001, 694}, // 2.5e9 ms: beyond 32 bits
    };
    for (const Case& c : cases) {
        config.HighofBottomLayer = c.bottom;
        panel->slot_ReceiveNLayers(c.layers);
        panel->CalcTotalPrintTime();
        EXPECT_EQ(panel->m_nTotalSeconds, c.seconds) << c.layers;
        EXPECT_EQ(panel->m_nHours, c.hours) << c.layers;
    }
    EXPECT_TRUE(panel->m_bSliceData);
    panel->slot_ReceiveNLayers(0);
    EXPECT_FALSE(panel->m_bSliceData);
    EXPECT_EQ(panel->m_nLayers, 10000000);
}

TEST_F(PrintWidget, PreviewShowsTheRingOfTheCurrentLayer)
{
    VSLGLView view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    config.XResolution = 2560;
    config.YResolution = 1440;
    panel = std::make_unique<VPrintWidget>(&view, config);
    const auto square = [](double c, double h) {
        return QPolygonF({{c - h, 720 - h}, {c + h, 720 - h}, {c + h, 720 + h}, {c - h, 720 + h}});
    };
    {
        QMutexLocker lock(view.scene()->sceneMutex());
        view.scene()->m_modelSliceLayers = {{}, {square(420, 200), square(420, 100)}};
    }
    panel->m_nPrinterSelect = 0;
    panel->slot_updSliceBrowser(1);
    QImage image = painted(*panel, 2560, 1440);
    image.scaled(640, 360).save(old + "/print_widget_ring.png");
    EXPECT_EQ(qGray(image.pixel(420 - 150, 720)), 255); // the ring
    EXPECT_EQ(qGray(image.pixel(420, 720)), 0);         // its hole
    EXPECT_EQ(image.pixel(1500, 720), qRgb(0, 0, 0));   // outside, black not red

    panel->slot_updSliceBrowser(5); // no such layer: black only
    EXPECT_EQ(qGray(painted(*panel, 2560, 1440).pixel(420 - 150, 720)), 0);
}

TEST_F(PrintWidget, EndReportsAndTransferProgress)
{
    make();
    struct Case { quint8 target; bool aborted; const char* text; };
    const Case cases[] = {{0, false, "Printing Complete"}, {0, true, "Printing Cancelled"},
                          {1, false, "File Transfer Complete"}, {2, true, "Failed to Save File"},
                          {2, false, "File SaveComplete"}};
    for (const Case& c : cases) {
        panel->m_nPrinterSelect = c.target;
        panel->m_bJobAborted = c.aborted;
        w<QPushButton>("btn_CancelPrint")->setEnabled(true);
        w<QPushButton>("btn_StartPrint")->setEnabled(false);
        ModalAnswers answers({QMessageBox::Yes});
        panel->slot_ReceivePrintDone();
        EXPECT_EQ(answers.texts, QStringList{c.text}) << int(c.target);
        EXPECT_FALSE(w<QPushButton>("btn_CancelPrint")->isEnabled());
        EXPECT_TRUE(w<QPushButton>("btn_StartPrint")->isEnabled());
    }
    panel->m_nPrinterSelect = 1;
    ModalAnswers answers({QMessageBox::Yes});
    panel->slot_bytesSended(50, 200);
    panel->slot_bytesSended(40, 200);
    EXPECT_EQ(panel->m_nProgress, 25);
    EXPECT_TRUE(answers.texts.isEmpty());
    panel->slot_bytesSended(200, 200);
    EXPECT_EQ(answers.texts, QStringList{"File Transfer Complete"});
    EXPECT_EQ(panel->m_nProgress, 0);
    panel->slot_bytesSended(5, 0);
    EXPECT_EQ(panel->m_nProgress, 0);
}

TEST_F(PrintWidget, FinderListAndConnectedDevice)
{
    make();
    auto* hosts = w<QListWidget>("listWidget_nethost");
    panel->slot_dev_list({"A", "A", "B", "A"});
    QStringList shown;
    for (int i = 0; i < hosts->count(); ++i)
        shown << hosts->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"A", "B", "A"}));
    panel->slot_dev_list({});
    EXPECT_EQ(hosts->count(), 0);
    // Nothing to connect to: the button stays as it is.
    click("pbConnect");
    EXPECT_FALSE(panel->m_bConnected);
    EXPECT_EQ(w<QPushButton>("pbConnect")->text(), "Connect");
    EXPECT_FALSE(w<QLabel>("label_currentDevice")->isVisibleTo(panel.get()));

    panel->slot_dev_connected("127.0.0.7");
    EXPECT_EQ(w<QLabel>("label_currentDevice")->text(), "Current Dev:127.0.0.7");
    EXPECT_TRUE(w<QLabel>("label_currentDevice")->isVisibleTo(panel.get()));
    EXPECT_EQ(w<QPushButton>("pbConnect")->text(), "Disconnect");
}

class PrintPreviewWhileSlicing : public GLView {};

TEST_F(PrintPreviewWhileSlicing, BlackUntilTheWorkersAreDone)
{
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    DLP::SliceBuildConfig config;
    config.XResolution = 1280;
    config.YResolution = 800;
    VPrintWidget panel(m_view.get(), config);
    QDir::setCurrent(cwd);
    panel.m_nPrinterSelect = 0;
    panel.slot_updSliceBrowser(1);
    const auto centre = [&] { return qGray(painted(panel, 1280, 800).pixel(640, 400)); };
    Load(BoxFile("box.stl", {-5, -5, 0}, {5, 5, 2}));
    ASSERT_EQ(m_view->SliceScene(0.1f, 1280, 800, 20, 20, 0), SceneOp::Done);
    QElapsedTimer t;
    t.start();
    const auto written = [this] {
        const SliceLayers layers = m_view->GetSliceData();
        return layers.size() > 1 && !layers.at(1).isEmpty();
    };
    while (!written() && t.elapsed() < 20000)
        QThread::msleep(5);
    ASSERT_TRUE(written());
    ASSERT_GT(m_view->scene()->runningSliceJobs(), 0);
    EXPECT_EQ(centre(), 0);
    ASSERT_TRUE(WaitFor([this] { return m_view->scene()->runningSliceJobs() == 0; }));
    EXPECT_EQ(centre(), 255);
}

} // namespace
