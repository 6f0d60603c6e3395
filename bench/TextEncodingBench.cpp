// Utf8ToWide and WideToUtf8 throughput. Bytes processed are counted on the
// UTF-8 side in both directions, so the two figures compare directly.

#include "json/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>

#include "bench/AllocationCount.h"
#include "bench/BenchDocuments.h"

namespace {

enum class Script { kAscii, kChinese };

// `characters` characters of running text: printable ASCII (one UTF-8 byte
// each) or CJK ideographs of the Basic Multilingual Plane (three bytes each).
BenchText Prose(Script script, std::size_t characters) {
  std::u16string wide;
  wide.reserve(characters);
  for (std::size_t i = 0; i < characters; ++i) {
    if (script == Script::kAscii) {
      wide.push_back(static_cast<char16_t>(i % 7 == 6 ? u' ' : u'a' + i % 26));
    } else {
      wide.push_back(static_cast<char16_t>(0x4E00 + i * 7919 % 20000));
    }
  }
  std::string utf8 = WideToUtf8(wide);
  return {std::move(wide), std::move(utf8)};
}

const BenchText& ProseOf(Script script, std::size_t characters) {
  if (script == Script::kAscii) {
    return Memoized(characters,
                    [](std::size_t n) { return Prose(Script::kAscii, n); });
  }
  return Memoized(characters,
                  [](std::size_t n) { return Prose(Script::kChinese, n); });
}

void BM_Utf8ToWide(benchmark::State& state, Script script) {
  const auto characters = static_cast<std::size_t>(state.range(0));
  const std::string& utf8 = ProseOf(script, characters).utf8;
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const std::u16string wide = Utf8ToWide(utf8);
    benchmark::DoNotOptimize(wide.data());
  }
  ReportAllocations(state, before);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(utf8.size()));
  state.SetComplexityN(static_cast<std::int64_t>(characters));
}

void BM_WideToUtf8(benchmark::State& state, Script script) {
  const auto characters = static_cast<std::size_t>(state.range(0));
  const BenchText& text = ProseOf(script, characters);
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const std::string utf8 = WideToUtf8(text.wide);
    benchmark::DoNotOptimize(utf8.data());
  }
  ReportAllocations(state, before);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(text.utf8.size()));
  state.SetComplexityN(static_cast<std::int64_t>(characters));
}

void ProseSizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(16)->Arg(1024)->Arg(65536);
  benchmark->Complexity(benchmark::oN);
}

BENCHMARK_CAPTURE(BM_Utf8ToWide, ascii, Script::kAscii)
    ->Name("Text/Utf8ToWide/ascii")
    ->Apply(ProseSizes);
BENCHMARK_CAPTURE(BM_Utf8ToWide, chinese, Script::kChinese)
    ->Name("Text/Utf8ToWide/chinese")
    ->Apply(ProseSizes);
BENCHMARK_CAPTURE(BM_WideToUtf8, ascii, Script::kAscii)
    ->Name("Text/WideToUtf8/ascii")
    ->Apply(ProseSizes);
BENCHMARK_CAPTURE(BM_WideToUtf8, chinese, Script::kChinese)
    ->Name("Text/WideToUtf8/chinese")
    ->Apply(ProseSizes);

}  // namespace
