#pragma once

#include <cstddef>
#include <functional>

// The stack a Windows thread gets unless its program asks for more, and the
// smallest any caller of the JSON model is expected to run on.
inline constexpr std::size_t kWindowsDefaultStack = std::size_t{1} << 20;

// Runs body on a new thread whose stack is `bytes` long and waits for it;
// what body throws is thrown again here. One file per platform defines it.
void RunOnStackOf(std::size_t bytes, const std::function<void()>& body);
