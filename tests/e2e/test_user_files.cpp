// Files a user may pick that are no model, a cut download, and a plate the
// printer cannot build: the window says so and the plate stays as it was.
#include "e2e_fixture.h"
#include "frmDeviceInterfaceSettings.h"
#include "language.h"
#include "logoutput.h"
#include "modal_answer.h"
#include "ownedfile.h"

#include <QDir>
#include <QFile>

#include <memory>

namespace {

class UserFiles : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        qputenv("VEXMOR_LOG_DIR", work.filePath("log").toUtf8());
        m_previousHandler = qInstallMessageHandler(VexmorMessageOutput);
    }
    void TearDown() override
    {
        qInstallMessageHandler(m_previousHandler);
        qunsetenv("VEXMOR_LOG_DIR");
        MainWindowTest::TearDown();
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = work.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, bytes));
        return path;
    }
    // Opens `path` through the bar's open command; the boxes it raised.
    ModalAnswers* openThroughBar(Vexmor& w, const QString& path, int boxes)
    {
        openAnswer = path;
        auto* modal = new ModalAnswers;
        w.navbarOpenFile();
        [&] { WAIT_TRUE(modal->texts.size() >= boxes, 10000); }();
        QTest::qWait(50);
        return modal;
    }
    // Opens the slice panel through the bar and presses its start; the boxes it raised.
    std::unique_ptr<ModalAnswers> startSliceThroughBar(Vexmor& w)
    {
        auto modal = std::make_unique<ModalAnswers>();
        [&] {
            WAIT_TRUE(navItem(w, "sliceButton") != nullptr, 5000);
            QTest::qWait(400);
            ASSERT_NO_FATAL_FAILURE(clickQml(w.m_pNavBar, "sliceButton"));
            WAIT_TRUE(w.m_pSliceWidget->isVisible(), 5000);
            w.m_pSliceWidget->findChild<QPushButton*>("pushButton")->click();
            WAIT_TRUE(!modal->texts.isEmpty(), 10000);
        }();
        return modal;
    }
    QString dailyLog() const
    {
        QString all;
        for (const QFileInfo& f : QDir(work.filePath("log")).entryInfoList({"*log.txt"}, QDir::Files)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly))
                all += QString::fromUtf8(file.readAll());
        }
        return all;
    }

    QtMessageHandler m_previousHandler = nullptr;
};

TEST_F(UserFiles, NoModelLeavesThePlateAndACutDownloadIsTold)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "user_files_0_start");
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLModelPainter* cube = onlyInstance(w);
    ASSERT_NE(cube, nullptr);
    const QMatrix4x4 placed = cube->m_matrix;
    const QString job = w.jobFolder();
    const int cubeShown = shot(w, "user_files_1_cube");
    EXPECT_GT(cubeShown, 100);

    QByteArray passwords;
    for (int i = 0; passwords.size() < 2000; ++i)
        passwords += "user" + QByteArray::number(i) + ":x:" + QByteArray::number(1000 + i) + ":100::/home/u:/bin/sh\n";
    QByteArray random(200, '\0');
    quint32 seed = 99;
    for (char& c : random)
        c = char((seed = seed * 1664525u + 1013904223u) >> 24);
    auto huge = testmesh::Cube();
    huge[2].vertices[0].setZ(1e30f);
    const struct { const char* name; QByteArray bytes; const char* reason; } refused[] = {
        {"x.stl", passwords, "not an STL file"},
        {"noise.stl", random, "not an STL file"},
        {"huge.stl", testmesh::BinaryStl(huge), "beyond 100 m"},
        {"dent.stl", testmesh::AsciiStl(testmesh::Cube()).replace("vertex 10 ", "vertex 1O "),
         "has a number that cannot be read (\"1O\")"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, write(c.name, c.bytes), 1));
        ASSERT_EQ(modal->texts.size(), 1) << modal->texts.join('|').toStdString();
        EXPECT_EQ(modal->texts[0], "Open File Failed,check model please");
        EXPECT_TRUE(modal->informative[0].contains(c.reason)) << modal->informative[0].toStdString();
        EXPECT_TRUE(modal->informative[0].contains(c.name));
        // The plate as it was: the cube alone, where it stood.
        EXPECT_EQ(onlyInstance(w), cube);
        EXPECT_EQ(cube->m_matrix, placed);
        EXPECT_EQ(w.ui.GLWidget->scene()->models().size(), 1);
        // Nor does it name the job.
        EXPECT_EQ(w.jobFolder(), job);
    }
    // The cube still drawn as before, nothing else.
    EXPECT_NEAR(shot(w, "user_files_2_refused"), cubeShown, cubeShown / 20);

    // A cut download: kept as far as it goes, and told in the window and the log.
    const QByteArray whole = testmesh::BinaryStl(testmesh::Cube(8.f));
    const QString cut = write("cut.stl", whole.left(84 + 50 * 7 + 13));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, cut, 1));
        ASSERT_EQ(modal->texts.size(), 1);
        EXPECT_EQ(modal->texts[0], "The model file is incomplete");
        EXPECT_TRUE(modal->informative[0].contains("the file declares 12 triangles and holds 7"))
            << modal->informative[0].toStdString();
    }
    EXPECT_EQ(w.ui.GLWidget->scene()->instances().size(), 2);
    EXPECT_TRUE(dailyLog().contains("cut.stl: the file declares 12 triangles and holds 7")) << dailyLog().toStdString();
    EXPECT_GT(shot(w, "user_files_3_cut"), cubeShown);
}

