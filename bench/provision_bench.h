#pragma once

// Provisions one simulated tracker alone and then `trackers` at once, each on a pseudo-terminal
// of its own with a worker thread of its own, `runs` times each; prints the medians and the
// link path's allocations. Returns the exit code: 1 when a pass did not provision its device.
int runProvisionBench(int trackers, int runs);

inline constexpr int kMaxBenchTrackers = 64;
