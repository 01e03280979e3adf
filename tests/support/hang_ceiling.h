#pragma once
// Tests wait for the event itself, never for a guessed time. The ceiling of
// such a wait is one that only a hang reaches: the sanitizer builds beside a
// full load run many times slower than a build alone. It stays under ctest's
// timeout (600 s), so that a hang fails the wait that names it.
constexpr int kHangMs = 300000;