TEST_F(UserFiles, APlateTallerThanThePrinterIsNotSlicedAndSaysSo)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    shot(w, "user_files_start");
    // Pellar10 builds 140 mm high; the tower is 300 mm.
    const QString tower = write("tower.stl", testmesh::BinaryStl(testmesh::Box({-5, -5, 0}, {5, 5, 300})));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, tower, 1));
        EXPECT_EQ(modal->texts, QStringList{"Model is out of range, please scale it"});
    }
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    const ModalAnswers& modal = *started;
    EXPECT_EQ(modal.texts, QStringList{"Slicing cannot start now."});
    EXPECT_TRUE(modal.informative.value(0).contains(
        "The plate is 300.00 mm tall, more than the printer's build height of 140 mm"))
        << modal.informative.value(0).toStdString();
    EXPECT_FALSE(w.isWorking());
    EXPECT_FALSE(w.sceneSliced());
    EXPECT_EQ(w.ui.GLWidget->scene()->runningSliceJobs(), 0);
    EXPECT_TRUE(dailyLog().contains("more than the printer's build height of 140 mm")) << dailyLog().toStdString();
    EXPECT_GT(shot(w, "user_files_4_too_tall", w.m_pSliceWidget), 100);
}

// A model lower than one layer slices to no layer: the window says why at
// once, rather than Save refusing a slice that slicing again cannot mend.
TEST_F(UserFiles, AModelLowerThanALayerSlicesToNothingAndTheWindowSaysWhy)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    const QString foil = write("foil.stl", testmesh::BinaryStl(testmesh::Box({-5, -5, 0}, {5, 5, 0.01f})));
    {
        std::unique_ptr<ModalAnswers> modal(openThroughBar(w, foil, 0));
        WAIT_TRUE(w.ui.GLWidget->scene()->instances().size() == 1, 10000);
    }
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(started->texts, QStringList{"Nothing to print."});
    EXPECT_TRUE(started->informative.value(0).startsWith("No layer was sliced"))
        << started->informative.value(0).toStdString();
    EXPECT_EQ(w.ui.GLWidget->GetSliceData().size(), 0);
    EXPECT_FALSE(w.isWorking());
    EXPECT_FALSE(w.sceneSliced()) << "the panel offers no result to save";
    EXPECT_TRUE(dailyLog().contains("No layer was sliced")) << dailyLog().toStdString();
}

