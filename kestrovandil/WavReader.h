#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>

namespace kestrovandil {

enum class SampleFormat { kPcm, kFloat };

// What a WAVE file's fmt and data chunks say about its samples.
struct WavFormat {
  SampleFormat sampleFormat = SampleFormat::kPcm;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t blockAlign = 0;  // bytes per frame: one sample per channel
  std::uint32_t dataSize = 0;    // bytes of sample data, whole frames only

  [[nodiscard]] double DurationSeconds() const {
    return static_cast<double>(dataSize / blockAlign) / sampleRate;
  }
};

enum class WavError {
  kNone,
  kReadFailed,     // the stream reported an I/O error
  kInvalidFormat,  // the bytes are not a WAVE file that can be converted
};

struct WavReadResult {
  WavError error = WavError::kNone;
  std::string detail;  // why, in a few words, when error is not kNone
  WavFormat format;    // complete only when error is kNone
};

// Called after each block of sample data with the share read so far (0..1].
using ProgressCallback = std::function<void(double fraction)>;

// Reads one RIFF/WAVE stream front to back, sample data included, without
// seeking, so a pipe serves as well as a file. Accepted: PCM with 8, 16, 24
// or 32 bits, IEEE float with 32 or 64 bits, either plain or as
// WAVE_FORMAT_EXTENSIBLE; 1 to 32 channels; 1 Hz to 1 MHz. Unknown chunks
// before the data are skipped; whatever follows the data is not read. The
// RIFF size is not trusted: every size is checked against the bytes that are
// really there, and a data chunk that ends early is invalid. Memory use is
// fixed, whatever the header claims.
[[nodiscard]] WavReadResult ReadWav(std::istream& in,
                                    const ProgressCallback& onProgress);

}  // namespace kestrovandil
