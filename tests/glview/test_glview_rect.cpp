// The view's second window-rectangle routine and its two small helpers.
#include "glview_fixture.h"

#include <limits>

// Both corner orders give one rectangle (top = largest window y), whichever
// corners a box is given by.
TEST_F(GLView, BothRectangleRoutinesAgreeOnEveryBox)
{
    Frame();
    ASSERT_TRUE(m_view->LoadViewMatrices());
    const std::pair<QVector3D, QVector3D> boxes[] = {{{48, 27, 100}, {-48, -27, 0}}, {{-48, -27, 0}, {48, 27, 100}},
                                                     {{-10, 5, 0}, {10, 25, 20}},    {{3, 3, 3}, {3, 3, 3}},
                                                     {{-5, -400, 0}, {5, 400, 2}}};
    for (const auto& [a, b] : boxes) {
        QRect one, two;
        m_view->getRect(one, a, b);
        m_view->getRect2(two, a, b);
        EXPECT_EQ(one, two) << a.x() << "," << a.y() << "," << a.z();
        EXPECT_TRUE(two.top() >= two.bottom() && two.left() <= two.right());
    }
}

TEST(GLViewHelpers, ComppareWidensThePairAndGetMiniumTakesTheFirstN)
{
    // max, min, p, then the widened max and min.
    const QPoint rows[][5] = {{{5, 5}, {1, 1}, {3, 3}, {5, 5}, {1, 1}},
                              {{5, 5}, {1, 1}, {9, -2}, {9, 5}, {1, -2}},
                              {{5, 5}, {1, 1}, {-4, 7}, {5, 7}, {-4, 1}}};
    for (const auto& r : rows) {
        QPoint max = r[0], min = r[1], p = r[2];
        VSLGLView::comppare(max, min, p);
        EXPECT_TRUE(max == r[3] && min == r[4]) << p.x() << "," << p.y();
    }
    float v[] = {5.f, 4.f, -9.f, 2.5f};
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& [n, want] : {std::pair(4, -9.f), std::pair(2, 4.f), std::pair(1, 5.f), std::pair(0, inf)})
        EXPECT_EQ(VSLGLView::getMinium(v, static_cast<unsigned char>(n)), want) << n;
    EXPECT_EQ(VSLGLView::getMinium(nullptr, 3), inf);
}
