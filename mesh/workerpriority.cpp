#include "mesh/workerpriority.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vcg {

namespace {

// On Linux the nice value is a thread's own: PRIO_PROCESS with a thread id
// names that thread alone, with the process id the main thread.
id_t ThisThreadId() { return static_cast<id_t>(::syscall(SYS_gettid)); }

int NiceOf(id_t who)
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, who);
    return errno == 0 ? nice : 0;
}

std::atomic<int>& Steps()
{
    static std::atomic<int> steps{[] {
        const char* text = std::getenv("VSL_WORKER_NICE_STEPS");
        if (!text || !*text || std::strlen(text) > 2)
            return kWorkerNiceSteps;
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        return *end == '\0' && value >= 0 && value <= 19 ? int(value) : kWorkerNiceSteps;
    }()};
    return steps;
}

} // namespace

int WorkerNiceSteps() { return Steps().load(std::memory_order_relaxed); }

void SetWorkerNiceSteps(int steps) { Steps().store(std::clamp(steps, 0, 19), std::memory_order_relaxed); }

int ThisThreadNice() { return NiceOf(ThisThreadId()); }

bool LowerThisThreadPriority()
{
    const int target = std::min(19, NiceOf(static_cast<id_t>(::getpid())) + WorkerNiceSteps());
    const id_t self = ThisThreadId();
    if (NiceOf(self) >= target)
        return true;
    return ::setpriority(PRIO_PROCESS, self, target) == 0;
}

} // namespace vcg
