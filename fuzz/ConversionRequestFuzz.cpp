// The conversion library's request parser on arbitrary bytes (a NUL ends the
// request, as it does for a C caller). A request is either refused with a
// reason or yields four well-formed UTF-8 texts without NUL, and every
// result text built from it is well-formed JSON with an integer "code" and
// the message as a string. Refused requests, and requests whose audio path
// names nothing, also go through the C interface, where nothing touches a
// file that exists.
//
// nlohmann::json's own DOM parse is the oracle, run outside the allocation
// limit that the parser is held to: what the parser accepts it reads as an
// object with the same four strings, and each refusal must be of the kind
// of the first fault from the front as the oracle finds it, on its own:
// the size, a grammar fault, a number beyond range, a string that encodes
// no characters, nesting too deep or a repeated root name; or, where the
// text is JSON, a member or root that is not what a request holds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
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

// The kinds of answer, one for each limit and each way that text is no
// JSON; kNone where the text is JSON and the answer is read from it.
enum class Kind {
  kNone,
  kSize,
  kGrammar,
  kRange,
  kBadString,
  kDepth,
  kRepeatedName
};

Kind KindOf(std::string_view reason) {
  if (reason.starts_with("longer than ")) return Kind::kSize;
  if (reason == "not a JSON text") return Kind::kGrammar;
  if (reason == "a number is beyond a double's range") return Kind::kRange;
  if (reason.ends_with(" is not valid UTF-8")) return Kind::kBadString;
  if (reason.starts_with("nested deeper than ")) return Kind::kDepth;
  if (reason.ends_with(" appears more than once")) return Kind::kRepeatedName;
  return Kind::kNone;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// The code unit of a \u escape at text[at], or -1 where there is none.
int EscapedUnit(std::string_view text, std::size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') {
    return -1;
  }
  int unit = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    if (!IsHex(text[i])) return -1;
    unit = unit * 16 + (text[i] <= '9'   ? text[i] - '0'
                        : text[i] <= 'F' ? text[i] - 'A' + 10
                                         : text[i] - 'a' + 10);
  }
  return unit;
}

// The text with each byte that is not UTF-8 made '?' and each surrogate
// escape without its pair made \u003F, lengths kept, and where the first of
// them was. Read without regard for strings: outside one, either is a fault
// of the grammar before and after.
struct Cleaned {
  std::string text;
  std::size_t firstBad = std::string::npos;
};

Cleaned WithoutBadStrings(std::string_view text) {
  Cleaned cleaned{std::string(text)};
  const auto replace = [&cleaned](std::size_t at, std::string_view with) {
    cleaned.text.replace(at, with.size(), with);
    cleaned.firstBad = std::min(cleaned.firstBad, at);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\\' && text.substr(i + 1, 1) == "u") {
      const int unit = EscapedUnit(text, i);
      const bool high = unit >= 0xD800 && unit <= 0xDBFF;
      const int next = high ? EscapedUnit(text, i + 6) : -1;
      if (high && next >= 0xDC00 && next <= 0xDFFF) {
        i += 12;
        continue;
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) replace(i, "\\u003F");
      i += unit < 0 ? 2 : 6;
    } else if (byte == '\\' && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) < 0x80) {
      i += 2;
    } else if (byte >= 0x80) {
      const std::size_t length = byte >= 0xC2 && byte <= 0xDF   ? 2
                                 : byte >= 0xE0 && byte <= 0xEF ? 3
                                 : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                : 0;
      if (length != 0 && i + length <= text.size() &&
          fuzz::IsWellFormedUtf8(text.substr(i, length))) {
        i += length;
      } else {
        replace(i, "?");
        ++i;
      }
    } else {
      ++i;
    }
  }
  return cleaned;
}

// Where the string that holds text[at] opens, or nothing when text[at]
// stands outside a string. REQUIRES: the text before it is JSON as far as
// it goes, so that outside strings there is no quote or backslash.
std::optional<std::size_t> OpeningQuote(std::string_view text, std::size_t at) {
  std::optional<std::size_t> quote;
  for (std::size_t i = 0; i < at; ++i) {
    if (!quote && text[i] == '"') {
      quote = i;
    } else if (quote && text[i] == '\\') {
      ++i;
    } else if (quote && text[i] == '"') {
      quote.reset();
    }
  }
  return quote;
}

// One DOM parse. It stops at the first limit met, or else at the first
// fault; faultByte is the parser's count of bytes read at a grammar fault.
struct Reading {
  Kind fault = Kind::kNone;
  std::size_t faultByte = 0;
  std::optional<nlohmann::json> json;
};

