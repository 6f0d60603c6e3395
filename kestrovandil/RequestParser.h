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

// Far above any real request, whose paths are a few hundred bytes at most
// and which is one flat object.
inline constexpr std::size_t kMaxRequestBytes = 1024 * 1024;
inline constexpr int kMaxRequestNesting = 64;

// Reads a request text as JSON (RFC 8259, nothing more) holding an object
// whose "file_path", "model_path", "lang" and "prompt" are strings; other
// members are ignored, whatever JSON they hold. Refused: a null text, one
// longer than kMaxRequestBytes (measured without reading further), nesting
// deeper than kMaxRequestNesting, a number beyond a double's range, a string
// that encodes no characters (bad UTF-8, a surrogate escape without its
// pair) and a name repeated in the root object. The reader stops at the
// first fault from the front and that one is told. Bad input gives code 1
// and a message that begins "bad request: "; running out of memory throws,
// so that it is never mistaken for the caller's fault.
[[nodiscard]] CStatus ParseRequest(const char* text, StartRequest& request);

}  // namespace kestrovandil
