#include "bench/BenchDocuments.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <ranges>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <json/json.h>
#include <nlohmann/json.hpp>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"
#include "json/TextEncoding.h"

namespace {

BenchText MakeText(std::string utf8) {
  std::u16string wide = Utf8ToWide(utf8);
  return {std::move(wide), std::move(utf8)};
}

// The member keys inside each group of the nested tree.
struct NestedKeys {
  BenchText name = MakeText("名前");
  BenchText count = MakeText("count");
  BenchText delta = MakeText("delta");
  BenchText ratio = MakeText("ratio");
  BenchText enabled = MakeText("enabled");
  BenchText nothing = MakeText("nothing");
  BenchText tags = MakeText("étiquettes");
  BenchText samples = MakeText("samples");
  BenchText levels = MakeText("levels");
  BenchText ids = MakeText("ids");
  BenchText flags = MakeText("flags");
  BenchText gaps = MakeText("gaps");
  BenchText items = MakeText("items");
  BenchText child = MakeText("child");
  BenchText id = MakeText("id");
  BenchText label = MakeText("label");
  BenchText weight = MakeText("weight");
  BenchText on = MakeText("on");
  BenchText title = MakeText("标题");
  BenchText depth = MakeText("depth");
  BenchText grandchild = MakeText("grandchild");
  BenchText note = MakeText("заметка");
};

const NestedKeys& Keys() {
  static const NestedKeys keys;
  return keys;
}

// Each builder below puts one kind of value under a key of an object, so
// that one shape (BuildFlat, BuildNested) serves all three libraries.

// Our model: item access, then assignment of a JsonVariant.
struct ObjBuilder {
  using Object = CJsonObj;
  using ObjectArray = std::vector<CJsonObj>;

  static Object NewObject() { return {}; }
  static ObjectArray NewObjectArray() { return {}; }
  static void Append(ObjectArray& array, Object&& item) {
    array.push_back(std::move(item));
  }
  template <typename Scalar>
  static void Put(Object& object, const BenchText& key, Scalar value) {
    object[std::u16string_view(key.wide)] =
        JsonVariant(std::in_place_type<Scalar>, value);
  }
  static void PutText(Object& object, const BenchText& key,
                      const BenchText& text) {
    object[std::u16string_view(key.wide)] = JsonVariant(text.wide);
  }
  template <typename Range>
  static void PutArray(Object& object, const BenchText& key,
                       const Range& elements) {
    using Element = std::ranges::range_value_t<Range>;
    object[std::u16string_view(key.wide)] = JsonVariant(std::vector<Element>(
        std::ranges::begin(elements), std::ranges::end(elements)));
  }
  static void PutTexts(Object& object, const BenchText& key,
                       std::span<const BenchText> texts) {
    std::vector<std::u16string> array;
    for (const BenchText& text : texts) array.push_back(text.wide);
    object[std::u16string_view(key.wide)] = JsonVariant(std::move(array));
  }
  static void PutNulls(Object& object, const BenchText& key,
                       std::size_t count) {
    object[std::u16string_view(key.wide)] =
        JsonVariant(std::vector<std::monostate>(count));
  }
  static void PutChild(Object& object, const BenchText& key, Object&& child) {
    object[std::u16string_view(key.wide)] = JsonVariant(std::move(child));
  }
  static void PutChildren(Object& object, const BenchText& key,
                          ObjectArray&& children) {
    object[std::u16string_view(key.wide)] = JsonVariant(std::move(children));
  }
};

// The floor: jsoncpp alone. Values start null and become an object or an
// array at their first member or element, as our writer's do.
struct JsoncppBuilder {
  using Object = Json::Value;
  using ObjectArray = Json::Value;

  static Object NewObject() { return {}; }
  static ObjectArray NewObjectArray() { return {}; }
  static void Append(ObjectArray& array, Object&& item) {
    array.append(std::move(item));
  }
  template <typename Scalar>
  static void Put(Object& object, const BenchText& key, Scalar value) {
    object[key.utf8] = Json::Value(value);
  }
  static void Put(Object& object, const BenchText& key, std::monostate) {
    object[key.utf8] = Json::Value();
  }
  static void PutText(Object& object, const BenchText& key,
                      const BenchText& text) {
    object[key.utf8] = Json::Value(text.utf8);
  }
  template <typename Range>
  static void PutArray(Object& object, const BenchText& key,
                       const Range& elements) {
    Json::Value array;
    for (const auto element : elements) array.append(Json::Value(element));
    object[key.utf8] = std::move(array);
  }
  static void PutTexts(Object& object, const BenchText& key,
                       std::span<const BenchText> texts) {
    Json::Value array;
    for (const BenchText& text : texts) array.append(Json::Value(text.utf8));
    object[key.utf8] = std::move(array);
  }
  static void PutNulls(Object& object, const BenchText& key, std::size_t) {
    object[key.utf8] = Json::Value(Json::arrayValue);
  }
  static void PutChild(Object& object, const BenchText& key, Object&& child) {
    object[key.utf8] = std::move(child);
  }
  static void PutChildren(Object& object, const BenchText& key,
                          ObjectArray&& children) {
    object[key.utf8] = std::move(children);
  }
};

// The peer, as a user holding UTF-16 text would write it.
struct NlohmannBuilder {
  using Object = nlohmann::json;
  using ObjectArray = nlohmann::json;

