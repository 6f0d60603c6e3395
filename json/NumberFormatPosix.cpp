// Number text through the C library's narrow printf.

#include <cstddef>
#include <cstdio>
#include <string>

#include "json/NumberFormat.h"
#include "json/NumberFormatPrinter.h"

namespace {

// wchar_t is 32 bits here and swprintf cannot measure, so the narrow text is
// formatted: its characters are ASCII and widen one to one.
struct NarrowRuntime {
  using Char = char;
  template <typename Number>
  static int Measure(const char* format, Number number) {
    return std::snprintf(nullptr, 0, format, number);
  }
  template <typename Number>
  static int Write(char* buffer, std::size_t size, const char* format,
                   Number number) {
    return std::snprintf(buffer, size, format, number);
  }
};

}  // namespace

std::u16string FormatNumber(PrintfNumber number) {
  return PrintNumber<NarrowRuntime>(number);
}
