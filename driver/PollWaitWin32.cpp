#include <windows.h>

#include "driver/PollWait.h"

void WaitOnePollInterval() { Sleep(static_cast<DWORD>(kPollInterval.count())); }
