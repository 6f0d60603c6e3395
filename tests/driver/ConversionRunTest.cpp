#include "driver/ConversionRun.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/driver/FakeConvertTask.h"
#include "tests/support/AllocationFailure.h"

namespace {

using fake::Call;
using std::chrono::milliseconds;
using ::testing::ElementsAre;

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

RunResult RunWithFake(fake::Behaviour behaviour) {
  fake::Reset(std::move(behaviour));
  RecordingOutput outBuffer;
  std::ostream out(&outBuffer);
  std::ostringstream err;
  const int status = RunConversion(out, err);
  CancelAllocationFailure();
  return {status, outBuffer.str(), err.str(), fake::Events()};
}

std::vector<Call> CallsOf(const RunResult& run) {
  std::vector<Call> calls;
  for (const auto& event : run.events) calls.push_back(event.call);
  return calls;
}

int Count(const RunResult& run, Call call) {
  int count = 0;
  for (const auto& event : run.events) count += event.call == call;
  return count;
}

// The bounds hold under any load short of starvation: a wait may run late,
// but never short (a missed or early wait), and not every wait runs a whole
// second late (a doubled wait makes each of them last two).
TEST(RunConversion, SlowStartIsPolledEverySecondThenPrintsAndReleases) {
  const auto mainThread = std::this_thread::get_id();
  const RunResult run = RunWithFake(
      {.createdTask = fake::SampleTask(), .startDuration = milliseconds(2500)});

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\n");
  EXPECT_EQ(run.err, "");
  const std::vector<Call> calls = CallsOf(run);
  ASSERT_GE(calls.size(), 6u);
  EXPECT_THAT(std::vector(calls.begin(), calls.begin() + 2),
              ElementsAre(Call::kCreate, Call::kStart));
  EXPECT_THAT(std::vector(calls.end() - 2, calls.end()),
              ElementsAre(Call::kFlush, Call::kRelease));
  EXPECT_EQ(Count(run, Call::kStartReturn), 1);
  EXPECT_GE(Count(run, Call::kStatus), 2);

  // The wait that the start's return falls into runs to its end, and one
  // more status call follows; a second one only when the worker is held up
  // between its return and the flag.
  int statusAfterReturn = 0;
  bool returned = false;
  auto previous = run.events.front().time;
  auto shortest = milliseconds::max();
  for (const auto& event : run.events) {
    EXPECT_EQ(event.task,
              event.call == Call::kFlush ? nullptr : fake::SampleTask());
    if (event.call == Call::kStart || event.call == Call::kStartReturn) {
      EXPECT_NE(event.thread, mainThread);
      returned = event.call == Call::kStartReturn;
    } else {
      EXPECT_EQ(event.thread, mainThread);
    }
    if (event.call == Call::kStart) {
      EXPECT_EQ(event.text, kRequestText);
      EXPECT_EQ(event.text.size(), 153u);
    }
    if (event.call == Call::kStatus) {
      EXPECT_FALSE(event.nullText);
      EXPECT_EQ(event.text, std::string(1, '\0'));
      const auto wait =
          std::chrono::duration_cast<milliseconds>(event.time - previous);
      EXPECT_GE(wait, milliseconds(1000));
      shortest = std::min(shortest, wait);
      previous = event.time;
      statusAfterReturn += returned;
    }
  }
  EXPECT_GE(statusAfterReturn, 1);
  EXPECT_LE(statusAfterReturn, 2);
  EXPECT_LT(shortest, milliseconds(2000));
  // The line was complete and flushed before the task went.
  EXPECT_EQ(run.events[run.events.size() - 2].text, "\n");
}

TEST(RunConversion, QuickStartNeedsAtMostOneStatusCall) {
  const RunResult run = RunWithFake({.createdTask = fake::SampleTask()});

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\n");
  EXPECT_LE(Count(run, Call::kStatus), 1);
  EXPECT_EQ(Count(run, Call::kCreate), 1);
  EXPECT_EQ(Count(run, Call::kStart), 1);
  EXPECT_EQ(Count(run, Call::kRelease), 1);
  EXPECT_EQ(run.events.back().call, Call::kRelease);
}

TEST(RunConversion, NullTaskIsPassedToEveryCall) {
  const RunResult run = RunWithFake(
      {.createdTask = nullptr, .startDuration = milliseconds(1200)});

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\n");
  // About two, as many as the load lets one-second waits fit in.
  EXPECT_GE(Count(run, Call::kStatus), 1);
  for (const auto& event : run.events) EXPECT_EQ(event.task, nullptr);
  EXPECT_EQ(run.events.back().call, Call::kRelease);
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
        .startDuration = milliseconds(100),
        .onStart = [&] { FailNthAllocation(1, mainThread); }},
       "conversion-driver: the conversion run failed: std::bad_alloc\n",
       1},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const RunResult run = RunWithFake(row.behaviour);
    EXPECT_TRUE(AllocationFailureHappened());
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

  EXPECT_EQ(RunConversion(out, err), 1);
  EXPECT_EQ(err.str(),
            "conversion-driver: the conversion run failed: cannot write to "
            "standard output\n");
  const auto events = fake::Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().call, Call::kRelease);
}

}  // namespace
