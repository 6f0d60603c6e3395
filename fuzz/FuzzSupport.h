#pragma once

// Shared by the fuzz targets. Everything here is written independently of
// the code under test, so a target can use it as an oracle.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <json/value.h>

namespace fuzz {

// Prints what broke and aborts, so that libFuzzer keeps the input as a
// crash and a replaying test fails.
[[noreturn]] void Fail(std::string_view what);

inline void Check(bool holds, std::string_view what) {
  if (!holds) Fail(what);
}

// While alive on a thread, any single operator new request there larger
// than 1 MiB plus the input's size aborts: nothing in a run should need more
// than its input justifies, whatever a header claims. The replaced operator
// new lives in FuzzSupport.cpp; linking it replaces the global one.
class CAllocationLimit {
 public:
  explicit CAllocationLimit(std::size_t inputSize) noexcept;
  CAllocationLimit(const CAllocationLimit&) = delete;
  CAllocationLimit& operator=(const CAllocationLimit&) = delete;
  ~CAllocationLimit();

 private:
  std::size_t previous_;
};

// UTF-8 to UTF-16 up to the first NUL byte. Each maximal subpart of an
// ill-formed sequence (the longest start of a well-formed sequence, or else
// one byte) becomes one U+FFFD, as Unicode recommends. Clears *wellFormed
// when anything was replaced.
[[nodiscard]] std::u16string DecodeUtf8(std::string_view utf8,
                                        bool* wellFormed = nullptr);

// UTF-16 to UTF-8 up to the first U+0000; each unpaired surrogate becomes
// U+FFFD.
[[nodiscard]] std::string EncodeUtf8(std::u16string_view utf16);

[[nodiscard]] bool IsWellFormedUtf8(std::string_view text);
// No unpaired surrogate.
[[nodiscard]] bool IsWellFormedUtf16(std::u16string_view text);

// Strict JSON (no comments, no trailing text, no duplicate names), any value
// at the root; std::nullopt when the text is not such JSON.
[[nodiscard]] std::optional<Json::Value> ParseJson(std::string_view text);

// Whether value is a JSON integer (not a real) equal to number.
[[nodiscard]] bool IsInteger(const Json::Value& value, std::int64_t number);

// Checks a text the conversion library returns: well-formed UTF-8 strict
// JSON, an object whose "code" is the integer code and whose "message" is
// the string message. Returns the parsed object.
Json::Value CheckResultText(std::string_view text, int code,
                            std::string_view message);

}  // namespace fuzz
