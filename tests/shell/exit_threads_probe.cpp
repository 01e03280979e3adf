// A program that shows a window and ends, as the application does, then looks
// at its own threads at the very last moment of its exit, where a check that
// stops every thread (LeakSanitizer) would look. Like Qt's D-Bus thread, one
// thread of its own is stopped by a destructor during exit, and takes a while
// to be gone after it counts as finished. `plain` leaves it so; `waited`
// registers the application's wait for the threads still ending.

#include "vslfunction/threadsatexit.h"

#include <QApplication>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void reportThreadsAtTheEnd()
{
    for (const std::string& name : vsl::otherThreadNames())
        std::printf("thread at exit: %s\n", name.c_str());
    std::fflush(stdout);
}

// Its clean-up after the run (thread-local state of a library) is slow.
struct SlowThreadCleanup
{
    ~SlowThreadCleanup() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }
};

class EndsDuringExit : public QThread
{
public:
    EndsDuringExit()
    {
        setObjectName(QStringLiteral("EndsDuringExit"));
        start();
    }
    ~EndsDuringExit() override
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        thread_local SlowThreadCleanup cleanup;
        (void)cleanup;
        exec();
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Registered first, so it runs last.
    std::atexit(reportThreadsAtTheEnd);
    if (argc > 1 && std::strcmp(argv[1], "waited") == 0)
        vsl::waitForThreadsAtExit();
    static EndsDuringExit service; // stopped by a destructor during exit, as Qt's are
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("exit"));
    window.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
