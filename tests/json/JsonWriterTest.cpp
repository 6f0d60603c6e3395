#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <gtest/gtest.h>
#include <json/value.h>

#include "json/CJsonObj.h"
#include "json/CJsonValue.h"
#include "json/JsonVariant.h"

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

struct WriterRow {
  const char* what;
  CJsonObj object;
  std::string_view text;
};

void ExpectTexts(const std::vector<WriterRow>& rows) {
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.object.ToJsonText(), row.text);
  }
}

std::u16string Unit(char16_t unit) { return std::u16string(1, unit); }

TEST(ToJsonText, WritesObjectsAndArrayStandIns) {
  ExpectTexts({
      {"empty object", CJsonObj{}, "null"},
      {"members by key", {{u"b", 1}, {u"a", u"x"}}, R"({"a":"x","b":1})"},
      {"null member", {{u"k", JsonVariant{}}}, R"({"k":null})"},
      {"empty nested object", {{u"k", CJsonObj{}}}, R"({"k":null})"},
      {"nested object", {{u"k", CJsonObj{{u"a", 1}}}}, R"({"k":{"a":1}})"},
      {"empty key with string alone", {{u"", u"x"}}, R"({"":"x"})"},
      {"empty key with int among others",
       {{u"", 1}, {u"a", 2}},
       R"({"":1,"a":2})"},
      {"empty key array hides other members",
       {{u"", std::vector<std::int32_t>{1, 2}},
        {u"a", u"other"},
        {u"z", CJsonObj{{u"q", 1}}}},
       "[1,2]"},
      {"empty key empty array is null",
       {{u"", std::vector<std::int32_t>{}}, {u"a", 1}},
       "null"},
      {"empty key nulls", {{u"", std::vector<std::monostate>(3)}}, "[]"},
      {"empty key objects",
       {{u"", std::vector<CJsonObj>{CJsonObj{{u"a", 1}}, CJsonObj{}}}},
       R"([{"a":1},null])"},
      {"nested stand-in",
       {{u"k",
         CJsonObj{{u"", std::vector<std::u16string>{u"a", u"b"}}, {u"x", 1}}}},
       R"({"k":["a","b"]})"},
      {"stand-in inside array of objects",
       {{u"k", std::vector<CJsonObj>{CJsonObj{{u"", std::vector<bool>{true}},
                                              {u"x", 1}}}}},
       R"({"k":[[true]]})"},
      {"array of one empty object",
       {{u"k", std::vector<CJsonObj>{CJsonObj{}}}},
       R"({"k":[null]})"},
      {"three nulls", {{u"k", std::vector<std::monostate>(3)}}, R"({"k":[]})"},
      {"no nulls", {{u"k", std::vector<std::monostate>{}}}, R"({"k":[]})"},
      {"empty arrays",
       {{u"a", std::vector<std::uint32_t>{}},
        {u"b", std::vector<std::int32_t>{}},
        {u"c", std::vector<double>{}},
        {u"d", std::vector<bool>{}},
        {u"e", std::vector<std::u16string>{}},
        {u"f", std::vector<CJsonObj>{}}},
       R"({"a":null,"b":null,"c":null,"d":null,"e":null,"f":null})"},
  });
}