  static Object NewObject() { return nlohmann::json::object(); }
  static ObjectArray NewObjectArray() { return nlohmann::json::array(); }
  static void Append(ObjectArray& array, Object&& item) {
    array.push_back(std::move(item));
  }
  template <typename Scalar>
  static void Put(Object& object, const BenchText& key, Scalar value) {
    object[WideToUtf8(key.wide)] = value;
  }
  static void Put(Object& object, const BenchText& key, std::monostate) {
    object[WideToUtf8(key.wide)] = nullptr;
  }
  static void PutText(Object& object, const BenchText& key,
                      const BenchText& text) {
    object[WideToUtf8(key.wide)] = WideToUtf8(text.wide);
  }
  template <typename Range>
  static void PutArray(Object& object, const BenchText& key,
                       const Range& elements) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto element : elements) array.push_back(element);
    object[WideToUtf8(key.wide)] = std::move(array);
  }
  static void PutTexts(Object& object, const BenchText& key,
                       std::span<const BenchText> texts) {
    nlohmann::json array = nlohmann::json::array();
    for (const BenchText& text : texts) array.push_back(WideToUtf8(text.wide));
    object[WideToUtf8(key.wide)] = std::move(array);
  }
  static void PutNulls(Object& object, const BenchText& key, std::size_t) {
    object[WideToUtf8(key.wide)] = nlohmann::json::array();
  }
  static void PutChild(Object& object, const BenchText& key, Object&& child) {
    object[WideToUtf8(key.wide)] = std::move(child);
  }
  static void PutChildren(Object& object, const BenchText& key,
                          ObjectArray&& children) {
    object[WideToUtf8(key.wide)] = std::move(children);
  }
};

template <typename Builder>
typename Builder::Object BuildFlat(const FlatDocument& document) {
  typename Builder::Object root = Builder::NewObject();
  for (std::size_t i = 0; i < document.keys.size(); ++i) {
    Builder::PutText(root, document.keys[i], document.values[i]);
  }
  return root;
}

// Numbers are chosen so that every writer prints them alike: reals with a
// short exact binary fraction, integers of both signs and the largest
// unsigned value. No array or object is empty, since our writer writes an
// empty one as null.
template <typename Builder>
typename Builder::Object BuildNested(const NestedDocument& document) {
  const NestedKeys& key = Keys();
  typename Builder::Object root = Builder::NewObject();
  for (std::size_t g = 0; g < document.groups; ++g) {
    const auto n = static_cast<std::uint32_t>(g);
    const auto i = static_cast<std::int32_t>(g);
    const std::span<const BenchText> text(
        document.texts.data() + g * kTextsPerGroup, kTextsPerGroup);

    typename Builder::Object group = Builder::NewObject();
    Builder::PutText(group, key.name, text[0]);
    Builder::Put(group, key.count, n);
    Builder::Put(group, key.delta, -i - 1);
    Builder::Put(group, key.ratio, i + 0.25);
    Builder::Put(group, key.enabled, g % 2 == 0);
    Builder::Put(group, key.nothing, std::monostate{});
    Builder::PutTexts(group, key.tags, text.subspan(1, 4));
    const double samples[] = {i + 0.5, i + 0.125, -i - 0.75, i * 2 + 0.375};
    Builder::PutArray(group, key.samples, samples);
    const std::int32_t levels[] = {i, -i, i * 3, -7};
    Builder::PutArray(group, key.levels, levels);
    const std::uint32_t ids[] = {n, n + 1, n * 5, 4294967295U};
    Builder::PutArray(group, key.ids, ids);
    const bool flags[] = {true, false, g % 3 == 0, true};
    Builder::PutArray(group, key.flags, flags);
    Builder::PutNulls(group, key.gaps, 2);

    typename Builder::ObjectArray items = Builder::NewObjectArray();
    for (std::uint32_t k = 0; k < 4; ++k) {
      typename Builder::Object item = Builder::NewObject();
      Builder::Put(item, key.id, n * 4 + k);
      Builder::PutText(item, key.label, text[5 + k]);
      Builder::Put(item, key.weight, k * 0.5 + 0.25);
      Builder::Put(item, key.on, k % 2 == 1);
      Builder::Append(items, std::move(item));
    }
    Builder::PutChildren(group, key.items, std::move(items));

    typename Builder::Object grandchild = Builder::NewObject();
    Builder::PutText(grandchild, key.note, text[9]);
    typename Builder::Object child = Builder::NewObject();
    Builder::PutText(child, key.title, text[10]);
    Builder::Put(child, key.depth, i % 7 - 3);
    Builder::PutChild(child, key.grandchild, std::move(grandchild));
    Builder::PutChild(group, key.child, std::move(child));

    Builder::PutChild(root, document.groupKeys[g], std::move(group));
  }
  return root;
}

