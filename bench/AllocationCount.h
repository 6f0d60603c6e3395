#pragma once

#include <cstdint>

#include <benchmark/benchmark.h>

// This binary's global operator new counts every allocation, on every
// thread, with a relaxed atomic counter; it does not change what is
// allocated or where.

// Allocations since the process started.
[[nodiscard]] std::uint64_t AllocationCount() noexcept;

// Sets the counter "allocs" of `state` to the allocations made since
// `before` (a value of AllocationCount()), per iteration.
// REQUIRES: called after the timed loop, on the benchmark's thread.
void ReportAllocations(benchmark::State& state, std::uint64_t before);
