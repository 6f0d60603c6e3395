#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include <json/value.h>

#include "driver/ConvertTask.h"

// Shared helpers of the conversion-task tests: owned task handles, files in
// a private temporary directory, request texts and parsed result texts.

using TaskPtr = std::unique_ptr<ConvertTask, decltype(&ConvertTaskRelease)>;

// A new task, released when the pointer goes.
[[nodiscard]] TaskPtr MakeTask();

// The text parsed as strict JSON; a test failure and null when it is not.
[[nodiscard]] Json::Value ParseText(const char* text);

// A compact JSON request with the four members.
[[nodiscard]] std::string RequestText(const std::string& filePath,
                                      const std::string& modelPath,
                                      const std::string& lang = "zh",
                                      const std::string& prompt = "");

// A request of exactly size bytes, padded by its prompt, whose audio file
// does not exist.
[[nodiscard]] std::string RequestOfSize(std::size_t size);

// The parsed result of one start on a new task.
[[nodiscard]] Json::Value StartOnce(const char* request);

// Polls until the condition holds or a generous deadline passes.
[[nodiscard]] bool WaitFor(
    const std::function<bool()>& condition,
    std::chrono::seconds deadline = std::chrono::seconds(60));

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes. Holds a usable model file of one
// byte.
class CTestDir {
 public:
  CTestDir();
  CTestDir(const CTestDir&) = delete;
  CTestDir& operator=(const CTestDir&) = delete;
  ~CTestDir();

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // Writes the bytes to a file of that name; its full path as text.
  std::string Write(const std::string& name, std::string_view bytes) const;
  [[nodiscard]] const std::string& modelPath() const { return modelPath_; }

 private:
  std::filesystem::path path_;
  std::string modelPath_;
};

#if !defined(_WIN32)
// The writing end of a named pipe that a task reads as its audio file: the
// test decides when each byte arrives, and so where the conversion stands.
class CFifoWriter {
 public:
  explicit CFifoWriter(std::filesystem::path path);  // makes the pipe
  CFifoWriter(const CFifoWriter&) = delete;
  CFifoWriter& operator=(const CFifoWriter&) = delete;
  ~CFifoWriter();  // closes, so a waiting reader sees the end

  // Opens once a reader has opened the other end; false when none came.
  [[nodiscard]] bool Open();
  void Write(std::string_view bytes);
  void Close();

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

// A writer blocked in a plain open of an existing FIFO, as any program that
// writes to one waits there until a reader opens it: whether it still waits
// tells whether anything opened the FIFO meanwhile.
class CWaitingFifoWriter {
 public:
  explicit CWaitingFifoWriter(std::filesystem::path fifo);
  CWaitingFifoWriter(const CWaitingFifoWriter&) = delete;
  CWaitingFifoWriter& operator=(const CWaitingFifoWriter&) = delete;
  ~CWaitingFifoWriter();  // opens a reader itself to release the writer

  // Whether the writer's thread is blocked in its open: false once it has
  // left it, and before it has reached it.
  [[nodiscard]] bool WaitsInOpen() const;

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  int threadId_ = 0;
  std::thread thread_;
};
#endif
