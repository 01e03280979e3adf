#include "hang_ceiling.h"
#include "support_roads.h"

#include "../printfile/printfiledecoder.h"
#include "VSL3DScene.h"
#include "VSLCamera.h"
#include "VSLCoordConvert.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "printfile/printjobinput.h"
#include "test_meshes.h"
#include "view_frames.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPolygonF>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <random>

namespace supportroads {

namespace {

struct Printer {
    const char* name;
    int code;
    const char* fileType;
    int xres, yres;
    float pixelUm;
    float heightMm;
    bool rotate;
};

// Coarse pixels keep a road's slices and files quick.
const Printer kPrinters[] = {
    {"Pellar10", 10, "vxs", 480, 270, 200.f, 40.f, false},
    {"Pellar30", 30, "vxs30", 300, 400, 200.f, 40.f, true},
    {"Pellar4K", 4000, "vxs4k", 320, 320, 250.f, 40.f, false},
};

const QVector<double> kSupportParameters[] = {
    {1.0, 0.6, 1.1, 3.0},
    {2.0, 0.4, 1.0, 5.0},
    {1.5, 0.5, 1.2, 2.0},
};

constexpr float kLayerMm = 0.2f;
constexpr double kCloserThanTheFit = 3.0;
// How far a support may stand beside its model's footprint hull (which is
// grown by 1 mm already): its radius and rounding.
constexpr float kBesideHullMm = 1.0f;

// Small models with undersides that take supports.
QVector<VSLTriangle3D> Table()
{
    return testmesh::Box({-8, -5, 6}, {8, 5, 8}) + testmesh::Box({-2, -2, 0}, {2, 2, 6.5f});
}
QVector<VSLTriangle3D> Bridge()
{
    return testmesh::Box({-10, -3, 0}, {-7, 3, 7}) + testmesh::Box({7, -3, 0}, {10, 3, 7}) +
           testmesh::Box({-10, -3, 6}, {10, 3, 8});
}
QVector<VSLTriangle3D> Ball() { return testmesh::UvSphere(5.f, 12, 8, {0, 0, 5}); }
QVector<VSLTriangle3D> Ledge()
{
    return testmesh::Box({-6, -4, 0}, {-2, 4, 10}) + testmesh::Box({-6, -4, 8}, {8, 4, 10});
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = kHangMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Distance from p to a polygon: 0 inside.
float DistanceOutside(const QPolygonF& poly, const QPointF& p)
{
    if (poly.size() < 3 || poly.containsPoint(p, Qt::OddEvenFill))
        return 0.f;
    double best = INFINITY;
    for (int i = 0; i < poly.size(); ++i) {
        const QPointF a = poly[i], b = poly[(i + 1) % poly.size()];
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
        const QPointF d = p - (a + t * ab);
        best = std::min(best, std::hypot(d.x(), d.y()));
    }
    return float(best);
}

QPolygonF HullOf(const VSLModelPainter& p)
{
    QPolygonF poly;
    for (const QVector2D& v : p.m_hull)
        poly << QPointF(v.x(), v.y());
    return poly;
}

// One support in the world: its primitives' points and radii.
struct WorldSupport {
    QVector<QVector3D> points;
    QVector<float> radii;
    float lowest = INFINITY;
    QVector3D foot; // the point it reaches lowest at
};

QVector<WorldSupport> WorldSupports(const VSLModelPainter& p)
{
    QVector<WorldSupport> out;
    if (!p.m_bHasSupports)
        return out;
    for (const DLP_Support& s : p.m_supportMap) {
        if (s.isDeleted)
            continue;
        WorldSupport w;
        // A cone's radii lie across it; a sphere reaches its radius down.
        auto add = [&](const vcg::Point3f& q, float r, float down) {
            const QVector3D world = p.m_supportMatrix.map(QVector3D(q[0], q[1], q[2]));
            w.points << world;
            w.radii << r;
            if (world.z() - down < w.lowest) {
                w.lowest = world.z() - down;
                w.foot = world;
            }
        };
        for (const QVector<vcg::Point3f>& c : s.cones)
            if (c.size() >= 3) {
                add(c[0], std::fabs(c[2][0]), 0.f);
                add(c[1], std::fabs(c[2][1]), 0.f);
            }
        for (const QVector<vcg::Point3f>& sp : s.spheres)
            if (sp.size() >= 2)
                add(sp[0], std::fabs(sp[1][0]), std::fabs(sp[1][0]));
        if (!w.points.isEmpty())
            out << w;
    }
    return out;
}

class Road {
public:
    Road(VSLGLView& view, const QString& folder, unsigned seed, const Options& options)
        : m_view(view), m_folder(folder), m_seed(seed), m_rng(seed), m_options(options)
    {
    }

    Outcome Run();

private:
    VSL3DScene& scene() { return *m_view.scene(); }
    int Pick(int n) { return int(m_rng() % unsigned(std::max(1, n))); }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * (m_rng() / double(m_rng.max())); }
    bool Chance(double p) { return Uniform(0, 1) < p; }
    void Note(const QString& step) { m_outcome.road << step; }
    bool Fail(const QString& what);
    VSLModelPainter* RandomInstance();
    const Printer& printer() const { return kPrinters[m_printer]; }

    QPoint Project(const QVector3D& world)
    {
        m_view.LoadViewMatrices();
        QPoint p;
        UCToDC(p, world);
        return p;
    }
    void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, QPointF(p), QPointF(m_view.mapToGlobal(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&m_view, &e);
    }
    void Click(QPoint p)
    {
        Mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }
    void BackToEditStage()
    {
        m_view.SetNavBtn("Edit");
        m_view.slot_EditStatChanged(1);
    }
    bool WaitSupportJobs()
    {
        return WaitFor([this] { return scene().runningSupportJobs() == 0; });
    }

    // Takes every instance off the plate of a view used before; the camera
    // back to its start.
    bool Clear();

    // The steps.
    bool Load();
    bool Select();
    bool Deselect();
    bool Clone();
    bool Delete();
    bool TypedMove();
    bool DraggedMove();
    bool Rotate();
    bool Scale();
    bool Generate();
    bool EditSupports();
    bool SwitchPrinter();
    bool Slice();

    // The checks.
    bool SupportsUnderTheirModels(const char* when);
    bool LayersUnderTheirModels(const QString& file);
    bool EveryModelOffThePlate();
    // `during`: a frame the window drew while the slice ran (none: null).
    bool FramesShowTheSlicedSupports(const QImage& during);

    VSLGLView& m_view;
    QString m_folder;
    unsigned m_seed;
    std::mt19937 m_rng;
    Options m_options;
    Outcome m_outcome;
    QStringList m_files;
    int m_printer = 0;
};

bool Road::Fail(const QString& what)
{
    m_outcome.sound = false;
    m_outcome.failure =
        QString("road of seed %1: %2\n  road: %3").arg(m_seed).arg(what, m_outcome.road.join(" | "));
    return false;
}

VSLModelPainter* Road::RandomInstance()
{
    const auto list = scene().instances().values();
    return list.isEmpty() ? nullptr : list[Pick(list.size())];
}

bool Road::Clear()
{
    BackToEditStage();
    m_view.slot_EditSupport(false, false, {});
    BackToEditStage();
    // Not by the road's random numbers: a road runs alike after any other.
    while (!scene().instances().isEmpty()) {
        m_view.scene()->SetPickModelPainter(scene().instances().first()->pickId());
        if (m_view.RemoveCurrentModel() != SceneOp::Done)
            return Fail("a plate left by an earlier road cannot be cleared");
    }
    CentreCamera(m_view);
    // Closer than the fit's scale, which is kept: a support is then a few
    // pixels wide in a small view.
    m_view.camera()->ReviseScale(float(VSLCamera().reviseScale() * kCloserThanTheFit));
    return true;
}

bool Road::Load()
{
    const int k = Pick(m_files.size());
    Note(QString("load %1").arg(QFileInfo(m_files[k]).baseName()));
    if (!m_view.OpenSTLFile(m_files[k]))
        return Fail("the model did not load");
    if (!WaitFor([this] {
            for (VSLModel3D* m : scene().models())
                if (!m->isReady())
                    return false;
            return true;
        }))
        return Fail("the model's topology pass did not end");
    return true;
}

bool Road::Select()
{
    VSLModelPainter* p = RandomInstance();
    if (!p)
        return true;
    Note(QString("select %1").arg(p->pickId()));
    BackToEditStage();
    Click(Project({p->m_center.x(), p->m_center.y(), p->m_maxBound.z()}));
    if (!scene().selectedInstance())
        Note("(nothing picked)");
    return true;
}

bool Road::Deselect()
{
    Note("deselect");
    m_view.ClearModelPainter();
    return true;
}

bool Road::Clone()
{
    Note("clone");
    m_view.DuplicateSelectedModel();
    return true;
}

bool Road::Delete()
{
    Note("delete");
    m_view.RemoveCurrentModel();
    return true;
}

bool Road::TypedMove()
{
    QVector3D bottom;
    if (!scene().GetBottomCenter(bottom))
        return true;
    const float halfX = printer().xres * printer().pixelUm / 2000.f, halfY = printer().yres * printer().pixelUm / 2000.f;
    // Now and then partly off the plate, or raised.
    const float x = float(Uniform(-halfX - 8, halfX + 8)), y = float(Uniform(-halfY - 8, halfY + 8));
    const float z = Chance(0.2) ? bottom.z() + float(Uniform(0.5, 3)) : bottom.z();
    Note(QString("type move to %1, %2, %3").arg(x, 0, 'f', 1).arg(y, 0, 'f', 1).arg(z, 0, 'f', 1));
    m_view.slot_ReceiveEditList({0, x, y, z});
    return true;
}

bool Road::DraggedMove()
{
    VSLModelPainter* p = scene().selectedInstance();
    if (!p)
        return true;
    BackToEditStage();
    m_view.slot_ReceiveEditList({6, 3, 0});
    const QPoint from = Project({p->m_center.x(), p->m_center.y(), p->m_maxBound.z()});
    const QPoint by(Pick(121) - 60, Pick(121) - 60);
    Note(QString("drag by %1, %2 px").arg(by.x()).arg(by.y()));
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + by / 2, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + by, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, from + by, Qt::LeftButton, Qt::NoButton);
    return true;
}

bool Road::Rotate()
{
    static const float angles[] = {15, 30, 45, 90, 180, -90};
    const float a = angles[Pick(6)];
    const int axis = Chance(0.7) ? 2 : Pick(2);
    Note(QString("rotate %1 about %2").arg(a).arg("xyz"[axis]));
    QVariantList list{1, 0.0, 0.0, 0.0};
    list[1 + axis] = a;
    m_view.slot_ReceiveEditList(list);
    return true;
}

bool Road::Scale()
{
    const double s = Uniform(0.6, 1.4);
    const double sz = Chance(0.3) ? Uniform(0.6, 1.4) : s;
    Note(QString("scale %1, %1, %2").arg(s, 0, 'f', 2).arg(sz, 0, 'f', 2));
    m_view.slot_ReceiveEditList({2, s, s, sz});
    return true;
}

bool Road::Generate()
{
    const QVector<double>& para = kSupportParameters[Pick(3)];
    Note(QString("generate %1 %2 %3 %4 for %5")
             .arg(para[0])
             .arg(para[1])
             .arg(para[2])
             .arg(para[3])
             .arg(scene().selectedInstance() ? "the selection" : "all"));
    m_view.GenSupport(para);
    if (!WaitSupportJobs())
        return Fail("support generation did not end");
    return true;
}

bool Road::EditSupports()
{
    const QVector<double>& para = kSupportParameters[Pick(3)];
    Note("edit supports");
    m_view.slot_EditSupport(true, false, para);
    const int clicks = 1 + Pick(3);
    for (int i = 0; i < clicks; ++i) {
        VSLModelPainter* p = scene().selectedInstance() ? scene().selectedInstance() : RandomInstance();
        if (!p)
            break;
        const QVector3D at(float(Uniform(p->m_minBound.x(), p->m_maxBound.x())),
                           float(Uniform(p->m_minBound.y(), p->m_maxBound.y())),
                           float(Uniform(p->m_minBound.z(), p->m_maxBound.z())));
        Click(Project(at));
    }
    if (Chance(0.75)) {
        Note("save the edit");
        m_view.slot_EditSupport(false, true, {});
        if (!WaitSupportJobs())
            return Fail("the edit's regeneration did not end");
    } else {
        Note("cancel the edit");
        m_view.slot_EditSupport(false, false, {});
    }
    BackToEditStage();
    return true;
}

bool Road::SwitchPrinter()
{
    m_printer = (m_printer + 1 + Pick(2)) % 3;
    const Printer& p = printer();
    Note(QString("printer %1").arg(p.name));
    m_view.SetBound(float(p.xres), float(p.yres), p.pixelUm, p.pixelUm, p.heightMm);
    m_view.SetImageRotate(p.rotate);
    m_view.SetFileType(p.fileType);
    m_view.SetMachineType(p.name, p.code);
    return true;
}

bool Road::SupportsUnderTheirModels(const char* when)
{
    for (VSLModelPainter* p : scene().instances()) {
        const QPolygonF hull = HullOf(*p);
        for (const WorldSupport& s : WorldSupports(*p)) {
            ++m_outcome.supportsChecked;
            for (int i = 0; i < s.points.size(); ++i) {
                const QVector3D& q = s.points[i];
                const float beside = DistanceOutside(hull, QPointF(q.x(), q.y()));
                if (beside > s.radii[i] + kBesideHullMm)
                    return Fail(QString("%1: a support of instance %2 stands %3 mm beside its model (at %4, %5; "
                                        "the model's centre at %6, %7)")
                                    .arg(when)
                                    .arg(p->pickId())
                                    .arg(beside, 0, 'f', 2)
                                    .arg(q.x(), 0, 'f', 2)
                                    .arg(q.y(), 0, 'f', 2)
                                    .arg(p->m_center.x(), 0, 'f', 2)
                                    .arg(p->m_center.y(), 0, 'f', 2));
            }
        }
    }
    return true;
}

// No model's footprint reaches into the plate further than its hull's
// growth and a pixel's rounding.
bool Road::EveryModelOffThePlate()
{
    const Printer& pr = printer();
    const float dpmm = 1000.f / pr.pixelUm;
    const QRectF plate(-pr.xres / 2.0 / dpmm, -pr.yres / 2.0 / dpmm, pr.xres / dpmm, pr.yres / dpmm);
    const QPolygonF inner(plate.adjusted(2, 2, -2, -2));
    for (VSLModelPainter* p : scene().instances())
        if (HullOf(*p).intersects(inner))
            return false;
    return true;
}

bool Road::LayersUnderTheirModels(const QString& file)
{
    VxsFile f = ReadVxs(file, false);
    if (!f.valid)
        f = ReadVxs(file, true);
    if (!f.valid)
        return Fail(QString("the print file does not decode: %1").arg(QString::fromStdString(f.error)));
    if (f.layers.isEmpty())
        return Fail("the print file holds no layer");
    const Printer& pr = printer();
    const int w = pr.xres, h = pr.yres;
    const QVector<uint8_t> layer0 = ExpandRuns(DecodeRuns(f.layers[0], f.bits), uint64_t(w) * uint64_t(h));
    if (layer0.size() != w * h)
        return Fail("the first layer holds too few pixels");
    const float dpmm = 1000.f / pr.pixelUm;
    // The world under an image pixel's centre, and the pixel of a world point.
    const int iw = pr.rotate ? h : w;
    auto worldOf = [&](int ix, int iy) {
        double lx = ix + 0.5, ly = iy + 0.5;
        if (pr.rotate) {
            lx = iy + 0.5;
            ly = h - (ix + 0.5);
        }
        return QPointF((lx - w / 2) / dpmm, (ly - h / 2) / dpmm);
    };
    auto litNear = [&](const QVector3D& world, bool& inside) {
        const double lx = world.x() * dpmm + w / 2, ly = world.y() * dpmm + h / 2;
        const int ix = pr.rotate ? int(std::floor(h - ly)) : int(std::floor(lx));
        const int iy = pr.rotate ? int(std::floor(lx)) : int(std::floor(ly));
        const int ih = pr.rotate ? w : h;
        inside = ix >= 2 && iy >= 2 && ix < iw - 2 && iy < ih - 2;
        for (int dy = -2; inside && dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (layer0[(iy + dy) * iw + ix + dx] != 0)
                    return true;
        return false;
    };
    QVector<QPolygonF> hulls;
    for (VSLModelPainter* p : scene().instances())
        hulls << HullOf(*p);
    // Nothing lit beside every model.
    const int ih = pr.rotate ? w : h;
    for (int iy = 0; iy < ih; ++iy)
        for (int ix = 0; ix < iw; ++ix) {
            if (layer0[iy * iw + ix] == 0)
                continue;
            const QPointF world = worldOf(ix, iy);
            float nearest = INFINITY;
            for (const QPolygonF& hull : hulls)
                nearest = std::min(nearest, DistanceOutside(hull, world));
            if (nearest > 1.5f + 1.5f / dpmm)
                return Fail(QString("the first layer is lit %1 mm beside every model, at %2, %3")
                                .arg(nearest, 0, 'f', 2)
                                .arg(world.x(), 0, 'f', 2)
                                .arg(world.y(), 0, 'f', 2));
        }
    // Every foot on the plate is lit where the records stand.
    for (VSLModelPainter* p : scene().instances())
        for (const WorldSupport& s : WorldSupports(*p)) {
            if (s.lowest > kLayerMm / 4)
                continue; // stands on the model, or was raised with it
            bool inside = false;
            if (!litNear(s.foot, inside) && inside)
                return Fail(QString("the foot of a support of instance %1 at %2, %3 is not lit in the first layer")
                                .arg(p->pickId())
                                .arg(s.foot.x(), 0, 'f', 2)
                                .arg(s.foot.y(), 0, 'f', 2));
        }
    return true;
}

bool Road::FramesShowTheSlicedSupports(const QImage& during)
{
    // The one shown after the slice, and the one drawn while it ran, are
    // compared with one drawn anew.
    const QImage shown = viewframes::Shown(m_view);
    const QImage drawn = viewframes::Drawn(m_view);
    const struct {
        const char* name;
        const QImage& frame;
    } frames[] = {{"shown after", shown}, {"drawn during", during}};
    for (const auto& f : frames) {
        if (f.frame.isNull() || viewframes::SupportsAlike(f.frame, drawn))
            continue;
        if (!m_options.failureFrames.isEmpty()) {
            const QString base = QDir(m_options.failureFrames).filePath(QString("road_%1_").arg(m_seed));
            f.frame.save(base + "shown.png");
            drawn.save(base + "drawn.png");
            viewframes::ApartPicture(f.frame, drawn).save(base + "apart.png");
        }
        return Fail(QString("the frame %1 the slice draws %2 support pixels apart from a redraw (of %3)")
                        .arg(f.name)
                        .arg(viewframes::SupportPixelsApart(f.frame, drawn))
                        .arg(viewframes::SupportPixels(drawn)));
    }
    return true;
}

bool Road::Slice()
{
    const Printer& pr = printer();
    Note(QString("slice for %1").arg(pr.name));
    QVector<QVector<QVector3D>> before;
    bool moved = false;
    for (VSLModelPainter* p : scene().instances()) {
        moved = moved || (p->m_bHasSupports && !p->m_supportMatrix.isIdentity());
        before << QVector<QVector3D>();
        for (const WorldSupport& s : WorldSupports(*p))
            before.last() += s.points;
    }
    m_view.SetNavBtn("Slice");
    const float dpmm = 1000.f / pr.pixelUm;
    // Each instance's slice waits before its first layer (its supports are
    // then in place for the cut) until the window has drawn a frame, as it
    // does while a big plate slices.
    struct Hold {
        std::atomic<int> reached{0};
        std::atomic<bool> release{false};
    };
    auto hold = std::make_shared<Hold>();
    for (VSLModelPainter* p : scene().instances())
        p->m_fnSliceLayer = [hold](int layer) {
            if (layer != 0)
                return;
            ++hold->reached;
            QElapsedTimer t;
            t.start();
            while (!hold->release && t.elapsed() < kHangMs)
                QThread::msleep(1);
        };
    int layers = -1, frames = 0, framesAtLastAsk = -1;
    const auto done = QObject::connect(&m_view, &VSLGLView::sig_SliceSceneDone, [&layers](int n) { layers = n; });
    const auto swapped = QObject::connect(&m_view, &QOpenGLWidget::frameSwapped, [&frames] { ++frames; });
    const auto asked = QObject::connect(&scene(), &VSL3DScene::sig_Update, [&] { framesAtLastAsk = frames; });
    // The first frame of a slice is the bare capture of the models for the
    // file's picture, without the plate; a frame compared is one after it.
    const auto captured = [this] { return !scene().m_bHideOverlays; };
    const SceneOp started = m_view.SliceScene(kLayerMm, pr.xres, pr.yres, dpmm, dpmm, 0);
    QImage during;
    if (started == SceneOp::Done) {
        // Every instance held, or those the scene started (it starts a few
        // at a time): none more arrives for a while.
        const int count = scene().instances().size();
        int seen = 0;
        QElapsedTimer still;
        still.start();
        const auto allHeld = [&] {
            if (hold->reached != seen) {
                seen = hold->reached;
                still.restart();
            }
            return seen == count || layers >= 0 || (seen > 0 && still.elapsed() > 150);
        };
        if (WaitFor(allHeld, kHangMs) && layers < 0 && WaitFor(captured)) {
            const int before = frames;
            m_view.update();
            if (WaitFor([&] { return frames > before; }, kHangMs))
                during = viewframes::Shown(m_view);
        }
    }
    hold->release = true;
    bool ended = started != SceneOp::Done || WaitFor([&layers] { return layers >= 0; });
    if (ended && started == SceneOp::Done) {
        // The frames the slice's end asked for are drawn, and a whole one
        // follows the capture when the slice ended before it was drawn.
        const bool bareToCome = !captured();
        if (!WaitFor([&] { return frames > framesAtLastAsk && captured(); }))
            return Fail("the frame the slice asked for was never drawn");
        if (bareToCome) {
            const int bare = frames;
            m_view.update();
            if (!WaitFor([&] { return frames > bare; }))
                return Fail("the frame after the slice's capture was never drawn");
        }
    }
    QObject::disconnect(done);
    QObject::disconnect(swapped);
    QObject::disconnect(asked);
    for (VSLModelPainter* p : scene().instances())
        p->m_fnSliceLayer = nullptr;
    if (!ended)
        return Fail("the slice did not end");
    if (started != SceneOp::Done || layers <= 0) {
        Note("(nothing sliced)");
        BackToEditStage();
        return true;
    }
    ++m_outcome.slices;
    m_outcome.slicesOfMovedSupports += moved;
    if (!FramesShowTheSlicedSupports(during))
        return false;
    // Slicing leaves every support where it stood.
    int k = 0;
    for (VSLModelPainter* p : scene().instances()) {
        QVector<QVector3D> after;
        for (const WorldSupport& s : WorldSupports(*p))
            after += s.points;
        if (after.size() != before[k].size())
            return Fail(QString("slicing changed the supports of instance %1").arg(p->pickId()));
        for (int i = 0; i < after.size(); ++i)
            if ((after[i] - before[k][i]).length() > 1e-3f)
                return Fail(QString("slicing moved a support of instance %1 by %2 mm")
                                .arg(p->pickId())
                                .arg((after[i] - before[k][i]).length()));
        ++k;
    }
    const QString file = QDir(m_folder).filePath(QString("plate_%1.%2").arg(m_outcome.slices).arg(pr.fileType));
    m_view.SetSaveFileName(file);
    DLP::SliceBuildConfig config;
    config.UpdateMachineConfig(float(pr.xres), float(pr.yres), pr.pixelUm, pr.pixelUm, pr.heightMm);
    config.SliceThickness = kLayerMm;
    ST_MachinePara para = DLP::machineParaFrom(config);
    if (!m_view.generatePrintableData(para, file)) {
        // A plate whose models all stand off it lights nothing: no file then.
        const int result = m_view.lastPrintableDataResult();
        if (result != PrintFileNothingLit || !EveryModelOffThePlate())
            return Fail(QString("the print file was not written (%1)").arg(result));
        if (QFileInfo::exists(file))
            return Fail("a print file that lights nothing was left behind");
        Note("(nothing lit: every model stands off the plate)");
        BackToEditStage();
        return true;
    }
    if (!LayersUnderTheirModels(file))
        return false;
    QFile::remove(file);
    BackToEditStage();
    return true;
}

Outcome Road::Run()
{
    struct File {
        const char* name;
        QVector<VSLTriangle3D> tris;
    };
    for (const File& f : {File{"table", Table()}, File{"bridge", Bridge()}, File{"ball", Ball()},
                          File{"ledge", Ledge()}}) {
        const QString path = QDir(m_folder).filePath(QString("%1.stl").arg(f.name));
        if (!testmesh::WriteFile(path, testmesh::BinaryStl(f.tris))) {
            Fail("cannot write the model files");
            return m_outcome;
        }
        m_files << path;
    }
    if (!Clear())
        return m_outcome;
    scene().m_fnOutOfRangeWarning = [] {};
    m_view.SetMessageSink([](QString const&, QString const&) {});
    m_printer = Pick(3);
    m_outcome.road << QString("printer %1").arg(printer().name);
    {
        const Printer& p = printer();
        m_view.SetBound(float(p.xres), float(p.yres), p.pixelUm, p.pixelUm, p.heightMm);
        m_view.SetImageRotate(p.rotate);
        m_view.SetFileType(p.fileType);
        m_view.SetMachineType(p.name, p.code);
    }
    BackToEditStage();

    using Step = bool (Road::*)();
    struct Choice {
        Step step;
        double weight;
    };
    bool ok = true;
    for (int i = 0; ok && i < m_options.steps; ++i) {
        const int count = scene().instances().size();
        VSLModelPainter* sel = scene().selectedInstance();
        bool anySupports = false;
        for (VSLModelPainter* p : scene().instances())
            anySupports = anySupports || p->m_bHasSupports;
        // Weighted towards moving supported models and slicing them.
        const bool movable = sel && sel->m_bHasSupports;
        const Choice choices[] = {
            {&Road::Load, count == 0 ? 1e9 : count < 3 ? 1.0 : 0.0},
            {&Road::Select, sel ? 0.7 : 2.5},
            {&Road::Deselect, sel ? 0.3 : 0.0},
            {&Road::Clone, sel && count < 4 ? 0.8 : 0.0},
            {&Road::Delete, sel && count > 1 ? 0.5 : 0.0},
            {&Road::TypedMove, sel ? (movable ? 3.0 : 1.0) : 0.0},
            {&Road::DraggedMove, sel ? (movable ? 2.0 : 0.7) : 0.0},
            {&Road::Rotate, sel ? 0.6 : 0.0},
            {&Road::Scale, sel ? 0.6 : 0.0},
            {&Road::Generate, anySupports ? 0.8 : 2.5},
            {&Road::EditSupports, anySupports ? 0.8 : 0.0},
            {&Road::SwitchPrinter, 0.5},
            {&Road::Slice, i + 1 == m_options.steps ? 1e9 : 0.8},
        };
        double total = 0;
        for (const Choice& c : choices)
            total += c.weight;
        double r = Uniform(0, total);
        Step step = &Road::Slice;
        for (const Choice& c : choices) {
            if (r < c.weight && c.weight > 0) {
                step = c.step;
                break;
            }
            r -= c.weight;
        }
        ok = (this->*step)() && SupportsUnderTheirModels("after the step");
    }
    return m_outcome;
}

} // namespace

void CentreCamera(VSLGLView& view)
{
    VSLCamera* camera = view.camera();
    camera->Reset();
    // The start's pan moves the plate off the middle; the pan undone.
    const VSLCamera::CameraParam& c = camera->current();
    camera->Translate(-c.panX, c.panY, false);
    camera->Translate(0, 0, true);
}

Outcome Run(VSLGLView& view, const QString& folder, unsigned seed, const Options& options)
{
    return Road(view, folder, seed, options).Run();
}

} // namespace supportroads
