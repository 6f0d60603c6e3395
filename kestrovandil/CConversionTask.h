#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

#include "kestrovandil/AudioSource.h"

namespace kestrovandil {

enum class TaskState : std::uint8_t { kIdle, kConverting, kDone, kFailed };

// One conversion task. It has no thread of its own: Start runs a conversion
// on the caller's thread, and Status may look at it from another thread
// meanwhile. Only the state and the progress are shared between the two, as
// one atomic; each returned text is written by one kind of call only.
// Not copyable: handed out by address.
class CConversionTask {
 public:
  // Reads its audio files through openAudio.
  explicit CConversionTask(AudioOpener openAudio = OpenAudioFile)
      : openAudio_(std::move(openAudio)) {}
  CConversionTask(const CConversionTask&) = delete;
  CConversionTask& operator=(const CConversionTask&) = delete;

  // Runs one conversion of the request text (may be null) and returns its
  // result text, valid until the next start on this task or the task's
  // destruction. A start while another runs on this task is refused at once
  // with a static busy text, which leaves the running start's result alone.
  // Throws only when memory or the runtime fails; the task is then "failed".
  [[nodiscard]] const char* Start(const char* request);

  // The state and progress as text, valid until the next Status call or the
  // task's destruction. REQUIRES: no other Status call runs on this task.
  [[nodiscard]] const char* Status();

 private:
  class CRunGuard;

  // The state and the progress, published together so that a status never
  // pairs one run's state with another run's progress.
  struct Snapshot {
    TaskState state;
    double progress;
  };
  void Publish(Snapshot snapshot) noexcept;
  [[nodiscard]] Snapshot Load() const noexcept;

  std::atomic<bool> running_{false};
  // The state above 32 bits of progress in millionths.
  std::atomic<std::uint64_t> snapshot_{0};
  const AudioOpener openAudio_;
  // Written only by the start that holds running_.
  std::string startResult_;
  // Written only by Status.
  std::string statusText_;
};

}  // namespace kestrovandil
