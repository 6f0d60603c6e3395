// Number text through the C runtime's wide printf.

#include <stdio.h>
#include <wchar.h>

#include <cstddef>
#include <string>

#include "json/NumberFormat.h"
#include "json/NumberFormatPrinter.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// Both calls are the C runtime's own (msvcrt or the UCRT), on MSVC and on
// MinGW alike, so the count measured is the count written. MinGW maps the
// unprefixed swprintf to its own printf when libstdc++ turns on
// __USE_MINGW_ANSI_STDIO, which may differ from _scwprintf on a length.
// _snwprintf_s rather than _snwprintf, which MSVC deprecates.
struct WideRuntime {
  using Char = wchar_t;
  template <typename Number>
  static int Measure(const wchar_t* format, Number number) {
    return _scwprintf(format, number);
  }
  template <typename Number>
  static int Write(wchar_t* buffer, std::size_t size, const wchar_t* format,
                   Number number) {
    return _snwprintf_s(buffer, size, _TRUNCATE, format, number);
  }
};

}  // namespace

std::u16string FormatNumber(PrintfNumber number) {
  return PrintNumber<WideRuntime>(number);
}