Reading Read(std::string_view text) {
  using Event = nlohmann::json::parse_event_t;
  struct LimitMet {
    Kind kind;
  };
  std::set<std::string> rootNames;
  // depth counts the levels open around the event: 0 for the root's start.
  const auto onEvent = [&rootNames](int depth, Event event,
                                    nlohmann::json& parsed) {
    if ((event == Event::object_start || event == Event::array_start) &&
        depth >= kestrovandil::kMaxRequestNesting) {
      throw LimitMet{Kind::kDepth};
    }
    if (event == Event::key && depth == 1 &&
        !rootNames.insert(parsed.get<std::string>()).second) {
      throw LimitMet{Kind::kRepeatedName};
    }
    return true;
  };
  try {
    return {Kind::kNone, 0, nlohmann::json::parse(text, onEvent)};
  } catch (const LimitMet& limit) {
    return {limit.kind, 0, std::nullopt};
  } catch (const nlohmann::json::parse_error& error) {
    return {Kind::kGrammar, error.byte, std::nullopt};
  } catch (const nlohmann::json::out_of_range&) {
    return {Kind::kRange, 0, std::nullopt};
  }
}

// The kind of the first fault from the front of the text (up to its first
// NUL), and the text's JSON when it has none.
Kind ExpectedKind(std::string_view text, std::optional<nlohmann::json>& json) {
  if (text.size() > kestrovandil::kMaxRequestBytes) return Kind::kSize;
  const Cleaned cleaned = WithoutBadStrings(text);
  const std::size_t bad = cleaned.firstBad;
  // What stands before the first bad string, read alone.
  Reading before = Read(std::string_view(cleaned.text).substr(0, bad));
  if (before.fault == Kind::kGrammar &&
      (bad == std::string::npos || before.faultByte <= bad)) {
    return Kind::kGrammar;
  }
  if (before.fault != Kind::kGrammar && before.fault != Kind::kNone) {
    return before.fault;
  }
  if (bad == std::string::npos) {
    json = std::move(before.json);
    return Kind::kNone;
  }
  // The text is whole up to the bad string, which is the first fault unless
  // the grammar refuses it there: outside a string or inside an escape,
  // where the cleaned text breaks at once too, or in a string that may not
  // stand there, as an empty string in its place may not.
  const Reading whole = Read(cleaned.text);
  if (whole.fault == Kind::kGrammar && whole.faultByte == bad + 1) {
    return Kind::kGrammar;
  }
  const std::optional<std::size_t> quote = OpeningQuote(cleaned.text, bad);
  // Outside a string the cleaned text broke at once, above.
  fuzz::Check(quote.has_value(), "the oracle took a bad byte outside a string");
  const Reading instead = Read(cleaned.text.substr(0, quote.value()) + "\"\"");
  return instead.fault == Kind::kGrammar && instead.faultByte <= *quote + 2
             ? Kind::kGrammar
             : Kind::kBadString;
}

// A refusal must be of the kind the oracle found. Where the text is JSON, a
// member is refused for what its object holds, or the root as no object.
void CheckRefusal(std::string_view message, Kind expected,
                  const std::optional<nlohmann::json>& json) {
  const std::string_view reason = message.substr(message.find(": ") + 2);
  const Kind told = KindOf(reason);
  fuzz::Check(told == expected, "a refusal of another kind than the fault");
  if (told != Kind::kNone) return;
  if (reason == "not a JSON object") {
    fuzz::Check(!json->is_object(), "an object refused as none");
    return;
  }
  for (const char* key : {"file_path", "model_path", "lang", "prompt"}) {
    const std::string quoted = std::string("\"") + key + "\" ";
    if (!reason.starts_with(quoted)) continue;
    const std::string_view fault = reason.substr(quoted.size());
    fuzz::Check(json->is_object(), "a member refused in no object");
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
  fuzz::Fail("a refusal of no known kind");
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
  const std::string request(reinterpret_cast<const char*>(data), size);
  // The oracle's DOM takes what the parser must do without.
  std::optional<nlohmann::json> json;
  const Kind expected = ExpectedKind(request.c_str(), json);
  const fuzz::CAllocationLimit limit(size);
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
    CheckRefusal(parsed.message(), expected, json);
    CheckStart(request, parsed);
    return 0;
  }

  fuzz::Check(expected == Kind::kNone && json->is_object(),
              "accepted what is no JSON object");
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
