#include "driver/ConversionRun.h"

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "driver/ConversionRequest.h"
#include "driver/ConvertTask.h"
#include "json/CJsonObj.h"
#include "json/TextEncoding.h"

namespace {

// The worker: hands the request to the library and raises the completion
// flag on every path, so the main thread never waits forever. A failure
// reaches the main thread through `failure`, written before the flag.
void SendRequest(const TaskHandle& task, std::atomic<bool>& completed,
                 std::exception_ptr& failure) noexcept {
  std::optional<CJsonObj> request;
  try {
    request.emplace(BuildConversionRequest());
    const std::string text = request->ToJsonText();
    ConvertTaskStart(task, text.c_str());
  } catch (...) {
    failure = std::current_exception();
  }
  completed.store(true);
}

// The task, released when the run ends, whichever way it ends. Declared
// before the worker, which is joined first, so that no call on the task is
// in progress when it goes.
class CTask {
 public:
  CTask() : handle_(ConvertTaskCreate()) {}
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;
  ~CTask() { ConvertTaskRelease(handle_); }

  [[nodiscard]] const TaskHandle& handle() const noexcept { return handle_; }

 private:
  const TaskHandle handle_;
};

void ReportFailure(std::ostream& err, std::string_view context,
                   const std::exception_ptr& failure) noexcept {
  try {
    err << "conversion-driver: " << context << ": ";
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& error) {
      err << error.what();
    } catch (...) {
      err << "unknown error";
    }
    err << std::endl;
  } catch (...) {
    // The error stream itself has failed; the exit status still tells.
  }
}

}  // namespace

int RunConversion(std::ostream& out, std::ostream& err,
                  const std::function<void()>& waitOnePoll) {
  std::atomic<bool> completed{false};
  const CTask task;
  CJsonObj result;
  std::exception_ptr workerFailure;
  // Joined by its destructor on every early return, after the worker has
  // left the library: then the task is released.
  std::jthread worker;
  try {
    worker = std::jthread(SendRequest, std::cref(task.handle()),
                          std::ref(completed), std::ref(workerFailure));
  } catch (...) {
    ReportFailure(err, "cannot start the conversion worker",
                  std::current_exception());
    return 1;
  }

  try {
    while (!completed.load()) {
      waitOnePoll();
      ConvertTaskStatus(task.handle(), "");
    }
    worker.join();
    if (workerFailure) {
      ReportFailure(err, "cannot send the conversion request", workerFailure);
      return 1;
    }
    const std::string line = WideToAnsi(result["data"].ToString());
    if (!(out << line.c_str() << '\n' << std::flush)) {
      throw std::runtime_error("cannot write to standard output");
    }
  } catch (...) {
    ReportFailure(err, "the conversion run failed", std::current_exception());
    return 1;
  }
  return 0;
}
