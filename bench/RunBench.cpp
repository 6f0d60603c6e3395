// The JSON work of one conversion run: the worker's request, and the device
// configuration record written into an object.

#include <cstddef>
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/AllocationCount.h"
#include "driver/ConversionRequest.h"
#include "json/CJsonObj.h"
#include "records/CDevConfig.h"
#include "records/FieldRegistry.h"

namespace {

// The length of the request text that the worker hands to the library.
constexpr std::size_t kRequestBytes = 152;

// The worker's whole JSON job: build the request and render it.
void BM_Request(benchmark::State& state) {
  if (BuildConversionRequest().ToJsonText().size() != kRequestBytes) {
    state.SkipWithError("the request text is not 152 bytes long");
    return;
  }
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const std::string text = BuildConversionRequest().ToJsonText();
    benchmark::DoNotOptimize(text.data());
  }
  ReportAllocations(state, before);
}

// A default CDevConfig, built (registering 6 + 2 x 21 fields) and written
// into a new object of 6 members, two of them nested objects of 21.
void BM_DevConfigToJsonObj(benchmark::State& state) {
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    CDevConfig config;
    const CJsonObj object = ToJsonObj(config);
    benchmark::DoNotOptimize(object);
  }
  ReportAllocations(state, before);
}

BENCHMARK(BM_Request)->Name("Run/BuildAndRenderRequest");
BENCHMARK(BM_DevConfigToJsonObj)->Name("Run/DevConfigToJsonObj");

}  // namespace