// A model moved half off the plate after it loaded is sliced (cut at the
// frame's edge, as the tools write it), but the window says so first.
TEST_F(UserFiles, AModelOffThePlateIsSlicedAfterTheWindowSaysItIsCut)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
    ASSERT_NO_FATAL_FAILURE(load(w));
    VSLModelPainter* cube = onlyInstance(w);
    ASSERT_NE(cube, nullptr);
    cube->Move({48, 0, 0}); // Pellar10's plate ends 49.3 mm right of its centre
    ASSERT_EQ(w.ui.GLWidget->scene()->CountLeavingPlate(), 1);
    const std::unique_ptr<ModalAnswers> started = startSliceThroughBar(w);
    ASSERT_FALSE(HasFatalFailure());
    const ModalAnswers& modal = *started;
    EXPECT_EQ(modal.texts, QStringList{"Some models leave the build plate."});
    EXPECT_TRUE(modal.informative.value(0).startsWith("1 of 1 models stand partly or wholly off the build plate"))
        << modal.informative.value(0).toStdString();
    WAIT_TRUE(w.sceneSliced(), 20000);
    EXPECT_GT(w.ui.GLWidget->GetSliceData().size(), 0);
    EXPECT_TRUE(dailyLog().contains("off the build plate")) << dailyLog().toStdString();
}

// A start with no clicks in a configuration folder whose files are links to
// system files, and one that cannot be parsed: nothing outside the folder
// changes, the unparsable file is kept aside, and the window says so.
TEST_F(UserFiles, AStartNeverWritesThroughLinksOutOfTheConfigurationFolder)
{
    const QString system = work.filePath("system");
    ASSERT_TRUE(QDir(work.path()).mkdir("system"));
    const QString configDir = config.path();
    qputenv("VEXMOR_LOG_DIR", configDir.toUtf8());
    const QDateTime day(QDate(2032, 7, 8), QTime(9, 10, 11));
    setVexmorLogClock([day] { return day; });
    struct Linked { const char* name; const char* target; QByteArray bytes; };
    const Linked links[] = {
        {"VexmorMachine.ini", "passwd", "root:x:0:0:root:/root:/bin/bash\n"},
        {"Light.ini", "hosts", "127.0.0.1 localhost\n"},
        {"Pellar10Material.ini", "fstab", "proc /proc proc defaults 0 0\n"},
        {"2032_07_08log.txt", "syslog", "kernel: started\n"},
    };
    for (const Linked& l : links) {
        ASSERT_TRUE(testmesh::WriteFile(system + "/" + l.target, l.bytes));
        ASSERT_TRUE(QFile::link(system + "/" + l.target, configDir + "/" + l.name)) << l.name;
    }
    const QByteArray broken = "[Recipe\nmine\\CuringTime=5000\n";
    ASSERT_TRUE(testmesh::WriteFile(configDir + "/Pellar10Recipe.ini", broken));

    EXPECT_EQ(vexmorTranslationFile(), ":/Resources/lang/en.qm"); // as start-up reads it
    {
        ModalAnswers modal;
        Vexmor w;
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        WAIT_TRUE(!modal.texts.isEmpty(), 10000);
        EXPECT_EQ(modal.texts.value(0), "A settings file was not used as it is.");
        const QString told = modal.informative.value(0);
        for (const char* name : {"VexmorMachine.ini", "Light.ini", "Pellar10Recipe.ini"})
            EXPECT_TRUE(told.contains(name)) << name << ": " << told.toStdString();
        EXPECT_EQ(w.m_pDeviceSettings->m_machineType, "Pellar10");
        shot(w, "user_files_5_linked_config");
    }
    for (const Linked& l : links) {
        EXPECT_EQ([&] { QFile f(system + "/" + l.target); f.open(QIODevice::ReadOnly); return f.readAll(); }(), l.bytes)
            << l.target;
        EXPECT_TRUE(QFileInfo(configDir + "/" + l.name).isSymLink()) << l.name;
    }
    const QStringList aside = QDir(configDir).entryList({"Pellar10Recipe.ini.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ([&] { QFile f(configDir + "/" + aside[0]); f.open(QIODevice::ReadOnly); return f.readAll(); }(), broken);
    setVexmorLogClock({});
}

} // namespace
