// Conversion of the JSON model to jsoncpp values and compact UTF-8 text.

#include <cstddef>
#include <cstdint>
#include <ios>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <json/json.h>

#include "json/CJsonObj.h"
#include "json/CJsonValue.h"
#include "json/TextEncoding.h"

namespace {

// How deep the value being converted sits: 1 for the outermost object or
// array. Scalars ignore it.
using Depth = std::size_t;

// Refuses a level beyond kJsonMaxWriteDepth before anything of it is built.
Depth Enter(Depth depth) {
  if (depth > kJsonMaxWriteDepth) throw JsonTooDeepError();
  return depth + 1;
}

Json::Value ToJson(const JsonVariant& value, Depth depth);
Json::Value ToJson(const CJsonObj& object, Depth depth);

Json::Value ToJson(std::monostate, Depth) { return {}; }
Json::Value ToJson(std::uint32_t number, Depth) { return Json::UInt{number}; }
Json::Value ToJson(std::int32_t number, Depth) { return Json::Int{number}; }
Json::Value ToJson(double number, Depth) { return number; }
Json::Value ToJson(bool flag, Depth) { return flag; }
Json::Value ToJson(const std::u16string& text, Depth) {
  return WideToUtf8(text);
}

// Only the length of an array of nulls would be information, and a peer
// expects it written as an empty array.
Json::Value ToJson(const std::vector<std::monostate>&, Depth depth) {
  Enter(depth);
  return Json::Value(Json::arrayValue);
}

// Starts null and appends, so an array without elements is written null.
template <typename Element>
Json::Value ToJson(const std::vector<Element>& elements, Depth depth) {
  const Depth inner = Enter(depth);
  Json::Value array;
  for (const auto& element : elements) {
    array.append(ToJson(static_cast<const Element&>(element), inner));
  }
  return array;
}

// An object whose empty key holds an array stands for that array alone.
// Otherwise its members, and an object without members stays null.
Json::Value ToJson(const CJsonObj& object, Depth depth) {
  const Depth inner = Enter(depth);
  if (const JsonVariant* array = object.Find(u"");
      array && HoldsArray(*array)) {
    return ToJson(*array, inner);
  }
  Json::Value result;
  for (const auto& [key, value] : object) {
    Json::Value converted = ToJson(value, inner);
    result[WideToUtf8(key)] = std::move(converted);
  }
  return result;
}

Json::Value ToJson(const JsonVariant& value, Depth depth) {
  if (value.valueless_by_exception()) return {};
  return std::visit(
      [depth](const auto& content) { return ToJson(content, depth); }, value);
}

}  // namespace

JsonTooDeepError::JsonTooDeepError()
    : std::length_error("JSON tree nested deeper than " +
                        std::to_string(kJsonMaxWriteDepth) + " levels") {}

Json::Value CJsonValue::ToJsonValue() const { return ToJson(*value_, 1); }

std::string CJsonObj::ToJsonText() const {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  const Json::Value root = ToJson(*this, 1);
  std::ostringstream text;
  // A stream catches what its buffer throws and only sets badbit, which
  // would hand back cut-off text for an allocation failure; let it through.
  text.exceptions(std::ios::badbit);
  writer->write(root, &text);
  return std::move(text).str();
}
