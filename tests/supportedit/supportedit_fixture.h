#pragma once
#include "glview_fixture.h"
#include "support/DLP_Support.h"

#include <QMatrix4x4>

#include <algorithm>

// A view with a 20 x 20 x 4 mm slab, seen level so tips under it show, and hand-built support records.
class SupportEdit : public GLView {
protected:
    static constexpr double kLift = 5.0;
    static constexpr float kTipR = 1.0f;

    void SetUp() override
    {
        GLView::SetUp();
        m_slab = Load(BoxFile("slab.stl", {-10, -10, 0}, {10, 10, 4}));
        ASSERT_NE(m_slab, nullptr);
        FixCamera();
    }
    // After the view's own fit (first paint after a load), which it redoes.
    void FixCamera()
    {
        Shot();
        m_view->camera()->FastViewer(6);
        m_view->camera()->Rotate(0, -10, false); // level: tips under the model show
        m_view->camera()->Rotate(0, 0, true);
        // Plate centre in the middle of the view, about 15 pixels per mm.
        m_view->camera()->SetViewportScale(4);
        m_view->camera()->Translate(-13, -6, false);
        m_view->camera()->Translate(0, 0, true);
    }

    static QVector3D V(const vcg::Point3f& p) { return QVector3D(p[0], p[1], p[2]); }
    static vcg::Point3f P(const QVector3D& v) { return vcg::Point3f(v.x(), v.y(), v.z()); }

    void Lift(VSLModelPainter* p)
    {
        p->m_dLiftDistance = kLift;
        p->m_dTipDiameter = 2 * kTipR;
        p->LiftForSupports();
    }
    // A generated support with its contact at `c`, standing on the plate.
    static void AddRecord(VSLModelPainter* p, QVector3D c, uint code)
    {
        DLP_Support s;
        s.point = P(c);
        s.normal = vcg::Point3f(0, 0, -1);
        s.tipEnd = P(c - QVector3D(0, 0, 1.5f));
        s.base = vcg::Point3f(c.x(), c.y(), 0);
        s.cones << SaveCone(s.point, kTipR, s.tipEnd, 0.5) << SaveCone(s.tipEnd, 0.8, s.base, 0.8);
        s.spheres << SaveSphere(s.tipEnd, 0.8);
        s.index = p->m_supportMap.size();
        p->m_supportMap.insert(SupportKey(SupportHeightKey(c.z()), code), s);
        p->m_bHasSupports = true;
    }
    // Lifts `p` and gives it four supports under the corners of its bottom.
    void Generate(VSLModelPainter* p)
    {
        Lift(p);
        const QVector3D lo = p->m_minBound, hi = p->m_maxBound;
        uint code = 100;
        for (float fy : {0.2f, 0.8f})
            for (float fx : {0.2f, 0.8f})
                AddRecord(p, QVector3D(lo.x() + fx * (hi.x() - lo.x()), lo.y() + fy * (hi.y() - lo.y()), lo.z()),
                          code++);
        p->RebuildSupportIndex();
        m_view->makeCurrent();
        p->DrawSupportX();
        m_view->update();
    }
    // Pixel of the lower half of a tip, which hangs below the model.
    QPoint TipPixel(VSLModelPainter* p, const DLP_Support& s)
    {
        return Project(p->m_supportMatrix.map(V(s.point) - QVector3D(0, 0, 0.6f * kTipR)));
    }
    QPoint ColumnPixel(VSLModelPainter* p, const DLP_Support& s)
    {
        return Project(p->m_supportMatrix.map(QVector3D(s.point[0], s.point[1], 1.5f)));
    }
    QImage Shot()
    {
        m_view->update();
        QCoreApplication::processEvents();
        return Frame();
    }
    // The first click-added record of `p` (end() when none).
    static SupportMap::iterator FirstAdded(VSLModelPainter* p)
    {
        return std::find_if(p->m_supportMap.begin(), p->m_supportMap.end(),
                            [](const DLP_Support& s) { return s.addedByClick; });
    }
    static long Deleted(VSLModelPainter* p)
    {
        return std::count_if(p->m_supportMap.begin(), p->m_supportMap.end(),
                             [](const DLP_Support& s) { return s.isDeleted; });
    }
    // A point of the slab's front face (y = min), fx of the way along x.
    QPoint FrontFace(float fx, float z)
    {
        const QVector3D lo = m_slab->m_minBound, hi = m_slab->m_maxBound;
        return Project(QVector3D(lo.x() + fx * (hi.x() - lo.x()), lo.y(), z));
    }
    static bool Magenta(Px c) { return c.r > c.g + 60 && c.b > c.g + 60; }
    static bool Amber(Px c) { return c.r > c.b + 25 && c.g > c.b + 10; }
    void OpenEdit() { m_view->slot_EditSupport(true, false, {5, 2 * kTipR, 1.6, kLift}); }

    VSLModelPainter* m_slab = nullptr;
};
