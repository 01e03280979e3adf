#pragma once

#include <QString>

#include <sys/types.h>

// Until the main window shows, every warning and failure goes to standard
// error as well as to the daily log: a start that fails leaves its reason
// where the person who started the program looks. An exit, an unhandled
// exception or a fatal message before the window shows is reported with the
// last warning seen. One per process, made after the log's message handler
// is installed.
class StartupReport
{
public:
    StartupReport();
    ~StartupReport();
    StartupReport(const StartupReport&) = delete;
    StartupReport& operator=(const StartupReport&) = delete;

    // From here on messages go to the log only.
    void windowShown();
};

// The embedded web engine refuses to start as root with its sandbox on (and
// takes the whole program down with it). For an effective user of root the
// sandbox is turned off before the web engine starts, and the daily log says
// so; returns whether it was.
bool turnOffWebSandboxForRoot(uid_t effectiveUser);
