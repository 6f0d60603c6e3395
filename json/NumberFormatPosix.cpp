// Number text through the C library's narrow printf.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "json/NumberFormat.h"

namespace {

// wchar_t is 32 bits here and swprintf cannot measure, so the narrow text is
// formatted: its characters are ASCII and widen one to one.
template <typename Number>
std::u16string Print(const char* format, Number number) {
  const int count = std::snprintf(nullptr, 0, format, number);
  if (count < 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(count) + 1, '\0');
  if (std::snprintf(buffer.data(), buffer.size(), format, number) < 0) {
    return {};
  }
  std::u16string text;
  for (const char* digit = buffer.data(); *digit != '\0'; ++digit) {
    text.push_back(static_cast<char16_t>(*digit));
  }
  return text;
}

struct Printer {
  std::u16string operator()(std::uint32_t number) const {
    return Print("%u", number);
  }
  std::u16string operator()(std::int32_t number) const {
    return Print("%d", number);
  }
  std::u16string operator()(double number) const {
    return Print("%lf", number);
  }
};

}  // namespace

std::u16string FormatNumber(PrintfNumber number) {
  return std::visit(Printer{}, number);
}
