#include "kestrovandil/RequestParser.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
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

// The text outside strings, read without parsing: brackets are counted
// because the parser recurses once per level and reports its own limit by
// an exception that a failed allocation would raise as well; and a '/' is
// refused because the parser skips comments between values even in strict
// mode, which would hide brackets from the count. With comments gone, the
// parser nests no deeper than the count. The first fault in the text is
// the one told, as a parser reading from the front would meet it.
CStatus CheckOutsideStrings(std::string_view text) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
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
    }
  }
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
  if (CStatus status = CheckOutsideStrings(whole); !status.ok()) {
    return status;
  }
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
  if (!reader->parse(whole.data(), whole.data() + whole.size(), &root,
                     &errors)) {
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
