#include "tests/driver/FakeConvertTask.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <utility>

namespace fake {
namespace {

// Room for every event of a run, reserved up front so that recording from
// inside the library functions never allocates for the vector itself.
constexpr std::size_t kEventCapacity = 256;

std::mutex g_mutex;
// Signalled when a wait begins and when the start leaves, for the other.
std::condition_variable g_changed;
std::vector<Event> g_events;
int g_waits = 0;
bool g_inWait = false;
bool g_startEntered = false;
bool g_startLeft = false;
// The request of the last start, kept without allocating: the tests make
// the worker's allocations fail one by one.
std::array<char, 512> g_request;
std::size_t g_requestSize = 0;
Behaviour g_behaviour;
int g_sampleTask;

void RecordUnderLock(Event event) {
  if (g_events.size() < kEventCapacity) g_events.push_back(std::move(event));
}

void RecordLocked(Event event) {
  const std::lock_guard lock(g_mutex);
  RecordUnderLock(std::move(event));
}

Event MakeEvent(Call call, TaskHandle task) {
  return Event{call,
               std::this_thread::get_id(),
               std::chrono::steady_clock::now(),
               task,
               {},
               false};
}

}  // namespace

void Reset(Behaviour behaviour) {
  const std::lock_guard lock(g_mutex);
  g_events.clear();
  g_events.reserve(kEventCapacity);
  g_requestSize = 0;
  g_waits = 0;
  g_inWait = false;
  g_startEntered = false;
  g_startLeft = false;
  g_behaviour = std::move(behaviour);
}

void Record(Call call, std::string text) {
  Event event = MakeEvent(call, nullptr);
  event.text = std::move(text);
  RecordLocked(std::move(event));
}

std::vector<Event> Events() {
  const std::lock_guard lock(g_mutex);
  std::vector<Event> events = g_events;
  for (auto& event : events) {
    if (event.call == Call::kStart && !event.nullText) {
      event.text.assign(g_request.data(), g_requestSize);
    }
  }
  return events;
}

void Wait() {
  std::unique_lock lock(g_mutex);
  RecordUnderLock(MakeEvent(Call::kWait, nullptr));
  ++g_waits;
  g_inWait = true;
  g_changed.notify_all();
  if (g_startLeft) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.lock();
  } else if (g_waits >= g_behaviour.startWaits) {
    // A start not yet entered may still come in this wait, and return.
    g_changed.wait_for(lock,
                       g_startEntered ? std::chrono::milliseconds(60'000)
                                      : std::chrono::milliseconds(1),
                       [] { return g_startLeft; });
  }
  g_inWait = false;
}

TaskHandle SampleTask() { return reinterpret_cast<TaskHandle>(&g_sampleTask); }

}  // namespace fake

using fake::Call;

extern "C" TaskHandle ConvertTaskCreate(void) {
  const TaskHandle task = fake::g_behaviour.createdTask;
  fake::RecordLocked(fake::MakeEvent(Call::kCreate, task));
  if (fake::g_behaviour.onCreate) fake::g_behaviour.onCreate();
  return task;
}

extern "C" const char* ConvertTaskStart(TaskHandle task, const char* request) {
  fake::Event event = fake::MakeEvent(Call::kStart, task);
  event.nullText = request == nullptr;
  if (request != nullptr) {
    // With its terminating NUL, so a missing terminator shows.
    const std::size_t size =
        std::min(std::strlen(request) + 1, fake::g_request.size());
    std::copy_n(request, size, fake::g_request.begin());
    fake::g_requestSize = size;
  }
  fake::RecordLocked(std::move(event));
  // Tells the wait that the start has left, by a return or a throw.
  struct Leaving {
    ~Leaving() {
      const std::lock_guard lock(fake::g_mutex);
      fake::g_startLeft = true;
      fake::g_changed.notify_all();
    }
  };
  {
    std::unique_lock lock(fake::g_mutex);
    fake::g_startEntered = true;
    fake::g_changed.wait_for(lock, std::chrono::minutes(1), [] {
      return fake::g_behaviour.startWaits == 0 ||
             (fake::g_inWait && fake::g_waits >= fake::g_behaviour.startWaits);
    });
  }
  const Leaving leaving;
  if (fake::g_behaviour.onStart) fake::g_behaviour.onStart();
  fake::RecordLocked(fake::MakeEvent(Call::kStartReturn, task));
  return "{\"code\":0}";
}

extern "C" const char* ConvertTaskStatus(TaskHandle task, const char* query) {
  fake::Event event = fake::MakeEvent(Call::kStatus, task);
  event.nullText = query == nullptr;
  // Short enough to stay inside the string: no allocation.
  if (query != nullptr) event.text.assign(query, std::strlen(query) + 1);
  fake::RecordLocked(std::move(event));
  return nullptr;
}

extern "C" void ConvertTaskRelease(TaskHandle task) {
  fake::RecordLocked(fake::MakeEvent(Call::kRelease, task));
}
