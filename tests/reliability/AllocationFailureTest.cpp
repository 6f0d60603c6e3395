// Sweeps each operation over every allocation it makes: attempt n makes the
// n-th one throw std::bad_alloc, until an attempt completes untouched. Every
// attempt must give back all it allocated and leave what it was given in the
// state that the operation promises.

#include "tests/support/AllocationFailure.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "json/CJsonObj.h"
#include "json/CJsonValue.h"
#include "json/JsonVariant.h"
#include "records/CDdevFilter.h"
#include "records/CDevConfig.h"
#include "records/FieldRegistry.h"

namespace {

// Longer than the in-place buffer of a std::u16string, so each copy of it
// allocates and the sweep reaches that allocation.
const std::u16string kLong = u"a text too long to be stored in place";

// Calls attempt(n) for n = 1, 2, ... until the armed failure no longer
// happens, checking that each attempt leaks nothing. Returns the number of
// allocations the operation makes.
template <typename Attempt>
std::size_t Sweep(const Attempt& attempt) {
  for (std::size_t n = 1; n < 100000; ++n) {
    SCOPED_TRACE(::testing::Message() << "allocation " << n);
    const std::ptrdiff_t liveBefore = LiveAllocations();
    attempt(n);
    EXPECT_EQ(LiveAllocations(), liveBefore) << "leaked";
    if (!AllocationFailureHappened()) return n - 1;
  }
  ADD_FAILURE() << "the operation never completed";
  return 0;
}

CJsonObj MakeLeaf(std::int32_t number) {
  return CJsonObj{{u"leaf number", number}, {u"leaf text", kLong}};
}

// Every alternative at the top; strings, arrays of strings, objects and
// arrays of objects again below, down to four levels.
CJsonObj MakeRichTree() {
  const CJsonObj nested{
      {u"nested string", kLong},
      {u"nested strings", std::vector<std::u16string>{kLong, u"", kLong}},
      {u"nested object", MakeLeaf(1)},
      {u"nested objects",
       std::vector<CJsonObj>{MakeLeaf(2), CJsonObj{}, MakeLeaf(3)}}};
  return CJsonObj{{u"00 null", JsonVariant{}},
                  {u"01 nulls", std::vector<std::monostate>(3)},
                  {u"02 unsigned", std::uint32_t{7}},
                  {u"03 unsigned array", std::vector<std::uint32_t>{1, 2, 3}},
                  {u"04 integer", -4},
                  {u"05 integers", std::vector<std::int32_t>{-1, 0, 1}},
                  {u"06 real", 0.5},
                  {u"07 reals", std::vector<double>{0.25, 1e20}},
                  {u"08 boolean", true},
                  {u"09 booleans", std::vector<bool>{true, false, true}},
                  {u"10 string", kLong},
                  {u"11 strings", std::vector<std::u16string>{kLong, kLong}},
                  {u"12 object", nested},
                  {u"13 objects", std::vector<CJsonObj>{nested, MakeLeaf(4)}}};
}

TEST(AllocationFailure, CopyConstructionLeavesSourceUnchanged) {
  const CJsonObj tree = MakeRichTree();
  std::vector<JsonVariant> sources{JsonVariant(tree)};
  for (const auto& member : tree) sources.push_back(member.second);
  for (const JsonVariant& source : sources) {
    SCOPED_TRACE(::testing::Message() << "alternative " << source.index());
    const JsonVariant pristine = source;
    Sweep([&](std::size_t n) {
      std::optional<JsonVariant> copy;
      ThrowsWhenAllocationsFail(FailNthAllocation, n,
                                [&] { copy.emplace(source); });
      if (copy) {
        EXPECT_EQ(*copy, source);
      }
      EXPECT_EQ(source, pristine);
    });
  }
  const std::size_t allocations = Sweep([&](std::size_t n) {
    std::optional<CJsonObj> copy;
    ThrowsWhenAllocationsFail(FailNthAllocation, n,
                              [&] { copy.emplace(tree); });
    if (copy) {
      EXPECT_EQ(*copy, tree);
    }
  });
  // At least one per member of the top level alone.
  EXPECT_GT(allocations, tree.size());
}

// What a failed assignment leaves in the target.
enum class Promise {
  kOldValue,          // a string or sequence into another alternative
  kOldNewOrEmpty,     // an object into another alternative
  kDestroyableValue,  // in place, into the same alternative
};

TEST(AllocationFailure, CopyAssignmentKeepsItsPromise) {
  const CJsonObj tree = MakeRichTree();
  using Strings = std::vector<std::u16string>;
  const struct {
    const char* what;
    JsonVariant old;
    JsonVariant source;
    Promise promise;
  } kRows[] = {
      {"nulls over null", JsonVariant{}, std::vector<std::monostate>(3),
       Promise::kOldValue},
      {"unsigned array over a boolean", false, std::vector<std::uint32_t>{1, 2},
       Promise::kOldValue},
      {"integers over an object", tree, std::vector<std::int32_t>{1, 2},
       Promise::kOldValue},
      {"reals over objects", std::vector<CJsonObj>{tree},
       std::vector<double>{0.5}, Promise::kOldValue},
      {"booleans over a real", 0.5, std::vector<bool>(100, true),
       Promise::kOldValue},
      {"string over an integer", 4, kLong, Promise::kOldValue},
      {"strings over a string", kLong, Strings{kLong, kLong, kLong},
       Promise::kOldValue},
      {"objects over strings", Strings{kLong},
       std::vector<CJsonObj>{tree, MakeLeaf(5)}, Promise::kOldValue},
      {"object over a string", kLong, tree, Promise::kOldNewOrEmpty},
      {"object over objects", std::vector<CJsonObj>{MakeLeaf(6)}, tree,
       Promise::kOldNewOrEmpty},
      {"object over an object", MakeLeaf(7), tree, Promise::kDestroyableValue},
      {"strings over strings", Strings{u"short", kLong},
       Strings{kLong, kLong, kLong}, Promise::kDestroyableValue},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    const JsonVariant pristineSource = row.source;
    const std::size_t allocations = Sweep([&](std::size_t n) {
      CJsonObj holder{{u"member", row.old}};
      CJsonValue member = holder[u"member"];
      const bool threw = ThrowsWhenAllocationsFail(
          FailNthAllocation, n, [&] { member = row.source; });
      const JsonVariant& now = holder.At(u"member");
      if (!threw) {
        EXPECT_EQ(now, row.source);
      } else if (row.promise == Promise::kOldValue) {
        EXPECT_EQ(now, row.old);
      } else if (row.promise == Promise::kOldNewOrEmpty) {
        EXPECT_TRUE(now == row.old || now == row.source ||
                    now.valueless_by_exception());
      }
      EXPECT_NO_THROW(static_cast<void>(holder.ToJsonText()));
      EXPECT_EQ(row.source, pristineSource);
    });
    EXPECT_GT(allocations, 0u);
  }
}

TEST(AllocationFailure, ToJsonTextLeavesObjectUnchanged) {
  const CJsonObj kRows[] = {
      MakeRichTree(),
      CJsonObj{{u"", std::vector<CJsonObj>{MakeLeaf(1), MakeRichTree()}}},
  };
  for (const CJsonObj& object : kRows) {
    const CJsonObj pristine = object;
    const std::string expected = object.ToJsonText();
    const std::size_t allocations = Sweep([&](std::size_t n) {
      std::optional<std::string> text;
      ThrowsWhenAllocationsFail(FailNthAllocation, n,
                                [&] { text.emplace(object.ToJsonText()); });
      if (text) {
        EXPECT_EQ(*text, expected);
      }
      EXPECT_EQ(object, pristine);
    });
    // At least a node of the jsoncpp tree per member.
    EXPECT_GT(allocations, object.size());
  }
}

// Sweeps ToJsonObj on a record whose every string allocates when copied.
template <typename Record>
void SweepToJsonObj(Record& record) {
  const CJsonObj before = ToJsonObj(record);
  const std::size_t allocations = Sweep([&](std::size_t n) {
    std::optional<CJsonObj> written;
    ThrowsWhenAllocationsFail(FailNthAllocation, n,
                              [&] { written.emplace(ToJsonObj(record)); });
    if (written) {
      EXPECT_EQ(*written, before);
    }
    EXPECT_EQ(ToJsonObj(record), before);
  });
  EXPECT_GT(allocations, record.registry.size());
}

TEST(AllocationFailure, ToJsonObjLeavesRecordUnchanged) {
  CDdevFilter filter;
  filter.vcModelEmbd = filter.vcModelIndex = kLong;
  filter.vcModelMain = filter.vcModelSeparate = kLong;
  filter.denoiseLevel = -3;
  SweepToJsonObj(filter);

  CDevConfig config;
  config.devIdIn = config.devNameIn = config.devIdOut = kLong;
  config.devNameOut = kLong;
  config.devInFilter.vcModelEmbd = kLong;
  config.devOutFilter.vcModelMain = kLong + u" out";
  SweepToJsonObj(config);
}

// A construction that fails part-way destroys what it had built.
TEST(AllocationFailure, RecordConstructionReleasesWhatItBuilt) {
  CDevConfig reference;
  const CJsonObj expected = ToJsonObj(reference);
  const std::size_t allocations = Sweep([&](std::size_t n) {
    std::optional<CDevConfig> config;
    ThrowsWhenAllocationsFail(FailNthAllocation, n, [&] { config.emplace(); });
    if (config) {
      EXPECT_EQ(ToJsonObj(*config), expected);
    }
  });
  // At least a registry entry each: 6, and 21 in each of the two filters
  // and in each of the two fresh filters they are copied from.
  EXPECT_GE(allocations, 6u + 4 * 21u);
}

}  // namespace
