// Number text through the C runtime's wide printf.

#include <stdio.h>
#include <wchar.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "json/NumberFormat.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// Both calls are the C runtime's own (msvcrt or the UCRT), on MSVC and on
// MinGW alike, so the count measured is the count written. MinGW maps the
// unprefixed swprintf to its own printf when libstdc++ turns on
// __USE_MINGW_ANSI_STDIO, which may differ from _scwprintf on a length.
// _snwprintf_s rather than _snwprintf, which MSVC deprecates.
template <typename Number>
std::u16string Print(const wchar_t* format, Number number) {
  const int count = _scwprintf(format, number);
  if (count < 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(count) + 1, L'\0');
  if (_snwprintf_s(buffer.data(), buffer.size(), _TRUNCATE, format, number) <
      0) {
    return {};
  }
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()));
}

struct Printer {
  std::u16string operator()(std::uint32_t number) const {
    return Print(L"%u", number);
  }
  std::u16string operator()(std::int32_t number) const {
    return Print(L"%d", number);
  }
  std::u16string operator()(double number) const {
    return Print(L"%lf", number);
  }
};

}  // namespace

std::u16string FormatNumber(PrintfNumber number) {
  return std::visit(Printer{}, number);
}
