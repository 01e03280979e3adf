#pragma once

// Compute threads (slicing, supports, repair, loading, writing print files)
// run below the window's thread and the software rasteriser's threads: with
// every core slicing, a frame of the view, and the close button behind it,
// waited seconds for its share of the CPU.

namespace vcg {

// How far below the process's main thread a compute thread runs (nice steps).
constexpr int kWorkerNiceSteps = 10;

// The steps in force: kWorkerNiceSteps, or 0 to 19 from the environment
// variable VSL_WORKER_NICE_STEPS. The test suite runs its workers level with
// its main threads: ten steps down, beside a machine's other busy programs
// they got a tenth of a core's share and a suite ran ten times as long.
int WorkerNiceSteps();
// Overrides the steps for the rest of the run (the priority tests).
void SetWorkerNiceSteps(int steps);

// Moves the calling thread to the main thread's nice value plus
// WorkerNiceSteps() (at most 19); never raises a thread that already runs
// lower, so calling it again, or from a thread that inherited it, changes
// nothing. Threads the caller starts afterwards inherit the level. False when
// the system refused.
bool LowerThisThreadPriority();

// The calling thread's nice value (higher runs later).
int ThisThreadNice();

} // namespace vcg
