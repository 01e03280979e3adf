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

    QMatrix4x4 want;
    want.translate(0, 0, -100);
    want.translate(13 + 4, -20 - 6, 0);
    want.scale(0.5f);
    want.scale(2.5f);
    want.rotate(-80 - 30, 1, 0, 0);
    want.rotate(30 + 25, 0, 0, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.constData()[i], want.constData()[i], 1e-4) << i;
}

// Coverage of the upper half less that of the lower: an arrow's head is its
// heavy end.
int TopHeaviness(const QImage& img)
{
    int d = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            d += (y < img.height() / 2 ? 1 : -1) * qAlpha(img.pixel(x, y));
    return d;
}

TEST(ViewControlIcons, SevenDistinctIconsWithArrowsPointingTheirWay)
{
    VViewControlFrame frame;  // registers the resources
    QList<QImage> icons;
    for (int i = 3; i <= 9; ++i) {
        QImage img(QString(":/Resources/%1.png").arg(i, 3, 10, QChar('0')));
        ASSERT_FALSE(img.isNull()) << i;
        EXPECT_EQ(img.size(), QSize(12, 12));
        icons << img.convertToFormat(QImage::Format_ARGB32);
    }
    for (int i = 0; i < icons.size(); ++i)
        for (int j = i + 1; j < icons.size(); ++j)
            EXPECT_NE(icons[i], icons[j]) << i + 3 << " " << j + 3;
    const QImage& up = icons[0];
    EXPECT_GT(TopHeaviness(up), 255);
    EXPECT_EQ(up.transformed(QTransform().rotate(90)), icons[3]);   // 006 right
    EXPECT_EQ(up.transformed(QTransform().rotate(180)), icons[2]);  // 005 down
    EXPECT_EQ(up.transformed(QTransform().rotate(270)), icons[1]);  // 004 left
}

TEST(ViewControlFrame, CrossLayoutIconsAndIdsAsSeen)
{
    VViewControlFrame frame;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    auto button = [&frame](const char* name) {
        QPushButton* b = frame.findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    };
    QButtonGroup* group = frame.findChild<QButtonGroup*>("buttonGroup");
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->exclusive());

    struct Button {
        QPushButton* button;
        int id;
        const char* icon;
    };
    const Button buttons[] = {
        {button("button_ZoomIn"), 0, "007"}, {button("button_ZoomOut"), 1, "008"},
        {button("button_Left"), 2, "004"},   {button("button_Right"), 3, "006"},
        {button("button_Up"), 4, "003"},     {button("button_Down"), 5, "005"},
        {button("button_Center"), 6, "009"},
    };
    for (const Button& b : buttons)
        ASSERT_NE(b.button, nullptr);

    const QImage shot = frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QDir::current().filePath("view_control_frame.png");
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    shot.scaled(shot.size() * 6, Qt::KeepAspectRatio, Qt::FastTransformation)
        .save(QDir::current().filePath("view_control_frame_x6.png"));

    for (const Button& b : buttons) {
        SCOPED_TRACE(b.icon);
        EXPECT_TRUE(b.button->text().isEmpty());
        EXPECT_EQ(b.button->iconSize(), QSize(12, 12));
        EXPECT_EQ(group->id(b.button), b.id);
        // The icon's own pixels, drawn light on the dark button.
        const QImage icon = QImage(QString(":/Resources/%1.png").arg(b.icon)).convertToFormat(QImage::Format_ARGB32);
        const QPoint c = b.button->mapTo(&frame, b.button->rect().center());
        int light = 0, dark = 0;
        for (int y = c.y() - 6; y <= c.y() + 6; ++y)
            for (int x = c.x() - 6; x <= c.x() + 6; ++x) {
                const QRgb p = shot.pixel(x, y);
                light += qGray(p) > 180;
                dark += qAbs(qRed(p) - 65) < 4 && qAbs(qGreen(p) - 65) < 4 && qAbs(qBlue(p) - 65) < 4;
            }
        int opaque = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                opaque += qAlpha(icon.pixel(x, y)) > 200;
        EXPECT_GE(light, opaque * 3 / 4);
        EXPECT_GT(dark, 20);  // the button's rgb(65, 65, 65) around it
    }

    // The cross: up over centre over down, left and right beside it; the
    // zoom pair stacked to its left.
    auto at = [&](const char* name) {
        QWidget* w = button(name);
        return w->mapTo(&frame, w->rect().center());
    };
    const QPoint cc = at("button_Center");
    EXPECT_EQ(at("button_Up").x(), cc.x());
    EXPECT_EQ(at("button_Down").x(), cc.x());
    EXPECT_LT(at("button_Up").y(), cc.y());
    EXPECT_GT(at("button_Down").y(), cc.y());
    EXPECT_EQ(at("button_Left").y(), cc.y());
    EXPECT_EQ(at("button_Right").y(), cc.y());
    EXPECT_LT(at("button_Left").x(), cc.x());
    EXPECT_GT(at("button_Right").x(), cc.x());
    EXPECT_LT(at("button_ZoomIn").y(), at("button_ZoomOut").y());
    EXPECT_LT(at("button_ZoomIn").x(), at("button_Left").x());

    QSignalSpy spy(&frame, &VViewControlFrame::signal_ViewControl);
    for (const Button& b : buttons) {
        QTest::mouseClick(b.button, Qt::LeftButton);
        ASSERT_FALSE(spy.isEmpty());
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), b.id) << b.icon;
    }
    EXPECT_TRUE(spy.isEmpty());
}

} // namespace
