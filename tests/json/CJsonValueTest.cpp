#include "json/CJsonValue.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"
#include "tests/json/PrintJsonVariant.h"
#include "tests/support/DecimalCommaLocale.h"

namespace {

using namespace std::string_literals;

TEST(JsonVariant, ConstructionSelectsAlternative) {
  const struct {
    const char* what;
    JsonVariant value;
    std::size_t index;
  } kRows[] = {
      {"default", JsonVariant{}, 0},
      {"nulls", std::vector<std::monostate>(2), 1},
      {"uint32_t", std::uint32_t{7}, 2},
      {"unsigned literal", 7u, 2},
      {"uint32_t array", std::vector<std::uint32_t>{7}, 3},
      {"int32_t", std::int32_t{-7}, 4},
      {"int literal", 7, 4},
      {"int32_t array", std::vector<std::int32_t>{-7}, 5},
      {"double", 7.0, 6},
      {"double array", std::vector<double>{7.0}, 7},
      {"bool", true, 8},
      {"bool array", std::vector<bool>{true}, 9},
      {"u16string", u"text"s, 10},
      {"u16string literal", u"text", 10},
      {"empty u16string literal", u"", 10},
      {"u16string array", std::vector<std::u16string>{u"text"}, 11},
      {"object", CJsonObj{{u"a", 1}}, 12},
      {"object array", std::vector<CJsonObj>{CJsonObj{}}, 13},
  };
  // The kinds in their order, as generic code sees them through the
  // variant's own traits and functions.
  using Kinds =
      std::tuple<std::monostate, std::vector<std::monostate>, std::uint32_t,
                 std::vector<std::uint32_t>, std::int32_t,
                 std::vector<std::int32_t>, double, std::vector<double>, bool,
                 std::vector<bool>, std::u16string, std::vector<std::u16string>,
                 CJsonObj, std::vector<CJsonObj>>;
  static_assert(std::variant_size_v<JsonVariant> == 14);
  static_assert(std::variant_size_v<const JsonVariant> == 14);
  [&]<std::size_t... Index>(std::index_sequence<Index...>) {
    static_assert(
        (std::is_same_v<std::variant_alternative_t<Index, JsonVariant>,
                        std::tuple_element_t<Index, Kinds>> &&
         ...));
    static_assert(
        (std::is_same_v<std::variant_alternative_t<Index, const JsonVariant>,
                        const std::tuple_element_t<Index, Kinds>> &&
         ...));
    const auto check = [](auto index) {
      using Kind = std::tuple_element_t<index, Kinds>;
      JsonVariant value(std::in_place_index<index>);
      EXPECT_TRUE(std::holds_alternative<Kind>(value)) << index;
      EXPECT_EQ(std::get_if<index>(&value), &std::get<Kind>(value)) << index;
      EXPECT_EQ(value, JsonVariant(Kind{})) << index;
    };
    (check(std::integral_constant<std::size_t, Index>{}), ...);
  }
  (std::make_index_sequence<14>{});

  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    ASSERT_FALSE(row.value.valueless_by_exception());
    EXPECT_EQ(row.value.index(), row.index);
    // The position of the visited content's type among the kinds.
    const std::size_t visited = std::visit(
        [](const auto& content) {
          using Kind = std::remove_cvref_t<decltype(content)>;
          return [&]<std::size_t... Index>(std::index_sequence<Index...>) {
            return ((std::is_same_v<Kind, std::tuple_element_t<Index, Kinds>>
                         ? Index
                         : 0) +
                    ...);
          }
          (std::make_index_sequence<14>{});
        },
        row.value);
    EXPECT_EQ(visited, row.index);
  }

  // A pointer-to-bool conversion must not win over the string, nor make
  // narrow text, which has no alternative of its own, compile as a boolean.
  static_assert(!std::is_constructible_v<JsonVariant, const char*>);
  const JsonVariant literal = u"text";
  ASSERT_EQ(literal.index(), 10u);
  EXPECT_EQ(std::get<std::u16string>(literal), u"text");
}

