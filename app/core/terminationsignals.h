#pragma once

class QSocketNotifier;

// SIGTERM and SIGINT end the event loop as closing the window does, so the
// program is torn down in order (jobs stopped, threads joined) instead of
// being cut off. The signal handler only writes a byte to a pipe; the event
// loop reads it. One per process, made after the application object.
class TerminationSignals
{
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    QSocketNotifier* m_notifier = nullptr;
};
