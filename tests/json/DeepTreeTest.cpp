// Trees nested far deeper than any document, on the 1 MiB stack of a
// Windows thread: freeing, copying and comparing work at any depth, freeing
// even when memory has run out; writing refuses what is deeper than
// kJsonMaxWriteDepth before the stack runs out.

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>
#include <json/value.h>

#include "json/CJsonObj.h"
#include "json/CJsonValue.h"
#include "json/JsonVariant.h"
#include "tests/support/AllocationFailure.h"
#include "tests/support/SmallStack.h"

namespace {

// One way to nest: each step wraps the chain so far in an object, around
// an array of one object or not, written as `open` and `close` around it.
struct Shape {
  const char* what;
  std::u16string key;
  enum { kObjects, kArrays, kAlternating } arrays;
  std::string open, close;
};

const Shape kObjects{"objects", u"a", Shape::kObjects, R"({"a":)", "}"};
const Shape kArrays{"arrays of objects", u"a", Shape::kArrays, R"({"a":[)",
                    "]}"};
const Shape kStandIns{"array stand-ins", u"", Shape::kArrays, "[", "]"};
// An object, then an object around an array, and so on: both ways down.
const Shape kAlternating{"objects and arrays", u"a", Shape::kAlternating, "",
                         ""};

bool InArray(const Shape& shape, std::size_t step) {
  return shape.arrays == Shape::kArrays ||
         (shape.arrays == Shape::kAlternating && step % 2 == 1);
}

// Levels of objects and arrays after `steps` steps.
std::size_t Levels(const Shape& shape, std::size_t steps) {
  std::size_t levels = 1;
  for (std::size_t step = 0; step < steps; ++step) {
    levels += InArray(shape, step) ? 2 : 1;
  }
  return levels;
}

// {"a":leaf} wrapped `steps` times, by moves alone: a copy at each step
// would make building quadratic in the depth.
CJsonObj Chain(const Shape& shape, std::size_t steps,
               const JsonVariant& leaf = 1) {
  CJsonObj chain{{u"a", leaf}};
  for (std::size_t step = 0; step < steps; ++step) {
    CJsonObj outer;
    if (InArray(shape, step)) {
      std::vector<CJsonObj> array(1);
      array[0] = std::move(chain);
      outer[shape.key] = std::move(array);
    } else {
      outer[shape.key] = std::move(chain);
    }
    chain = std::move(outer);
  }
  return chain;
}

// The innermost object of a chain.
CJsonObj& Innermost(const Shape& shape, CJsonObj& chain) {
  CJsonObj* object = &chain;
  for (;;) {
    JsonVariant* next =
        object->Find(shape.key) ? &object->At(shape.key) : nullptr;
    if (auto* array =
            next ? std::get_if<std::vector<CJsonObj>>(next) : nullptr) {
      object = &array->at(0);
    } else if (auto* inner = next ? std::get_if<CJsonObj>(next) : nullptr) {
      object = inner;
    } else {
      return *object;
    }
  }
}

// The allocations that failed while operation ran with every one refused.
template <typename Operation>
std::size_t FailuresWhile(const Operation& operation) {
  FailAllocationsFrom(1);
  operation();
  const std::size_t failures = AllocationFailures();
  CancelAllocationFailure();
  return failures;
}

TEST(CJsonObj, DeepTreesFreeCopyAndCompareOnASmallStack) {
  // Out of memory, a copy stops thousands of levels down (and frees what it
  // made), a comparison at once, and freeing needs none. 999 999 steps make
  // 1 000 000 levels, 666 667 steps 1 000 001, 66 667 steps 100 001.
  const struct {
    const Shape& shape;
    std::size_t steps;
  } kRows[] = {{kObjects, 999'999}, {kAlternating, 666'667}};
  for (const auto& row : kRows) {
    RunOnStackOf(kWindowsDefaultStack, [&] {
      SCOPED_TRACE(row.shape.what);
      const std::ptrdiff_t live = LiveAllocations();
      CJsonObj chain = Chain(row.shape, row.steps);
      EXPECT_TRUE(ThrowsWhenAllocationsFail(
          FailAllocationsFrom, 10'000, [&] { const CJsonObj copy = chain; }));
      EXPECT_TRUE(ThrowsWhenAllocationsFail(FailAllocationsFrom, 1,
                                            [&] { (void)(chain == chain); }));
      EXPECT_EQ(Innermost(row.shape, chain).At(u"a"), JsonVariant(1));
      EXPECT_EQ(FailuresWhile([&] { const CJsonObj freed = std::move(chain); }),
                1u);
      EXPECT_EQ(LiveAllocations(), live) << "leaked";
    });
  }
  // Out of memory, the free of a tree asks once for memory, however many of
  // its subtrees reach below the depth it frees by recursion, and so do the
  // assignments that free the members they replace; the next free asks
  // again. The first is the first free of a new thread. A chain asks only
  // when an object below that depth holds another.
  const CJsonObj subtrees{
      {u"a", std::vector<CJsonObj>(
                 1000, Chain(kObjects, CJsonObj::kRecursiveDepth + 10))}};
  const CJsonObj empty;
  std::vector<std::size_t> failures;
  failures.reserve(6);
  const std::ptrdiff_t live = LiveAllocations();
  CJsonObj trees[] = {subtrees,
                      subtrees,
                      subtrees,
                      subtrees,
                      Chain(kObjects, CJsonObj::kRecursiveDepth),
                      Chain(kObjects, CJsonObj::kRecursiveDepth + 1)};
  std::thread([&] {
    for (CJsonObj* tree : {&trees[0], &trees[1]}) {
      failures.push_back(
          FailuresWhile([tree] { const CJsonObj freed = std::move(*tree); }));
    }
    failures.push_back(FailuresWhile([&] { trees[2] = CJsonObj(); }));
    failures.push_back(FailuresWhile([&] { trees[3] = empty; }));
    for (CJsonObj* tree : {&trees[4], &trees[5]}) {
      failures.push_back(
          FailuresWhile([tree] { const CJsonObj freed = std::move(*tree); }));
    }
  }).join();
  EXPECT_EQ(failures, (std::vector<std::size_t>{1, 1, 1, 1, 0, 1}));
  EXPECT_EQ(LiveAllocations(), live) << "leaked";
  RunOnStackOf(kWindowsDefaultStack, [] {
    const CJsonObj chain = Chain(kAlternating, 66'667);
    CJsonObj copy = chain;
    EXPECT_TRUE(copy == chain);
    Innermost(kAlternating, copy)[u"a"] = 2;
    EXPECT_FALSE(copy == chain);
    EXPECT_EQ(Innermost(kAlternating, copy).At(u"a"), JsonVariant(2));
  });
}

TEST(ToJsonText, RefusesTreesDeeperThanTheLimit) {
  const std::size_t limit = kJsonMaxWriteDepth;
  ASSERT_EQ(limit, 256u);
  // A leaf that is an array is one level more.
  const struct {
    const Shape& shape;
    std::size_t steps;
    JsonVariant leaf = 1;
    const char* leafText = "1";
  } kRows[] = {
      {kObjects, limit - 1},
      {kObjects, limit},
      {kArrays, limit / 2 - 1},
      {kArrays, limit / 2},
      {kStandIns, limit / 2 - 1},
      {kStandIns, limit / 2},
      {kObjects, 100'000},
      {kArrays, 50'000},
      {kObjects, limit - 2, std::vector<std::monostate>(1), "[]"},
      {kObjects, limit - 2, std::vector<std::int32_t>{-1}, "[-1]"},
      {kObjects, limit - 1, std::vector<std::monostate>(1)},
      {kObjects, limit - 1, std::vector<std::uint32_t>{1}},
      {kObjects, limit - 1, std::vector<std::int32_t>{-1}},
      {kObjects, limit - 1, std::vector<double>{0.5}},
      {kObjects, limit - 1, std::vector<bool>{true}},
      {kObjects, limit - 1, std::vector<std::u16string>{u"x"}},
      {kObjects, limit - 1, std::vector<CJsonObj>()},
  };
  for (const auto& row : kRows) {
    const std::size_t levels =
        Levels(row.shape, row.steps) + (HoldsArray(row.leaf) ? 1 : 0);
    RunOnStackOf(kWindowsDefaultStack, [&] {
      // On this thread, whose failures are the ones reported.
      SCOPED_TRACE(std::string(row.shape.what) + ", levels " +
                   std::to_string(levels) + ", leaf " +
                   std::to_string(row.leaf.index()));
      const CJsonObj chain = Chain(row.shape, row.steps, row.leaf);
      JsonVariant root = chain;
      if (levels <= limit) {
        std::string expected;
        for (std::size_t i = 0; i < row.steps; ++i) expected += row.shape.open;
        expected += R"({"a":)" + std::string(row.leafText) + "}";
        for (std::size_t i = 0; i < row.steps; ++i) expected += row.shape.close;
        EXPECT_EQ(chain.ToJsonText(), expected);
        EXPECT_FALSE(CJsonValue(&root).ToJsonValue().isNull());
        return;
      }
      try {
        (void)chain.ToJsonText();
        ADD_FAILURE() << "ToJsonText wrote a tree beyond the limit";
      } catch (const JsonTooDeepError& error) {
        EXPECT_STREQ(error.what(), "JSON tree nested deeper than 256 levels");
      }
      EXPECT_THROW((void)CJsonValue(&root).ToJsonValue(), std::length_error);
    });
  }
}

}  // namespace
