// The stand-in's request check on the largest request it takes, against
// nlohmann::json's own accept of the same text, its SAX parse with a handler
// that keeps nothing: the floor of any check built on that reader.

#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "bench/AllocationCount.h"
#include "kestrovandil/CStatus.h"
#include "kestrovandil/RequestParser.h"

namespace {

// The four members, then one ignored member of mixed values: numbers of
// every form, escaped and non-ASCII strings, literals and nested objects,
// up to 1 MiB.
const std::string& LargeRequest() {
  static const std::string request = [] {
    const std::string head =
        R"({"file_path":"missing.wav","model_path":"m","lang":"zh",)"
        R"("prompt":"","x":[)";
    const std::string item =
        R"({"id":123456,"n":-42,"r":[1.5e3,-0.25,6.02E+23],"b":[true,false,)"
        R"(null],"s":"caf\u00e9 \"q\" \\ \u4e2d\ud83d\ude00","t":"中文 text",)"
        R"("o":{"k":"v","e":{}}},)";
    std::string text = head;
    while (text.size() + item.size() + 2 <= kestrovandil::kMaxRequestBytes) {
      text += item;
    }
    text.back() = ']';
    return text += '}';
  }();
  return request;
}

void BM_ParseRequest(benchmark::State& state) {
  const std::string& text = LargeRequest();
  kestrovandil::StartRequest request;
  if (!kestrovandil::ParseRequest(text.c_str(), request).ok()) {
    state.SkipWithError("the request is refused");
    return;
  }
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const kestrovandil::CStatus status =
        kestrovandil::ParseRequest(text.c_str(), request);
    benchmark::DoNotOptimize(status);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  ReportAllocations(state, before);
}

void BM_SaxFloor(benchmark::State& state) {
  const std::string& text = LargeRequest();
  if (!nlohmann::json::accept(text)) {
    state.SkipWithError("the floor refuses the request");
    return;
  }
  const std::uint64_t before = AllocationCount();
  for (auto _ : state) {
    const bool parsed = nlohmann::json::accept(text);
    benchmark::DoNotOptimize(parsed);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  ReportAllocations(state, before);
}

BENCHMARK(BM_ParseRequest)
    ->Name("Request/Check1MiB")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaxFloor)
    ->Name("Request/SaxFloor1MiB")
    ->Unit(benchmark::kMillisecond);

}  // namespace
