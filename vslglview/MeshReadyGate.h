#pragma once
#include <condition_variable>
#include <mutex>

// One-shot "mesh ready" event that then serialises the workers of one model:
// it starts closed, Open() opens it exactly once, and Acquire() waits until it
// is open and no other worker holds it. Cancel() wakes every waiter with a
// refusal (the model is going away).
class MeshReadyGate {
public:
    void Open();
    bool IsOpen() const;
    // False when cancelled before the gate could be taken.
    bool Acquire();
    // Without waiting: false when the gate is closed, held or cancelled.
    bool TryAcquire();
    void Release();
    void Cancel();
    bool IsCancelled() const;
    // Threads blocked in Acquire(): lets a caller know a worker is parked.
    int Waiting() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_held = false;
    bool m_cancelled = false;
    int m_waiting = 0;
};

// Holds the gate for a scope.
class MeshGateLocker {
public:
    explicit MeshGateLocker(MeshReadyGate& gate) : m_gate(gate), m_held(gate.Acquire()) {}
    ~MeshGateLocker()
    {
        if (m_held)
            m_gate.Release();
    }
    bool held() const { return m_held; }
    MeshGateLocker(const MeshGateLocker&) = delete;
    MeshGateLocker& operator=(const MeshGateLocker&) = delete;

private:
    MeshReadyGate& m_gate;
    bool m_held;
};
