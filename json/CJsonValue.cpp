#include "json/CJsonValue.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

#include "json/CJsonObj.h"
#include "json/NumberFormat.h"

namespace {

// Whether target is a member of the object that value holds.
[[maybe_unused]] bool IsMemberOf(const JsonVariant& value,
                                 const JsonVariant* target) {
  const auto* object = std::get_if<CJsonObj>(&value);
  return object != nullptr && std::any_of(object->begin(), object->end(),
                                          [target](const auto& member) {
                                            return &member.second == target;
                                          });
}

}  // namespace

CJsonValue& CJsonValue::operator=(const JsonVariant& value) {
  // JsonVariant copies before it frees, so the source may be one of the
  // member's own descendants, and a failed copy leaves the old value.
  *value_ = value;
  return *this;
}

CJsonValue& CJsonValue::operator=(JsonVariant&& value) {
  assert(!IsMemberOf(value, value_) && "moving a tree into its own member");
  // JsonVariant takes the source out before it frees the old value, so the
  // source may be one of the member's own descendants.
  *value_ = std::move(value);
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
