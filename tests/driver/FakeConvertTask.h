#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/ConvertTask.h"

// A recording stand-in for the conversion-task library, linked into the
// driver's tests in place of the real one.
namespace fake {

// kStartReturn is recorded by the start as it returns, kWait by Wait.
enum class Call {
  kCreate,
  kStart,
  kStartReturn,
  kStatus,
  kRelease,
  kFlush,
  kWait
};

struct Event {
  Call call;
  std::thread::id thread;
  std::chrono::steady_clock::time_point time;
  TaskHandle task = nullptr;
  // The bytes up to and including the NUL for Start and Status; the stream's
  // whole content for a flush; whether the query pointer was null otherwise.
  std::string text;
  bool nullText = false;
};

struct Behaviour {
  TaskHandle createdTask = nullptr;
  // The start returns in the run's n-th Wait or a later one, never between
  // two waits (0: at once). Each side gives up on the other after a minute,
  // so that a run that stops polling fails rather than hangs.
  int startWaits = 0;
  // Run inside Create and Start, before they return.
  std::function<void()> onCreate = {};
  std::function<void()> onStart = {};
};

// Resets the recording and sets what the next run's calls do.
void Reset(Behaviour behaviour);

// Records an event from outside the library (the output stream's flushes).
void Record(Call call, std::string text = {});

std::vector<Event> Events();

// The run's wait before each status call. It takes no time, but for the
// wait in which the start returns, which lasts until it has; once the start
// has left, a millisecond in which the worker ends, rather than a busy loop
// of status calls.
void Wait();

// A task handle that no real library would make, to see it passed along.
TaskHandle SampleTask();

}  // namespace fake
