// The view's second window-rectangle routine and its two small helpers.
#include "glview_fixture.h"

#include <limits>

// Both corner orders give one rectangle, whichever corners a box is given by.
TEST_F(GLView, BothRectangleRoutinesAgreeOnEveryBox)
{
    Frame();
    ASSERT_TRUE(m_view->LoadViewMatrices());
    const std::pair<QVector3D, QVector3D> boxes[] = {
        {{48, 27, 100}, {-48, -27, 0}},  // the build volume
        {{-48, -27, 0}, {48, 27, 100}},  // given the other way round
        {{-10, 5, 0}, {10, 25, 20}},
        {{3, 3, 3}, {3, 3, 3}},          // a single point
        {{-5, -400, 0}, {5, 400, 2}},    // reaching far out of the window
    };
    for (const auto& [a, b] : boxes) {
        QRect one, two;
        m_view->getRect(one, a, b);
        m_view->getRect2(two, a, b);
        EXPECT_EQ(one, two) << a.x() << "," << a.y() << "," << a.z();
        // Top holds the largest window y.
        EXPECT_GE(two.top(), two.bottom());
        EXPECT_LE(two.left(), two.right());
    }
}

TEST(GLViewHelpers, ComppareWidensThePairAndGetMiniumTakesTheFirstN)
{
    struct Widen { QPoint max, min, p, wantMax, wantMin; };
    const Widen widen[] = {
        {{5, 5}, {1, 1}, {3, 3}, {5, 5}, {1, 1}},     // inside: unchanged
        {{5, 5}, {1, 1}, {9, -2}, {9, 5}, {1, -2}},   // beyond on x, below on y
        {{5, 5}, {1, 1}, {-4, 7}, {5, 7}, {-4, 1}},
        {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
    };
    for (Widen w : widen) {
        VSLGLView::comppare(w.max, w.min, w.p);
        EXPECT_EQ(w.max, w.wantMax);
        EXPECT_EQ(w.min, w.wantMin);
    }
    float v[] = {5.f, 4.f, -9.f, 2.5f};
    const std::pair<unsigned char, float> mins[] = {
        {4, -9.f}, {2, 4.f}, {1, 5.f}, {0, std::numeric_limits<float>::infinity()}};
    for (const auto& [n, want] : mins)
        EXPECT_EQ(VSLGLView::getMinium(v, n), want) << int(n);
    EXPECT_EQ(VSLGLView::getMinium(nullptr, 3), std::numeric_limits<float>::infinity());
}
