#include "driver/ConversionRun.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
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

constexpr std::chrono::milliseconds kPollInterval{1000};

void WaitOnePollInterval() {
#ifdef _WIN32
  Sleep(static_cast<DWORD>(kPollInterval.count()));
#else
  std::this_thread::sleep_for(kPollInterval);
#endif
}

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

// Waits until the worker has left the library, then joins it; joining a
// joinable thread from another thread does not fail.
void AwaitWorker(std::thread& worker,
                 const std::atomic<bool>& completed) noexcept {
  while (!completed.load()) WaitOnePollInterval();
  if (worker.joinable()) worker.join();
}

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

int RunConversion(std::ostream& out, std::ostream& err) {
  std::atomic<bool> completed{false};
  TaskHandle task = ConvertTaskCreate();
  CJsonObj result;
  std::exception_ptr workerFailure;
  std::thread worker;
  try {
    worker = std::thread(SendRequest, std::cref(task), std::ref(completed),
                         std::ref(workerFailure));
  } catch (...) {
    ConvertTaskRelease(task);
    ReportFailure(err, "cannot start the conversion worker",
                  std::current_exception());
    return 1;
  }

  try {
    while (!completed.load()) {
      WaitOnePollInterval();
      ConvertTaskStatus(task, "");
    }
    worker.join();
    if (workerFailure) {
      ConvertTaskRelease(task);
      ReportFailure(err, "cannot send the conversion request", workerFailure);
      return 1;
    }
    const std::string line = WideToAnsi(result["data"].ToString());
    if (!(out << line.c_str() << '\n' << std::flush)) {
      throw std::runtime_error("cannot write to standard output");
    }
  } catch (...) {
    AwaitWorker(worker, completed);
    ConvertTaskRelease(task);
    ReportFailure(err, "the conversion run failed", std::current_exception());
    return 1;
  }

  ConvertTaskRelease(task);
  return 0;
}
