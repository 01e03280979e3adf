#pragma once
// The main of the view's benchmark programs: an application whose GL
// views take the 3D view's surface format; `beforeQuit` drops what must go
// while the application still lives.
#include "VSLGLView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSurfaceFormat>

#include <functional>

inline int RunViewBenchmarks(int argc, char** argv, const std::function<void()>& beforeQuit = {})
{
    QSurfaceFormat::setDefaultFormat(VSLGLView::ViewSurfaceFormat());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeQuit)
        beforeQuit();
    return 0;
}
