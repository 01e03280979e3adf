#pragma once
// Pick rays and checks shared by the edit tests.

#include <QMatrix4x4>
#include <QPoint>
#include <QVector3D>

#include <gtest/gtest.h>

#include <cmath>

// Looking straight down: widget pixel (x, y) is world (x / 10, -y / 10).
inline bool TopDown(QPoint const& p, QVector3D& a, QVector3D& b)
{
    a = QVector3D(p.x() / 10.f, -p.y() / 10.f, 100);
    b = QVector3D(p.x() / 10.f, -p.y() / 10.f, 50);
    return true;
}

inline QPoint PixelOf(float x, float y)
{
    return QPoint(qRound(x * 10), qRound(-y * 10));
}

inline void ExpectNear(QVector3D got, QVector3D want, float tol = 1e-3f)
{
    EXPECT_NEAR(got.x(), want.x(), tol);
    EXPECT_NEAR(got.y(), want.y(), tol);
    EXPECT_NEAR(got.z(), want.z(), tol);
}

inline bool AllFinite(const QMatrix4x4& m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m.constData()[i]))
            return false;
    return true;
}
