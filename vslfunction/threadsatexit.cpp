#include "vslfunction/threadsatexit.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vsl {

namespace {

std::atomic<int> g_settleMs{-1};
std::atomic<int> g_ceilingMs{0};

std::vector<std::string> otherThreadIds()
{
    std::vector<std::string> ids;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return ids;
    const long self = ::syscall(SYS_gettid);
    while (dirent* entry = ::readdir(tasks))
        if (entry->d_name[0] != '.' && std::atol(entry->d_name) != self)
            ids.emplace_back(entry->d_name);
    ::closedir(tasks);
    return ids;
}

void waitAtExit()
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto until = start + std::chrono::milliseconds(g_ceilingMs.load());
    auto lastGone = start;
    size_t count = otherThreadIds().size();
    while (count != 0) {
        const auto now = Clock::now();
        if (now >= until || now - lastGone >= std::chrono::milliseconds(g_settleMs.load()))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const size_t left = otherThreadIds().size();
        if (left < count)
            lastGone = Clock::now();
        count = left;
    }
}

} // namespace

std::vector<std::string> otherThreadNames()
{
    std::vector<std::string> names;
    for (const std::string& id : otherThreadIds()) {
        std::ifstream comm("/proc/self/task/" + id + "/comm");
        std::string name;
        std::getline(comm, name);
        if (comm || !name.empty())
            names.push_back(name.empty() ? id : name);
    }
    return names;
}

void waitForThreadsAtExit(int settleMs, int ceilingMs)
{
    g_ceilingMs = ceilingMs;
    if (g_settleMs.exchange(settleMs) < 0)
        std::atexit(waitAtExit);
}

} // namespace vsl
