#include "json/CJsonObj.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "json/CJsonValue.h"
#include "json/JsonVariant.h"
#include "tests/json/PrintJsonVariant.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pair;

std::vector<std::u16string> Keys(const CJsonObj& object) {
  std::vector<std::u16string> keys;
  for (const auto& [key, value] : object) keys.push_back(key);
  return keys;
}

TEST(CJsonObj, TraversesInCodeUnitOrder) {
  const struct {
    const char* what;
    std::vector<std::u16string> inserted;
    std::vector<std::u16string> traversed;
  } kRows[] = {
      {"ASCII, prefix first",
       {u"b", u"B", u"ab", u"a", u""},
       {u"", u"B", u"a", u"ab", u"b"}},
      {"same keys reversed",
       {u"", u"a", u"ab", u"B", u"b"},
       {u"", u"B", u"a", u"ab", u"b"}},
      {"Latin-1 after ASCII", {u"\u00E9", u"z"}, {u"z", u"\u00E9"}},
      // Code units, not code points: a surrogate pair sorts below U+E000.
      {"surrogate pair before U+FF01",
       {u"\uFF01x", u"\xD83D\xDE00x"},
       {u"\xD83D\xDE00x", u"\uFF01x"}},
      {"surrogate pair before U+E000",
       {u"\uE000", u"\xDBFF\xDFFF", u"\uD7FF"},
       {u"\uD7FF", u"\xDBFF\xDFFF", u"\uE000"}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    CJsonObj object;
    for (const auto& key : row.inserted) object[key] = 1;
    EXPECT_THAT(Keys(object), ElementsAreArray(row.traversed));
  }
}

TEST(CJsonObj, PairConstructionKeepsLaterValueOfRepeatedKey) {
  const CJsonObj object{{u"x", 1}, {u"y", 2}, {u"x", 3}};
  const std::vector<std::pair<std::u16string, JsonVariant>> members(
      object.begin(), object.end());
  EXPECT_THAT(members, ElementsAre(Pair(u"x", JsonVariant(3)),
                                   Pair(u"y", JsonVariant(2))));
  EXPECT_EQ(object.At(u"x").index(), 4u);
}

TEST(CJsonObj, ItemAccessInsertsNullOnlyForAbsentKey) {
  CJsonObj object{{u"present", u"kept"}};

  EXPECT_EQ(object[u"present"].ToString(), u"kept");
  EXPECT_EQ(object.size(), 1u);

  EXPECT_EQ(object[u"absent"].ToString(), u"");
  ASSERT_EQ(object.size(), 2u);
  EXPECT_EQ(object.At(u"absent").index(), 0u);
  EXPECT_EQ(object.At(u"present"), JsonVariant(u"kept"));

  object[u"absent"];
  EXPECT_EQ(object.size(), 2u);
}

TEST(CJsonObj, NarrowKeyActsAsItsWideForm) {
  const struct {
    const char* narrow;
    std::u16string wide;
  } kRows[] = {
      {"data", u"data"},
      {"", u""},
      {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"bad\xFF", u"bad\uFFFD"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.narrow);
    CJsonObj object;
    object[row.narrow] = 5;
    EXPECT_THAT(Keys(object), ElementsAre(row.wide));
    EXPECT_EQ(object[row.wide].ToString(), u"5");
    object[row.wide] = 6;
    EXPECT_EQ(object[row.narrow].ToString(), u"6");
    EXPECT_EQ(object.size(), 1u);
  }
}

TEST(CJsonObj, LookupsNeverInsert) {
  CJsonObj object{{u"a", 1}, {u"b", u"text"}};
  const CJsonObj before = object;

  EXPECT_EQ(object.Find(u"missing"), nullptr);
  EXPECT_EQ(object.Find(u""), nullptr);
  ASSERT_NE(object.Find(u"b"), nullptr);
  EXPECT_EQ(object.Find(u"b"), &object.At(u"b"));
  EXPECT_EQ(*object.Find(u"b"), JsonVariant(u"text"));

  try {
    (void)object.At(u"missing");
    ADD_FAILURE() << "At() of an absent key returned";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "invalid map<K, T> key");
  }
  EXPECT_EQ(object, before);
  EXPECT_THAT(Keys(object), ElementsAre(u"a", u"b"));
}

