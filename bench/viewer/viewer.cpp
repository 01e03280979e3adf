// viewer [--printer W H PXUM PYUM ZMM] [--grab FILE.png]
//        [--slice MM --model NAME --code C --type T --out FILE] STL...
// Shows the 3D view alone with its view controls and the move / rotate /
// scale buttons, wired as the main window wires them. --grab writes the view
// once every model is ready and exits; --slice slices through the view,
// writes the print file(s) after the slice is done and exits 0, or 1 with a
// message.
#include "VEditModeWidget.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VViewControlFrame.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "printfile/printjobinput.h"
#include "bench/eventwait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace {

struct Options {
    float width = 1920, height = 1080, pixelUmX = 50, pixelUmY = 50, heightMm = 200;
    QString grab;
    float sliceMm = 0;
    QString model;
    int code = 0;
    QString type = "vxs";
    QString out;
    QStringList stls;
};

int Fail(const QString& message)
{
    std::fprintf(stderr, "viewer: %s\n", qPrintable(message));
    return 1;
}

bool Parse(const QStringList& args, Options& o, QString& error)
{
    auto value = [&](int& i) -> QString {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return QString();
        }
        return args[++i];
    };
    auto number = [&](int& i, float& out) {
        const QString name = args[i];
        const QString v = value(i);
        bool ok = false;
        out = v.toFloat(&ok);
        if (!ok && error.isEmpty())
            error = QStringLiteral("%1 needs a number, not \"%2\"").arg(name, v);
        return ok;
    };
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--printer") {
            for (float* f : {&o.width, &o.height, &o.pixelUmX, &o.pixelUmY, &o.heightMm})
                if (!number(i, *f))
                    return false;
        } else if (a == "--grab") {
            o.grab = value(i);
        } else if (a == "--slice") {
            if (!number(i, o.sliceMm))
                return false;
        } else if (a == "--model") {
            o.model = value(i);
        } else if (a == "--code") {
            float c = 0;
            if (!number(i, c))
                return false;
            o.code = int(c);
        } else if (a == "--type") {
            o.type = value(i);
        } else if (a == "--out") {
            o.out = value(i);
        } else if (a.startsWith("--")) {
            error = "unknown option " + a;
        } else {
            o.stls << a;
        }
        if (!error.isEmpty())
            return false;
    }
    if (o.width < 1 || o.height < 1 || !(o.pixelUmX > 0) || !(o.pixelUmY > 0) || !(o.heightMm > 0)) {
        error = "--printer needs a positive resolution, pixel size and height";
        return false;
    }
    if (o.sliceMm != 0 && (!(o.sliceMm > 0) || o.out.isEmpty())) {
        error = "--slice needs a positive layer thickness and --out";
        return false;
    }
    return true;
}

bool AllReady(VSLGLView& view)
{
    for (VSLModel3D* m : view.scene()->models())
        if (!m->isReady())
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(VSLGLView::ViewSurfaceFormat());
    QApplication app(argc, argv);
    Options o;
    QString error;
    if (!Parse(app.arguments(), o, error))
        return Fail(error);

    QWidget window;
    window.setWindowTitle("Vexmor3D view");
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto* view = new VSLGLView(&window);
    const bool batch = !o.grab.isEmpty() || o.sliceMm > 0;
    // Unattended runs report through the exit code, never a modal box.
    if (batch)
        view->SetMessageSink([](QString const& text, QString const& info) {
            std::fprintf(stderr, "viewer: %s %s\n", qPrintable(text), qPrintable(info));
        });
    view->scene()->m_fnOutOfRangeWarning = [] { std::fprintf(stderr, "viewer: a model is out of range\n"); };
    auto* modes = new VEditModeWidget(&window);
    const char* names[3] = {"Move", "Rotate", "Scale"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(names[i], &window);
        b->setObjectName(names[i]);
        bar->addWidget(b);
        QObject::connect(b, &QPushButton::clicked, modes, [modes, i] { modes->layoutBarClicked(i); });
    }
    bar->addStretch();
    layout->addLayout(bar);
    layout->addWidget(view, 1);
    auto* controls = new VViewControlFrame(view);
    controls->move(10, 10);
    QObject::connect(modes, &VEditModeWidget::signal_SendEditMode, view, &VSLGLView::slot_ReceiveEditList);
    QObject::connect(controls, &VViewControlFrame::signal_ViewControl, view, &VSLGLView::slot_ControlView);
    view->SetBound(o.width, o.height, o.pixelUmX, o.pixelUmY, o.heightMm);
    view->SetMachineType(o.model, o.code);
    view->SetFileType(o.type);
    view->SetNavBtn("Edit");
    window.resize(1280, 800);
    window.show();

    for (const QString& stl : o.stls)
        if (!view->OpenSTLFile(stl))
            return Fail(view->scene()->lastLoadError());
    if (!batch)
        return app.exec();

    if (!WaitFor([&] { return AllReady(*view); }))
        return Fail("the models' topology pass did not finish");
    if (!o.grab.isEmpty()) {
        if (!view->grabFramebuffer().save(o.grab))
            return Fail(o.grab + ": cannot be written");
        std::printf("grab %s\n", qPrintable(o.grab));
    }
    if (o.sliceMm > 0) {
        int layers = -1;
        QObject::connect(view, &VSLGLView::sig_SliceSceneDone, [&](int n) { layers = n; });
        view->SetSaveFileName(o.out);
        const SceneOp op = view->SliceScene(o.sliceMm, int(o.width), int(o.height), 1000.f / o.pixelUmX,
                                            1000.f / o.pixelUmY, 0);
        if (op != SceneOp::Done)
            return Fail(QStringLiteral("slicing was refused (code %1) %2").arg(int(op)).arg(view->scene()->lastSliceError()));
        // The previews come from the first frame after the start.
        view->repaint();
        if (!WaitFor([&] { return layers >= 0 && !view->scene()->m_bHideOverlays; }))
            return Fail("slicing did not finish");
        DLP::SliceBuildConfig config;
        config.UpdateMachineConfig(o.width, o.height, o.pixelUmX, o.pixelUmY, o.heightMm);
        config.SliceThickness = o.sliceMm;
        ST_MachinePara para = DLP::machineParaFrom(config);
        if (!view->generatePrintableData(para, o.out))
            return Fail(QStringLiteral("%1: %2").arg(o.out, PrintFileResultText(view->lastPrintableDataResult())));
        std::printf("slice layers=%d out=%s\n", layers, qPrintable(o.out));
    }
    return 0;
}
