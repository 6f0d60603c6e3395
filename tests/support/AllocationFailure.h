#pragma once

#include <cstddef>
#include <exception>
#include <new>
#include <thread>

#include <gtest/gtest.h>

// A test-only hook into the global operator new of the test executable that
// links this file: it can make one chosen allocation throw std::bad_alloc.
// Valgrind replaces an executable's operator new with its own unless given
// --soname-synonyms=somalloc=nouserintercepts; without it nothing fails.

// Makes the n-th allocation (n >= 1) counted from now on `thread` throw
// std::bad_alloc; allocations on other threads are not counted. Only that
// one allocation fails; later ones succeed.
void FailNthAllocation(std::size_t n,
                       std::thread::id thread = std::this_thread::get_id());

// The same, counting allocations on every thread except `thread`: for a
// thread that does not exist yet, such as a worker about to be started.
void FailNthAllocationOutside(
    std::size_t n, std::thread::id thread = std::this_thread::get_id());

// As FailNthAllocation, and every allocation after the n-th fails too, until
// cancelled: memory that has run out for good.
void FailAllocationsFrom(std::size_t n,
                         std::thread::id thread = std::this_thread::get_id());

// What the armed failure throws instead of std::bad_alloc, for a library
// that reports its own failed allocations another way; null for
// std::bad_alloc. Set it before arming.
void SetAllocationFailureException(std::exception_ptr error);

// Cancels a failure that has not happened yet, and the exception set above.
void CancelAllocationFailure();

// Whether the armed failure has happened since it was armed.
bool AllocationFailureHappened();

// How many allocations have failed since the failure was armed.
std::size_t AllocationFailures();

// Allocations made on the calling thread since the process started.
std::size_t AllocationsOnThisThread();

// Blocks that operator new has handed out and operator delete has not yet
// taken back, counted over all threads: equal before and after an operation
// when that operation leaked nothing. Over-aligned allocations are not seen.
std::ptrdiff_t LiveAllocations();

// Arms a failure on this thread with arm(n) (FailNthAllocation or
// FailAllocationsFrom), runs operation and cancels the failure; returns
// whether operation threw std::bad_alloc. A failure that did not come out as
// std::bad_alloc was swallowed somewhere, and the result cannot be trusted:
// the test fails.
template <typename Operation>
bool ThrowsWhenAllocationsFail(void (*arm)(std::size_t, std::thread::id),
                               std::size_t n, const Operation& operation) {
  bool threw = false;
  arm(n, std::this_thread::get_id());
  try {
    operation();
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  const bool failed = AllocationFailureHappened();
  CancelAllocationFailure();
  EXPECT_EQ(threw, failed) << "failure swallowed";
  return threw;
}
