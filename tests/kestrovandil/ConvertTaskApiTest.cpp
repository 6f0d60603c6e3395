#include "kestrovandil/ConvertTaskApi.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ios>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>  // prints values in failure messages

#include "TaskTesting.h"
#include "WavBytes.h"
#include "kestrovandil/CConversionTask.h"
#include "kestrovandil/CStatus.h"
#include "kestrovandil/InputFiles.h"

namespace {

// The request that the conversion driver sends, byte for byte.
constexpr char kDriverRequest[] =
    R"({"file_path":"D:\\Common\\Destkop\\test.wav","lang":"zh",)"
    R"("model_path":"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\ggml-base.bin",)"
    R"("prompt":""})";
static_assert(sizeof(kDriverRequest) == 152 + 1);

TEST(ConvertTaskStart, RejectsBadRequests) {
  const std::string deep = std::string(5000, '[') + std::string(5000, ']');
  const std::string overLimit = RequestOfSize(1024 * 1024 + 1);
  const char kNulInPath[] =
      R"({"file_path":"a.wav\u0000b","model_path":"m","lang":"zh","prompt":""})";
  const struct {
    const char* request;
    const char* message;
  } kRows[] = {
      {nullptr, "no request text"},
      {"", "not a JSON text"},
      {"file_path=a.wav", "not a JSON text"},
      {R"({"file_path":"a.wav",)", "not a JSON text"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":""} x)",
       "not a JSON text"},
      {R"({"file_path":"a","file_path":"b","model_path":"m","lang":"zh","prompt":""})",
       "not a JSON text"},
      {deep.c_str(), "nested deeper than 64 levels"},
      {overLimit.c_str(), "longer than 1048576 bytes"},
      {"[]", "not a JSON object"},
      {"42", "not a JSON object"},
      {R"("text")", "not a JSON object"},
      {"null", "not a JSON object"},
      {"{}", R"("file_path" is missing)"},
      {R"({"file_path":"a","lang":"zh","prompt":""})",
       R"("model_path" is missing)"},
      {R"({"file_path":"a","model_path":"m","prompt":""})",
       R"("lang" is missing)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh"})",
       R"("prompt" is missing)"},
      {R"({"file_path":3,"model_path":"m","lang":"zh","prompt":""})",
       R"("file_path" is not a string)"},
      {R"({"file_path":"a","model_path":{},"lang":"zh","prompt":""})",
       R"("model_path" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":null,"prompt":""})",
       R"("lang" is not a string)"},
      {R"({"file_path":"a","model_path":"m","lang":"zh","prompt":[]})",
       R"("prompt" is not a string)"},
      {kNulInPath, R"("file_path" contains a NUL character)"},
      {"{\"file_path\":\"a\xC3\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("file_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"\xC0\xAF\",\"lang\":\"zh\","
       "\"prompt\":\"\"}",
       R"("model_path" is not valid UTF-8)"},
      {"{\"file_path\":\"a\",\"model_path\":\"m\",\"lang\":\"zh\","
       "\"prompt\":\"\xED\xA0\x80\"}",
       R"("prompt" is not valid UTF-8)"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.request ? std::string(row.request).substr(0, 80) : "null");
    const TaskPtr task = MakeTask();
    const Json::Value result =
        ParseText(ConvertTaskStart(task.get(), row.request));
    EXPECT_EQ(result["code"], 1);
    EXPECT_EQ(result["message"], std::string("bad request: ") + row.message);
    EXPECT_EQ(result["data"], "");
    const Json::Value status = ParseText(ConvertTaskStatus(task.get(), ""));
    EXPECT_EQ(status["state"], "failed");
    EXPECT_EQ(status["progress"], 0.0);
  }
}

