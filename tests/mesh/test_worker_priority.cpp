#include "mesh/parallel.h"
#include "mesh/workerpriority.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <thread>

using namespace vcg;

namespace {

int MainThreadNice() { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid())); }

int ExpectedWorkerNice() { return std::min(19, MainThreadNice() + kWorkerNiceSteps); }

// Runs fn on a fresh thread and returns what it returned.
template <class Fn> int OnThread(Fn fn)
{
    int result = 0;
    std::thread t([&] { result = fn(); });
    t.join();
    return result;
}

} // namespace

class WorkerPriority : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (MainThreadNice() >= 19)
            GTEST_SKIP() << "the tests run at the lowest priority already";
        SetWorkerNiceSteps(kWorkerNiceSteps); // the suite's own level is set apart
    }
    void TearDown() override { SetWorkerNiceSteps(m_suiteSteps); }
    const int m_suiteSteps = WorkerNiceSteps();
};

TEST_F(WorkerPriority, ParallelForWorkersRunBelowTheCallerWhichKeepsItsOwn)
{
    const int before = ThisThreadNice();
    std::mutex mutex;
    std::set<int> workerNices;
    std::set<std::thread::id> threads;
    ParallelFor(64, 1, [&](uint32_t, uint32_t) {
        std::lock_guard<std::mutex> lock(mutex);
        workerNices.insert(ThisThreadNice());
        threads.insert(std::this_thread::get_id());
    });
    if (threads.size() < 2)
        GTEST_SKIP() << "one hardware thread: the loop ran on the caller";
    EXPECT_EQ(workerNices, std::set<int>{ExpectedWorkerNice()});
    EXPECT_EQ(ThisThreadNice(), before);
}

TEST_F(WorkerPriority, LoweringIsAbsoluteAndInheritedNotStacked)
{
    const int expected = ExpectedWorkerNice();
    EXPECT_EQ(OnThread([] {
                  LowerThisThreadPriority();
                  LowerThisThreadPriority();
                  return ThisThreadNice();
              }),
              expected);
    // A worker started by a worker (a slice run inside the slice thread)
    // inherits the level and lowering it again keeps it there.
    EXPECT_EQ(OnThread([] {
                  LowerThisThreadPriority();
                  return OnThread([] {
                      const int inherited = ThisThreadNice();
                      LowerThisThreadPriority();
                      return inherited == ThisThreadNice() ? inherited : -100;
                  });
              }),
              expected);
}

TEST_F(WorkerPriority, AThreadAlreadyLowerIsNotRaised)
{
    if (ExpectedWorkerNice() >= 19)
        GTEST_SKIP() << "no level below the workers' one";
    EXPECT_EQ(OnThread([] {
                  const id_t self = static_cast<id_t>(::syscall(SYS_gettid));
                  ::setpriority(PRIO_PROCESS, self, 19);
                  EXPECT_TRUE(LowerThisThreadPriority());
                  return ThisThreadNice();
              }),
              19);
}
