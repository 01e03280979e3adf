#pragma once
#include "VSLModelPainter.h"
#include "hang_ceiling.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <memory>

// What a held slice saw: the last layer it reached and whether the stop came.
struct SliceHold
{
    std::atomic<int> lastLayer{-1};
    std::atomic<bool> stopSeen{false};
};

// Makes `painter`'s slice wait at `heldLayer` until it is asked to stop (20 s
// at most, so a broken stop cannot hang the suite). Shared with the hook,
// which may run after the caller's frame is gone.
inline std::shared_ptr<SliceHold> HoldSliceAt(VSLModelPainter* painter, int heldLayer)
{
    auto hold = std::make_shared<SliceHold>();
    painter->m_fnSliceLayer = [hold, painter, heldLayer](int layer) {
        hold->lastLayer = layer;
        if (layer != heldLayer)
            return;
        QElapsedTimer t;
        t.start();
        while (!painter->m_bStopSlice && t.elapsed() < kHangMs)
            QThread::msleep(1);
        hold->stopSeen = painter->m_bStopSlice.load();
    };
    return hold;
}
