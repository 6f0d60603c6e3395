#include "json/CJsonValue.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <wchar.h>
#endif

#include "json/CJsonObj.h"

namespace {

struct NumberFormat {
  const char* narrow;
  const wchar_t* wide;
};

constexpr NumberFormat kUnsignedFormat{"%u", L"%u"};
constexpr NumberFormat kSignedFormat{"%d", L"%d"};
constexpr NumberFormat kRealFormat{"%lf", L"%lf"};

// Measures first, then formats into a buffer of exactly that size, so no
// value is ever cut short (1e20 has 21 integer digits).
template <typename Number>
std::u16string FormatNumber(const NumberFormat& format, Number number) {
#ifdef _WIN32
  const int count = _scwprintf(format.wide, number);
  if (count < 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(count) + 1, L'\0');
  if (swprintf(buffer.data(), buffer.size(), format.wide, number) < 0) {
    return {};
  }
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()));
#else
  // wchar_t is 32 bits here and swprintf cannot measure, so format the
  // narrow text: its characters are ASCII and widen one to one.
  const int count = std::snprintf(nullptr, 0, format.narrow, number);
  if (count < 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(count) + 1, '\0');
  if (std::snprintf(buffer.data(), buffer.size(), format.narrow, number) < 0) {
    return {};
  }
  std::u16string text;
  for (const char* digit = buffer.data(); *digit != '\0'; ++digit) {
    text.push_back(static_cast<char16_t>(*digit));
  }
  return text;
#endif
}

}  // namespace

CJsonValue& CJsonValue::operator=(const JsonVariant& value) {
  // The source may live inside the value being replaced (a member assigned
  // one of its own descendants), so copy it out before anything is freed.
  // A failed copy then leaves the old value too.
  JsonVariant copy(value);
  *value_ = std::move(copy);
  return *this;
}

std::u16string CJsonValue::ToString() const {
  const JsonVariant& value = *value_;
  if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
  if (const auto* number = std::get_if<std::uint32_t>(&value)) {
    return FormatNumber(kUnsignedFormat, *number);
  }
  if (const auto* number = std::get_if<std::int32_t>(&value)) {
    return FormatNumber(kSignedFormat, *number);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return FormatNumber(kRealFormat, *number);
  }
  if (const auto* flag = std::get_if<bool>(&value)) {
    return FormatNumber(kSignedFormat, *flag ? 1 : 0);
  }
  return {};
}