// root{"mid": {"items": [{"leaf": {"n": 1}}], "s": "x"}}, five levels deep
// through an object, an array of objects and objects inside it.
CJsonObj MakeTree() {
  const CJsonObj leaf{{u"n", 1}};
  const CJsonObj element{{u"leaf", leaf}};
  const CJsonObj mid{{u"items", std::vector<CJsonObj>{element}}, {u"s", u"x"}};
  return CJsonObj{{u"mid", mid}};
}

// The object reached after `depth` steps down MakeTree()'s spine, so the
// test can write in place exactly where a shallow copy would share storage.
CJsonObj& Nested(CJsonObj& root, int depth) {
  const auto open = [](CJsonObj& object,
                       std::u16string_view key) -> JsonVariant& {
    return object.At(key);
  };
  CJsonObj* object = &root;
  if (depth >= 1) object = &std::get<CJsonObj>(open(*object, u"mid"));
  if (depth >= 2) {
    object = &std::get<std::vector<CJsonObj>>(open(*object, u"items")).at(0);
  }
  if (depth >= 3) object = &std::get<CJsonObj>(open(*object, u"leaf"));
  return *object;
}

// Pairs of unequal objects: alike in size and values but for one key, or
// with arrays of objects of different lengths, each way round.
TEST(CJsonObj, EqualityComparesKeys) {
  const CJsonObj kPairs[][2] = {
      {{{u"a", 1}}, {{u"b", 1}}},
      {{{u"o", CJsonObj{{u"a", 1}}}}, {{u"o", CJsonObj{{u"b", 1}}}}},
      {{{u"a", std::vector<CJsonObj>(1)}}, {{u"a", std::vector<CJsonObj>(2)}}},
      {{{u"a", std::vector<CJsonObj>(2)}}, {{u"a", std::vector<CJsonObj>(1)}}},
  };
  for (const auto& [one, other] : kPairs) {
    EXPECT_FALSE(one == other);
    EXPECT_FALSE(other == one);
    EXPECT_TRUE(one != other);
  }
}

TEST(CJsonObj, CopiesAreIndependentAtEveryDepth) {
  const CJsonObj pristine = MakeTree();
  for (int depth = 0; depth <= 3; ++depth) {
    SCOPED_TRACE(depth);
    {
      CJsonObj source = MakeTree();
      CJsonObj copy = source;
      Nested(copy, depth)[u"n"] = u"changed in copy";
      Nested(copy, depth)[u"added"] = true;
      EXPECT_EQ(source, pristine);
      EXPECT_NE(copy, pristine);
    }
    {
      CJsonObj source = MakeTree();
      const CJsonObj copy = source;
      Nested(source, depth)[u"n"] = u"changed in source";
      EXPECT_EQ(copy, pristine);
    }
    {
      CJsonObj source = MakeTree();
      CJsonObj assigned{{u"old", 1}, {u"s", 2}};
      assigned = source;
      EXPECT_EQ(assigned, pristine);
      Nested(assigned, depth)[u"n"] = 2.5;
      EXPECT_EQ(source, pristine);
      Nested(source, depth)[u"n"] = false;
      EXPECT_EQ(std::get<double>(Nested(assigned, depth).At(u"n")), 2.5);
    }
  }
}

TEST(CJsonObj, SelfAssignmentKeepsMembers) {
  CJsonObj object = MakeTree();
  object[u"other"] = std::vector<std::u16string>{u"a", u"b"};
  const CJsonObj before = object;
  const CJsonObj& alias = object;
  object = alias;
  EXPECT_EQ(object, before);
  EXPECT_EQ(object.size(), 2u);
}

