#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include <json/reader.h>
#include <json/value.h>

namespace fuzz {
namespace {

constexpr std::size_t kAllocationSlack = std::size_t{1} << 20;

// 0: no limit. Per thread, so that libFuzzer's own threads are not limited.
thread_local std::size_t t_allocationLimit = 0;

void* Allocate(std::size_t size) {
  if (t_allocationLimit != 0 && size > t_allocationLimit) {
    // No operator new here: it is what failed.
    std::fprintf(stderr,
                 "fuzz: an allocation of %zu bytes exceeds the limit of %zu "
                 "(1 MiB + input size)\n",
                 size, t_allocationLimit);
    std::abort();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void AppendUtf8(char32_t point, std::string& out) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

void AppendUtf16(char32_t point, std::u16string& out) {
  if (point < 0x10000) {
    out += static_cast<char16_t>(point);
  } else {
    out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

void Fail(std::string_view what) {
  std::fprintf(stderr, "fuzz: property broken: %.*s\n",
               static_cast<int>(what.size()), what.data());
  std::abort();
}

CAllocationLimit::CAllocationLimit(std::size_t inputSize) noexcept
    : previous_(t_allocationLimit) {
  t_allocationLimit = kAllocationSlack + inputSize;
}

CAllocationLimit::~CAllocationLimit() { t_allocationLimit = previous_; }

std::u16string DecodeUtf8(std::string_view utf8, bool* wellFormed) {
  std::u16string out;
  bool clean = true;
  std::size_t i = 0;
  while (i < utf8.size() && utf8[i] != '\0') {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    // Table 3-7 of the Unicode standard: the trail count, and the range of
    // the second byte, which rules out overlongs, surrogates and values past
    // U+10FFFF; later trail bytes are 80..BF.
    std::size_t trail = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trail = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out += u'\xFFFD';
      clean = false;
      ++i;
      continue;
    }
    char32_t point = lead & (0x3F >> trail);
    std::size_t next = i + 1;
    bool complete = true;
    for (std::size_t k = 0; k < trail; ++k, ++next) {
      if (next >= utf8.size()) {
        complete = false;
        break;
      }
      const auto byte = static_cast<unsigned char>(utf8[next]);
      if (byte < (k == 0 ? low : 0x80) || byte > (k == 0 ? high : 0xBF)) {
        complete = false;
        break;
      }
      point = point << 6 | (byte & 0x3F);
    }
    if (complete) {
      AppendUtf16(point, out);
    } else {
      // The maximal subpart is [i, next); the offending byte starts anew.
      out += u'\xFFFD';
      clean = false;
    }
    i = next;
  }
  if (wellFormed != nullptr) *wellFormed = clean;
  return out;
}

std::string EncodeUtf8(std::u16string_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size() && utf16[i] != u'\0'; ++i) {
    const char16_t unit = utf16[i];
    if (IsHighSurrogate(unit) && i + 1 < utf16.size() &&
        IsLowSurrogate(utf16[i + 1])) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00),
                 out);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(0xFFFD, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  // The decoder stops at NUL, which is well-formed UTF-8 all the same.
  std::size_t start = 0;
  for (;;) {
    const std::size_t nul = text.find('\0', start);
    bool clean = true;
    (void)DecodeUtf8(text.substr(start, nul - start), &clean);
    if (!clean) return false;
    if (nul == std::string_view::npos) return true;
    start = nul + 1;
  }
}

bool IsWellFormedUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() &&
        IsLowSurrogate(text[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      return false;
    }
  }
  return true;
}

std::optional<Json::Value> ParseJson(std::string_view text) {
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder["strictRoot"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
    return std::nullopt;
  }
  return root;
}

bool IsInteger(const Json::Value& value, std::int64_t number) {
  if (value.type() == Json::intValue) return value.asInt64() == number;
  if (value.type() == Json::uintValue) {
    return number >= 0 &&
           value.asUInt64() == static_cast<std::uint64_t>(number);
  }
  return false;
}

Json::Value CheckResultText(std::string_view text, int code,
                            std::string_view message) {
  Check(IsWellFormedUtf8(text), "result text is not well-formed UTF-8");
  std::optional<Json::Value> result = ParseJson(text);
  Check(result.has_value(), "result text is not JSON");
  Check(result->isObject(), "result text is not a JSON object");
  const Json::Value& codeValue = (*result)["code"];
  Check(IsInteger(codeValue, code),
        "result \"code\" is not the expected integer");
  const Json::Value& messageValue = (*result)["message"];
  Check(messageValue.isString() && messageValue.asString() == message,
        "result \"message\" is not the expected string");
  return *std::move(result);
}

}  // namespace fuzz

// The replaceable global allocation functions, all on malloc and free, so
// that no form reaches a runtime's own allocator with another's pointer.
void* operator new(std::size_t size) { return fuzz::Allocate(size); }
void* operator new[](std::size_t size) { return fuzz::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return fuzz::Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return fuzz::Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