TEST(CJsonValue, ToStringRendersEachAlternative) {
  const struct {
    const char* what;
    JsonVariant value;
    std::u16string text;
  } kRows[] = {
      {"null", JsonVariant{}, u""},
      {"uint32_t zero", std::uint32_t{0}, u"0"},
      {"uint32_t max", std::uint32_t{4294967295u}, u"4294967295"},
      {"int32_t -1", std::int32_t{-1}, u"-1"},
      {"int32_t min", std::int32_t{-2147483647 - 1}, u"-2147483648"},
      {"int32_t max", std::int32_t{2147483647}, u"2147483647"},
      {"16000.0", 16000.0, u"16000.000000"},
      {"0.3", 0.3, u"0.300000"},
      {"0.01", 0.01, u"0.010000"},
      {"-0.5", -0.5, u"-0.500000"},
      {"1e20", 1e20, u"100000000000000000000.000000"},
      {"0.5", 0.5, u"0.500000"},
      {"-DBL_MAX", -std::numeric_limits<double>::max(),
       u"-17976931348623157081452742373170435679807056752584499659891747680315"
       u"72607800285387605895586327668781715404589535143824642343213268894641"
       u"82768467546703537516986049910576551282076245490090389328944075868508"
       u"45513394230458323690322294816580855933212334827479782620414472316873"
       u"8177180919299881250404026184124858368.000000"},
      {"NaN", std::numeric_limits<double>::quiet_NaN(), u"nan"},
      {"-NaN", -std::numeric_limits<double>::quiet_NaN(), u"-nan"},
      {"infinity", std::numeric_limits<double>::infinity(), u"inf"},
      {"-infinity", -std::numeric_limits<double>::infinity(), u"-inf"},
      {"true", true, u"1"},
      {"false", false, u"0"},
      {"string", u"text"s, u"text"},
      {"empty string", u""s, u""},
      {"string beyond BMP", u"\u4E2D\xD83D\xDE00"s, u"\u4E2D\xD83D\xDE00"},
      {"string with NUL", u"a\0b"s, u"a\0b"s},
      {"empty null array", std::vector<std::monostate>{}, u""},
      {"null array", std::vector<std::monostate>(3), u""},
      {"uint32_t array", std::vector<std::uint32_t>{1, 2}, u""},
      {"int32_t array", std::vector<std::int32_t>{-1}, u""},
      {"double array", std::vector<double>{0.5}, u""},
      {"bool array", std::vector<bool>{true, false}, u""},
      {"string array", std::vector<std::u16string>{u"text"}, u""},
      {"empty object", CJsonObj{}, u""},
      {"object", CJsonObj{{u"a", u"text"}}, u""},
      {"object array", std::vector<CJsonObj>{CJsonObj{{u"a", 1}}}, u""},
  };
  // The same text in a locale whose decimal separator is a comma.
  for (const bool comma : {false, true}) {
    SCOPED_TRACE(comma ? "decimal comma locale" : "C locale");
    std::optional<DecimalCommaLocale> german;
    if (comma) german.emplace();
    for (const auto& row : kRows) {
      SCOPED_TRACE(row.what);
      JsonVariant value = row.value;
      EXPECT_EQ(CJsonValue(&value).ToString(), row.text);
    }
  }

  CJsonObj object;
  EXPECT_EQ(object[u"fresh"].ToString(), u"");
}

TEST(CJsonValue, AssignmentReplacesAlternative) {
  const struct {
    const char* what;
    JsonVariant before;
    JsonVariant after;
    std::size_t index;
    std::u16string text;
  } kRows[] = {
      {"string to int", u"text", std::int32_t{-7}, 4, u"-7"},
      {"int to string", std::int32_t{-7}, u"text", 10, u"text"},
      {"object to double", CJsonObj{{u"a", 1}}, 0.5, 6, u"0.500000"},
      {"array to bool", std::vector<std::u16string>{u"x"}, false, 8, u"0"},
      {"bool to array", true, std::vector<std::int32_t>{1}, 5, u""},
      {"string to string", u"long old text", u"new", 10, u"new"},
      {"string to null", u"text", JsonVariant{}, 0, u""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    CJsonObj object;
    object[u"k"] = row.before;
    object[u"k"] = row.after;
    ASSERT_EQ(object.size(), 1u);
    EXPECT_EQ(object.At(u"k").index(), row.index);
    EXPECT_EQ(object.At(u"k"), row.after);
    EXPECT_EQ(object[u"k"].ToString(), row.text);
  }
}

TEST(CJsonValue, SelfAssignmentLeavesValueUnchanged) {
  const JsonVariant kRows[] = {
      std::int32_t{5},
      u"some text long enough to live on the heap",
      std::vector<std::u16string>{u"a", u"b"},
      std::vector<bool>{true, false, true},
      CJsonObj{{u"inner", CJsonObj{{u"leaf", u"x"}}}, {u"n", 1}},
      std::vector<CJsonObj>{CJsonObj{{u"a", 1}}, CJsonObj{}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.index());
    CJsonObj object;
    object[u"k"] = row;
    CJsonValue handle = object[u"k"];
    handle = object.At(u"k");
    EXPECT_EQ(object.size(), 1u);
    EXPECT_EQ(object.At(u"k"), row);
  }
}

#if !defined(NDEBUG)
// Moving in a tree that holds the handle's own value would make the tree
// own itself; builds with assertions stop there, and only there: not for a
// tree built before or after the handle's object, nor for another value.
TEST(CJsonValue, MovingATreeIntoItsOwnMemberAsserts) {
  CJsonObj before;
  for (char16_t key = u'a'; key <= u'z'; ++key)
    before[std::u16string(1, key)] = 1;
  CJsonObj tree{{u"k", 1}};
  CJsonObj after = before;
  CJsonValue handle = tree[u"k"];
  handle = std::move(before);
  handle = std::move(after);
  handle = std::vector<CJsonObj>(2);
  handle = 1;
  CJsonValue own = tree[u"k"];
  EXPECT_DEATH(own = std::move(tree), "moving a tree into its own member");
}
#endif

TEST(CJsonValue, HandleSurvivesLaterInsertions) {
  CJsonObj object;
  CJsonValue handle = object[u"a"];
  handle = std::int32_t{1};
  const JsonVariant* const address = object.Find(u"a");

  object[u"b"] = 2;
  object[u"c"] = 3;
  EXPECT_EQ(handle.ToString(), u"1");

  // Keys on both sides of 'a' make the tree rebalance around its node.
  for (int i = 0; i < 5000; ++i) {
    const std::string digits = std::to_string(i);
    std::u16string key(digits.begin(), digits.end());
    object[key] = i;
    key.insert(key.begin(), u'z');
    object[key] = i;
  }
  ASSERT_EQ(object.size(), 10003u);
  EXPECT_EQ(object.Find(u"a"), address);

  handle = u"through the old handle";
  EXPECT_EQ(std::get<std::u16string>(object.At(u"a")),
            u"through the old handle");
  object[u"a"] = 42u;
  EXPECT_EQ(handle.ToString(), u"42");
  EXPECT_EQ(object.At(u"b"), JsonVariant(2));
}

}  // namespace
