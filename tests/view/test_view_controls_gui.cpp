#include "event_wait.h"
#include "VSLCamera.h"
#include "VViewControlFrame.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QDir>
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <GL/gl.h>

namespace {

TEST(CameraGL, ApplyLoadsDistancePanScalesThenPitchAndYaw)
{
    QSurfaceFormat fmt;
    fmt.setVersion(2, 1);
    fmt.setProfile(QSurfaceFormat::CompatibilityProfile);
    QOffscreenSurface surface;
    surface.setFormat(fmt);
    surface.create();
    QOpenGLContext ctx;
    ctx.setFormat(fmt);
    ASSERT_TRUE(ctx.create());
    ASSERT_TRUE(ctx.makeCurrent(&surface));
    VSLCamera cam;
    cam.Rotate(15, -40, true);  // a commit ignores these
    cam.Rotate(25, -30, false);
    cam.Translate(4, 6, false);
    cam.SetViewportScale(2.5f);
    cam.Apply();
    QMatrix4x4 got;
    glGetFloatv(GL_MODELVIEW_MATRIX, got.data());
    ctx.doneCurrent();
    QMatrix4x4 want; // distance and home pan plus the pending one, base scale times the viewport's
    want.translate(13 + 4, -20 - 6, -100);
    want.scale(0.5f * 2.5f);
    want.rotate(-80 - 30, 1, 0, 0);
    want.rotate(30 + 25, 0, 0, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.constData()[i], want.constData()[i], 1e-4) << i;
}

// Upper-half coverage less lower-half: an arrow's head is its heavy end.
int TopHeaviness(const QImage& img)
{
    int d = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            d += (y < img.height() / 2 ? 1 : -1) * qAlpha(img.pixel(x, y));
    return d;
}

QImage Icon(const char* name)
{
    return QImage(QString(":/Resources/%1.png").arg(name)).convertToFormat(QImage::Format_ARGB32);
}

TEST(ViewControlFrame, CrossLayoutIconsAndIdsAsSeen)
{
    VViewControlFrame frame; // registers the resources
    frame.show();
    ASSERT_TRUE(WaitUntilExposed(&frame));
    QButtonGroup* group = frame.findChild<QButtonGroup*>("buttonGroup");
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->exclusive());
    const struct { const char* name; int id; const char* icon; } buttons[] = {
        {"button_ZoomIn", 0, "007"}, {"button_ZoomOut", 1, "008"}, {"button_Left", 2, "004"},
        {"button_Right", 3, "006"}, {"button_Up", 4, "003"}, {"button_Down", 5, "005"}, {"button_Center", 6, "009"}};
    // Seven distinct icons; the arrows are one picture turned their way.
    for (const auto& a : buttons)
        for (const auto& b : buttons)
            if (a.icon < b.icon) {
                EXPECT_NE(Icon(a.icon), Icon(b.icon)) << a.icon << " " << b.icon;
            }
    EXPECT_GT(TopHeaviness(Icon("003")), 255);
    EXPECT_EQ(Icon("003").transformed(QTransform().rotate(90)), Icon("006"));
    EXPECT_EQ(Icon("003").transformed(QTransform().rotate(180)), Icon("005"));
    EXPECT_EQ(Icon("003").transformed(QTransform().rotate(270)), Icon("004"));
    const QImage shot = frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QDir::current().filePath("view_control_frame.png");
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    auto centre = [&](const char* name) {
        QPushButton* b = frame.findChild<QPushButton*>(name);
        return b ? b->mapTo(&frame, b->rect().center()) : QPoint(-100, -100);
    };
    QSignalSpy spy(&frame, &VViewControlFrame::signal_ViewControl);
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.icon);
        QPushButton* button = frame.findChild<QPushButton*>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->text().isEmpty());
        EXPECT_EQ(button->iconSize(), QSize(12, 12));
        EXPECT_EQ(group->id(button), b.id);
        // The icon's own pixels, drawn light on the button's dark rgb(65, 65, 65).
        const QImage icon = Icon(b.icon);
        ASSERT_EQ(icon.size(), QSize(12, 12));
        const QPoint c = centre(b.name);
        int light = 0, dark = 0, opaque = 0;
        for (int y = -6; y <= 6; ++y)
            for (int x = -6; x <= 6; ++x) {
                const QRgb p = shot.pixel(c.x() + x, c.y() + y);
                light += qGray(p) > 180;
                dark += qAbs(qRed(p) - 65) < 4 && qAbs(qGreen(p) - 65) < 4 && qAbs(qBlue(p) - 65) < 4;
                opaque += x < 6 && y < 6 && qAlpha(icon.pixel(x + 6, y + 6)) > 200;
            }
        EXPECT_GE(light, opaque * 3 / 4);
        EXPECT_GT(dark, 20);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_EQ(spy.size(), 1);
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), b.id);
    }
    // The cross: up over centre over down, left and right beside it; the zoom pair stacked to its left.
    const QPoint cc = centre("button_Center");
    const QPoint up = centre("button_Up"), down = centre("button_Down"), left = centre("button_Left"),
                 right = centre("button_Right"), in = centre("button_ZoomIn"), out = centre("button_ZoomOut");
    EXPECT_TRUE(up.x() == cc.x() && down.x() == cc.x() && up.y() < cc.y() && down.y() > cc.y());
    EXPECT_TRUE(left.y() == cc.y() && right.y() == cc.y() && left.x() < cc.x() && right.x() > cc.x());
    EXPECT_TRUE(in.y() < out.y() && in.x() < left.x());
}

} // namespace
