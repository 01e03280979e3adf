#include "VSLCamera.h"

#include <gtest/gtest.h>

namespace {

void ExpectView(const VSLCamera::CameraParam& got, const VSLCamera::CameraParam& want)
{
    EXPECT_DOUBLE_EQ(got.yaw, want.yaw);
    EXPECT_DOUBLE_EQ(got.pitch, want.pitch);
    EXPECT_DOUBLE_EQ(got.panX, want.panX);
    EXPECT_DOUBLE_EQ(got.panY, want.panY);
    EXPECT_DOUBLE_EQ(got.scale, want.scale);
}

TEST(Camera, OrbitClampsPitchToItsRangeAndNeverWrapsYaw)
{
    // pendingPitch: after the clamp, from the home pitch -80; yaw, pitch: after the commit.
    struct Case { double dYaw, dPitch, pendingPitch, yaw, pitch; };
    const Case cases[] = {
        {10, -5, -5, 40, -85},
        {0, 100, 80, 30, 0},           // stops looking straight down
        {0, -120, -100, 30, -180},     // stops looking straight up
        {0, 80, 80, 30, 0},            // exactly onto the limit
        {695, 0, 0, 725, -80},         // two turns and a bit: kept as 725
        {-400, 0, 0, -370, -80},
    };
    for (const Case& c : cases) {
        VSLCamera cam;
        cam.Rotate(c.dYaw, c.dPitch, false);
        EXPECT_DOUBLE_EQ(cam.pendingPitch(), c.pendingPitch) << c.dPitch;
        double y, p;
        cam.GetRotate(y, p);
        EXPECT_DOUBLE_EQ(y, c.yaw);
        EXPECT_DOUBLE_EQ(p, c.pitch);
        cam.Rotate(99, 99, true);  // arguments of a commit are ignored
        EXPECT_DOUBLE_EQ(cam.current().yaw, c.yaw);
        EXPECT_DOUBLE_EQ(cam.current().pitch, c.pitch);
        EXPECT_EQ(cam.pendingYaw(), 0);
        EXPECT_EQ(cam.pendingPitch(), 0);
    }
}

TEST(Camera, ViewCommandsStepYawAndElevation)
{
    struct Case { double yaw, pitch; int cmd; VSLCamera::CameraParam want; };  // yaw, pitch committed before
    const Case cases[] = {
        {725, -80, 2, {720, -90, 13, -20, 1}},
        {725, -80, 3, {810, -90, 13, -20, 1}},
        {720, -80, 2, {630, -90, 13, -20, 1}},
        {720, -80, 3, {810, -90, 13, -20, 1}},
        {-45, -80, 2, {-90, -90, 13, -20, 1}},
        {30, -80, 4, {0, -90, 13, -20, 1}},    // above the front: to the front
        {30, -90, 4, {180, -180, 13, -8, 1}},  // exactly at the front: from below
        {30, -100, 4, {180, -180, 13, -8, 1}},
        {30, -90, 5, {0, 0, 13, -8, 1}},       // exactly at the front: from above
        {30, -100, 5, {0, -90, 13, -20, 1}},
        {30, -80, 5, {0, 0, 13, -8, 1}},
        {400, -10, 6, {30, -80, 13, -20, 1}},
    };
    for (const Case& c : cases) {
        VSLCamera cam;
        cam.Rotate(c.yaw - 30, c.pitch + 80, false);
        cam.Rotate(0, 0, true);
        cam.Translate(7, 7, false);
        cam.Translate(0, 0, true);
        cam.SetViewportScale(3);
        cam.TransformViewByCmd(c.cmd);
        SCOPED_TRACE(testing::Message() << "yaw " << c.yaw << " pitch " << c.pitch << " cmd " << c.cmd);
        ExpectView(cam.current(), c.want);
    }
}

TEST(Camera, ZoomStepsAndViewportScaleBounds)
{
    VSLCamera cam;
    cam.SetViewportScale(99);
    cam.ZoomIn();
    EXPECT_FLOAT_EQ(cam.getViewportScale(), 110.f);  // one step past 100
    cam.ZoomIn();
    EXPECT_FLOAT_EQ(cam.getViewportScale(), 110.f);  // the next is refused
    cam.TransformViewByCmd(1);
    EXPECT_FLOAT_EQ(cam.getViewportScale(), 99.f);
    struct Case { float s; float want; };
    const Case cases[] = {{100, 1}, {0.01f, 1}, {99.9f, 99.9f}, {0.011f, 0.011f}, {-1, 1}};
    for (const Case& c : cases) {
        VSLCamera fresh;
        fresh.SetViewportScale(c.s);
        EXPECT_FLOAT_EQ(fresh.getViewportScale(), c.want) << c.s;
    }
    VSLCamera low;
    low.SetViewportScale(0.19f);
    low.ZoomOut();
    EXPECT_FLOAT_EQ(low.getViewportScale(), 0.19f);
    low.SetViewportScale(0.21f);
    low.TransformViewByCmd(1);
    EXPECT_FLOAT_EQ(low.getViewportScale(), 0.189f);
}

TEST(Camera, PanFlipsScreenYAndCentreRestoresHome)
{
    VSLCamera cam;
    cam.Translate(0, 0, true); // a commit without a drag changes nothing
    cam.Rotate(0, 0, true);
    ExpectView(cam.current(), cam.preset(6));
    ExpectView(cam.current(), {30, -80, 13, -20, 1});
    EXPECT_EQ(cam.distance(), 100.0);
    cam.Translate(3, 4, false);
    cam.Translate(5, 2, false); // each move replaces the pending pan
    EXPECT_EQ(cam.pendingPanX(), 5);
    EXPECT_EQ(cam.pendingPanY(), -2);
    cam.Translate(0, 0, true);
    EXPECT_EQ(cam.current().panX, 18);
    EXPECT_EQ(cam.current().panY, -22);
    EXPECT_EQ(cam.pendingPanX(), 0);
    cam.Rotate(200, -60, false);
    cam.Rotate(0, 0, true);
    cam.Translate(-40, 12, false);
    cam.Translate(0, 0, true);
    for (int i = 0; i < 30; ++i)
        cam.TransformViewByCmd(0);
    cam.TransformViewByCmd(6);
    ExpectView(cam.current(), {30, -80, 13, -20, 1});
    cam.TransformViewByCmd(7);  // not a command
    ExpectView(cam.current(), {30, -80, 13, -20, 1});
    cam.FastViewer(9);  // an unknown key shows an all-zero view
    ExpectView(cam.current(), {0, 0, 0, 0, 0});
}

} // namespace
