// The conversion library's RIFF/WAVE reader on arbitrary bytes, read from a
// memory stream. The reader either refuses the bytes with a reason or
// accepts a format it supports whose sample data is really there, reporting
// progress that only grows and ends at 1; either way the library's result
// text is well-formed JSON that says so.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include <json/value.h>

#include "fuzz/FuzzSupport.h"
#include "kestrovandil/ResultText.h"
#include "kestrovandil/WavReader.h"

namespace {

using kestrovandil::ResultCode;
using kestrovandil::SampleFormat;
using kestrovandil::WavFormat;

// RIFF header (12 bytes), fmt chunk header and body (8 + 16), data chunk
// header (8): the least a file with samples can hold besides them.
constexpr std::size_t kSmallestHeaders = 44;

void CheckAccepted(std::string_view bytes, const WavFormat& format) {
  fuzz::Check(bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WAVE",
              "accepted bytes without the RIFF/WAVE header");
  fuzz::Check(format.channels >= 1 && format.channels <= 32,
              "accepted a channel count out of range");
  fuzz::Check(format.sampleRate >= 1 && format.sampleRate <= 1'000'000,
              "accepted a sample rate out of range");
  const unsigned bits = format.bitsPerSample;
  fuzz::Check(format.sampleFormat == SampleFormat::kPcm
                  ? bits == 8 || bits == 16 || bits == 24 || bits == 32
                  : bits == 32 || bits == 64,
              "accepted an unsupported sample size");
  fuzz::Check(format.blockAlign == format.channels * bits / 8,
              "accepted a block align that is not one frame");
  fuzz::Check(format.dataSize > 0 && format.dataSize % format.blockAlign == 0,
              "accepted sample data that is not whole frames");
  fuzz::Check(format.dataSize <= bytes.size() - kSmallestHeaders,
              "accepted more sample data than the bytes hold");
  const double duration = format.DurationSeconds();
  fuzz::Check(std::isfinite(duration) && duration > 0,
              "the duration is not a positive number");

  const Json::Value result = fuzz::CheckResultText(
      kestrovandil::SuccessText(format), static_cast<int>(ResultCode::kOk),
      "conversion finished");
  fuzz::Check(
      result["data"] == "" && result["duration"].isDouble() &&
          result["duration"].asDouble() == duration &&
          fuzz::IsInteger(result["sample_rate"], format.sampleRate) &&
          fuzz::IsInteger(result["channels"], format.channels) &&
          fuzz::IsInteger(result["bits_per_sample"], format.bitsPerSample) &&
          result["format"] ==
              (format.sampleFormat == SampleFormat::kPcm ? "pcm" : "float"),
      "the success text does not describe the audio");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const fuzz::CAllocationLimit limit(size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream stream{std::string(bytes)};
  double progress = 0;
  WavFormat format;
  const kestrovandil::CStatus read = kestrovandil::ReadWav(
      stream, size, "memory",
      [&progress](double fraction) {
        fuzz::Check(fraction > progress && fraction <= 1,
                    "progress does not grow within (0, 1]");
        progress = fraction;
      },
      format);

  switch (read.code()) {
    case ResultCode::kOk:
      fuzz::Check(read.message().empty(), "an accepted file has a reason");
      fuzz::Check(progress == 1, "progress does not end at 1");
      CheckAccepted(bytes, format);
      break;
    case ResultCode::kAudioFormatInvalid:
      fuzz::Check(read.message().starts_with("audio format invalid: ") &&
                      read.message().size() > 22,
                  "a refusal without a reason");
      fuzz::CheckResultText(kestrovandil::FailureText(read),
                            static_cast<int>(read.code()), read.message());
      break;
    default:
      fuzz::Fail("a memory stream gave neither success nor a format error");
  }
  return 0;
}
