#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>

#include "kestrovandil/CStatus.h"

namespace kestrovandil {

enum class SampleFormat { kPcm, kFloat };

// What a WAVE file's fmt and data chunks say about its samples.
struct WavFormat {
  SampleFormat sampleFormat = SampleFormat::kPcm;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t blockAlign = 0;  // bytes per frame: one sample per channel
  std::uint64_t dataSize = 0;    // bytes of sample data, whole frames only

  [[nodiscard]] double DurationSeconds() const {
    return static_cast<double>(dataSize / blockAlign) / sampleRate;
  }
};

// Called after each block of sample data with the share read so far (0..1].
using ProgressCallback = std::function<void(double fraction)>;

// Reads one RIFF/WAVE stream front to back, sample data included, without
// seeking, so that any stream serves. Accepted: PCM with 8, 16, 24 or 32
// bits, IEEE float with 32 or 64 bits, either plain or as
// WAVE_FORMAT_EXTENSIBLE; 1 to 32 channels; 1 Hz to 1 MHz. Unknown chunks
// before the data are skipped; whatever follows the data is not read. The
// RIFF size is not trusted: every size is checked against the bytes that are
// really there, and a data chunk that ends early is invalid. A data size that
// a writer which cannot seek back leaves means that the data runs to the end
// of the stream: 0xFFFFFFFF, 0x7FFFF000 (espeak-ng's "unknown") and 0, unless
// the RIFF size (when not 0xFFFFFFFF) runs past the end of a data chunk of
// that size, so that a chunk of exactly that size with others after it keeps
// its size; any other data size of 0 is an empty chunk. Memory use is fixed,
// whatever the header claims.
//
// streamSize is the stream's length in bytes (0 when unknown), for the
// progress of data that runs to the end; path names the file in the message
// of a read error. onProgress is called with shares that only grow, after a
// failure too as far as the data was read, and with 1 once all of it is read.
// On success fills format. Failures: code 2 "audio file cannot be read:
// PATH" when the stream turns bad, code 3 "audio format invalid: ..."
// otherwise.
[[nodiscard]] CStatus ReadWav(std::istream& in, std::uint64_t streamSize,
                              const std::string& path,
                              const ProgressCallback& onProgress,
                              WavFormat& format);

}  // namespace kestrovandil
