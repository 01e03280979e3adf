#include "terminationsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGINT};

extern "C" void onTerminationSignal(int signalNumber)
{
    const char byte = static_cast<char>(signalNumber);
    // Nothing else is safe here; a full pipe already holds a request.
    const ssize_t written = ::write(gPipe[1], &byte, 1);
    (void)written;
}

} // namespace

TerminationSignals::TerminationSignals()
{
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("No pipe for the termination signals: they end the program at once");
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        while (::read(gPipe[0], &byte, 1) == 1) {
        }
        qInfo("Termination signal received: the program ends");
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (gPipe[0] < 0)
        return;
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    delete m_notifier;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}
