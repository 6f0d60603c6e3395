// CJsonObj::ToJsonText on a random tree decoded from the input. The text
// must be compact, strict JSON in the writer's escaping and member order,
// and must read back, through jsoncpp's reader, into the tree that the
// writer's rules predict; that tree is built here from the stored variants,
// without CJsonValue::ToJsonValue.
//
// Infinities are written 1e+9999 and -1e+9999, which jsoncpp 1.9.5's reader
// refuses as out of range. The form check therefore takes exactly those two
// tokens for a string marker that the writer itself can never produce (its
// strings end at the first U+0000), and the expected tree holds the marker.
//
// Input format, read front to back; bytes past the end read as 0:
//   object  = count (mod 7), then count x (key, value)
//   key     = text of at most 5 units; string values hold at most 8
//   text    = length byte, then that many units
//   unit    = byte b: b < 0x80 is that ASCII unit (NUL and controls too);
//             0xFF is followed by the unit itself, 2 bytes little-endian;
//             otherwise kUnits[b % 16]
//   value   = kind byte (mod 15), then by kind: 0 null; 1 count of nulls;
//             2, 4 four bytes LE; 6 real; 8 one byte, bit 0; 10 text;
//             12 object; 14 the empty (valueless) union; each odd kind a
//             count byte (mod 5) and that many elements of the kind before
//   real    = byte b: b < 16 is kReals[b], else eight bytes LE, the bits
// Objects nest at most kMaxDepth deep (deeper ones are empty), and at most
// kMaxValues values are decoded (the rest are null).

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <json/value.h>

#include "fuzz/FuzzSupport.h"
#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

namespace {

constexpr int kMaxDepth = 5;
constexpr int kMaxValues = 400;
constexpr std::size_t kMaxMembers = 6;
constexpr std::size_t kMaxElements = 4;
constexpr std::size_t kMaxKeyUnits = 5;
constexpr std::size_t kMaxStringUnits = 8;

// Units beyond ASCII that the writer treats specially or that sort
// differently in UTF-16 and UTF-8: the pair D83D DE00 is U+1F600, and the
// lone surrogates become U+FFFD, which then clashes with a real U+FFFD.
constexpr char16_t kUnits[] = {0x00E9, 0x4E2D, 0xFF01, 0xFFFD, 0xFEFF, 0xFFFF,
                               0xE000, 0x0080, 0x07FF, 0x0800, 0xD83D, 0xDE00,
                               0xD800, 0xDBFF, 0xDC00, 0xDFFF};
static_assert(std::size(kUnits) == 16);

constexpr double kReals[] = {0.0,
                             -0.0,
                             1.0,
                             3.0,
                             0.1,
                             -1.5,
                             1e20,
                             1e-300,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::lowest(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             0.3,
                             16000.0};
static_assert(std::size(kReals) == 16);

// Its conversion to CJsonObj throws, so a variant emplacing it is left
// valueless: the only way to make the "empty union".
struct CUnconvertible {
  operator CJsonObj() const { throw std::runtime_error("unconvertible"); }
};

class CDecoder {
 public:
  CDecoder(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}

  CJsonObj Object(int depth) {
    CJsonObj object;
    const std::size_t members = Count(kMaxMembers);
    for (std::size_t i = 0; i < members; ++i) {
      const std::u16string key = Text(kMaxKeyUnits);
      const JsonVariant value = Value(depth);
      object[std::u16string_view(key)] = value;
    }
    return object;
  }

 private:
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  std::uint32_t U32() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      value |= static_cast<std::uint32_t>(Byte()) << shift;
    }
    return value;
  }

  std::size_t Count(std::size_t max) { return Byte() % (max + 1); }

  char16_t Unit() {
    const std::uint8_t b = Byte();
    if (b < 0x80) return b;
    if (b == 0xFF) {
      const std::uint8_t low = Byte();
      return static_cast<char16_t>(low | Byte() << 8);
    }
    return kUnits[b % std::size(kUnits)];
  }

  std::u16string Text(std::size_t maxUnits) {
    std::u16string text(Count(maxUnits), u'\0');
    for (char16_t& unit : text) unit = Unit();
    return text;
  }

