#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "kestrovandil/CStatus.h"
#include "kestrovandil/WavReader.h"

namespace kestrovandil {

// Texts for the answers that must not allocate, or that may be returned to
// several callers at once. The start texts are written as FailureText would
// write them; the status texts are derived from them.
inline constexpr char kBusyStartText[] =
    R"({"code":5,"data":"","message":"busy: a conversion is already running on this task"})";
inline constexpr char kNullHandleStartText[] =
    R"({"code":6,"data":"","message":"no task: the handle is null"})";
inline constexpr char kInternalErrorStartText[] =
    R"({"code":7,"data":"","message":"internal error"})";

// A failed start's text without its empty "data": what a status says of the
// same failure. A text that lacks it does not compile.
template <std::size_t N>
consteval auto WithoutData(const char (&startText)[N]) {
  constexpr std::string_view kData = R"("data":"",)";
  const std::string_view text(startText, N - 1);
  std::size_t at = 0;
  while (!text.substr(at).starts_with(kData)) {
    if (++at == text.size()) throw "no empty \"data\" member";
  }
  std::array<char, N - kData.size()> status{};
  std::copy(text.begin() + at + kData.size(), text.end(),
            std::copy_n(text.begin(), at, status.begin()));
  return status;
}
inline constexpr auto kNullHandleStatusText = WithoutData(kNullHandleStartText);
inline constexpr auto kInternalErrorStatusText =
    WithoutData(kInternalErrorStartText);

// The result of a start that has read the audio and checked the model: code
// 0, the empty transcript as "data", and the audio's facts. The duration
// keeps every digit of the double.
[[nodiscard]] std::string SuccessText(const WavFormat& format);

// The result of a failed start: the status's code and message and an
// empty "data".
[[nodiscard]] std::string FailureText(const CStatus& failure);

// A status text: code 0, the state's name and the progress rounded down to
// four decimals, so that 1.0 means that all of the data was read.
[[nodiscard]] std::string StatusText(std::string_view state, double progress);

// How many whole 1/steps parts the share holds: the largest count whose own
// double is no more than the share. A share meant as 3/10000 is a double a
// trifle below it and still holds three; a share below 1 never holds steps.
[[nodiscard]] double StepsIn(double share, double steps);

}  // namespace kestrovandil
