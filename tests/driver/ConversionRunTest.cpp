#include "driver/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/PollWait.h"
#include "tests/driver/FakeConvertTask.h"
#include "tests/support/AllocationFailure.h"

namespace {

using fake::Call;
using std::chrono::milliseconds;

// The request's fixed text: keys in UTF-8 byte order, backslashes doubled,
// and the terminating NUL that the library reads up to.
const std::string kRequestText =
    R"({"file_path":"D:\\Common\\Destkop\\test.wav","lang":"zh",)"
    R"("model_path":"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\)"
    R"(ggml-base.bin","prompt":""})" +
    std::string(1, '\0');

// Standard output as the run sees it; every flush is recorded among the
// library's calls, so its place in the order shows.
class RecordingOutput : public std::stringbuf {
 protected:
  int sync() override {
    fake::Record(Call::kFlush, str());
    return 0;
  }
};

struct RunResult {
  int status;
  std::string out;
  std::string err;
  std::vector<fake::Event> events;
};

// With the fake's wait, unless the test passes the program's own.
RunResult RunWithFake(fake::Behaviour behaviour,
                      const std::function<void()>& wait = fake::Wait) {
  fake::Reset(std::move(behaviour));
  RecordingOutput outBuffer;
  std::ostream out(&outBuffer);
  std::ostringstream err;
  const int status = RunConversion(out, err, wait);
  CancelAllocationFailure();
  return {status, outBuffer.str(), err.str(), fake::Events()};
}

// The calls of one thread, a letter each: Create, start (s) and its return
// (r), Wait, Status, Flush, Release.
std::string CallsOn(const RunResult& run, std::thread::id thread) {
  std::string calls;
  for (const auto& event : run.events) {
    if (event.thread == thread)
      calls += "CsrSRFW"[static_cast<int>(event.call)];
  }
  return calls;
}

int Count(const RunResult& run, Call call) {
  int count = 0;
  for (const auto& event : run.events) count += event.call == call;
  return count;
}

