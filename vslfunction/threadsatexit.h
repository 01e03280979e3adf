#pragma once
// Qt ends some threads of its own (the D-Bus connection thread the
// accessibility bridge starts) only while the process exits, and it counts a
// thread as ended once its run returns, before the system has taken it down.
// A check that stops every thread at exit (LeakSanitizer) and meets one half
// gone crashes, and the process ends with a fault instead of cleanly.

#include <string>
#include <vector>

namespace vsl {

// The threads of this process other than the calling one, by name.
std::vector<std::string> otherThreadNames();

// Registers, once, an exit handler that waits until the threads still ending
// are gone: until the calling thread is the only one, or no thread has gone
// for `settleMs` (the web engine's threads stay until the process ends), and
// at most `ceilingMs`. Call it at the start of main, before QApplication:
// handlers run in the reverse order of registration, so it runs after Qt's
// own exit clean-up has asked its threads to end.
void waitForThreadsAtExit(int settleMs = 500, int ceilingMs = 10000);

} // namespace vsl
