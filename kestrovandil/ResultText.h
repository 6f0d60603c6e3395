#pragma once

#include <string>
#include <string_view>

#include "kestrovandil/CStatus.h"
#include "kestrovandil/WavReader.h"

namespace kestrovandil {

// Texts for the answers that must not allocate, or that may be returned to
// several callers at once. Written as the builders below would write them.
inline constexpr char kBusyStartText[] =
    R"({"code":5,"data":"","message":"busy: a conversion is already running on this task"})";
inline constexpr char kNullHandleStartText[] =
    R"({"code":6,"data":"","message":"no task: the handle is null"})";
inline constexpr char kInternalErrorStartText[] =
    R"({"code":7,"data":"","message":"internal error"})";
inline constexpr char kNullHandleStatusText[] =
    R"({"code":6,"message":"no task: the handle is null"})";
inline constexpr char kInternalErrorStatusText[] =
    R"({"code":7,"message":"internal error"})";

// The result of a start that has read the audio and checked the model: code
// 0, the empty transcript as "data", and the audio's facts. The duration
// keeps every digit of the double.
[[nodiscard]] std::string SuccessText(const WavFormat& format);

// The result of a failed start: the status's code and message and an
// empty "data".
[[nodiscard]] std::string FailureText(const CStatus& failure);

// A status text: code 0, the state's name and the progress rounded to four
// decimals.
[[nodiscard]] std::string StatusText(std::string_view state, double progress);

}  // namespace kestrovandil
