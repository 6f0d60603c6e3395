#pragma once

#include <string>
#include <utility>

namespace kestrovandil {

// The "code" of every text the library returns.
enum class ResultCode {
  kOk = 0,
  kBadRequest = 1,
  kAudioUnreadable = 2,
  kAudioFormatInvalid = 3,
  kModelUnreadable = 4,
  kBusy = 5,
  kNullHandle = 6,
  kInternalError = 7,
};

// How a step of a conversion ended: success, or a result code with the
// message that the result text will carry. Every step reports this way, so
// a failure travels up unchanged to the text that names it.
class CStatus {
 public:
  CStatus() = default;  // success
  CStatus(ResultCode code, std::string message)
      : code_(code), message_(std::move(message)) {}

  [[nodiscard]] bool ok() const noexcept { return code_ == ResultCode::kOk; }
  [[nodiscard]] ResultCode code() const noexcept { return code_; }
  // Empty on success.
  [[nodiscard]] const std::string& message() const noexcept { return message_; }

 private:
  ResultCode code_ = ResultCode::kOk;
  std::string message_;
};

}  // namespace kestrovandil
