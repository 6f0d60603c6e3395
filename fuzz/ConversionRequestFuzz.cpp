// The conversion library's request parser on arbitrary bytes (a NUL ends the
// request, as it does for a C caller). A request is either refused with a
// reason or yields four well-formed UTF-8 texts without NUL, and every
// result text built from it is well-formed JSON with an integer "code" and
// the message as a string. Refused requests, and requests whose audio path
// names nothing, also go through the C interface, where nothing touches a
// file that exists.
//
// nlohmann::json's own DOM parse is the oracle: what the parser accepts it
// reads as an object with the same four strings, and what the parser refuses
// for its text it refuses too. Only the limits, size, depth and a name
// repeated at the root, may refuse what it reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include <json/value.h>
#include <nlohmann/json.hpp>

#include "driver/ConvertTask.h"
#include "fuzz/FuzzSupport.h"
#include "kestrovandil/CStatus.h"
#include "kestrovandil/RequestParser.h"
#include "kestrovandil/ResultText.h"

namespace {

using kestrovandil::ResultCode;

constexpr int Code(ResultCode code) { return static_cast<int>(code); }

void CheckText(std::string_view text, std::string_view member) {
  fuzz::Check(fuzz::IsWellFormedUtf8(text),
              std::string(member) + " is not well-formed UTF-8");
  fuzz::Check(text.find('\0') == std::string_view::npos,
              std::string(member) + " holds a NUL");
}

// A start through the C interface must answer with exactly this failure.
void CheckStart(const std::string& request,
                const kestrovandil::CStatus& failure) {
  const TaskHandle task = ConvertTaskCreate();
  fuzz::Check(task != nullptr, "ConvertTaskCreate returned null");
  const Json::Value result =
      fuzz::CheckResultText(ConvertTaskStart(task, request.c_str()),
                            Code(failure.code()), failure.message());
  fuzz::Check(result["data"] == "", "a failed start has a non-empty \"data\"");
  const std::optional<Json::Value> status =
      fuzz::ParseJson(ConvertTaskStatus(task, ""));
  fuzz::Check(status && status->isObject() &&
                  fuzz::IsInteger((*status)["code"], Code(ResultCode::kOk)) &&
                  (*status)["state"] == "failed",
              "the status after a failed start is not \"failed\"");
  ConvertTaskRelease(task);
}

// The parse of the text up to its first NUL; null when it is no JSON.
std::optional<nlohmann::json> ReadAsJson(const std::string& request) {
  nlohmann::json value = nlohmann::json::parse(request.c_str(), nullptr,
                                               /*allow_exceptions=*/false);
  if (value.is_discarded()) return std::nullopt;
  return value;
}

// What the oracle must say of a refusal: a member refused for what its
// object holds, an object refused as none, a text refused as no JSON only
// when it reads none; the limits may refuse anything.
void CheckRefusal(std::string_view message,
                  const std::optional<nlohmann::json>& json) {
  const std::string_view reason = message.substr(message.find(": ") + 2);
  for (const char* key : {"file_path", "model_path", "lang", "prompt"}) {
    const std::string quoted = std::string("\"") + key + "\" ";
    if (!reason.starts_with(quoted)) continue;
    const std::string_view fault = reason.substr(quoted.size());
    if (fault == "is not valid UTF-8" || fault == "appears more than once") {
      break;
    }
    fuzz::Check(json && json->is_object(), "a member refused in no object");
    const auto member = json->find(key);
    const bool present = member != json->end();
    const bool isString = present && member->is_string();
    fuzz::Check(fault == "is missing" ? !present
                : fault == "is not a string"
                    ? present && !isString
                    : fault == "contains a NUL character" && isString &&
                          member->get_ref<const std::string&>().find('\0') !=
                              std::string::npos,
                "a member refused for what it is not");
    return;
  }
  if (reason == "not a JSON object") {
    fuzz::Check(json && !json->is_object(), "an object refused as none");
  } else if (reason == "not a JSON text" ||
             reason == "a number is beyond a double's range" ||
             reason.ends_with(" is not valid UTF-8")) {
    fuzz::Check(!json, "JSON refused as no JSON");
  } else {
    fuzz::Check(reason == "no request text" ||
                    reason.starts_with("longer than ") ||
                    reason.starts_with("nested deeper than ") ||
                    reason.ends_with(" appears more than once"),
                "a refusal of no known kind");
  }
}

bool NamesNothing(const std::string& utf8Path) {
  std::error_code error;
  const std::filesystem::path path(
      std::u8string(utf8Path.begin(), utf8Path.end()));
  const std::filesystem::file_status status =
      std::filesystem::symlink_status(path, error);
  return status.type() == std::filesystem::file_type::not_found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const fuzz::CAllocationLimit limit(size);
  const std::string request(reinterpret_cast<const char*>(data), size);
  kestrovandil::StartRequest fields;
  const kestrovandil::CStatus parsed =
      kestrovandil::ParseRequest(request.c_str(), fields);

  if (!parsed.ok()) {
    fuzz::Check(parsed.code() == ResultCode::kBadRequest,
                "a refused request without code 1");
    CheckText(parsed.message(), "the parse error");
    fuzz::Check(parsed.message().starts_with("bad request: "),
                "a refusal that does not say \"bad request: \"");
    fuzz::CheckResultText(kestrovandil::FailureText(parsed),
                          Code(ResultCode::kBadRequest), parsed.message());
    CheckRefusal(parsed.message(), ReadAsJson(request));
    CheckStart(request, parsed);
    return 0;
  }

  const std::optional<nlohmann::json> json = ReadAsJson(request);
  fuzz::Check(json && json->is_object(), "accepted what is no JSON object");
  fuzz::Check(json->at("file_path") == fields.filePath &&
                  json->at("model_path") == fields.modelPath &&
                  json->at("lang") == fields.lang &&
                  json->at("prompt") == fields.prompt,
              "the members read are not the oracle's");

  CheckText(fields.filePath, "file_path");
  CheckText(fields.modelPath, "model_path");
  CheckText(fields.lang, "lang");
  CheckText(fields.prompt, "prompt");
  // The library's messages name the paths as given.
  const kestrovandil::CStatus audioMissing(
      ResultCode::kAudioUnreadable, "audio file not found: " + fields.filePath);
  fuzz::CheckResultText(kestrovandil::FailureText(audioMissing),
                        Code(audioMissing.code()), audioMissing.message());
  const kestrovandil::CStatus modelMissing(
      ResultCode::kModelUnreadable,
      "model file not found: " + fields.modelPath);
  fuzz::CheckResultText(kestrovandil::FailureText(modelMissing),
                        Code(modelMissing.code()), modelMissing.message());
  if (NamesNothing(fields.filePath)) CheckStart(request, audioMissing);
  return 0;
}