  double Real() {
    const std::uint8_t b = Byte();
    if (b < std::size(kReals)) return kReals[b];
    std::uint64_t bits = U32();
    bits |= static_cast<std::uint64_t>(U32()) << 32;
    return std::bit_cast<double>(bits);
  }

  template <typename Element, typename Make>
  std::vector<Element> Elements(Make make) {
    std::vector<Element> elements(Count(kMaxElements));
    for (std::size_t i = 0; i < elements.size(); ++i) elements[i] = make();
    return elements;
  }

  static JsonVariant EmptyUnion() {
    JsonVariant value;
    try {
      value.emplace<CJsonObj>(CUnconvertible{});
    } catch (const std::runtime_error&) {
    }
    fuzz::Check(value.valueless_by_exception(),
                "the harness could not make an empty union");
    return value;
  }

  JsonVariant Value(int depth) {
    if (valuesLeft_ <= 0) return {};
    --valuesLeft_;
    const bool nest = depth < kMaxDepth;
    switch (Byte() % 15) {
      case 0:
        return {};
      case 1:
        return JsonVariant(std::in_place_index<1>, Count(kMaxElements));
      case 2:
        return JsonVariant(std::in_place_index<2>, U32());
      case 3:
        return JsonVariant(std::in_place_index<3>,
                           Elements<std::uint32_t>([this] { return U32(); }));
      case 4:
        return JsonVariant(std::in_place_index<4>,
                           static_cast<std::int32_t>(U32()));
      case 5:
        return JsonVariant(std::in_place_index<5>,
                           Elements<std::int32_t>([this] {
                             return static_cast<std::int32_t>(U32());
                           }));
      case 6:
        return JsonVariant(std::in_place_index<6>, Real());
      case 7:
        return JsonVariant(std::in_place_index<7>,
                           Elements<double>([this] { return Real(); }));
      case 8:
        return JsonVariant(std::in_place_index<8>, (Byte() & 1) != 0);
      case 9:
        return JsonVariant(std::in_place_index<9>, Elements<bool>([this] {
                             return (Byte() & 1) != 0;
                           }));
      case 10:
        return JsonVariant(std::in_place_index<10>, Text(kMaxStringUnits));
      case 11:
        return JsonVariant(
            std::in_place_index<11>,
            Elements<std::u16string>([this] { return Text(kMaxStringUnits); }));
      case 12:
        return JsonVariant(std::in_place_index<12>,
                           nest ? Object(depth + 1) : CJsonObj());
      case 13:
        if (!nest) return JsonVariant(std::in_place_index<13>);
        return JsonVariant(
            std::in_place_index<13>,
            Elements<CJsonObj>([this, depth] { return Object(depth + 1); }));
      default:
        return EmptyUnion();
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int valuesLeft_ = kMaxValues;
};

// --- The tree the text must read back as ---------------------------------

bool Utf16Less(std::u16string_view a, std::u16string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) {
      return static_cast<std::uint16_t>(a[i]) <
             static_cast<std::uint16_t>(b[i]);
    }
  }
  return a.size() < b.size();
}

Json::Value Expected(const JsonVariant& value);

// Integers come back from the reader as signed 64-bit values, which hold
// every 32-bit integer of either sign.
Json::Value Integer(std::int64_t number) { return Json::Int64{number}; }

// What the form check puts in place of an infinity's token.
const std::string& InfinityMarker(bool negative) {
  static const std::string kPositive("\0+inf", 5);
  static const std::string kNegative("\0-inf", 5);
  return negative ? kNegative : kPositive;
}

// A NaN is written null.
Json::Value Real(double number) {
  if (std::isnan(number)) return {};
  if (std::isinf(number)) return InfinityMarker(number < 0);
  return number;
}

// Arrays start null and grow by appending, so an empty one stays null.
template <typename Elements, typename Convert>
Json::Value Array(const Elements& elements, Convert convert) {
  if (elements.empty()) return {};
  Json::Value array(Json::arrayValue);
  for (const auto& element : elements) array.append(convert(element));
  return array;
}

