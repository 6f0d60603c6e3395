#include "kestrovandil/CConversionTask.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "kestrovandil/AudioSource.h"
#include "kestrovandil/CStatus.h"
#include "kestrovandil/ModelFile.h"
#include "kestrovandil/RequestParser.h"
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

// The conversion proper: the request, then the files, then the audio's
// samples. The model is checked before the audio is read, which for a large
// file is the long part that progress reports on, so a missing model is
// known at once.
CStatus Convert(const char* requestText, const AudioOpener& openAudio,
                const ProgressCallback& onProgress, WavFormat& format) {
  StartRequest request;
  if (CStatus status = ParseRequest(requestText, request); !status.ok()) {
    return status;
  }
  AudioInput audio;
  if (CStatus status = openAudio(request.filePath, audio); !status.ok()) {
    return status;
  }
  if (CStatus status = CheckModelFile(request.modelPath); !status.ok()) {
    return status;
  }
  return ReadWav(*audio.stream, audio.size, request.filePath, onProgress,
                 format);
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
  // Rounded down, as the status is, so that a share below 1 stays below.
  const auto millionths = static_cast<std::uint64_t>(
      StepsIn(std::clamp(snapshot.progress, 0.0, 1.0), kProgressScale));
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

  WavFormat format;
  const CStatus outcome = Convert(
      request, openAudio_,
      [this](double fraction) {
        Publish({TaskState::kConverting, fraction});
      },
      format);
  startResult_ = outcome.ok() ? SuccessText(format) : FailureText(outcome);
  Publish(
      {outcome.ok() ? TaskState::kDone : TaskState::kFailed, Load().progress});
  return startResult_.c_str();
}

const char* CConversionTask::Status() {
  const Snapshot snapshot = Load();
  statusText_ = StatusText(StateName(snapshot.state), snapshot.progress);
  return statusText_.c_str();
}

}  // namespace kestrovandil
