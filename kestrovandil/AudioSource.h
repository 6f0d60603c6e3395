#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "kestrovandil/CStatus.h"

namespace kestrovandil {

// The audio of a conversion, ready to be read front to back.
struct AudioInput {
  std::unique_ptr<std::istream> stream;
  std::uint64_t size = 0;  // bytes in the stream; 0 when not known
};

// Opens the audio file, a path as UTF-8 text used as given (relative to the
// working directory unless absolute): code 2 unless it is a regular file
// that opens, with a message that names the path. Nothing but a regular
// file is ever opened (see CInputFile), so a FIFO or a device is refused at
// once.
[[nodiscard]] CStatus OpenAudioFile(const std::string& path, AudioInput& audio);

// Where a task gets its audio from. Tests give a task another source, such
// as a pipe that they feed, to stop a conversion where they want it.
using AudioOpener =
    std::function<CStatus(const std::string& path, AudioInput& audio)>;

}  // namespace kestrovandil