Json::Value ExpectedObject(const CJsonObj& object) {
  std::vector<std::pair<std::u16string_view, const JsonVariant*>> members;
  for (const auto& [key, value] : object) members.emplace_back(key, &value);
  // Which of two keys with the same UTF-8 name wins depends on this order.
  for (std::size_t i = 1; i < members.size(); ++i) {
    fuzz::Check(Utf16Less(members[i - 1].first, members[i].first),
                "CJsonObj does not iterate in UTF-16 code-unit order");
  }
  for (const auto& [key, value] : members) {
    if (key.empty() && !value->valueless_by_exception() &&
        value->index() % 2 == 1) {
      return Expected(*value);
    }
  }
  if (members.empty()) return {};
  Json::Value result(Json::objectValue);
  for (const auto& [key, value] : members) {
    result[fuzz::EncodeUtf8(key)] = Expected(*value);
  }
  return result;
}

Json::Value Expected(const JsonVariant& value) {
  if (value.valueless_by_exception()) return {};
  const auto text = [](const std::u16string& s) {
    return Json::Value(fuzz::EncodeUtf8(s));
  };
  switch (value.index()) {
    case 0:
      return {};
    case 1:
      return Json::Value(Json::arrayValue);
    case 2:
      return Integer(std::get<2>(value));
    case 3:
      return Array(std::get<3>(value), Integer);
    case 4:
      return Integer(std::get<4>(value));
    case 5:
      return Array(std::get<5>(value), Integer);
    case 6:
      return Real(std::get<6>(value));
    case 7:
      return Array(std::get<7>(value), Real);
    case 8:
      return std::get<8>(value);
    case 9:
      return Array(std::get<9>(value), [](bool b) { return Json::Value(b); });
    case 10:
      return text(std::get<10>(value));
    case 11:
      return Array(std::get<11>(value), text);
    case 12:
      return ExpectedObject(std::get<12>(value));
    case 13:
      return Array(std::get<13>(value), ExpectedObject);
  }
  fuzz::Fail("a JsonVariant index past 13");
}

// Where the two trees first differ, or "" when they are the same: same
// types at every node (an integer never equals a real), reals bit for bit.
std::string Difference(const Json::Value& expected, const Json::Value& actual,
                       const std::string& path) {
  if (expected.type() != actual.type()) return path + ": types differ";
  bool same = true;
  switch (expected.type()) {
    case Json::nullValue:
      break;
    case Json::intValue:
      same = expected.asInt64() == actual.asInt64();
      break;
    case Json::uintValue:
      same = expected.asUInt64() == actual.asUInt64();
      break;
    case Json::realValue:
      same = std::bit_cast<std::uint64_t>(expected.asDouble()) ==
             std::bit_cast<std::uint64_t>(actual.asDouble());
      break;
    case Json::stringValue:
      same = expected.asString() == actual.asString();
      break;
    case Json::booleanValue:
      same = expected.asBool() == actual.asBool();
      break;
    case Json::arrayValue:
      if (expected.size() != actual.size()) return path + ": sizes differ";
      for (Json::ArrayIndex i = 0; i < expected.size(); ++i) {
        std::string inner = Difference(expected[i], actual[i],
                                       path + "[" + std::to_string(i) + "]");
        if (!inner.empty()) return inner;
      }
      break;
    case Json::objectValue:
      if (expected.getMemberNames() != actual.getMemberNames()) {
        return path + ": member names differ";
      }
      for (const std::string& name : expected.getMemberNames()) {
        std::string inner =
            Difference(expected[name], actual[name], path + "." + name);
        if (!inner.empty()) return inner;
      }
      break;
  }
  return same ? std::string() : path + ": values differ";
}