// Assigning a part of a tree to the tree (or to the member that holds the
// part) must copy the part before the old content goes.
TEST(CJsonObj, AssignmentFromOwnDescendantCopiesFirst) {
  const CJsonObj inner{{u"x", 1},
                       {u"y", u"long enough to need the heap"},
                       {u"z", std::vector<CJsonObj>{CJsonObj{{u"w", true}}}}};
  const CJsonObj middle{{u"inner", inner}, {u"n", 2}};

  CJsonObj whole{{u"middle", middle}, {u"s", u"x"}};
  whole = std::get<CJsonObj>(whole.At(u"middle"));
  EXPECT_EQ(whole, middle);

  CJsonObj holder{{u"middle", middle}};
  holder[u"middle"] = std::get<CJsonObj>(holder.At(u"middle")).At(u"inner");
  EXPECT_EQ(holder.At(u"middle"), JsonVariant(inner));

  // An array of objects replaced by an array held by one of its elements.
  CJsonObj list{{u"list", std::vector<CJsonObj>{inner}}};
  list[u"list"] =
      std::get<std::vector<CJsonObj>>(list.At(u"list")).at(0).At(u"z");
  EXPECT_EQ(list.At(u"list"), inner.At(u"z"));
}

static_assert(std::is_nothrow_move_constructible_v<CJsonObj>);
static_assert(std::is_nothrow_move_assignable_v<CJsonObj>);
static_assert(std::is_nothrow_swappable_v<CJsonObj>);
static_assert(std::is_nothrow_move_constructible_v<JsonVariant>);
static_assert(std::is_nothrow_move_assignable_v<JsonVariant>);

// A move hands over the source's member nodes, so every value keeps its
// address (a copy would not) and the source is left empty and usable. The
// source may also be an object nested inside the target.
TEST(CJsonObj, MovesAndSwapHandOverTheMembers) {
  const CJsonObj inner{{u"x", 1}, {u"y", u"long enough to need the heap"}};
  const CJsonObj middle{{u"inner", inner}, {u"n", 2}};
  const CJsonObj whole{{u"middle", middle}, {u"s", u"x"}};
  const CJsonObj other{{u"list", std::vector<CJsonObj>{inner}}};
  const auto expectEmptyAndUsable = [](CJsonObj& movedFrom) {
    EXPECT_TRUE(movedFrom.empty());
    movedFrom[u"again"] = 3;
    EXPECT_EQ(movedFrom, (CJsonObj{{u"again", 3}}));
  };
  {
    SCOPED_TRACE("construction");
    CJsonObj source = whole;
    const JsonVariant* held = &source.At(u"middle");
    const CJsonObj target(std::move(source));
    EXPECT_EQ(target, whole);
    EXPECT_EQ(&target.At(u"middle"), held);
    expectEmptyAndUsable(source);
  }
  {
    SCOPED_TRACE("assignment");
    CJsonObj source = whole;
    CJsonObj target = other;
    const JsonVariant* held = &source.At(u"middle");
    target = std::move(source);
    EXPECT_EQ(target, whole);
    EXPECT_EQ(&target.At(u"middle"), held);
    expectEmptyAndUsable(source);
  }
  {
    SCOPED_TRACE("assignment from an object nested in the target");
    CJsonObj target = whole;
    CJsonObj& nested = std::get<CJsonObj>(target.At(u"middle"));
    const JsonVariant* held = &nested.At(u"inner");
    target = std::move(nested);
    EXPECT_EQ(target, middle);
    EXPECT_EQ(&target.At(u"inner"), held);
  }
  {
    SCOPED_TRACE("a member's variant from an object nested in it");
    CJsonObj target = whole;
    JsonVariant& member = target.At(u"middle");
    member = std::move(std::get<CJsonObj>(member).At(u"inner"));
    EXPECT_EQ(target, (CJsonObj{{u"middle", inner}, {u"s", u"x"}}));
  }
  {
    SCOPED_TRACE("through a handle, from an object nested in its member");
    CJsonObj target = whole;
    JsonVariant& held = std::get<CJsonObj>(target.At(u"middle")).At(u"inner");
    const JsonVariant* leaf = &std::get<CJsonObj>(held).At(u"y");
    target[u"middle"] = std::move(held);
    EXPECT_EQ(target, (CJsonObj{{u"middle", inner}, {u"s", u"x"}}));
    EXPECT_EQ(&std::get<CJsonObj>(target.At(u"middle")).At(u"y"), leaf);
  }
  {
    SCOPED_TRACE("a variant assigned an object's rvalue");
    CJsonObj source = whole;
    const JsonVariant* held = &source.At(u"middle");
    JsonVariant target = other;
    target = std::move(source);
    EXPECT_EQ(&std::get<CJsonObj>(target).At(u"middle"), held);
  }
  {
    SCOPED_TRACE("self-move");
    CJsonObj target = whole;
    CJsonObj& alias = target;
    target = std::move(alias);
    EXPECT_EQ(target, whole);
  }
  {
    SCOPED_TRACE("swap");
    CJsonObj left = whole;
    CJsonObj right = other;
    const JsonVariant* leftHeld = &left.At(u"middle");
    const JsonVariant* rightHeld = &right.At(u"list");
    using std::swap;
    swap(left, right);
    EXPECT_EQ(left, other);
    EXPECT_EQ(right, whole);
    EXPECT_EQ(&left.At(u"list"), rightHeld);
    EXPECT_EQ(&right.At(u"middle"), leftHeld);
  }
}