TEST(ToJsonText, WritesNumbersAndBooleans) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  ExpectTexts({
      {"scalars",
       {{u"u", 4294967295u}, {u"i", -1}, {u"r", 3.0}, {u"t", 0.1}},
       R"({"i":-1,"r":3.0,"t":0.10000000000000001,"u":4294967295})"},
      {"integer limits",
       {{u"a", std::uint32_t{0}},
        {u"b", std::int32_t{-2147483647 - 1}},
        {u"c", std::int32_t{2147483647}}},
       R"({"a":0,"b":-2147483648,"c":2147483647})"},
      {"reals",
       {{u"a", 0.0}, {u"b", -0.5}, {u"c", 16000.0}, {u"d", 1e20}},
       R"({"a":0.0,"b":-0.5,"c":16000.0,"d":1e+20})"},
      {"special reals",
       {{u"n", nan}, {u"p", inf}, {u"m", -inf}},
       R"({"m":-1e+9999,"n":null,"p":1e+9999})"},
      {"booleans", {{u"t", true}, {u"f", false}}, R"({"f":false,"t":true})"},
      {"boolean array",
       {{u"k", std::vector<bool>{true, false, true}}},
       R"({"k":[true,false,true]})"},
      {"number arrays",
       {{u"u", std::vector<std::uint32_t>{0, 4294967295u}},
        {u"i", std::vector<std::int32_t>{-1, 2}},
        {u"r", std::vector<double>{0.5, 3.0, nan, -inf}}},
       R"({"i":[-1,2],"r":[0.5,3.0,null,-1e+9999],"u":[0,4294967295]})"},
  });
}

TEST(ToJsonText, WritesStringsAsEscapedRawUtf8) {
  ExpectTexts({
      {"backslash", {{u"k", u"C:\\a"}}, R"({"k":"C:\\a"})"},
      {"quote and slash", {{u"k", u"\"/"}}, R"({"k":"\"/"})"},
      {"empty string", {{u"k", u""}}, R"({"k":""})"},
      {"Chinese",
       {{u"k", u"\u4E2D\u6587"}},
       "{\"k\":\"\xE4\xB8\xAD\xE6\x96\x87\"}"},
      {"beyond BMP", {{u"k", u"\xD83D\xDE00"}}, "{\"k\":\"\xF0\x9F\x98\x80\"}"},
      {"lone surrogate", {{u"k", Unit(0xDC00)}}, "{\"k\":\"\xEF\xBF\xBD\"}"},
      {"DEL stays raw", {{u"k", u"\x7F"}}, "{\"k\":\"\x7F\"}"},
      {"string array",
       {{u"k", std::vector<std::u16string>{u"a\\", u"", u"\u00E9"}}},
       "{\"k\":[\"a\\\\\",\"\",\"\xC3\xA9\"]}"},
      {"escaped key", {{u"q\"k\\/", 1}}, R"({"q\"k\\/":1})"},
      {"Chinese key", {{u"\u4E2D", 1}}, "{\"\xE4\xB8\xAD\":1}"},
      {"NUL cuts key and string", {{u"ke\0y"s, u"va\0lue"s}}, R"({"ke":"va"})"},
  });
}

TEST(ToJsonText, EscapesEveryControlCharacter) {
  // Worked out apart from the writer: five short escapes, else \u00xx in
  // lower-case hexadecimal.
  const auto escaped = [](char16_t unit) {
    constexpr std::u16string_view kShort = u"\b\f\n\r\t";
    constexpr std::string_view kLetters = "bfnrt";
    constexpr std::string_view kHex = "0123456789abcdef";
    if (const auto at = kShort.find(unit); at != kShort.npos) {
      return "\\"s + kLetters[at];
    }
    return "\\u00"s + kHex[unit >> 4] + kHex[unit & 0xF];
  };
  // U+0000 is left out: it ends the text instead.
  for (char16_t unit = 0x01; unit < 0x20; ++unit) {
    SCOPED_TRACE(static_cast<int>(unit));
    // Built by push_back: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // literal + string for char16_t.
    std::u16string key = u"a", value = u"b";
    key.push_back(unit);
    value.push_back(unit);
    const CJsonObj object{{key, value}};
    EXPECT_EQ(object.ToJsonText(),
              "{\"a" + escaped(unit) + "\":\"b" + escaped(unit) + "\"}");
  }
  EXPECT_EQ(escaped(0x1F), "\\u001f");
}

