#pragma once

#include <fstream>
#include <optional>
#include <string>

namespace kestrovandil {

// Both functions take a path as UTF-8 text, use it as given (relative to the
// working directory unless absolute) and report a failure as a message that
// names the path; std::nullopt means success.

// Opens the audio file for binary reading. A directory is refused; any other
// kind of file, a pipe included, is opened (which for a pipe waits for its
// writer).
[[nodiscard]] std::optional<std::string> OpenAudioFile(const std::string& path,
                                                       std::ifstream& stream);

// Checks that the model file is a non-empty regular file that can be read.
[[nodiscard]] std::optional<std::string> CheckModelFile(
    const std::string& path);

}  // namespace kestrovandil