TEST(ConvertTaskStart, ReportsUnusableInputFiles) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kPcm, 1, 16000, 16, 160));
  const std::string folder = dir.path().string();
  const std::string empty = dir.Write("empty.bin", "");
  const std::string missing = (dir.path() / "missing.bin").string();
  const std::string noise = dir.Write("noise.wav", "not a WAVE file");
  const struct {
    std::string request;
    int code;
    std::string message;
  } kRows[] = {
      {kDriverRequest, 2,
       R"(audio file not found: D:\Common\Destkop\test.wav)"},
      {RequestText("", dir.modelPath()), 2, "audio file not found: "},
      {RequestText(missing, dir.modelPath()), 2,
       "audio file not found: " + missing},
      {RequestText(folder, dir.modelPath()), 2,
       "audio file is a directory: " + folder},
      {RequestText(audio, missing), 4, "model file not found: " + missing},
      // The model is checked before the audio is read.
      {RequestText(noise, missing), 4, "model file not found: " + missing},
      {RequestText(audio, empty), 4, "model file is empty: " + empty},
      {RequestText(audio, folder), 4,
       "model file is not a regular file: " + folder},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.message);
    const Json::Value result = StartOnce(row.request.c_str());
    EXPECT_EQ(result["code"], row.code);
    EXPECT_EQ(result["message"], row.message);
    EXPECT_EQ(result["data"], "");
  }
}

TEST(ConvertTaskStart, WritesCompactText) {
  const TaskPtr task = MakeTask();
  EXPECT_STREQ(
      ConvertTaskStart(task.get(), kDriverRequest),
      R"({"code":2,"data":"",)"
      R"("message":"audio file not found: D:\\Common\\Destkop\\test.wav"})");
}

TEST(ConvertTaskApi, AcceptsNullHandles) {
  const char kStart[] =
      R"({"code":6,"data":"","message":"no task: the handle is null"})";
  const char kStatus[] =
      R"({"code":6,"message":"no task: the handle is null"})";
  EXPECT_STREQ(ConvertTaskStart(nullptr, kDriverRequest), kStart);
  EXPECT_STREQ(ConvertTaskStart(nullptr, nullptr), kStart);
  EXPECT_STREQ(ConvertTaskStatus(nullptr, ""), kStatus);
  EXPECT_STREQ(ConvertTaskStatus(nullptr, nullptr), kStatus);
  ConvertTaskRelease(nullptr);
}

TEST(ConvertTaskStatus, IgnoresTheQuery) {
  const TaskPtr task = MakeTask();
  ASSERT_NE(task, nullptr);
  for (const char* query : {"", static_cast<const char*>(nullptr), "garbage",
                            R"({"state":"done"})"}) {
    SCOPED_TRACE(query == nullptr ? "null" : query);
    EXPECT_STREQ(ConvertTaskStatus(task.get(), query),
                 R"({"code":0,"progress":0.0,"state":"idle"})");
  }
}

// Each start result is read again after a status call, so a task that
// reused or freed it before the next start fails here, under ASan above all.
TEST(ConvertTaskStart, ResultLivesUntilTheNextStart) {
  const CTestDir dir;
  const std::string audio =
      dir.Write("audio.wav", WavFile(kFloat, 1, 8000, 32, 4000));
  const TaskPtr task = MakeTask();
  const struct {
    std::string request;
    int code;
    const char* state;
  } kRuns[] = {
      {kDriverRequest, 2, "failed"},
      {RequestText(audio, dir.modelPath()), 0, "done"},
      {"not json", 1, "failed"},
      {RequestText(audio, dir.modelPath(), "en", "a prompt"), 0, "done"},
      {RequestOfSize(1024 * 1024), 2, "failed"},
  };
  for (const auto& run : kRuns) {
    SCOPED_TRACE(run.request.substr(0, 80));
    const char* result = ConvertTaskStart(task.get(), run.request.c_str());
    const std::string copy = result;
    const char* status = ConvertTaskStatus(task.get(), "");
    EXPECT_EQ(ParseText(status)["state"], run.state);
    EXPECT_EQ(result, copy);
    EXPECT_EQ(ParseText(result)["code"], run.code);
  }
}

#if !defined(_WIN32)

