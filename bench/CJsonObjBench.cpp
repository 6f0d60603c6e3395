#include "json/CJsonObj.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/AllocationCount.h"
#include "bench/BenchDocuments.h"
#include "json/CJsonValue.h"

namespace {

// The flat document's keys in a fixed pseudo-random order, so that neither
// insertion nor look-up walks the map in key order.
const std::vector<std::u16string>& ShuffledKeys(std::size_t members) {
  return Memoized(members, [](std::size_t n) {
    std::vector<std::u16string> keys;
    for (const BenchText& key : FlatDocumentOf(n).keys) {
      keys.push_back(key.wide);
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(20240601));
    return keys;
  });
}

// Item access with N new keys into an empty object, which is then released.
void BM_InsertKeys(benchmark::State& state) {
  const auto members = static_cast<std::size_t>(state.range(0));
  const std::vector<std::u16string>& keys = ShuffledKeys(members);
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    CJsonObj object;
    for (const std::u16string& key : keys) {
      CJsonValue member = object[std::u16string_view(key)];
      benchmark::DoNotOptimize(member);
    }
    benchmark::DoNotOptimize(object);
  }
  ReportAllocations(state, before);
  state.SetComplexityN(static_cast<std::int64_t>(members));
}

// Item access with each of the N keys already present: no allocation.
void BM_LookUpKeys(benchmark::State& state) {
  const auto members = static_cast<std::size_t>(state.range(0));
  const std::vector<std::u16string>& keys = ShuffledKeys(members);
  // Item access is not const: each run looks up in a copy of its own.
  CJsonObj object = Memoized(
      members, [](std::size_t n) { return BuildObj(FlatDocumentOf(n)); });
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    for (const std::u16string& key : keys) {
      CJsonValue member = object[std::u16string_view(key)];
      benchmark::DoNotOptimize(member);
    }
  }
  ReportAllocations(state, before);
  state.SetComplexityN(static_cast<std::int64_t>(members));
}

// A deep copy of the nested tree of about N values, released again.
void BM_CopyNestedTree(benchmark::State& state) {
  const auto values = static_cast<std::size_t>(state.range(0));
  const CJsonObj& tree = Memoized(
      values, [](std::size_t n) { return BuildObj(NestedDocumentOf(n)); });
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    CJsonObj copy(tree);
    benchmark::DoNotOptimize(copy);
  }
  ReportAllocations(state, before);
  state.SetComplexityN(
      static_cast<std::int64_t>(ValueCount(NestedDocumentOf(values))));
}

// A chain of N objects, each the only member of the next, built from the
// innermost out: the chain so far is moved through a new object's handle
// into its member, so each level costs the same. Then released.
void BM_NestChain(benchmark::State& state) {
  const auto depth = static_cast<std::size_t>(state.range(0));
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    CJsonObj chain;
    for (std::size_t level = 0; level < depth; ++level) {
      CJsonObj outer;
      outer[u"child"] = std::move(chain);
      chain = std::move(outer);
    }
    benchmark::DoNotOptimize(chain);
  }
  ReportAllocations(state, before);
  state.SetComplexityN(static_cast<std::int64_t>(depth));
}

BENCHMARK(BM_InsertKeys)
    ->Name("Obj/InsertKeys")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oNLogN);
BENCHMARK(BM_LookUpKeys)
    ->Name("Obj/LookUpKeys")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oNLogN);
BENCHMARK(BM_CopyNestedTree)
    ->Name("Obj/CopyNestedTree")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_NestChain)
    ->Name("Obj/NestChain")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace
