// Starts that meet what nobody controls: pipes where files should be, memory
// that runs out, and a caller that starts one task without end.

#include <chrono>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>  // prints values in failure messages

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "PlatformAnswers.h"
#include "TaskTesting.h"
#include "WavBytes.h"
#include "kestrovandil/CInputFile.h"
#include "kestrovandil/ConvertTaskApi.h"
#include "tests/support/AllocationFailure.h"

namespace {

#if !defined(_WIN32)

// A FIFO at the audio or model path, with no writer, with a writer that
// never writes nor closes, or with a writer waiting in its open for a
// reader, is refused at once and never opened: opening it would release a
// waiting writer, and a start that opened or read it would wait for ever;
// the test then unblocks it itself before failing.
TEST(ConvertTaskStart, RefusesFifosAtOnce) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  enum class Writer { kNone, kHolding, kWaitingInOpen };
  const struct {
    const char* name;
    bool audioIsFifo;
    Writer writer;
    int code;
    const char* message;
  } kRows[] = {
      {"audio", true, Writer::kNone, 2, "audio file is not a regular file: "},
      {"audio-held", true, Writer::kHolding, 2,
       "audio file is not a regular file: "},
      {"audio-awaited", true, Writer::kWaitingInOpen, 2,
       "audio file is not a regular file: "},
      {"model", false, Writer::kNone, 4, "model file is not a regular file: "},
      {"model-held", false, Writer::kHolding, 4,
       "model file is not a regular file: "},
      {"model-awaited", false, Writer::kWaitingInOpen, 4,
       "model file is not a regular file: "},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string fifo = (dir.path() / row.name).string();
    CFifoWriter pipe(fifo);
    // Read and write on Linux: a writer without a reader, which never closes.
    const int holder =
        row.writer == Writer::kHolding ? open(fifo.c_str(), O_RDWR) : -1;
    std::optional<CWaitingFifoWriter> waiting;
    if (row.writer == Writer::kWaitingInOpen) {
      waiting.emplace(fifo);
      ASSERT_TRUE(WaitFor([&waiting] { return waiting->WaitsInOpen(); }));
    }
    const std::string request = row.audioIsFifo
                                    ? RequestText(fifo, dir.modelPath())
                                    : RequestText(audio, fifo);
    std::promise<Json::Value> result;
    std::future<Json::Value> answer = result.get_future();
    std::thread starter([&] { result.set_value(StartOnce(request.c_str())); });
    const bool prompt =
        answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    const bool unopened = !waiting || waiting->WaitsInOpen();
    // A blocked open returns once a writer comes; a blocked read once the
    // last writer has gone.
    if (!prompt && row.writer == Writer::kNone) {
      EXPECT_TRUE(pipe.Open());
    }
    if (holder >= 0) close(holder);
    waiting.reset();
    pipe.Close();
    starter.join();
    EXPECT_TRUE(prompt) << "the start waited on the pipe";
    EXPECT_TRUE(unopened) << "the start opened the pipe";
    const Json::Value parsed = answer.get();
    EXPECT_EQ(parsed["code"], row.code);
    EXPECT_EQ(parsed["message"], row.message + fifo);
  }
}

#else

