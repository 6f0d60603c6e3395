#include <thread>

#include "driver/PollWait.h"

void WaitOnePollInterval() { std::this_thread::sleep_for(kPollInterval); }