// A start whose audio comes through a pipe that the test feeds: the
// conversion runs exactly as long as the test wants.
class ConvertTaskRunning : public ::testing::Test {
 protected:
  // The library refuses anything but a regular file; a stream opened on the
  // pipe stands in for a file whose reading takes as long as the test wants.
  static kestrovandil::CStatus OpenPipe(const std::string& path,
                                        kestrovandil::AudioInput& audio) {
    audio.stream = std::make_unique<std::ifstream>(path, std::ios::binary);
    return {};
  }

  static constexpr std::uint32_t kFrames = 131072;  // four 64 KiB blocks
  static constexpr std::size_t kHeaderSize = 44;
  static constexpr std::size_t kBlock = 65536;

  void StartConversion() {
    request_ = RequestText(fifo_.string(), dir_.modelPath());
    starter_ =
        std::jthread([this] { result_ = task_.Start(request_.c_str()); });
    ASSERT_TRUE(writer_.Open());
  }

  Json::Value Status() { return ParseText(task_.Status()); }

  bool WaitForProgress(double progress) {
    return WaitFor([&] { return Status()["progress"] == progress; });
  }

  const CTestDir dir_;
  const std::filesystem::path fifo_ = dir_.path() / "audio.wav";
  const std::string wav_ = WavFile(kPcm, 1, 16000, 16, kFrames);
  kestrovandil::CConversionTask task_{OpenPipe};
  std::string request_;
  const char* result_ = nullptr;
  // The writer comes after the thread, so that on an early exit it closes
  // first, the start sees the end of its audio, and the join returns.
  std::jthread starter_;
  CFifoWriter writer_{fifo_};
};

TEST_F(ConvertTaskRunning, RefusesASecondStart) {
  ASSERT_NO_FATAL_FAILURE(StartConversion());
  writer_.Write(wav_.substr(0, kHeaderSize + kBlock));
  ASSERT_TRUE(WaitForProgress(0.25));
  std::thread([this] {
    EXPECT_STREQ(
        task_.Start(request_.c_str()),
        R"({"code":5,"data":"",)"
        R"("message":"busy: a conversion is already running on this task"})");
  }).join();
  EXPECT_EQ(Status()["state"], "converting");
  writer_.Write(wav_.substr(kHeaderSize + kBlock));
  writer_.Close();
  starter_.join();
  const Json::Value result = ParseText(result_);
  EXPECT_EQ(result["code"], 0);
  EXPECT_DOUBLE_EQ(result["duration"].asDouble(), 8.192);
}

TEST_F(ConvertTaskRunning, ReportsProgressMeanwhile) {
  ASSERT_NO_FATAL_FAILURE(StartConversion());
  EXPECT_EQ(Status()["state"], "converting");
  EXPECT_EQ(Status()["progress"], 0.0);
  writer_.Write(wav_.substr(0, kHeaderSize));
  for (const double progress : {0.25, 0.5, 0.75}) {
    SCOPED_TRACE(progress);
    writer_.Write(wav_.substr(kHeaderSize, kBlock));
    EXPECT_TRUE(WaitForProgress(progress));
    EXPECT_EQ(Status()["state"], "converting");
  }
  writer_.Write(wav_.substr(kHeaderSize, kBlock));
  writer_.Close();
  starter_.join();
  EXPECT_EQ(ParseText(result_)["code"], 0);
  const Json::Value status = Status();
  EXPECT_EQ(status["state"], "done");
  EXPECT_EQ(status["progress"], 1.0);
}

// A pipe closed before the data is complete is a truncated file.
TEST_F(ConvertTaskRunning, FailsWhenTheAudioEndsEarly) {
  ASSERT_NO_FATAL_FAILURE(StartConversion());
  writer_.Write(wav_.substr(0, kHeaderSize + kBlock + 1000));
  writer_.Close();
  starter_.join();
  EXPECT_EQ(ParseText(result_)["message"],
            "audio format invalid: data chunk is truncated: "
            "262144 bytes declared, 66536 present");
  const Json::Value status = Status();
  EXPECT_EQ(status["state"], "failed");
  EXPECT_EQ(status["progress"], 0.25);
}

#endif

}  // namespace
