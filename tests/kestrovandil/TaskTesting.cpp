#include "TaskTesting.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/syscall.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <ios>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include "driver/ConvertTask.h"

TaskPtr MakeTask() { return TaskPtr(ConvertTaskCreate(), &ConvertTaskRelease); }

Json::Value ParseText(const char* text) {
  Json::Value value;
  if (text == nullptr) {
    ADD_FAILURE() << "null text";
    return value;
  }
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(text, text + std::strlen(text), &value, &errors)) {
    ADD_FAILURE() << "not JSON: " << text << "\n" << errors;
  }
  return value;
}

std::string RequestText(const std::string& filePath,
                        const std::string& modelPath, const std::string& lang,
                        const std::string& prompt) {
  Json::Value request;
  request["file_path"] = filePath;
  request["model_path"] = modelPath;
  request["lang"] = lang;
  request["prompt"] = prompt;
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, request);
}

std::string RequestOfSize(std::size_t size) {
  const std::string bare = RequestText("missing.wav", "missing.bin");
  return RequestText("missing.wav", "missing.bin", "zh",
                     std::string(size - bare.size(), 'x'));
}

Json::Value StartOnce(const char* request) {
  const TaskPtr task = MakeTask();
  return ParseText(ConvertTaskStart(task.get(), request));
}

bool WaitFor(const std::function<bool()>& condition,
             std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

CTestDir::CTestDir() {
  std::random_device random;
  do {
    path_ = std::filesystem::temp_directory_path() /
            ("kestrovandil-test-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
  modelPath_ = Write("model.bin", "m");
}

CTestDir::~CTestDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string CTestDir::Write(const std::string& name,
                            std::string_view bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream(file, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file.string();
}

#if !defined(_WIN32)
CFifoWriter::CFifoWriter(std::filesystem::path path) : path_(std::move(path)) {
  if (mkfifo(path_.c_str(), 0600) != 0) {
    ADD_FAILURE() << "mkfifo: " << std::strerror(errno);
  }
}

CFifoWriter::~CFifoWriter() { Close(); }

// Non-blocking, because a plain open would wait for ever for a reader that
// a faulty task never brings.
bool CFifoWriter::Open() {
  const bool opened = WaitFor([this] {
    fd_ = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    return fd_ >= 0;
  });
  if (opened) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  return opened;
}

void CFifoWriter::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ADD_FAILURE() << "write: " << std::strerror(errno);
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void CFifoWriter::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

CWaitingFifoWriter::CWaitingFifoWriter(std::filesystem::path fifo)
    : path_(std::move(fifo)) {
  std::promise<int> started;
  std::future<int> threadId = started.get_future();
  thread_ = std::thread([this, &started] {
    started.set_value(gettid());
    fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  });
  threadId_ = threadId.get();
}

CWaitingFifoWriter::~CWaitingFifoWriter() {
  const int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (reader < 0) ADD_FAILURE() << "open: " << std::strerror(errno);
  thread_.join();
  if (reader >= 0) close(reader);
  if (fd_ >= 0) close(fd_);
}

// The kernel shows the system call that a blocked thread is in, and
// "running" for a thread that is not blocked, such as one just woken.
bool CWaitingFifoWriter::WaitsInOpen() const {
  const std::string file =
      "/proc/self/task/" + std::to_string(threadId_) + "/syscall";
  std::string call;
  const bool settled = WaitFor([&] {
    call.clear();
    std::ifstream(file) >> call;
    return call != "running";
  });
  return settled && call == std::to_string(SYS_openat);
}
#endif
