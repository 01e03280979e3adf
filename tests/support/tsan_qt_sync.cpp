// Linked into the tests of a ThreadSanitizer build only.
//
// Qt is not built with the sanitizer, and on Linux QMutex and QThread::wait
// synchronise through futexes inside libQt5Core, which the sanitizer cannot
// see: every hand-over guarded by a QMutex, or by joining a QThread that has
// already finished, would be reported as a race. These definitions take the
// place of Qt's own for calls from our code (the executable's definition wins
// over the library's) and tell the sanitizer what the real call did. Calls
// inside Qt are untouched. Nothing here hides a race: a hand-over without any
// lock or join is still reported.
#include <QMutex>
#include <QThread>
#include <QVariant>

#include <dlfcn.h>

extern "C" {
void __tsan_acquire(void* addr);
void __tsan_release(void* addr);
}

namespace {

template <class Fn> Fn Real(const char* name)
{
    void* f = dlsym(RTLD_NEXT, name);
    if (!f)
        qFatal("tsan_qt_sync: %s not found", name);
    return reinterpret_cast<Fn>(f);
}

// Released by a QThread's own thread once its run() has returned; acquired
// by whoever waited for that thread successfully.
void ReleaseAtFinish(QThread* thread)
{
    static const char* const kTag = "_tsanFinishHook";
    if (thread->property(kTag).toBool())
        return;
    thread->setProperty(kTag, true);
    QObject::connect(thread, &QThread::finished, thread, [thread] { __tsan_release(thread); },
                     Qt::DirectConnection);
}

} // namespace

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto real = Real<void (*)(QMutex*)>("_ZN6QMutex4lockEv");
    real(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto real = Real<bool (*)(QMutex*, int)>("_ZN6QMutex7tryLockEi");
    const bool locked = real(this, timeout);
    if (locked)
        __tsan_acquire(this);
    return locked;
}

void QMutex::unlock() noexcept
{
    static const auto real = Real<void (*)(QMutex*)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    real(this);
}

void QThread::start(Priority priority)
{
    static const auto real = Real<void (*)(QThread*, Priority)>("_ZN7QThread5startENS_8PriorityE");
    ReleaseAtFinish(this);
    real(this, priority);
}

bool QThread::wait(QDeadlineTimer deadline)
{
    static const auto real = Real<bool (*)(QThread*, QDeadlineTimer)>("_ZN7QThread4waitE14QDeadlineTimer");
    const bool done = real(this, deadline);
    if (done)
        __tsan_acquire(this);
    return done;
}

bool QThread::wait(unsigned long time)
{
    static const auto real = Real<bool (*)(QThread*, unsigned long)>("_ZN7QThread4waitEm");
    const bool done = real(this, time);
    if (done)
        __tsan_acquire(this);
    return done;
}

// Qt, libstdc++ and Mesa are not instrumented: what their own code does with
// memory (allocations, copies inside Qt's image thread pool, Qt's internal
// wait conditions) cannot be judged without their synchronisation, so only
// our own code's accesses are checked.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1:second_deadlock_stack=1";
}
