#include "../converter/archive_builder.h"
#include "../printfile/printfiledecoder.h"
#include "event_wait.h"
#include "VImportWidgetX.h"
#include "e2e_fixture.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace {

// Closes each message box the converter shows, after a picture of the
// screen with the box on it has been saved for a person to look at.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    }
    void start() { m_timer.start(); }
    QString picture; // file name of the next picture
    QStringList texts;

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("seen").toBool() || !box->isVisible())
            return;
        box->setProperty("seen", true);
        if (!picture.isEmpty()) {
            // Shown and drawn on the screen before the picture is taken.
            (void)QTest::qWaitForWindowExposed(box, 30000);
            box->repaint();
            QGuiApplication::primaryScreen()->grabWindow(0).save(picture);
        }
        texts << box->text();
        details << box->informativeText();
        box->button(QMessageBox::Ok)->click();
    }
    QTimer m_timer;

public:
    QStringList details; // the informative text under each box's text
};

// A Pellar10 archive as the converter panel checks it: its build size and
// 960 x 1708 frame in the header, and the given layers.
ArchiveMembers pellar10Archive(const QVector<QImage>& layers)
{
    const QByteArray header = QStringLiteral(";machineX:55.44\n;machineY:98.637\n;machineZ:140\n;resolutionX:960\n"
                                             ";resolutionY:1708\n;layerHeight:0.05\n;totalLayer:%1\nG21\n")
                                  .arg(layers.size())
                                  .toLatin1();
    ArchiveMembers members{{"run.gcode", header}};
    for (int i = 0; i < layers.size(); ++i)
        members.append({QString::number(i + 1) + ".png", PngBytes(layers[i])});
    return members;
}

// The window with its converter panel open, driven by its own buttons.
class ConverterRoad : public MainWindowTest
{
protected:
    void openConverter(Vexmor& w)
    {
        ASSERT_NO_FATAL_FAILURE(open(w, 10.f));
        w.ui.ImportButton->click();
        panel = w.m_pImportWidget;
        ASSERT_TRUE(WaitUntilExposed(panel));
        source = panel->findChild<QComboBox*>("comboBox_Source");
        boxes.start();
    }
    QString text(const char* label) const { return panel->findChild<QLabel*>(label)->text(); }
    void click(const char* button) const { panel->findChild<QPushButton*>(button)->click(); }
    // The chooser answers `path` for a file of the given format.
    void import(const char* format, const QString& path)
    {
        source->setCurrentText(format);
        openAnswer = path;
        click("btn_Import");
    }
    // Saves to `name` in the work folder; the job ends with its `boxCount`th box.
    void saveToldBy(Vexmor& w, const QString& name, const char* picture, int boxCount)
    {
        out = work.filePath(name);
        boxes.picture = picture;
        click("btn_Save");
        WAIT_TRUE(boxes.texts.size() == boxCount, kHangMs);
        WAIT_TRUE(!w.isWorking(), kHangMs);
    }

    VImportWidgetX* panel = nullptr;
    QComboBox* source = nullptr;
    BoxWatcher boxes;
};

