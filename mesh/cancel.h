#pragma once
#include <atomic>
#include <iterator>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vcg {

// A stop request that long mesh operations poll every kCancelStride
// elements; a default one never stops. An operation that sees it set returns
// early and says what it left behind.
class Cancel {
public:
    Cancel() = default;
    explicit Cancel(const std::atomic<bool>* flag) : m_flag(flag) {}
    bool operator()() const { return m_flag && m_flag->load(std::memory_order_relaxed); }
    // True at every kCancelStride-th element once a stop is asked for.
    bool At(uint32_t i) const { return (i & (kCancelStride - 1)) == 0 && (*this)(); }

    static constexpr uint32_t kCancelStride = 4096;

private:
    const std::atomic<bool>* m_flag = nullptr;
};

// v.resize(n) for a large new array, polling `cancel` while the kernel
// hands out its pages (the first touch of tens of megabytes takes tens of
// milliseconds, the resize after it a fraction). False, with v as it was,
// when stopped.
template <class T> bool ResizeCancellable(std::vector<T>& v, size_t n, Cancel cancel)
{
    if (n > v.capacity()) {
        std::vector<T> grown;
        grown.reserve(n);
        // Raw storage beyond the size: touched bytes are overwritten below.
        volatile char* raw = reinterpret_cast<char*>(grown.data());
        const size_t bytes = n * sizeof(T);
        for (size_t at = 0; at < bytes; at += 4096) {
            if ((at & ((size_t(1) << 20) - 1)) == 0 && cancel())
                return false;
            raw[at] = 0;
        }
        grown.assign(std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
        v.swap(grown);
    }
    v.resize(n);
    return true;
}

} // namespace vcg
