#pragma once

#include <functional>
#include <iosfwd>

// Runs one conversion from task creation to release: the request goes to
// ConvertTaskStart on a worker thread while this thread polls the task,
// calling `waitOnePoll` before each status call (the program passes
// WaitOnePollInterval, driver/PollWait.h; the tests a wait that takes no
// time). Then the result's "data" item is written to `out` as one flushed
// line and the task is released. Returns the process exit status: 0 after a
// normal run. If the worker cannot be started, the worker fails, or this
// thread fails (the wait included), the task is still released (once no
// call on it is in progress), one line goes to `err`, nothing more goes to
// `out`, and the result is 1.
int RunConversion(std::ostream& out, std::ostream& err,
                  const std::function<void()>& waitOnePoll);