// The converter panel as a user drives it: a Pellar10 archive whose layers
// are one pixel is refused with the layer named (it once became a fully lit
// frame), the printer's own archive converts, its file re-saves, and a copy
// of it with bytes after its last layer is refused; no refused job leaves a file.
TEST_F(ConverterRoad, WrongFrameRefusedGoodArchiveConvertedAndResaved)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(openConverter(w));

    // One white pixel per layer under the printer's 960 x 1708 header.
    QImage dot(1, 1, QImage::Format_Grayscale8);
    dot.fill(255);
    const QString dots = work.filePath("dots.zip");
    ASSERT_TRUE(WriteZipArchive(dots, pellar10Archive({dot, dot})));
    import("ChiTuBox zip files", dots);
    EXPECT_EQ(text("Label_FileName") + " " + text("Label_LayerThick"), "dots.zip 50 um");
    ASSERT_NO_FATAL_FAILURE(saveToldBy(w, "dots.vxs", "e2e_converter_1_wrong_frame.png", 1));
    EXPECT_EQ(boxes.texts[0], "A layer of the archive is missing or damaged.\n"
                              "layer 1 (\"1.png\") is 1 x 1 pixels, the header states 960 x 1708");
    EXPECT_FALSE(QFile::exists(out));

    // The printer's own archive: a white left quarter stays a quarter.
    QImage quarter(960, 1708, QImage::Format_Grayscale8);
    quarter.fill(0);
    for (int y = 0; y < 1708; ++y)
        std::fill_n(quarter.scanLine(y), 240, uchar(255));
    const QString good = work.filePath("part.zip");
    ASSERT_TRUE(WriteZipArchive(good, pellar10Archive({quarter, quarter})));
    openAnswer = good;
    click("btn_Import");
    out = work.filePath("part.vxs");
    boxes.picture.clear();
    click("btn_Save");
    WAIT_TRUE(QFile::exists(out) && !w.isWorking(), kHangMs);
    QTest::qWait(100);
    EXPECT_EQ(boxes.texts.size(), 1) << boxes.texts.join('|').toStdString();
    const VxsFile converted = ReadVxs(out, false);
    ASSERT_TRUE(converted.valid) << converted.error;
    ASSERT_EQ(converted.layers.size(), 2);
    qint64 lit = 0, all = 0;
    for (const DecodedRun& r : DecodeRuns(converted.layers[0], converted.bits)) {
        all += r.count;
        lit += r.level > 0 ? r.count : 0;
    }
    EXPECT_EQ(all, 480 * 854);
    EXPECT_NEAR(double(lit), 120.0 * 854, 854);

    // Re-saved with the panel's recipe: the same layers under the new block.
    import("Vexmor3D vxs files", out);
    EXPECT_EQ(text("Label_FileName") + " " + text("Label_LayerThick"), "part.vxs 50 um");
    out = work.filePath("part_new.vxs");
    click("btn_Save");
    WAIT_TRUE(QFile::exists(out) && !w.isWorking(), kHangMs);
    const VxsFile resaved = ReadVxs(out, false);
    ASSERT_TRUE(resaved.valid) << resaved.error;
    EXPECT_EQ(resaved.layers, converted.layers);
    QTest::qWait(200);
    QGuiApplication::primaryScreen()->grabWindow(0).save("e2e_converter_2_resaved.png");

    // A copy with 1000 bytes after its last layer imports (its header is
    // sound) but is not re-saved.
    QFile part(work.filePath("part.vxs"));
    ASSERT_TRUE(part.open(QIODevice::ReadOnly));
    const QString tail = work.filePath("tail.vxs");
    ASSERT_TRUE(testmesh::WriteFile(tail, part.readAll() + QByteArray(1000, 'Z')));
    openAnswer = tail;
    click("btn_Import");
    out = work.filePath("tail_new.vxs");
    boxes.picture = "e2e_converter_3_trailing_bytes.png";
    click("btn_Save");
    WAIT_TRUE(boxes.texts.size() == 2, kHangMs);
    EXPECT_EQ(boxes.texts[1], "File error: unknown format!\n" + tail + " holds 1000 bytes after its last layer");
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(w.isWorking());
}

// As a user meets them in the window: an archive whose header counts two
// layers but that holds three pictures is written as two, with a box naming
// the picture left out; a print file holding runs of length 0 is not
// re-saved, and the box names the layer.
TEST_F(ConverterRoad, PicturesLeftOutAndRunsOfLengthZeroAreNamed)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(openConverter(w));

    QImage quarter(960, 1708, QImage::Format_Grayscale8);
    quarter.fill(0);
    for (int y = 0; y < 1708; ++y)
        std::fill_n(quarter.scanLine(y), 240, uchar(255));
    ArchiveMembers members = pellar10Archive({quarter, quarter, quarter});
    members[0].second.replace(";totalLayer:3\n", ";totalLayer:2\n");
    const QString three = work.filePath("three.zip");
    ASSERT_TRUE(WriteZipArchive(three, members));
    import("ChiTuBox zip files", three);
    ASSERT_NO_FATAL_FAILURE(saveToldBy(w, "three.vxs", "e2e_converter_4_picture_left_out.png", 1));
    EXPECT_EQ(boxes.texts[0], "The print file was written, but:\n"
                              "1 layer picture left out (\"3.png\"): the header of \"run.gcode\" counts 2 layers");
    const VxsFile converted = ReadVxs(out, false);
    ASSERT_TRUE(converted.valid) << converted.error;
    EXPECT_EQ(converted.layers.size(), 2);

    // The converted file with a dark and a lit run of length 0 opening its
    // second layer: still 480 x 854 pixels, but no printer reads it.
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const QByteArray second = converted.layers[1];
    const int at = bytes.lastIndexOf(second) - 4;
    ASSERT_GT(at, 0);
    const QByteArray zeroRuns("\x00\xF0", 2);
    const qint32 size = second.size() + zeroRuns.size();
    bytes.replace(at, 4 + second.size(), QByteArray(reinterpret_cast<const char*>(&size), 4) + zeroRuns + second);
    const QString damaged = work.filePath("zero.vxs");
    ASSERT_TRUE(testmesh::WriteFile(damaged, bytes));
    EXPECT_EQ(ReadVxs(damaged, false).error, "layer 2: a run of length 0");
    import("Vexmor3D vxs files", damaged);
    ASSERT_NO_FATAL_FAILURE(saveToldBy(w, "zero_new.vxs", "e2e_converter_5_run_of_length_0.png", 2));
    EXPECT_EQ(boxes.texts[1], "A layer of the archive is missing or damaged.\n" + damaged +
                                  " layer 2 holds a run of length 0: the file is damaged");
    EXPECT_FALSE(QFile::exists(out));
}

