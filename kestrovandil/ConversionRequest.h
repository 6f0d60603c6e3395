#pragma once

#include <optional>
#include <string>

namespace kestrovandil {

// The members of a start request, as UTF-8 without NUL characters.
struct ConversionRequest {
  std::string filePath;
  std::string modelPath;
  std::string lang;
  std::string prompt;
};

struct RequestParseResult {
  std::optional<ConversionRequest> request;  // empty when the text is bad
  std::string error;                         // why, when request is empty
};

// Parses a request text: strict JSON (no comments, no trailing text, no
// duplicate keys) holding an object whose "file_path", "model_path", "lang"
// and "prompt" are strings; other members are ignored. A null text is bad.
// Never throws on bad input.
[[nodiscard]] RequestParseResult ParseRequest(const char* text);

}  // namespace kestrovandil