// Every status call comes after one wait, on the main thread, until the
// worker is done; the line is flushed after the start has returned, and
// the task released last.
TEST(RunConversion, PollsUntilTheStartReturnsThenPrintsAndReleases) {
  const auto mainThread = std::this_thread::get_id();
  const struct {
    const char* name;
    fake::Behaviour behaviour;
  } kRows[] = {
      {"a start that returns in the second wait",
       {.createdTask = fake::SampleTask(), .startWaits = 2}},
      {"a start that returns at once", {.createdTask = fake::SampleTask()}},
      {"a null task, passed to every call",
       {.createdTask = nullptr, .startWaits = 1}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const RunResult run = RunWithFake(row.behaviour);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\n");
    EXPECT_EQ(run.err, "");
    // std::regex, not GoogleTest's, whose Windows form has no groups.
    const std::string mainCalls = CallsOn(run, mainThread);
    EXPECT_TRUE(std::regex_match(mainCalls, std::regex("C(WS)*FR")))
        << mainCalls;
    const auto start = std::find_if(
        run.events.begin(), run.events.end(),
        [](const fake::Event& event) { return event.call == Call::kStart; });
    ASSERT_NE(start, run.events.end());
    const std::thread::id worker = start->thread;
    EXPECT_NE(worker, mainThread);
    EXPECT_EQ(CallsOn(run, worker), "sr");
    EXPECT_GE(Count(run, Call::kStatus), row.behaviour.startWaits);
    // The line was complete and flushed before the task went.
    EXPECT_EQ(run.events[run.events.size() - 2].text, "\n");

    // A start that returns in a wait sees one more status call: the one
    // that follows that wait.
    bool returned = false;
    int statusAfterReturn = 0;
    for (const auto& event : run.events) {
      if (event.call != Call::kFlush && event.call != Call::kWait) {
        EXPECT_EQ(event.task, row.behaviour.createdTask);
      }
      if (event.call == Call::kStart) {
        EXPECT_FALSE(event.nullText);
        EXPECT_EQ(event.text, kRequestText);
        EXPECT_EQ(event.text.size(), 153u);
      }
      if (event.call == Call::kStatus) {
        EXPECT_FALSE(event.nullText);
        EXPECT_EQ(event.text, std::string(1, '\0'));
        statusAfterReturn += returned;
      }
      if (event.call == Call::kFlush) {
        EXPECT_TRUE(returned);
      }
      returned = returned || event.call == Call::kStartReturn;
    }
    if (row.behaviour.startWaits > 0) {
      EXPECT_GE(statusAfterReturn, 1);
    }
  }
}

// The program's own wait, once, ahead of the fake's: a run of two polls at
// least. The bounds hold under any load short of starvation: a wait may run
// late, but never short.
TEST(RunConversion, ThePollIntervalIsOneSecond) {
  const RunResult run =
      RunWithFake({.createdTask = fake::SampleTask(), .startWaits = 2}, [] {
        WaitOnePollInterval();
        fake::Wait();
      });

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\n");
  ASSERT_GE(Count(run, Call::kStatus), 2);
  ASSERT_EQ(run.events.back().call, Call::kRelease);
  const auto took = run.events.back().time - run.events.front().time;
  EXPECT_GE(took, milliseconds(1900));
  EXPECT_LT(took, std::chrono::seconds(30));
}

// Each failure ends the run with status 1 and one line on standard error;
// nothing reaches standard output and the task is released exactly once,
// after the library has returned from the start.
TEST(RunConversion, FailuresReleaseTheTaskAndReportOnStandardError) {
  const auto mainThread = std::this_thread::get_id();
  // The worker's allocations up to the start call: building the request
  // and rendering it.
  std::size_t workerAllocations = 0;
  RunWithFake(
      {.onStart = [&] { workerAllocations = AllocationsOnThisThread(); }});
  ASSERT_GT(workerAllocations, 2u);
  const struct {
    const char* name;
    fake::Behaviour behaviour;
    std::string message;
    int starts;
  } kRows[] = {
      {"the worker cannot be started",
       {.createdTask = fake::SampleTask(),
        .onCreate = [&] { FailNthAllocation(1, mainThread); }},
       "conversion-driver: cannot start the conversion worker: "
       "std::bad_alloc\n",
       0},
      {"the worker cannot build the request",
       {.createdTask = fake::SampleTask(),
        .onCreate = [&] { FailNthAllocationOutside(1, mainThread); }},
       "conversion-driver: cannot send the conversion request: "
       "std::bad_alloc\n",
       0},
      {"the worker fails half-way",
       {.createdTask = fake::SampleTask(),
        .onCreate =
            [&] {
              FailNthAllocationOutside(workerAllocations / 2, mainThread);
            }},
       "conversion-driver: cannot send the conversion request: "
       "std::bad_alloc\n",
       0},
      {"the worker cannot finish the request text",
       {.createdTask = fake::SampleTask(),
        .onCreate =
            [&] { FailNthAllocationOutside(workerAllocations, mainThread); }},
       "conversion-driver: cannot send the conversion request: "
       "std::bad_alloc\n",
       0},
      {"the main thread fails after the join",
       {.createdTask = fake::SampleTask(),
        .startWaits = 1,
        .onStart = [&] { FailNthAllocation(1, mainThread); }},
       "conversion-driver: the conversion run failed: std::bad_alloc\n",
       1},
      {"the start throws what is not a std::exception",
       {.createdTask = fake::SampleTask(), .onStart = [] { throw 42; }},
       "conversion-driver: cannot send the conversion request: "
       "unknown error\n",
       1},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const RunResult run = RunWithFake(row.behaviour);
    if (row.message.ends_with("std::bad_alloc\n")) {
      EXPECT_TRUE(AllocationFailureHappened());
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, row.message);
    EXPECT_EQ(Count(run, Call::kFlush), 0);
    EXPECT_EQ(Count(run, Call::kStart), row.starts);
    EXPECT_EQ(Count(run, Call::kRelease), 1);
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.back().call, Call::kRelease);
    EXPECT_EQ(run.events.back().task, fake::SampleTask());
  }
}

TEST(RunConversion, UnwritableOutputIsAFailure) {
  fake::Reset({.createdTask = fake::SampleTask()});
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  std::ostringstream err;

  EXPECT_EQ(RunConversion(out, err, fake::Wait), 1);
  EXPECT_EQ(err.str(),
            "conversion-driver: the conversion run failed: cannot write to "
            "standard output\n");
  const auto events = fake::Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().call, Call::kRelease);
}

}  // namespace
