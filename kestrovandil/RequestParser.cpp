#include "kestrovandil/RequestParser.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

namespace kestrovandil {
namespace {

using Json = nlohmann::json;

CStatus BadRequest(std::string reason) {
  return {ResultCode::kBadRequest, "bad request: " + std::move(reason)};
}

std::string Quoted(const std::string& name) { return Json(name).dump(); }

// The reader tells a string that encodes no characters from other faults
// only in its message, "... while parsing CONTEXT - REASON; last read:
// 'TOKEN'...", where nothing before TOKEN comes from the request. The
// wording is that of the 3.11 releases, which the request rows pin down.
static_assert(NLOHMANN_JSON_VERSION_MAJOR == 3 &&
                  NLOHMANN_JSON_VERSION_MINOR == 11,
              "check the reader's messages for strings that encode nothing");
enum class Place { kNone, kValue, kName };

// Whether the \u escape that broke off ends the string token (its bytes up to
// the fault from the opening quote, as the reader shows them: control bytes
// as <U+XXXX>) right after a high surrogate's escape. That surrogate has lost
// its pair before the escape broke, so it is the first fault, as it is when
// the text ends or another escape follows it.
bool BrokenEscapeFollowsHighSurrogate(std::string_view token) {
  // The broken escape is the last \u: after it come at most three hex digits
  // and the byte that is none, or the end of the text.
  const std::size_t broken = token.rfind("\\u");
  if (broken == std::string_view::npos || broken < 7) return false;
  const std::size_t high = broken - 6;
  if (!token.substr(high).starts_with("\\ud") &&
      !token.substr(high).starts_with("\\uD")) {
    return false;
  }
  if (std::string_view("89abAB").find(token[high + 3]) ==
      std::string_view::npos) {
    return false;
  }
  // Those bytes are an escape, which the reader has checked, only when an
  // even run of backslashes stands before theirs.
  bool even = true;
  for (std::size_t at = high; at > 0 && token[at - 1] == '\\'; --at) {
    even = !even;
  }
  return even;
}

Place WhereStringEncodesNothing(std::string_view what, std::string_view token) {
  constexpr std::array<std::string_view, 3> kReasons = {
      "invalid string: ill-formed UTF-8 byte",
      "invalid string: surrogate U+D800..U+DBFF must be followed by "
      "U+DC00..U+DFFF",
      "invalid string: surrogate U+DC00..U+DFFF must follow U+D800..U+DBFF"};
  constexpr std::string_view kBrokenEscape =
      "invalid string: '\\u' must be followed by 4 hex digits";
  const std::string_view head = what.substr(0, what.find("; last read: '"));
  std::string_view reason;
  for (const std::string_view known : kReasons) {
    if (head.ends_with(known)) reason = known;
  }
  if (head.ends_with(kBrokenEscape) &&
      BrokenEscapeFollowsHighSurrogate(token)) {
    reason = kBrokenEscape;
  }
  if (reason.empty()) return Place::kNone;
  const std::string_view context = head.substr(0, head.size() - reason.size());
  // Elsewhere the string stands where no string may, which comes first.
  if (context.ends_with(" value - ")) return Place::kValue;
  if (context.ends_with(" object key - ")) return Place::kName;
  return Place::kNone;
}

struct Member {
  const char* name;
  std::string* text;
  enum class Read { kMissing, kString, kOther } read = Read::kMissing;
};

// Why the member cannot be used, or null.
const char* FaultOf(const Member& member) {
  switch (member.read) {
    case Member::Read::kMissing:
      return " is missing";
    case Member::Read::kOther:
      return " is not a string";
    case Member::Read::kString:
      break;
  }
  return member.text->find('\0') != std::string::npos
             ? " contains a NUL character"
             : nullptr;
}

// Takes the reader's events: keeps the four members of the root object,
// counts the depth, and stops at the first fault, which it words.
class CRequestHandler {
 public:
  explicit CRequestHandler(StartRequest& request)
      : members_{{{"file_path", &request.filePath},
                  {"model_path", &request.modelPath},
                  {"lang", &request.lang},
                  {"prompt", &request.prompt}}} {}

