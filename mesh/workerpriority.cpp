#include "mesh/workerpriority.h"

#include <algorithm>
#include <cerrno>

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

} // namespace

int ThisThreadNice() { return NiceOf(ThisThreadId()); }

bool LowerThisThreadPriority()
{
    const int target = std::min(19, NiceOf(static_cast<id_t>(::getpid())) + kWorkerNiceSteps);
    const id_t self = ThisThreadId();
    if (NiceOf(self) >= target)
        return true;
    return ::setpriority(PRIO_PROCESS, self, target) == 0;
}

} // namespace vcg