FlatDocument MakeFlatDocument(std::size_t members) {
  static constexpr std::string_view kKeyWords[] = {"schlüssel", "clé", "键名",
                                                   "ключ", "key"};
  static constexpr std::string_view kValueWords[] = {
      "Grüße aus Köln", "naïve café", "你好，世界", "привет", "plain words"};
  std::vector<std::pair<BenchText, BenchText>> pairs;
  pairs.reserve(members);
  for (std::size_t i = 0; i < members; ++i) {
    const std::string number = std::to_string(i);
    const std::size_t word = i % std::size(kKeyWords);
    pairs.emplace_back(
        MakeText(std::string(kKeyWords[word]) + "-" + number),
        MakeText(std::string(kValueWords[word]) + " n° " + number + " — 值"));
  }
  std::ranges::sort(pairs, {}, [](const auto& pair) -> const std::u16string& {
    return pair.first.wide;
  });
  FlatDocument document;
  document.keys.reserve(members);
  document.values.reserve(members);
  for (auto& [key, value] : pairs) {
    document.keys.push_back(std::move(key));
    document.values.push_back(std::move(value));
  }
  return document;
}

NestedDocument MakeNestedDocument(std::size_t values) {
  static constexpr std::string_view kWords[] = {
      "Grüße",      "naïve café", "你好，世界",
      "привет мир", "plain text", "C:\\dir\\file.wav"};
  NestedDocument document;
  document.groups = (values + kValuesPerGroup - 1) / kValuesPerGroup;
  document.groupKeys.reserve(document.groups);
  document.texts.reserve(document.groups * kTextsPerGroup);
  for (std::size_t g = 0; g < document.groups; ++g) {
    document.groupKeys.push_back(
        MakeText("gruppe-" + std::to_string(g) + "-组"));
    for (std::size_t t = 0; t < kTextsPerGroup; ++t) {
      const std::size_t serial = g * kTextsPerGroup + t;
      document.texts.push_back(
          MakeText(std::string(kWords[serial % std::size(kWords)]) + " " +
                   std::to_string(serial)));
    }
  }
  std::ranges::sort(document.groupKeys, {}, &BenchText::wide);
  return document;
}

}  // namespace

const FlatDocument& FlatDocumentOf(std::size_t members) {
  return Memoized(members, [](std::size_t n) { return MakeFlatDocument(n); });
}

const NestedDocument& NestedDocumentOf(std::size_t values) {
  return Memoized(values, [](std::size_t n) { return MakeNestedDocument(n); });
}

std::size_t ValueCount(const NestedDocument& document) noexcept {
  return document.groups * kValuesPerGroup;
}

CJsonObj BuildObj(const FlatDocument& document) {
  return BuildFlat<ObjBuilder>(document);
}

CJsonObj BuildObj(const NestedDocument& document) {
  return BuildNested<ObjBuilder>(document);
}

Json::Value BuildJsoncpp(const FlatDocument& document) {
  return BuildFlat<JsoncppBuilder>(document);
}

Json::Value BuildJsoncpp(const NestedDocument& document) {
  return BuildNested<JsoncppBuilder>(document);
}

nlohmann::json BuildNlohmann(const FlatDocument& document) {
  return BuildFlat<NlohmannBuilder>(document);
}

nlohmann::json BuildNlohmann(const NestedDocument& document) {
  return BuildNested<NlohmannBuilder>(document);
}

std::string WriteCompact(const Json::Value& root) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  std::ostringstream text;
  writer->write(root, &text);
  return std::move(text).str();
}
