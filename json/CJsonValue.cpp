#include "json/CJsonValue.h"

#include <cstdint>
#include <string>
#include <utility>

#include "json/CJsonObj.h"
#include "json/NumberFormat.h"

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
    return FormatNumber(*number);
  }
  if (const auto* number = std::get_if<std::int32_t>(&value)) {
    return FormatNumber(*number);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return FormatNumber(*number);
  }
  if (const auto* flag = std::get_if<bool>(&value)) {
    return FormatNumber(std::int32_t{*flag ? 1 : 0});
  }
  return {};
}
