#include "VSLCoordConvert.h"
#include "plate_fixture.h"

#include <GL/gl.h>

#include <cmath>

namespace {

// Fills the whole viewport with a slanted quad so every pixel has a depth.
void DrawSlantedQuad()
{
    glBegin(GL_QUADS);
    glVertex3f(-5000, -5000, -5);
    glVertex3f(5000, -5000, 5);
    glVertex3f(5000, 5000, 5);
    glVertex3f(-5000, 5000, -5);
    glEnd();
}

} // namespace

TEST_F(PlateGL, ReadBackRowIsHeightMinusOneMinusY)
{
    // Paint only the top GL row red and the bottom one green.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, kH - 1, kW, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(0, 0, kW, 1);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    const struct {
        QPoint p;
        int id;
        bool inside;
    } cases[] = {
        {{5, 0}, 0xFF0000, true},      // top widget row
        {{5, 1}, 0xF0EDEB, true},      // next row: the cleared colour
        {{5, kH - 1}, 0x00FF00, true}, // bottom widget row
        {{5, kH}, 0, false},           // below the framebuffer: background
        {{5, -1}, 0, false},
        {{kW, 5}, 0, false},
    };
    for (const auto& c : cases) {
        unsigned char rgb[3];
        EXPECT_EQ(ReadPixelColor(c.p, rgb), c.inside) << c.p.x() << "," << c.p.y();
        EXPECT_EQ(ReadPickId(c.p), c.id) << c.p.x() << "," << c.p.y();
    }
}

TEST_F(PlateGL, UCToDCAndDCToWCInvertEachOther)
{
    CameraView();
    glEnable(GL_DEPTH_TEST);
    DrawSlantedQuad();
    const QPoint pixels[] = {{0, 0}, {kW / 2, 0}, {kW - 1, 0}, {17, 101}, {kW - 1, kH - 1}, {0, kH - 1}};
    for (QPoint p : pixels) {
        QVector3D world;
        ASSERT_TRUE(DCToWC(p, world)) << p.x() << "," << p.y();
        QPoint back;
        UCToDC(back, world);
        EXPECT_EQ(back, p) << "world " << world.x() << "," << world.y() << "," << world.z();
        // The ray through the pixel passes through the surface point.
        QVector3D nearP, farP;
        DCToWC(p, nearP, farP);
        const QVector3D dir = (farP - nearP).normalized();
        const QVector3D off = world - nearP;
        EXPECT_LT((off - QVector3D::dotProduct(off, dir) * dir).length(), 1e-2f + 1e-3f * off.length());
    }
    // Outside the framebuffer and over the cleared depth there is no surface.
    QVector3D world;
    EXPECT_FALSE(DCToWC(QPoint(5, kH), world));
    Clear();
    EXPECT_FALSE(DCToWC(QPoint(5, 5), world));
}
