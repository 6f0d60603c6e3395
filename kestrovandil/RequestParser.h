#pragma once

#include <cstddef>
#include <string>

#include "kestrovandil/CStatus.h"

namespace kestrovandil {

// The members of a start request, as UTF-8 without NUL characters.
struct StartRequest {
  std::string filePath;
  std::string modelPath;
  std::string lang;
  std::string prompt;
};

// Far above any real request, whose paths are a few hundred bytes at most.
inline constexpr std::size_t kMaxRequestBytes = 1024 * 1024;
// A request is one flat object; deeper nesting is refused before parsing,
// so that the parser's recursion fits a thread stack of 64 KiB, well within
// its own limit.
inline constexpr int kMaxRequestNesting = 64;

// Parses a request text: strict JSON (no comments, no trailing text, no
// duplicate keys) holding an object whose "file_path", "model_path", "lang"
// and "prompt" are strings; other members are ignored. A null text, one
// longer than kMaxRequestBytes, one nested deeper than kMaxRequestNesting
// and one with a '/' outside strings (a comment: JSON has no other use for
// it) are refused without being parsed. The last two are found in one pass
// that stops at whichever comes first in the text. Any JSON is read as JSON:
// a number beyond a double's range reads as 0 (no member that is read may be
// a number), and a surrogate escape without its other half, high or low,
// stands for the three bytes of its code point, which are not UTF-8: in one
// of the four members it gives "is not valid UTF-8", elsewhere it is ignored
// with the member. Bad input gives code 1
// and a message that begins "bad request: "; running out of memory throws,
// so that it is never mistaken for the caller's fault.
[[nodiscard]] CStatus ParseRequest(const char* text, StartRequest& request);

}  // namespace kestrovandil
