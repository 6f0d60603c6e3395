#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include <json/forwards.h>
#include <nlohmann/json_fwd.hpp>

#include "json/CJsonObj.h"

// The documents that the benchmarks measure. Each is generated once as data,
// every text in UTF-16 (what our model and the nlohmann::json peer start
// from) and in UTF-8 (what the jsoncpp floor starts from). One shape builds
// it three ways, as a CJsonObj, as a Json::Value and as an nlohmann::json,
// and the three write the same bytes. Members come in ascending key order,
// the order in which our writer visits a CJsonObj, so the floor and the peer
// lay out their trees in memory as ours does and gain no locality over it.

// One text in both encodings.
struct BenchText {
  std::u16string wide;
  std::string utf8;
};

// A flat object: keys[i] holds the string values[i]. Keys are unique; keys
// and values mix ASCII with Latin-1, Cyrillic and CJK characters.
struct FlatDocument {
  std::vector<BenchText> keys;
  std::vector<BenchText> values;
};

// A tree of `groups` objects under distinct keys. Each group holds one value
// of every scalar alternative, a four-element array of each element type
// (an array of nulls counting as one value), an array of four objects of
// four members and an object nested two levels deep: kValuesPerGroup values
// in all, counting each scalar and each array element.
struct NestedDocument {
  std::size_t groups = 0;
  std::vector<BenchText> groupKeys;
  // The string values, kTextsPerGroup for each group in turn.
  std::vector<BenchText> texts;
};
inline constexpr std::size_t kValuesPerGroup = 46;
inline constexpr std::size_t kTextsPerGroup = 11;

// Each document is made on first use for its size and kept until exit.
[[nodiscard]] const FlatDocument& FlatDocumentOf(std::size_t members);
// The smallest tree with at least `values` values.
[[nodiscard]] const NestedDocument& NestedDocumentOf(std::size_t values);
[[nodiscard]] std::size_t ValueCount(const NestedDocument& document) noexcept;

// Our model, by item access and assignment, as every writer of records does.
[[nodiscard]] CJsonObj BuildObj(const FlatDocument& document);
[[nodiscard]] CJsonObj BuildObj(const NestedDocument& document);
// The floor: the equivalent Json::Value, straight from the UTF-8 texts, with
// nothing converted and nothing copied twice.
[[nodiscard]] Json::Value BuildJsoncpp(const FlatDocument& document);
[[nodiscard]] Json::Value BuildJsoncpp(const NestedDocument& document);
// The peer: the equivalent nlohmann::json from the UTF-16 texts, each key
// and string converted with WideToUtf8 and moved in.
[[nodiscard]] nlohmann::json BuildNlohmann(const FlatDocument& document);
[[nodiscard]] nlohmann::json BuildNlohmann(const NestedDocument& document);

// The write stage of CJsonObj::ToJsonText applied to a ready jsoncpp tree:
// the same builder settings, a new writer and an in-memory stream.
[[nodiscard]] std::string WriteCompact(const Json::Value& root);

// make(size), made on the first call for each size and kept until exit, so
// that the setup of a benchmark's repeated runs costs nothing. Pass a lambda:
// its unique type gives each call site a store of its own. Not thread-safe.
template <typename Make>
[[nodiscard]] const auto& Memoized(std::size_t size, Make make) {
  static_assert(std::is_class_v<Make>, "pass a lambda, whose type is unique");
  static std::map<std::size_t, std::invoke_result_t<Make, std::size_t>> store;
  auto entry = store.find(size);
  if (entry == store.end()) entry = store.emplace(size, make(size)).first;
  return entry->second;
}