// A named pipe at the audio or model path, its server listening, is refused
// at once by its name: even a look at a pipe's attributes connects to it.
// The server then finds no client connected.
TEST(ConvertTaskStart, RefusesNamedPipesAtOnce) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const std::string name = "pipe\\" + dir.path().filename().string();
  const struct {
    std::string path;
    bool audioIsPipe;
    int code;
    const char* message;
  } kRows[] = {
      {"\\\\.\\" + name, true, 2, "audio file is not a regular file: "},
      {"\\\\?\\" + name, false, 4, "model file is not a regular file: "},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.path);
    const HANDLE server = CreateNamedPipeA(
        ("\\\\.\\" + name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();
    const std::string request = row.audioIsPipe
                                    ? RequestText(row.path, dir.modelPath())
                                    : RequestText(audio, row.path);
    std::future<Json::Value> answer = std::async(
        std::launch::async, [&request] { return StartOnce(request.c_str()); });
    const bool prompt =
        answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // A connection that comes only now tells that no client came meanwhile,
    // not even one that has gone again.
    OVERLAPPED overlapped{};
    const bool unconnected = !ConnectNamedPipe(server, &overlapped) &&
                             GetLastError() == ERROR_IO_PENDING;
    if (unconnected) {
      CancelIo(server);
      DWORD ignored = 0;
      GetOverlappedResult(server, &overlapped, &ignored, TRUE);
    }
    CloseHandle(server);
    EXPECT_TRUE(prompt) << "the start waited on the pipe";
    EXPECT_TRUE(unconnected) << "the start connected to the pipe";
    const Json::Value parsed = answer.get();
    EXPECT_EQ(parsed["code"], row.code);
    EXPECT_EQ(parsed["message"], row.message + row.path);
  }
}

#endif

// Paths that name no plain file of the test's own, each at the audio path,
// then at the model path. A device must not even be looked at: the look
// refuses it, which is all that tells that it was not opened. Nor does a
// file object that opened nothing close anything when it goes, descriptor 0
// included. The Windows rows name devices in their every form, and last
// names that only resemble a device's.
TEST(ConvertTaskStart, ReportsPathsNobodyControls) {
  using Kind = kestrovandil::CInputFile::PathInfo::Kind;
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const std::string device = "audio file is not a regular file: ";
  const std::string modelDevice = "model file is not a regular file: ";
#if !defined(_WIN32)
  const std::string loop = (dir.path() / "loop").string();
  std::filesystem::create_symlink(loop, loop);
#endif
  HoldDescriptorZero();
  const struct {
    std::string path;
    Kind look;
    std::string audioMessage;
    std::string modelMessage;
  } kRows[] = {
#if defined(_WIN32)
    {"nul", Kind::kOther, device, modelDevice},
    {"NUL.txt", Kind::kOther, device, modelDevice},
    {"folder\\com1.wav", Kind::kOther, device, modelDevice},
    {"CON ", Kind::kOther, device, modelDevice},
    {(dir.path() / "Aux .log. ").string(), Kind::kOther, device, modelDevice},
    {"lpt\xC2\xB9:", Kind::kOther, device, modelDevice},
    {"C:CONOUT$", Kind::kOther, device, modelDevice},
    {"\\\\.\\pipe\\name", Kind::kOther, device, modelDevice},
    {"//./pipe/name", Kind::kOther, device, modelDevice},
    {"\\\\.\\C:", Kind::kOther, device, modelDevice},
    {"\\\\?\\GLOBALROOT\\Device\\Null", Kind::kOther, device, modelDevice},
    {"\\\\localhost\\PIPE\\name", Kind::kOther, device, modelDevice},
    {"\\\\?\\UNC\\localhost\\mailslot\\name", Kind::kOther, device,
     modelDevice},
    {(dir.path() / "com0.wav").string(), Kind::kNotFound,
     "audio file not found: ", "model file not found: "},
    {(dir.path() / "console").string(), Kind::kNotFound,
     "audio file not found: ", "model file not found: "},
#else
    {"/dev/null", Kind::kOther, device, modelDevice},
    {"/proc/self/mem", Kind::kRegular,
     "audio file cannot be read: ", "model file is empty: "},
    {loop, Kind::kFailed,
     "audio file cannot be opened: ", "model file cannot be read: "},
    // Write-only even for root: the look sees a file, the open fails with
    // EACCES (on Windows, see the locked file of CInputFile's test).
    {"/proc/sys/vm/drop_caches", Kind::kRegular,
     "audio file cannot be opened: ", "model file cannot be read: "},
#endif
    // Through a regular file: ENOTDIR on POSIX.
    {audio + "/x", Kind::kNotFound,
     "audio file not found: ", "model file not found: "},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.path);
    const std::vector<int> held = OpenDescriptors();
    EXPECT_EQ(kestrovandil::CInputFile::Look(row.path).kind, row.look);
    const Json::Value atAudio =
        StartOnce(RequestText(row.path, dir.modelPath()).c_str());
    EXPECT_EQ(atAudio["code"], 2);
    EXPECT_EQ(atAudio["message"], row.audioMessage + row.path);
    const Json::Value atModel = StartOnce(RequestText(audio, row.path).c_str());
    EXPECT_EQ(atModel["code"], 4);
    EXPECT_EQ(atModel["message"], row.modelMessage + row.path);
    EXPECT_EQ(OpenDescriptors(), held);
  }
}

