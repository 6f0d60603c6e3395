// Conversion of the JSON model to jsoncpp values and compact UTF-8 text.

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

Json::Value ToJson(const JsonVariant& value);
Json::Value ToJson(const CJsonObj& object);

Json::Value ToJson(std::monostate) { return {}; }
Json::Value ToJson(std::uint32_t number) { return Json::UInt{number}; }
Json::Value ToJson(std::int32_t number) { return Json::Int{number}; }
Json::Value ToJson(double number) { return number; }
Json::Value ToJson(bool flag) { return flag; }
Json::Value ToJson(const std::u16string& text) { return WideToUtf8(text); }

// Only the length of an array of nulls would be information, and a peer
// expects it written as an empty array.
Json::Value ToJson(const std::vector<std::monostate>&) {
  return Json::Value(Json::arrayValue);
}

// Starts null and appends, so an array without elements is written null.
template <typename Element>
Json::Value ToJson(const std::vector<Element>& elements) {
  Json::Value array;
  for (const auto& element : elements) {
    array.append(ToJson(static_cast<const Element&>(element)));
  }
  return array;
}

// An object whose empty key holds an array stands for that array alone.
// Otherwise its members, and an object without members stays null.
Json::Value ToJson(const CJsonObj& object) {
  if (const JsonVariant* array = object.Find(u"");
      array && HoldsArray(*array)) {
    return ToJson(*array);
  }
  Json::Value result;
  for (const auto& [key, value] : object) {
    Json::Value converted = ToJson(value);
    result[WideToUtf8(key)] = std::move(converted);
  }
  return result;
}

Json::Value ToJson(const JsonVariant& value) {
  if (value.valueless_by_exception()) return {};
  return std::visit([](const auto& content) { return ToJson(content); }, value);
}

}  // namespace

Json::Value CJsonValue::ToJsonValue() const { return ToJson(*value_); }

std::string CJsonObj::ToJsonText() const {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  const Json::Value root = ToJson(*this);
  std::ostringstream text;
  // A stream catches what its buffer throws and only sets badbit, which
  // would hand back cut-off text for an allocation failure; let it through.
  text.exceptions(std::ios::badbit);
  writer->write(root, &text);
  return std::move(text).str();
}
