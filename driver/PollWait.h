#pragma once

#include <chrono>

// How long the run waits before each status call on the task.
inline constexpr std::chrono::milliseconds kPollInterval{1000};

// Blocks the calling thread for one poll interval: the wait the program
// hands to RunConversion. Each platform's own file defines it.
void WaitOnePollInterval();