// --- The text's form -------------------------------------------------------

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Reads a string whose opening quote is at text[open]; returns the index of
// its closing quote and its bytes with escapes undone.
std::size_t ReadString(std::string_view text, std::size_t open,
                       std::string& content) {
  for (std::size_t i = open + 1;; ++i) {
    fuzz::Check(i < text.size(), "a string is not closed");
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"') return i;
    fuzz::Check(c >= 0x20, "a raw control character in a string");
    if (c != '\\') {
      content += static_cast<char>(c);
      continue;
    }
    fuzz::Check(i + 1 < text.size(), "a string ends in a backslash");
    switch (text[++i]) {
      case '"':
        content += '"';
        break;
      case '\\':
        content += '\\';
        break;
      case 'b':
        content += '\b';
        break;
      case 'f':
        content += '\f';
        break;
      case 'n':
        content += '\n';
        break;
      case 'r':
        content += '\r';
        break;
      case 't':
        content += '\t';
        break;
      case 'u': {
        fuzz::Check(i + 4 < text.size(), "a \\u escape is cut short");
        const std::string_view hex = text.substr(i + 1, 4);
        for (const char digit : hex) {
          fuzz::Check(IsLowerHex(digit),
                      "a \\u escape without four lower-case hex digits");
        }
        const unsigned long unit = std::stoul(std::string(hex), nullptr, 16);
        // Only controls without a short form are escaped this way; all
        // else, non-ASCII included, is written raw.
        fuzz::Check(unit < 0x20 && unit != '\b' && unit != '\f' &&
                        unit != '\n' && unit != '\r' && unit != '\t',
                    "a \\u escape for a character that needs none");
        content += static_cast<char>(unit);
        i += 4;
        break;
      }
      default:
        fuzz::Fail("an escape outside \\\" \\\\ \\b \\f \\n \\r \\t \\u");
    }
  }
}

bool IsNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' ||
         c == 'e' || c == 'E';
}

// The marker as JSON text: a string that starts with an escaped U+0000.
std::string QuotedInfinityMarker(bool negative) {
  return std::string("\"\\u0000") + (negative ? "-" : "+") + "inf\"";
}

// One line without blanks; member names within each object in ascending
// order of their UTF-8 bytes, compared unsigned, a shorter prefix first.
// Returns the text with the infinities' tokens replaced by their markers.
std::string CheckTextForm(std::string_view text) {
  std::string readable;
  fuzz::Check(fuzz::IsWellFormedUtf8(text), "the text is not UTF-8");
  struct Frame {
    bool object;
    bool expectName;
    std::optional<std::string> lastName;
  };
  std::vector<Frame> frames;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '{':
      case '[':
        frames.push_back({c == '{', c == '{', std::nullopt});
        break;
      case '}':
      case ']':
        fuzz::Check(!frames.empty(), "an unbalanced bracket");
        frames.pop_back();
        break;
      case ',':
        if (!frames.empty() && frames.back().object) {
          frames.back().expectName = true;
        }
        break;
      case '"': {
        std::string content;
        const std::size_t open = i;
        i = ReadString(text, i, content);
        readable += text.substr(open, i + 1 - open);
        if (!frames.empty() && frames.back().expectName) {
          Frame& frame = frames.back();
          // std::string compares its chars as unsigned bytes.
          fuzz::Check(!frame.lastName || *frame.lastName < content,
                      "member names are not in ascending UTF-8 byte order");
          frame.lastName = std::move(content);
          frame.expectName = false;
        }
        break;
      }
      default:
        fuzz::Check(static_cast<unsigned char>(c) > 0x20,
                    "white space or a control character outside strings");
        if (c == '-' || (c >= '0' && c <= '9')) {
          std::size_t end = i;
          while (end < text.size() && IsNumberChar(text[end])) ++end;
          const std::string_view token = text.substr(i, end - i);
          if (token == "1e+9999" || token == "-1e+9999") {
            readable += QuotedInfinityMarker(token[0] == '-');
          } else {
            readable += token;
          }
          i = end - 1;
          continue;
        }
    }
    if (c != '"') readable += c;
  }
  return readable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const fuzz::CAllocationLimit limit(size);
  const CJsonObj document = CDecoder(data, size).Object(0);
  const std::string text = document.ToJsonText();
  const std::optional<Json::Value> parsed =
      fuzz::ParseJson(CheckTextForm(text));
  fuzz::Check(parsed.has_value(), "ToJsonText wrote text that is not JSON");
  const Json::Value expected = ExpectedObject(document);
  if (const std::string where = Difference(expected, *parsed, "$");
      !where.empty()) {
    fuzz::Fail("the text does not read back as the expected tree at " + where +
               "\nexpected: " + expected.toStyledString() +
               "text:     " + text);
  }
  // A copy is a deep, equal tree, empty unions included.
  const CJsonObj copy = document;
  fuzz::Check(copy.ToJsonText() == text, "a copy writes different text");
  return 0;
}
