#pragma once

#include <string>

#include <json/forwards.h>

#include "json/JsonVariant.h"

// A handle onto one stored JsonVariant, usually a member of a CJsonObj. It
// owns nothing and stays valid exactly as long as the referenced value; a
// member keeps its address while other keys are added to its object.
class CJsonValue {
 public:
  // REQUIRES: value is not null and outlives the handle.
  explicit CJsonValue(JsonVariant* value) noexcept : value_(value) {}
  CJsonValue(const CJsonValue&) = default;
  virtual ~CJsonValue() = default;

  // Assignment writes the referenced value; a handle is never re-pointed.
  CJsonValue& operator=(const CJsonValue&) = delete;
  CJsonValue& operator=(const JsonVariant& value);
  // Takes the value's content without copying it, so a tree built by moving
  // each level into the next costs time in proportion to its size.
  // REQUIRES: the referenced value is not inside the tree moved in (`h =
  // t[u"k"]; h = std::move(t);`), which would come to own itself. Telling
  // would take a walk of that tree at every move, and a chain built by moves
  // quadratic time; debug builds check the tree's own members.
  CJsonValue& operator=(JsonVariant&& value);

  // The value's text: a string as itself, numbers as "%u", "%d" and "%lf"
  // write them in the C locale, whatever the process's locale is (see
  // FormatNumber), booleans as the digit 1 or 0, everything else (null,
  // arrays, objects, the empty union) as "". Never cut short.
  [[nodiscard]] std::u16string ToString() const;

  // The value as a jsoncpp tree, by the writer's rules (see
  // CJsonObj::ToJsonText), which refuse a tree deeper than
  // kJsonMaxWriteDepth with JsonTooDeepError.
  [[nodiscard]] Json::Value ToJsonValue() const;

 private:
  JsonVariant* value_;
};