// A variant assigned a value that it holds itself, of every kind, copied or
// moved, as a variant or as its alternative: the source is read before the
// old content goes.
TEST(JsonVariant, AssignmentFromInsideTheTargetReadsTheSourceFirst) {
  const std::u16string heap = u"long enough to need the heap";
  const struct {
    const char* what;
    JsonVariant value;
  } kRows[] = {
      {"null", JsonVariant{}},
      {"nulls", std::vector<std::monostate>(3)},
      {"uint32_t", std::uint32_t{4000000000u}},
      {"uint32_t array", std::vector<std::uint32_t>{1, 4000000000u}},
      {"int32_t", std::int32_t{-7}},
      {"int32_t array", std::vector<std::int32_t>{-7, 8}},
      {"double", 0.25},
      {"double array", std::vector<double>{0.25, 1e20}},
      {"bool", true},
      {"bool array", std::vector<bool>(100, true)},
      {"string", heap},
      {"string array", std::vector<std::u16string>{heap, u""}},
      {"object", CJsonObj{{u"x", 1}, {u"y", heap}}},
      {"object array",
       std::vector<CJsonObj>{CJsonObj{{u"y", heap}}, CJsonObj{}}},
  };
  enum Way { kCopy, kMove, kCopyAlternative, kMoveAlternative };
  const auto assign = [](JsonVariant& target, JsonVariant& source, Way way) {
    if (way == kCopy) target = source;
    if (way == kMove) target = std::move(source);
    if (way == kCopyAlternative) {
      std::visit([&](auto& content) { target = content; }, source);
    }
    if (way == kMoveAlternative) {
      std::visit([&](auto& content) { target = std::move(content); }, source);
    }
  };
  using Objects = std::vector<CJsonObj>;
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    for (const Way way : {kCopy, kMove, kCopyAlternative, kMoveAlternative}) {
      SCOPED_TRACE(way);
      JsonVariant member = CJsonObj{{u"a", heap}, {u"m", row.value}};
      assign(member, std::get<CJsonObj>(member).At(u"m"), way);
      EXPECT_EQ(member, row.value) << "from an object member";

      JsonVariant deep =
          Objects{CJsonObj{{u"a", heap}}, CJsonObj{{u"m", row.value}}};
      assign(deep, std::get<Objects>(deep)[1].At(u"m"), way);
      EXPECT_EQ(deep, row.value) << "from a member of an array's object";

      JsonVariant self = row.value;
      assign(self, self, way);
      EXPECT_EQ(self, row.value) << "from itself";
    }
    const CJsonObj element{{u"m", row.value}};
    JsonVariant copied = Objects{CJsonObj{{u"a", heap}}, element};
    copied = std::get<Objects>(copied)[1];
    EXPECT_EQ(copied, JsonVariant(element)) << "copy of an array's object";
    JsonVariant moved = Objects{CJsonObj{{u"a", heap}}, element};
    moved = std::move(std::get<Objects>(moved)[1]);
    EXPECT_EQ(moved, JsonVariant(element)) << "move of an array's object";
  }
}

}  // namespace
