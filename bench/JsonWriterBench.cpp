// CJsonObj::ToJsonText against the floor (jsoncpp alone, from UTF-8 text it
// already has) and the peer (nlohmann::json from the same UTF-16 text), on a
// flat object of N string members and on a nested tree of about N values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include <benchmark/benchmark.h>
#include <json/json.h>
#include <nlohmann/json.hpp>

#include "bench/AllocationCount.h"
#include "bench/BenchDocuments.h"
#include "json/CJsonObj.h"

namespace {

template <typename Document>
const Document& DocumentOf(std::size_t size) {
  if constexpr (std::is_same_v<Document, FlatDocument>) {
    return FlatDocumentOf(size);
  } else {
    return NestedDocumentOf(size);
  }
}

// The members of a flat object, the values of a tree.
std::size_t SizeOf(const FlatDocument& document) {
  return document.keys.size();
}
std::size_t SizeOf(const NestedDocument& document) {
  return ValueCount(document);
}

// Whether our model, the floor and the peer write the same bytes for the
// document, checked once per document and size: the figures compare the
// same job only if they do.
template <typename Document>
bool WritersAgree(std::size_t size) {
  return Memoized(size, [](std::size_t n) {
    const Document& document = DocumentOf<Document>(n);
    const std::string ours = BuildObj(document).ToJsonText();
    return ours == WriteCompact(BuildJsoncpp(document)) &&
           ours == BuildNlohmann(document).dump();
  });
}

// Runs `write` once per iteration and reports the growth parameter and the
// allocations per iteration.
template <typename Document, typename Write>
void RunWriter(benchmark::State& state, Write write) {
  const auto size = static_cast<std::size_t>(state.range(0));
  if (!WritersAgree<Document>(size)) {
    state.SkipWithError("the three writers disagree on the document");
    return;
  }
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const std::string text = write();
    benchmark::DoNotOptimize(text.data());
  }
  ReportAllocations(state, before);
  state.SetComplexityN(
      static_cast<std::int64_t>(SizeOf(DocumentOf<Document>(size))));
}

// Ours: the whole of ToJsonText on a ready document.
template <typename Document>
void BM_ToJsonText(benchmark::State& state) {
  const CJsonObj& object =
      Memoized(static_cast<std::size_t>(state.range(0)),
               [](std::size_t n) { return BuildObj(DocumentOf<Document>(n)); });
  RunWriter<Document>(state, [&] { return object.ToJsonText(); });
}

// The floor: the equivalent Json::Value built from UTF-8 strings already at
// hand, then written as ToJsonText writes.
template <typename Document>
void BM_JsoncppFloor(benchmark::State& state) {
  const Document& document =
      DocumentOf<Document>(static_cast<std::size_t>(state.range(0)));
  RunWriter<Document>(state,
                      [&] { return WriteCompact(BuildJsoncpp(document)); });
}

// The floor's write call alone, on a ready Json::Value: the jsoncpp writer's
// share of both figures above.
template <typename Document>
void BM_JsoncppWrite(benchmark::State& state) {
  const Json::Value& root = Memoized(
      static_cast<std::size_t>(state.range(0)),
      [](std::size_t n) { return BuildJsoncpp(DocumentOf<Document>(n)); });
  RunWriter<Document>(state, [&] { return WriteCompact(root); });
}

// The peer: nlohmann::json built from the UTF-16 texts, dumped compactly.
template <typename Document>
void BM_Nlohmann(benchmark::State& state) {
  const Document& document =
      DocumentOf<Document>(static_cast<std::size_t>(state.range(0)));
  RunWriter<Document>(state, [&] { return BuildNlohmann(document).dump(); });
}

// Members go into and are looked up in ordered maps (ours, jsoncpp's,
// nlohmann's), so a flat object grows as N log N.
void FlatSizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(10)->Arg(1000)->Arg(10000)->Arg(100000);
  benchmark->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oNLogN);
}

void NestedSizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(1000)->Arg(10000)->Arg(100000);
  benchmark->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);
}

BENCHMARK(BM_ToJsonText<FlatDocument>)
    ->Name("Flat/ToJsonText")
    ->Apply(FlatSizes);
BENCHMARK(BM_JsoncppFloor<FlatDocument>)
    ->Name("Flat/JsoncppFloor")
    ->Apply(FlatSizes);
BENCHMARK(BM_JsoncppWrite<FlatDocument>)
    ->Name("Flat/JsoncppWriteOnly")
    ->Apply(FlatSizes);
BENCHMARK(BM_Nlohmann<FlatDocument>)
    ->Name("Flat/NlohmannPeer")
    ->Apply(FlatSizes);

BENCHMARK(BM_ToJsonText<NestedDocument>)
    ->Name("Nested/ToJsonText")
    ->Apply(NestedSizes);
BENCHMARK(BM_JsoncppFloor<NestedDocument>)
    ->Name("Nested/JsoncppFloor")
    ->Apply(NestedSizes);
BENCHMARK(BM_JsoncppWrite<NestedDocument>)
    ->Name("Nested/JsoncppWriteOnly")
    ->Apply(NestedSizes);
BENCHMARK(BM_Nlohmann<NestedDocument>)
    ->Name("Nested/NlohmannPeer")
    ->Apply(NestedSizes);

}  // namespace