// jsoncpp reports a failed allocation of its own as Json::RuntimeError. Each
// allocation of a start fails in turn, thrown that way, and every one of
// them must come back as the internal error, never as a bad request, and
// leave the task "failed", with the progress it had reached: the last ones
// come once all the audio is read, in writing the result.
TEST(ConvertTaskStart, ReportsAFailedAllocationAsInternalError) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const struct {
    std::string request;
    int code;         // once nothing fails
    double progress;  // after the last failure
  } kRows[] = {
      {RequestText("missing.wav", "missing.bin"), 2, 0.0},
      {RequestText(audio, dir.modelPath()), 0, 1.0},
  };
  const TaskPtr task = MakeTask();
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.request);
    std::size_t failures = 0;
    Json::Value status;
    for (std::size_t n = 1;; ++n) {
      SCOPED_TRACE(n);
      SetAllocationFailureException(std::make_exception_ptr(Json::RuntimeError(
          "in Json::Value::duplicateStringValue(): Failed to allocate string "
          "value buffer")));
      FailNthAllocation(n);
      const char* text = ConvertTaskStart(task.get(), row.request.c_str());
      const bool failed = AllocationFailureHappened();
      CancelAllocationFailure();
      const std::string result = text;
      if (!failed) {
        EXPECT_EQ(ParseText(result.c_str())["code"], row.code);
        break;
      }
      ++failures;
      EXPECT_EQ(result, R"({"code":7,"data":"","message":"internal error"})");
      status = ParseText(ConvertTaskStatus(task.get(), ""));
      EXPECT_EQ(status["state"], "failed");
    }
    EXPECT_GT(failures, 10u);
    EXPECT_EQ(status["progress"], row.progress);
  }
  // And a status call that runs out of memory is one too.
  FailNthAllocation(1);
  const std::string status = ConvertTaskStatus(task.get(), "");
  CancelAllocationFailure();
  EXPECT_TRUE(AllocationFailureHappened());
  EXPECT_EQ(status, R"({"code":7,"message":"internal error"})");
}

// A task keeps one start result, not one per start, and a released task
// leaves nothing behind; no start leaves a file open.
TEST(ConvertTaskApi, ManyStartsAndTasksKeepMemoryFlat) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const std::string request = RequestText(audio, dir.modelPath());
  const TaskPtr task = MakeTask();
  const struct {
    const char* name;
    std::function<void()> use;
    int times = 2000;  // fewer where each opens files, slow under Wine
  } kRows[] = {
      {"a start on one task",
       [&task] {
         EXPECT_EQ(ParseText(ConvertTaskStart(task.get(), "{}"))["code"], 1);
       }},
      {"a task created, started and released",
       [] {
         const TaskPtr fresh = MakeTask();
         EXPECT_EQ(ParseText(ConvertTaskStart(fresh.get(), "{}"))["code"], 1);
       }},
      {"a start that reads both files",
       [&task, &request] {
         EXPECT_EQ(
             ParseText(ConvertTaskStart(task.get(), request.c_str()))["code"],
             0);
       },
       300},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    for (int i = 0; i < 10; ++i) row.use();
    const std::ptrdiff_t before = LiveAllocations();
    for (int i = 0; i < row.times; ++i) row.use();
    EXPECT_EQ(LiveAllocations(), before);
  }
  EXPECT_FALSE(HeldOpen(audio));
  EXPECT_FALSE(HeldOpen(dir.modelPath()));
}

}  // namespace
