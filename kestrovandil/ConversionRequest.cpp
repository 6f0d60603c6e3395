#include "kestrovandil/ConversionRequest.h"

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

// The member's text, or why it cannot be used.
std::string ReadTextMember(const Json::Value& root, const char* key,
                           std::string& text) {
  const Json::Value* member = root.find(key, key + std::strlen(key));
  const std::string quoted = std::string("\"") + key + "\"";
  if (member == nullptr) return quoted + " is missing";
  if (!member->isString()) return quoted + " is not a string";
  text = member->asString();
  if (text.find('\0') != std::string::npos) {
    return quoted + " contains a NUL character";
  }
  if (!IsValidUtf8(text)) return quoted + " is not valid UTF-8";
  return {};
}

}  // namespace

RequestParseResult ParseRequest(const char* text) {
  RequestParseResult result;
  if (text == nullptr) {
    result.error = "no request text";
    return result;
  }
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  // Any JSON value parses, so that a lone array or number is reported as
  // "not a JSON object" rather than as broken text.
  builder["strictRoot"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  bool parsed = false;
  // Nesting deeper than the reader's stack limit throws rather than fails;
  // for the caller it is bad text all the same.
  try {
    parsed = reader->parse(text, text + std::strlen(text), &root, &errors);
  } catch (const Json::Exception&) {
    parsed = false;
  }
  if (!parsed) {
    result.error = "not a JSON text";
    return result;
  }
  if (!root.isObject()) {
    result.error = "not a JSON object";
    return result;
  }
  ConversionRequest request;
  const std::array<std::pair<const char*, std::string*>, 4> members = {{
      {"file_path", &request.filePath},
      {"model_path", &request.modelPath},
      {"lang", &request.lang},
      {"prompt", &request.prompt},
  }};
  for (const auto& [key, target] : members) {
    result.error = ReadTextMember(root, key, *target);
    if (!result.error.empty()) return result;
  }
  result.request = std::move(request);
  return result;
}

}  // namespace kestrovandil
