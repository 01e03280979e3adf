#pragma once
#include "event_wait.h"
#include "VSL3DScene.h"
#include "VSLCamera.h"
#include "VSLCoordConvert.h"
#include "VSLGLView.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "test_meshes.h"
#include "view_frames.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

struct Px {
    int r = 0, g = 0, b = 0;
    bool near(Px o, int tol) const { return std::abs(r - o.r) <= tol && std::abs(g - o.g) <= tol && std::abs(b - o.b) <= tol; }
    bool grey(int tol = 12) const { return std::max({r, g, b}) - std::min({r, g, b}) <= tol; }
};
inline std::ostream& operator<<(std::ostream& os, const Px& c) { return os << "(" << c.r << "," << c.g << "," << c.b << ")"; }

// A shown 3D view (96 x 54 x 100 mm printer, stage "Edit"), STL files in a temporary folder.
class GLView : public ::testing::Test {
protected:
    static constexpr int kW = 800;
    static constexpr int kH = 600;
    static inline const Px kBackground{240, 237, 235};

    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_view = std::make_unique<VSLGLView>();
        m_view->SetMessageSink([this](QString const&, QString const& info) { m_messages << info; });
        m_view->scene()->m_fnOutOfRangeWarning = [] {};
        m_view->resize(kW, kH);
        m_view->show();
        ASSERT_TRUE(WaitUntilExposed(m_view.get()));
        m_view->SetBound(1920, 1080, 50, 50, 100);
        m_view->SetNavBtn("Edit");
    }

    QString BoxFile(const QString& name, QVector3D min, QVector3D max)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(testmesh::WriteFile(path, testmesh::BinaryStl(testmesh::Box(min, max))));
        return path;
    }
    // Loads the file and waits for its topology pass; the new instance.
    VSLModelPainter* Load(const QString& path)
    {
        EXPECT_TRUE(m_view->OpenSTLFile(path));
        EXPECT_TRUE(WaitFor([this] {
            for (VSLModel3D* m : m_view->scene()->models())
                if (!m->isReady())
                    return false;
            return true;
        }));
        return m_view->scene()->instances().isEmpty() ? nullptr : m_view->scene()->instances().last();
    }
    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = kHangMs)
    {
        return WaitUntil(done, timeoutMs);
    }

    QImage Frame() { return viewframes::Drawn(*m_view); }
    QImage ShownFrame() { return viewframes::Shown(*m_view); }
    // The frame's pixel under a widget point (the frame has device pixels).
    static Px At(const QImage& img, QPoint p)
    {
        const double r = img.devicePixelRatio();
        if (r != 1.0)
            p = QPoint(int(std::floor((p.x() + 0.5) * r)), int(std::floor((p.y() + 0.5) * r)));
        if (!img.rect().contains(p))
            return Px{-1, -1, -1};
        const QRgb c = img.pixel(p);
        return Px{qRed(c), qGreen(c), qBlue(c)};
    }
    // A pixel within `radius` of p satisfies pred (1-pixel lines land within a pixel).
    static bool AnyNear(const QImage& img, QPoint p, int radius, const std::function<bool(Px)>& pred)
    {
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx)
                if (img.rect().contains(p + QPoint(dx, dy)) && pred(At(img, p + QPoint(dx, dy))))
                    return true;
        return false;
    }
    QPoint Project(QVector3D world)
    {
        m_view->LoadViewMatrices();
        QPoint p;
        UCToDC(p, world);
        return p;
    }
    // Zooms in by `steps` wheel steps and pans until `world` stands in the
    // middle of the view (the pan is in the camera's eye units).
    void LookAt(QVector3D world, int steps)
    {
        VSLCamera* camera = m_view->camera();
        for (int i = 0; i < steps; ++i)
            camera->ZoomIn();
        for (int round = 0; round < 6; ++round) {
            const QPoint p = Project(world);
            const double unitsPerPx = 2 * 100.0 * std::tan(M_PI / 8) / m_view->height();
            camera->Translate((m_view->width() / 2 - p.x()) * unitsPerPx, (m_view->height() / 2 - p.y()) * unitsPerPx,
                              false);
            camera->Translate(0, 0, true);
        }
    }
    // Frames of the high-density run keep names of their own.
    void Save(const QImage& img, const QString& name)
    {
        const QString suffix = img.devicePixelRatio() != 1.0 ? QString("_x%1").arg(img.devicePixelRatio()) : QString();
        img.save(QDir(QCoreApplication::applicationDirPath()).filePath(name + suffix + ".png"));
    }

    void Mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, QPointF(p), QPointF(m_view->mapToGlobal(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &e);
    }
    void Press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { Mouse(QEvent::MouseButtonPress, p, b, b); }
    void MoveWith(QPoint p, Qt::MouseButtons b) { Mouse(QEvent::MouseMove, p, Qt::NoButton, b); }
    void Release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { Mouse(QEvent::MouseButtonRelease, p, b, Qt::NoButton); }
    void Click(QPoint p) { Press(p); Release(p); }

    QTemporaryDir m_dir;
    std::unique_ptr<VSLGLView> m_view;
    QStringList m_messages;
};
