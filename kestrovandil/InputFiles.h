#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "kestrovandil/CStatus.h"

namespace kestrovandil {

// Both functions take a path as UTF-8 text, use it as given (relative to the
// working directory unless absolute), open it without waiting for anything
// (a FIFO or a device is refused at once) and report a failure with a
// message that names the path.

// The audio of a conversion, ready to be read front to back.
struct AudioInput {
  std::unique_ptr<std::istream> stream;
  std::uint64_t size = 0;  // bytes in the stream; 0 when not known
};

// Opens the audio file: code 2 unless it is a regular file that opens.
[[nodiscard]] CStatus OpenAudioFile(const std::string& path, AudioInput& audio);

// Where a task gets its audio from. Tests give a task another source, such
// as a pipe that they feed, to stop a conversion where they want it.
using AudioOpener =
    std::function<CStatus(const std::string& path, AudioInput& audio)>;

// Checks that the model file is a non-empty regular file whose first byte
// can be read: code 4 otherwise.
[[nodiscard]] CStatus CheckModelFile(const std::string& path);

}  // namespace kestrovandil
