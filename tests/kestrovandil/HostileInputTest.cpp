// Starts that meet what nobody controls: pipes where files should be, memory
// that runs out, and a caller that starts one task without end.

#include <chrono>
#include <cstddef>
#include <exception>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>  // prints values in failure messages

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "TaskTesting.h"
#include "WavBytes.h"
#include "kestrovandil/ConvertTaskApi.h"
#include "tests/support/AllocationFailure.h"

namespace {

#if !defined(_WIN32)

// A FIFO at the audio or model path, with no writer or with a writer that
// never writes nor closes, is refused at once. A start that opened or read
// it would wait for ever; the test then unblocks it itself before failing.
TEST(ConvertTaskStart, RefusesFifosAtOnce) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const struct {
    const char* name;
    bool audioIsFifo;
    bool heldOpen;
    int code;
    const char* message;
  } kRows[] = {
      {"audio", true, false, 2, "audio file cannot be opened: "},
      {"audio-held", true, true, 2, "audio file cannot be opened: "},
      {"model", false, false, 4, "model file is not a regular file: "},
      {"model-held", false, true, 4, "model file is not a regular file: "},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string fifo = (dir.path() / row.name).string();
    CFifoWriter pipe(fifo);
    // Read and write on Linux: a writer without a reader, which never closes.
    const int holder = row.heldOpen ? open(fifo.c_str(), O_RDWR) : -1;
    const std::string request = row.audioIsFifo
                                    ? RequestText(fifo, dir.modelPath())
                                    : RequestText(audio, fifo);
    std::promise<Json::Value> result;
    std::future<Json::Value> answer = result.get_future();
    std::thread starter([&] { result.set_value(StartOnce(request.c_str())); });
    const bool prompt =
        answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // A blocked open returns once a writer comes; a blocked read once the
    // last writer has gone.
    if (!prompt && !row.heldOpen) {
      EXPECT_TRUE(pipe.Open());
    }
    if (holder >= 0) close(holder);
    pipe.Close();
    starter.join();
    EXPECT_TRUE(prompt) << "the start waited on the pipe";
    const Json::Value parsed = answer.get();
    EXPECT_EQ(parsed["code"], row.code);
    EXPECT_EQ(parsed["message"], row.message + fifo);
  }
}

#endif

// jsoncpp reports a failed allocation of its own as Json::RuntimeError. Each
// allocation of a start fails in turn, thrown that way, and every one of
// them must come back as the internal error, never as a bad request.
TEST(ConvertTaskStart, ReportsAFailedAllocationAsInternalError) {
  const std::string request = RequestText("missing.wav", "missing.bin");
  const TaskPtr task = MakeTask();
  std::size_t failures = 0;
  for (std::size_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    SetAllocationFailureException(std::make_exception_ptr(Json::RuntimeError(
        "in Json::Value::duplicateStringValue(): Failed to allocate string "
        "value buffer")));
    FailNthAllocation(n);
    const char* text = ConvertTaskStart(task.get(), request.c_str());
    const bool failed = AllocationFailureHappened();
    CancelAllocationFailure();
    const std::string result = text;
    if (!failed) {
      EXPECT_EQ(ParseText(result.c_str())["code"], 2);
      break;
    }
    ++failures;
    EXPECT_EQ(result, R"({"code":7,"data":"","message":"internal error"})");
  }
  EXPECT_GT(failures, 10u);
}

// A task keeps one start result, not one per start.
TEST(ConvertTaskStart, ManyStartsOnOneTaskKeepMemoryFlat) {
  const TaskPtr task = MakeTask();
  const auto startMany = [&task](int count) {
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(ParseText(ConvertTaskStart(task.get(), "{}"))["code"], 1);
    }
  };
  startMany(10);
  const std::ptrdiff_t before = LiveAllocations();
  startMany(2000);
  EXPECT_EQ(LiveAllocations(), before);
}

}  // namespace
