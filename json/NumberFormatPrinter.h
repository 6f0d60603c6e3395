#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "json/NumberFormat.h"

// FormatNumber's steps, the same on every platform: measure the number's
// text, allocate that many characters and the NUL, write, and widen to
// UTF-16. Each platform's file supplies Runtime: the character type of its C
// runtime's printf family, and the call that measures and the call that
// writes, both returning a negative count on failure.

// The formats in PrintfNumber's order, in the runtime's character type.
template <typename Char>
inline constexpr Char kPrintfFormats[][4] = {
    {'%', 'u'}, {'%', 'd'}, {'%', 'l', 'f'}};

template <typename Runtime>
std::u16string PrintNumber(PrintfNumber number) {
  using Char = typename Runtime::Char;
  const Char* format = kPrintfFormats<Char>[number.index()];
  return std::visit(
      [format](auto value) -> std::u16string {
        const int count = Runtime::Measure(format, value);
        if (count < 0) return {};
        std::vector<Char> buffer(static_cast<std::size_t>(count) + 1, Char{});
        if (Runtime::Write(buffer.data(), buffer.size(), format, value) < 0) {
          return {};
        }
        // ASCII from a narrow runtime, UTF-16 from a wide one: either way
        // each character is its own code unit.
        return std::u16string(buffer.begin(),
                              std::find(buffer.begin(), buffer.end(), Char{}));
      },
      number);
}
