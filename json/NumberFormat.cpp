// Number text by std::to_chars, which reads no locale: the same characters
// on every platform, whatever the process's setlocale says. A decimal comma
// in a German locale would otherwise reach the text, as printf puts it there.

#include "json/NumberFormat.h"

#include <array>
#include <charconv>
#include <string>
#include <system_error>
#include <type_traits>
#include <variant>

std::u16string FormatNumber(PrintfNumber number) {
  // Room for the longest text, -DBL_MAX in fixed notation: a sign, 309
  // integer digits, the point and six decimals.
  std::array<char, 320> buffer;
  char* const first = buffer.data();
  char* const last = first + buffer.size();
  const std::to_chars_result result = std::visit(
      [first, last](auto value) {
        if constexpr (std::is_same_v<decltype(value), double>) {
          // printf's "%f": six decimals, exactly rounded.
          return std::to_chars(first, last, value, std::chars_format::fixed, 6);
        } else {
          return std::to_chars(first, last, value);
        }
      },
      number);
  if (result.ec != std::errc{}) return {};
  // ASCII, so each character is its own UTF-16 code unit.
  return std::u16string(first, result.ptr);
}