TEST(ToJsonText, OrdersMembersByUtf8Bytes) {
  // UTF-16 order puts a surrogate pair (D83D...) before U+FF01; UTF-8 order
  // puts EF BC 81 before F0 9F 98 80, and the text follows the latter.
  ExpectTexts({
      {"U+FF01 before emoji",
       {{u"\xD83D\xDE00", 1}, {u"\uFF01", 2}},
       "{\"\xEF\xBC\x81\":2,\"\xF0\x9F\x98\x80\":1}"},
      {"U+E000 before U+10000",
       {{u"\xD800\xDC00", 1}, {u"\uE000", 2}},
       "{\"\xEE\x80\x80\":2,\"\xF0\x90\x80\x80\":1}"},
      {"bytes, prefix first",
       {{u"b", 1}, {u"B", 2}, {u"ab", 3}, {u"a", 4}, {u"", 5}},
       R"({"":5,"B":2,"a":4,"ab":3,"b":1})"},
  });
}

TEST(ToJsonText, LaterKeyWinsWhenNamesCollide) {
  // Both lone surrogates become U+FFFD; D800 precedes DC00 in traversal, so
  // DC00's value is written whatever the insertion order was.
  ExpectTexts({
      {"surrogates",
       {{Unit(0xD800), 1}, {Unit(0xDC00), 2}},
       "{\"\xEF\xBF\xBD\":2}"},
      {"surrogates inserted reversed",
       {{Unit(0xDC00), 2}, {Unit(0xD800), 1}},
       "{\"\xEF\xBF\xBD\":2}"},
      {"NUL-cut key after its prefix",
       {{u"a\0x"s, 2}, {u"a", 1}, {u"b", 3}},
       R"({"a":2,"b":3})"},
  });
}

TEST(ToJsonText, WritesRequestDocumentByteForByte) {
  const CJsonObj request{
      {u"file_path", u"D:\\Common\\Destkop\\test.wav"},
      {u"model_path",
       u"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\ggml-base.bin"},
      {u"lang", u"zh"},
      {u"prompt", u""},
  };
  constexpr std::string_view kExpected =
      R"({"file_path":"D:\\Common\\Destkop\\test.wav","lang":"zh","model_path":"D:\\Common\\Destkop\\whisper-bin-x64-release\\models\\ggml-base.bin","prompt":""})";
  const std::string text = request.ToJsonText();
  EXPECT_EQ(text, kExpected);
  EXPECT_EQ(text.size(), 152u);
  // The library receives it as a C string, so no NUL may hide inside.
  EXPECT_EQ(std::strlen(text.c_str()), 152u);
}

struct ThrowsOnConversion {
  operator CJsonObj() const { throw std::runtime_error("no object"); }
};

// libstdc++ builds vectors and strings aside before emplacing them, so only
// the object alternative is destroyed before its construction can throw.
JsonVariant MakeEmptyUnion() {
  JsonVariant value = u"previous";
  try {
    value.emplace<CJsonObj>(ThrowsOnConversion{});
  } catch (const std::runtime_error&) {
  }
  return value;
}

TEST(ToJsonText, EmptyUnionRendersEmptyAndIsWrittenNull) {
  JsonVariant empty = MakeEmptyUnion();
  ASSERT_TRUE(empty.valueless_by_exception());
  EXPECT_EQ(CJsonValue(&empty).ToString(), u"");
  EXPECT_TRUE(CJsonValue(&empty).ToJsonValue().isNull());
  EXPECT_FALSE(HoldsArray(empty));

  CJsonObj object{{u"a", 1}};
  object[u"k"] = empty;
  ASSERT_TRUE(object.At(u"k").valueless_by_exception());
  EXPECT_EQ(object[u"k"].ToString(), u"");
  EXPECT_EQ(object.ToJsonText(), R"({"a":1,"k":null})");

  // Under the empty key it is an ordinary member, not an array stand-in.
  const CJsonObj underEmptyKey{{u"", empty}};
  EXPECT_EQ(underEmptyKey.ToJsonText(), R"({"":null})");
  const CJsonObj nested{{u"n", CJsonObj{{u"k", empty}}}};
  EXPECT_EQ(nested.ToJsonText(), R"({"n":{"k":null}})");
}

}  // namespace
