#include "kestrovandil/CConversionTask.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "kestrovandil/ConversionRequest.h"
#include "kestrovandil/InputFiles.h"
#include "kestrovandil/ResultText.h"
#include "kestrovandil/WavReader.h"

namespace kestrovandil {
namespace {

std::string_view StateName(TaskState state) {
  switch (state) {
    case TaskState::kIdle:
      return "idle";
    case TaskState::kConverting:
      return "converting";
    case TaskState::kDone:
      return "done";
    case TaskState::kFailed:
      break;
  }
  return "failed";
}

struct Outcome {
  ResultCode code = ResultCode::kOk;
  std::string message;
  WavFormat format;
};

Outcome Failure(ResultCode code, std::string message) {
  return {code, std::move(message), {}};
}

// The conversion proper: the request, then the audio, then the model. The
// audio comes first because reading it is the long part that progress
// reports on.
Outcome Convert(const char* requestText, const ProgressCallback& onProgress) {
  RequestParseResult parsed = ParseRequest(requestText);
  if (!parsed.request) {
    return Failure(ResultCode::kBadRequest, "bad request: " + parsed.error);
  }
  const ConversionRequest& request = *parsed.request;

  std::ifstream audio;
  if (std::optional<std::string> problem =
          OpenAudioFile(request.filePath, audio)) {
    return Failure(ResultCode::kAudioUnreadable, std::move(*problem));
  }
  WavReadResult wav = ReadWav(audio, onProgress);
  if (wav.error == WavError::kReadFailed) {
    return Failure(ResultCode::kAudioUnreadable,
                   "audio file cannot be read: " + request.filePath);
  }
  if (wav.error == WavError::kInvalidFormat) {
    return Failure(ResultCode::kAudioFormatInvalid,
                   "audio format invalid: " + wav.detail);
  }

  if (std::optional<std::string> problem = CheckModelFile(request.modelPath)) {
    return Failure(ResultCode::kModelUnreadable, std::move(*problem));
  }
  return {ResultCode::kOk, {}, wav.format};
}

}  // namespace

// Ends a run however Start leaves it, by an exception too, so that the task
// never stays busy or "converting".
class CConversionTask::CRunGuard {
 public:
  explicit CRunGuard(CConversionTask& task) : task_(task) {}
  CRunGuard(const CRunGuard&) = delete;
  CRunGuard& operator=(const CRunGuard&) = delete;
  ~CRunGuard() {
    // Only this run publishes while it holds running_, so load and store
    // cannot interleave with another writer.
    const Snapshot last = task_.Load();
    if (last.state == TaskState::kConverting) {
      task_.Publish({TaskState::kFailed, last.progress});
    }
    task_.running_.store(false, std::memory_order_release);
  }

 private:
  CConversionTask& task_;
};

namespace {
constexpr double kProgressScale = 1e6;
}  // namespace

void CConversionTask::Publish(Snapshot snapshot) noexcept {
  const auto millionths = static_cast<std::uint64_t>(
      std::lround(std::clamp(snapshot.progress, 0.0, 1.0) * kProgressScale));
  snapshot_.store(static_cast<std::uint64_t>(snapshot.state) << 32 |
                  millionths);
}

CConversionTask::Snapshot CConversionTask::Load() const noexcept {
  const std::uint64_t packed = snapshot_.load();
  return {static_cast<TaskState>(packed >> 32),
          static_cast<double>(packed & 0xFFFFFFFFu) / kProgressScale};
}

const char* CConversionTask::Start(const char* request) {
  bool idle = false;
  if (!running_.compare_exchange_strong(idle, true,
                                        std::memory_order_acquire)) {
    return kBusyStartText;
  }
  const CRunGuard guard(*this);
  Publish({TaskState::kConverting, 0.0});

  const Outcome outcome = Convert(request, [this](double fraction) {
    Publish({TaskState::kConverting, fraction});
  });
  startResults_.push_back(outcome.code == ResultCode::kOk
                              ? SuccessText(outcome.format)
                              : FailureText(outcome.code, outcome.message));
  Publish(
      {outcome.code == ResultCode::kOk ? TaskState::kDone : TaskState::kFailed,
       Load().progress});
  return startResults_.back().c_str();
}

const char* CConversionTask::Status() {
  const Snapshot snapshot = Load();
  statusText_ = StatusText(StateName(snapshot.state), snapshot.progress);
  return statusText_.c_str();
}

}  // namespace kestrovandil
