#include "tests/support/AllocationFailure.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

namespace {

std::atomic<std::thread::id> g_chosenThread{};
// Whether allocations count on the chosen thread or on all the others.
std::atomic<bool> g_countOthers{false};
std::atomic<std::size_t> g_allocationsUntilFailure{0};
// Whether every allocation after the failing one fails too.
std::atomic<bool> g_keepFailing{false};
std::atomic<bool> g_failed{false};
std::atomic<std::size_t> g_failures{0};
// Written only while no failure is armed; arming publishes it.
std::exception_ptr g_failureException;
thread_local std::size_t t_allocations = 0;
// Blocks from operator new not yet given back, on every thread.
std::atomic<std::ptrdiff_t> g_liveAllocations{0};

bool ShouldFail() noexcept {
  if (g_allocationsUntilFailure.load() == 0) return false;
  const bool onChosenThread =
      g_chosenThread.load() == std::this_thread::get_id();
  if (onChosenThread == g_countOthers.load()) return false;
  if (g_allocationsUntilFailure.fetch_sub(1) != 1) return false;
  if (g_keepFailing.load()) g_allocationsUntilFailure.store(1);
  g_failed.store(true);
  g_failures.fetch_add(1);
  return true;
}

void* Allocate(std::size_t size) {
  ++t_allocations;
  if (ShouldFail()) {
    if (g_failureException) std::rethrow_exception(g_failureException);
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    g_liveAllocations.fetch_add(1);
    return memory;
  }
  throw std::bad_alloc();
}

void Release(void* memory) noexcept {
  if (memory == nullptr) return;
  g_liveAllocations.fetch_sub(1);
  std::free(memory);
}

}  // namespace

namespace {

void Arm(std::size_t n, std::thread::id thread, bool countOthers,
         bool keepFailing = false) {
  g_allocationsUntilFailure.store(0);
  g_failed.store(false);
  g_failures.store(0);
  g_chosenThread.store(thread);
  g_countOthers.store(countOthers);
  g_keepFailing.store(keepFailing);
  g_allocationsUntilFailure.store(n);
}

}  // namespace

void FailNthAllocation(std::size_t n, std::thread::id thread) {
  Arm(n, thread, false);
}

void FailAllocationsFrom(std::size_t n, std::thread::id thread) {
  Arm(n, thread, false, true);
}

void FailNthAllocationOutside(std::size_t n, std::thread::id thread) {
  Arm(n, thread, true);
}

void SetAllocationFailureException(std::exception_ptr error) {
  g_failureException = std::move(error);
}

void CancelAllocationFailure() {
  g_allocationsUntilFailure.store(0);
  g_failureException = nullptr;
}

bool AllocationFailureHappened() { return g_failed.load(); }

std::size_t AllocationFailures() { return g_failures.load(); }

std::size_t AllocationsOnThisThread() { return t_allocations; }

std::ptrdiff_t LiveAllocations() { return g_liveAllocations.load(); }

// The replaceable global allocation functions. The standard library's own
// array and nothrow forms forward to the plain ones, but a sanitizer's
// runtime replaces each form on its own, so all are given here.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  Release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  Release(memory);
}
