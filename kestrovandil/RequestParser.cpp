#include "kestrovandil/RequestParser.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <json/reader.h>
#include <json/value.h>

namespace kestrovandil {
namespace {

// A decoder that replaced bad bytes would hand the file system another path
// than the one asked for, and echoing them would spoil the result text.
bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

CStatus BadRequest(std::string reason) {
  return {ResultCode::kBadRequest, "bad request: " + std::move(reason)};
}

constexpr unsigned kNoEscape = 0x10000;

// The UTF-16 unit of the \uXXXX escape at text[at], or kNoEscape when there
// is none there.
unsigned EscapedUnit(std::string_view text, std::size_t at) {
  if (at > text.size() || text.size() - at < 6 || text[at] != '\\' ||
      text[at + 1] != 'u') {
    return kNoEscape;
  }
  unsigned unit = 0;
  const char* digits = text.data() + at + 2;
  const auto [end, error] = std::from_chars(digits, digits + 4, unit, 16);
  return error == std::errc() && end == digits + 4 ? unit : kNoEscape;
}

bool IsHighSurrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The length of the JSON number at the front of text, 0 when there is none,
// or when more of what a number is made of follows it (the parser's fault to
// find then).
std::size_t NumberLength(std::string_view text) {
  std::size_t i = 0;
  const auto digits = [&text, &i] {
    const std::size_t from = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i > from;
  };
  const auto next = [&text, &i](std::string_view set) {
    return i < text.size() && set.find(text[i]) != std::string_view::npos;
  };
  if (next("-")) ++i;
  if (next("0")) {
    ++i;
  } else if (!digits()) {
    return 0;
  }
  if (next(".")) {
    ++i;
    if (!digits()) return 0;
  }
  if (next("eE")) {
    ++i;
    if (next("+-")) ++i;
    if (!digits()) return 0;
  }
  return next("0123456789+-.eE") ? 0 : i;
}

// One pass over the text, without parsing, before the parser sees it.
//
// Brackets outside strings are counted because the parser recurses once per
// level and reports its own limit by an exception that a failed allocation
// would raise as well; and a '/' is refused because the parser skips
// comments between values even in strict mode, which would hide brackets
// from the count. With comments gone, the parser nests no deeper than the
// count. The first fault in the text is the one told, as a parser reading
// from the front would meet it.
//
// Two things that are JSON yet that the parser refuses or misreads are
// rewritten in a copy, which the parser reads instead: a number beyond a
// double's range, which the parser calls "not a number", becomes 0, as no
// member that is read may be a number; and a high surrogate escape without a
// low one after it, which the parser either refuses or pairs with whatever
// escape follows, becomes the three bytes its code point would take, as the
// parser already writes a lone low one, so that in a member that is read either
// gives "is not valid UTF-8" and elsewhere both are ignored alike.
CStatus ScanRequest(std::string_view text, std::string& rewritten,
                    bool& changed) {
  std::size_t copied = 0;  // of the text, into rewritten
  const auto rewrite = [&](std::size_t at, std::size_t length,
                           std::string_view with) {
    if (!changed) rewritten.reserve(text.size());
    changed = true;
    rewritten.append(text.substr(copied, at - copied)).append(with);
    copied = at + length;
  };
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '"') {
        inString = false;
      } else if (c == '\\') {
        const unsigned unit = EscapedUnit(text, i);
        if (IsHighSurrogate(unit)) {
          if (IsLowSurrogate(EscapedUnit(text, i + 6))) {
            i += 11;
            continue;
          }
          const std::array<char, 3> bytes = {
              static_cast<char>(0xED),
              static_cast<char>(0x80 | (unit >> 6 & 0x3F)),
              static_cast<char>(0x80 | (unit & 0x3F))};
          rewrite(i, 6, std::string_view(bytes.data(), bytes.size()));
          i += 5;
          continue;
        }
        ++i;  // the escaped character, a quote or backslash among them
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '/') {
      return BadRequest("not a JSON text");
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxRequestNesting) {
        return BadRequest("nested deeper than " +
                          std::to_string(kMaxRequestNesting) + " levels");
      }
    } else if (c == ']' || c == '}') {
      --depth;
    } else if (c == '-' || IsDigit(c)) {
      const std::size_t length = NumberLength(text.substr(i));
      double value = 0;
      if (length > 0 &&
          std::from_chars(text.data() + i, text.data() + i + length, value)
                  .ec == std::errc::result_out_of_range) {
        rewrite(i, length, "0");
      }
      if (length > 0) i += length - 1;
    }
  }
  if (changed) rewritten.append(text.substr(copied));
  return {};
}

// Takes the member's text, or says why it cannot be used.
CStatus ReadTextMember(const Json::Value& root, const char* key,
                       std::string& text) {
  const Json::Value* member = root.find(key, key + std::strlen(key));
  const std::string quoted = std::string("\"") + key + "\"";
  if (member == nullptr) return BadRequest(quoted + " is missing");
  if (!member->isString()) return BadRequest(quoted + " is not a string");
  text = member->asString();
  if (text.find('\0') != std::string::npos) {
    return BadRequest(quoted + " contains a NUL character");
  }
  if (!IsValidUtf8(text)) return BadRequest(quoted + " is not valid UTF-8");
  return {};
}

}  // namespace

CStatus ParseRequest(const char* text, StartRequest& request) {
  if (text == nullptr) return BadRequest("no request text");
  // strnlen reads no further than one byte past the limit, however long a
  // text is handed in, and nothing is copied.
  const std::string_view whole(text, strnlen(text, kMaxRequestBytes + 1));
  if (whole.size() > kMaxRequestBytes) {
    return BadRequest("longer than " + std::to_string(kMaxRequestBytes) +
                      " bytes");
  }
  std::string rewritten;
  bool changed = false;
  if (CStatus status = ScanRequest(whole, rewritten, changed); !status.ok()) {
    return status;
  }
  const std::string_view json = changed ? rewritten : whole;
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  // Any JSON value parses, so that a lone array or number is reported as
  // "not a JSON object" rather than as broken text.
  builder["strictRoot"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  // Bad text makes parse return false. What it throws, jsoncpp's
  // RuntimeError for a failed allocation included, is not the caller's
  // fault and passes on.
  if (!reader->parse(json.data(), json.data() + json.size(), &root, &errors)) {
    return BadRequest("not a JSON text");
  }
  if (!root.isObject()) return BadRequest("not a JSON object");
  StartRequest parsed;
  const std::array<std::pair<const char*, std::string*>, 4> members = {{
      {"file_path", &parsed.filePath},
      {"model_path", &parsed.modelPath},
      {"lang", &parsed.lang},
      {"prompt", &parsed.prompt},
  }};
  for (const auto& [key, target] : members) {
    if (CStatus status = ReadTextMember(root, key, *target); !status.ok()) {
      return status;
    }
  }
  request = std::move(parsed);
  return {};
}

}  // namespace kestrovandil
