#include "VSLXYZPainter.h"
#include "plate_fixture.h"

#include <QOpenGLPaintDevice>
#include <QPainter>

#include <GL/gl.h>

#include <set>

TEST_F(PlateGL, GridLinesEveryTenMillimetresNoneOnTheFarEdges)
{
    TopView(2);
    Clear();
    m_scene->m_gridding.Render();
    SaveFrame("plate_grid");
    // Between the grid lines the plate shows darker than a line.
    const Rgb plate = AtTop(-45, -20);
    const Rgb line = AtTop(-48, 0);
    EXPECT_TRUE(plate.grey() && line.grey()) << plate << line;
    EXPECT_GT(line.r, plate.r + 40) << line << plate;
    auto isLine = [&](float x, float y) {
        const Rgb c = AtTop(x, y);
        return c.grey() && std::abs(c.r - line.r) < 25;
    };
    for (int x = -48; x <= 42; x += 10)
        EXPECT_TRUE(isLine(x, 1)) << "x = " << x;
    for (int y = -27; y <= 23; y += 10)
        EXPECT_TRUE(isLine(1, y)) << "y = " << y;
    EXPECT_FALSE(isLine(48, -20)) << "right edge (the side arrow stands at |y| < 14)";
    EXPECT_TRUE(isLine(48, 0)) << "side arrow";
    EXPECT_FALSE(isLine(1, 27)) << "back edge";
    EXPECT_FALSE(isLine(-43, 1));
    EXPECT_GT(AtTop(55, 0).r, 230) << "beyond the plate only the background";
}

TEST_F(PlateGL, BuildBoxAndFlagFollowSetBound)
{
    m_scene->SetBound({60, 34, 150}, {-60, -34, 0}, 50, 50);
    EXPECT_EQ(m_scene->m_gridding.m_nWidth, 120);
    EXPECT_EQ(m_scene->m_gridding.m_nDepth, 68);
    // The flag seen from above: from y = -42 (its back) to the tip at -47.
    TopView(5, 0, -44.5f);
    Clear();
    m_scene->m_printerBox.Render();
    SaveFrame("plate_box_flag_top");
    const struct { float y; bool flag; } flag[] = {
        {-41.8f, false}, {-42.2f, true}, {-44.6f, true}, {-46.6f, true}, {-47.2f, false}};
    for (const auto& f : flag)
        EXPECT_EQ(AtTop(0, f.y + 44.5f).blue(), f.flag) << "y = " << f.y << AtTop(0, f.y + 44.5f);
    CameraView();
    Clear();
    m_scene->RenderLayerModel();
    SaveFrame("plate_box_120x68x150");
}

TEST_F(PlateGL, RotateRingsPickAsOneElevenTwentyOne)
{
    VSLModelPainter* p = Place(Model(testmesh::Cube(20, {-10, -10, -10})), 0, 0);
    Select(p);
    m_scene->m_rotateCoord.ResetData({QVector3D(0, 0, 0), 30});
    m_scene->EditMode = 1;
    const struct { float x, y; int id; } cases[] = {
        {21.2f, 21.2f, 1}, // ring about z, seen as a circle
        {0, -40, 0},       // outside every ring
        {15, 0, 11},       // ring about y, seen edge-on along x
        {0, 15, 21},       // ring about x, seen edge-on along y
    };
    for (const auto& c : cases)
        EXPECT_EQ(m_scene->PickCoordAt(TopPixel(c.x, c.y)), c.id) << c.x << "," << c.y;
    // Only the rotate gizmo is picked, and only in edit mode 1.
    m_scene->EditMode = 2;
    EXPECT_EQ(m_scene->PickCoordAt(TopPixel(21.2f, 21.2f)), 0);
    // Hovered ring stippled, selected ring at full strength.
    m_scene->EditMode = 1;
    m_scene->m_strToolName = "Edit";
    m_scene->SetPickCoord(11);
    m_scene->SelectPickCoord();
    m_scene->SetPickCoord(1);
    EXPECT_EQ(m_scene->m_rotateCoord.m_nSelectedPart, 1);
    EXPECT_EQ(m_scene->m_rotateCoord.m_nHoverPart, 0);
    // Close enough that each ring segment is longer than a stipple dash.
    m_scene->m_rotateCoord.ResetData({QVector3D(0, 0, 0), 25});
    TopView(4);
    Clear();
    m_scene->DrawCoord();
    SaveFrame("gizmo_rotate_ring1_selected_ring0_hovered");
    std::set<int> greens;
    for (int x = 2; x < 23; ++x)
        greens.insert(AtTop(x, 0).g);
    EXPECT_TRUE(greens.count(255)) << "selected ring drawn in full green";
    EXPECT_EQ(AtTop(0, 15).r, 102) << "other rings at 0.4";
    // The hovered ring (about z, a circle here) is stippled: drawn and gaps.
    int drawn = 0, gaps = 0;
    for (int k = 0; k < 160; ++k) {
        const double a = (10 + 70.0 * k / 160) * M_PI / 180; // clear of the other rings
        const Rgb c = AtTop(float(25 * std::cos(a)), float(25 * std::sin(a)));
        (c.blue() ? drawn : gaps) += 1;
    }
    EXPECT_GT(drawn, 20);
    EXPECT_GT(gaps, 20);
}

TEST_F(PlateGL, ScaleGizmoFaceAtX1PicksAs31)
{
    VSLScaleCoord& gizmo = m_scene->m_scaleCoord;
    gizmo.m_minBound = QVector3D(-10, -10, 0);
    gizmo.m_maxBound = QVector3D(10, 10, 20);
    // Looking down -x: the face at x1 is nearest.
    TopView(1);
    glRotatef(-90, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    Clear();
    gizmo.RenderPickGL();
    const Rgb c = AtTop(-10, 0); // eye x = -world z: the middle of the face
    EXPECT_EQ(QVector<int>({c.r, c.g, c.b}), QVector<int>({0, 0, 31}));
    // The scene's gizmo pick never reaches the scale gizmo.
    m_scene->EditMode = 2;
    EXPECT_EQ(m_scene->PickCoordAt(QPoint(kW / 2, kH / 2)), 0);
}

TEST_F(PlateGL, AxisTriadInTheCorner)
{
    VSLXYZPainter triad;
    triad.InitDisplayList();
    triad.SetRotate(0, 0); // looking straight down: x right, y up
    Clear();
    QOpenGLPaintDevice device(kW, kH);
    triad.m_pPainter = new QPainter(&device); // handed over: Render ends and deletes it
    triad.Render();
    EXPECT_EQ(triad.m_pPainter, nullptr);
    SaveFrame("axis_triad");
    // Corner viewport (kW - 150, 0, 100, 100): its centre is the origin.
    const QPoint origin(kW - 100, kH - 50);
    EXPECT_GT(triad.m_labelPos[0].x(), origin.x() + 20);
    EXPECT_NEAR(triad.m_labelPos[0].y(), origin.y(), 2);
    EXPECT_LT(triad.m_labelPos[1].y(), origin.y() - 20);
    EXPECT_NEAR(triad.m_labelPos[1].x(), origin.x(), 2);
    EXPECT_TRUE(At(QPoint(origin.x() + 15, origin.y())).red()) << At(QPoint(origin.x() + 15, origin.y()));
    EXPECT_TRUE(At(QPoint(origin.x(), origin.y() - 15)).green()) << At(QPoint(origin.x(), origin.y() - 15));
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_TRUE(vp[2] == kW && vp[3] == kH) << vp[2] << "x" << vp[3];
}