  bool null() { return Value(false); }
  bool boolean(bool) { return Value(false); }
  bool number_integer(Json::number_integer_t) { return Value(false); }
  bool number_unsigned(Json::number_unsigned_t) { return Value(false); }
  bool number_float(Json::number_float_t, const Json::string_t&) {
    return Value(false);
  }
  bool binary(Json::binary_t&) { return Value(false); }  // not in JSON text
  bool string(Json::string_t& text) {
    if (pending_ != nullptr) *pending_->text = std::move(text);
    return Value(true);
  }
  bool start_object(std::size_t) {
    if (depth_ == 0) rootIsObject_ = true;
    return Open();
  }
  bool start_array(std::size_t) { return Open(); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(Json::string_t& name) {
    if (depth_ != 1) return true;
    if (!names_.insert(name).second) {
      fault_ = BadRequest(Quoted(name) + " appears more than once");
      return false;
    }
    for (Member& member : members_) {
      if (name == member.name) {
        pending_ = &member;
        break;
      }
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string& token,
                   const nlohmann::detail::exception& error) {
    // Whatever follows the root value is trailing text, a string too.
    const Place place = rootDone_
                            ? Place::kNone
                            : WhereStringEncodesNothing(error.what(), token);
    if (error.id == 406) {
      fault_ = BadRequest("a number is beyond a double's range");
    } else if (place == Place::kValue && pending_ != nullptr) {
      fault_ = BadRequest(Quoted(pending_->name) + " is not valid UTF-8");
    } else if (place != Place::kNone) {
      fault_ = BadRequest("a string is not valid UTF-8");
    } else {
      fault_ = BadRequest("not a JSON text");
    }
    return false;  // the reader stops whatever this returns
  }

  // What the parse found, once it has run.
  CStatus Outcome() {
    if (!fault_.ok()) return std::move(fault_);
    if (!rootIsObject_) return BadRequest("not a JSON object");
    for (const Member& member : members_) {
      if (const char* fault = FaultOf(member)) {
        return BadRequest(Quoted(member.name) + fault);
      }
    }
    return {};
  }

 private:
  // The value of the member that the last key named, or the start of it.
  void Take(bool isString) {
    if (pending_ == nullptr) return;
    pending_->read = isString ? Member::Read::kString : Member::Read::kOther;
    pending_ = nullptr;
  }
  bool Value(bool isString) {
    Take(isString);
    if (depth_ == 0) rootDone_ = true;
    return true;
  }
  bool Open() {
    Take(false);
    if (++depth_ <= kMaxRequestNesting) return true;
    fault_ = BadRequest("nested deeper than " +
                        std::to_string(kMaxRequestNesting) + " levels");
    return false;
  }
  bool Close() {
    rootDone_ = --depth_ == 0;
    return true;
  }

  std::array<Member, 4> members_;
  Member* pending_ = nullptr;  // named by the last key, its value not yet read
  std::set<std::string> names_;  // of the root object
  int depth_ = 0;
  bool rootIsObject_ = false;
  bool rootDone_ = false;
  CStatus fault_;
};

}  // namespace

CStatus ParseRequest(const char* text, StartRequest& request) {
  if (text == nullptr) return BadRequest("no request text");
  // strnlen reads no further than one byte past the limit, however long a
  // text is handed in, and nothing is copied.
  const std::size_t size = strnlen(text, kMaxRequestBytes + 1);
  if (size > kMaxRequestBytes) {
    return BadRequest("longer than " + std::to_string(kMaxRequestBytes) +
                      " bytes");
  }
  StartRequest parsed;
  CRequestHandler handler(parsed);
  // What the reader throws, a failed allocation above all, is not the
  // caller's fault and passes on.
  Json::sax_parse(text, text + size, &handler);
  CStatus outcome = handler.Outcome();
  if (outcome.ok()) request = std::move(parsed);
  return outcome;
}

}  // namespace kestrovandil