// A Pellar30 archive as such a printer's slicer writes it: its build size
// and 1440 x 2560 frame in the header, "preview.png" and the second
// thumbnail "preview_cropping.png" beside the layers.
ArchiveMembers pellar30Archive(const QVector<QImage>& layers)
{
    const QByteArray header = QStringLiteral(";machineX:68.04\n;machineY:120.96\n;machineZ:170\n;resolutionX:1440\n"
                                             ";resolutionY:2560\n;layerHeight:0.05\n;totalLayer:%1\nG21\n")
                                  .arg(layers.size())
                                  .toLatin1();
    QImage preview(200, 150, QImage::Format_RGB32);
    preview.fill(QColor(90, 140, 200));
    ArchiveMembers members{{"run.gcode", header},
                           {"preview.png", PngBytes(preview)},
                           {"preview_cropping.png", PngBytes(preview.copy(50, 25, 100, 100))}};
    for (int i = 0; i < layers.size(); ++i)
        members.append({QString::number(i + 1) + ".png", PngBytes(layers[i])});
    return members;
}

// With Pellar30 chosen in the title bar, a Pellar10 print file is re-saved
// for Pellar10 (the greyed machine list says so), and then an archive made
// for Pellar30, thumbnails and all, is converted for Pellar30 without a
// box; an archive of Pellar10's frame is refused with both frames named.
TEST_F(ConverterRoad, AfterAnotherModelsFileTheTitleBarsPrinterConvertsItsArchive)
{
    Vexmor w;
    ASSERT_NO_FATAL_FAILURE(openConverter(w));
    auto* machine = panel->findChild<QComboBox*>("comboBox_Machine");
    QSignalSpy done(panel->m_pExportThread, &ExportThread::signal_ExportDataDone);
    // Saves to `name`; returns once the window has handled the job's end
    // (and any box it showed is closed).
    auto save = [&](const QString& name) {
        out = work.filePath(name);
        done.clear();
        click("btn_Save");
        if (!QTest::qWaitFor([&] { return done.count() == 1 && !panel->m_pExportThread->isRunning(); }, kHangMs))
            return false;
        QCoreApplication::sendPostedEvents(); // the window's end of the job, with its box
        return !w.isWorking();
    };

    // A Pellar10 file, converted while Pellar10 is the printer.
    QImage quarter(960, 1708, QImage::Format_Grayscale8);
    quarter.fill(0);
    for (int y = 0; y < 1708; ++y)
        std::fill_n(quarter.scanLine(y), 240, uchar(255));
    ASSERT_TRUE(WriteZipArchive(work.filePath("p10.zip"), pellar10Archive({quarter, quarter})));
    import("ChiTuBox zip files", work.filePath("p10.zip"));
    ASSERT_TRUE(save("p10.vxs"));
    ASSERT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    click("btn_Close");

    // Pellar30 in the printer dialog of the title bar.
    w.m_pDeviceSettings->findChild<QComboBox*>("comboBox")->setCurrentText("Pellar30");
    w.m_pDeviceSettings->findChild<QPushButton*>("pushButtonOK")->click();
    ASSERT_EQ(w.ui.label_sts->text(), "Pellar30");
    w.ui.ImportButton->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_EQ(machine->currentText(), "Pellar30");

    import("Vexmor3D vxs files", work.filePath("p10.vxs"));
    EXPECT_EQ(machine->currentText(), "Pellar10");
    EXPECT_FALSE(machine->isEnabled());
    ASSERT_TRUE(save("p10_new.vxs"));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    const VxsFile resaved = ReadVxs(out, false);
    EXPECT_EQ(resaved.layers.size(), 2);
    EXPECT_EQ(resaved.words[2], 10);

    // The archive the title bar's printer was chosen for.
    QImage band(1440, 2560, QImage::Format_Grayscale8);
    band.fill(0);
    for (int y = 1200; y < 1400; ++y)
        std::fill_n(band.scanLine(y), 1440, uchar(255));
    ASSERT_TRUE(WriteZipArchive(work.filePath("p30.zip"), pellar30Archive({band, band, band})));
    import("ChiTuBox zip files", work.filePath("p30.zip"));
    EXPECT_EQ(machine->currentText(), "Pellar30");
    (void)QTest::qWaitForWindowExposed(panel);
    panel->repaint();
    QGuiApplication::primaryScreen()->grabWindow(0).save("e2e_converter_6_title_bar_printer.png");
    ASSERT_TRUE(save("p30.vxs30"));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('|').toStdString();
    const VxsFile converted = ReadVxs(out, false);
    ASSERT_TRUE(converted.valid) << converted.error;
    EXPECT_EQ(converted.layers.size(), 3);
    EXPECT_EQ(converted.words[2], 30); // the machine code

    // An archive of Pellar10's frame for Pellar30.
    import("ChiTuBox zip files", work.filePath("p10.zip"));
    out = work.filePath("never.vxs30");
    boxes.picture = "e2e_converter_7_other_frame.png";
    click("btn_Save");
    ASSERT_EQ(boxes.texts, QStringList{"Image setting does not match!"});
    EXPECT_EQ(boxes.details, QStringList{"The archive is made for 55.44 x 98.637 x 140 mm at 960 x 1708 pixels; "
                                         "Pellar30 builds 68.04 x 120.96 x 170 mm at 1440 x 2560 pixels."});
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(w.isWorking());
}

} // namespace
