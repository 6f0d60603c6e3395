#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <string_view>
#include <type_traits>
#include <utility>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

// A record is a plain class whose first member, `registry`, maps each field's
// key to the serializer that writes that field. The constructor fills the
// registry (RegisterFields below) and nothing changes it afterwards; writing
// is the only direction.

// Writes one field of the given record into the target object. It wraps a
// stateless function that receives the record instead of capturing `this`,
// so a copied registry serves the copy and the defaulted copy is right.
template <typename R>
using FieldSerializer = std::function<void(R*, CJsonObj&)>;

// Orders keys by address as unsigned integers. Key texts are never compared:
// an equal text at another address is another key.
struct KeyAddressLess {
  bool operator()(const char16_t* left, const char16_t* right) const noexcept {
    return reinterpret_cast<std::uintptr_t>(left) <
           reinterpret_cast<std::uintptr_t>(right);
  }
};

// Keys are the addresses of static, NUL-terminated UTF-16 texts; the same text
// is the member key that the serializer writes. Keeping a record type's texts
// in one table makes address order its declaration order.
template <typename R>
using FieldRegistry =
    std::map<const char16_t*, FieldSerializer<R>, KeyAddressLess>;

template <typename R>
concept FieldRecord = requires(R& record) {
  { record.registry } -> std::same_as<FieldRegistry<R>&>;
};

// Inserts the serializer under key when that address is absent. Otherwise
// nothing changes: the first serializer stays in force.
// REQUIRES: key points to a NUL-terminated text that outlives the registry.
template <typename R>
void RegisterField(FieldRegistry<R>& registry, const char16_t* key,
                   std::type_identity_t<FieldSerializer<R>> serializer) {
  registry.try_emplace(key, std::move(serializer));
}

// A new object written by every registry entry, in ascending key address.
// Throws std::bad_function_call for an entry without a callable, and passes
// on whatever a serializer throws; the partly written object is discarded.
// The record is non-const only because serializers receive it so; none of
// them changes it.
template <FieldRecord R>
[[nodiscard]] CJsonObj ToJsonObj(R& record) {
  CJsonObj object;
  for (const auto& entry : record.registry) {
    entry.second(&record, object);
  }
  return object;
}

namespace field_registry_internal {

// Stores a copy of record->*Field under Keys[Index]. The field's declared
// type names the alternative; a converting construction would be free to
// pick another one for an int or a bool. A field that is a record itself
// goes in as the object that its own registry writes.
template <typename R, auto& Keys, std::size_t Index, auto Field>
void WriteField(R* record, CJsonObj& target) {
  using Type = std::remove_cvref_t<decltype(record->*Field)>;
  const std::u16string_view key(Keys[Index]);
  if constexpr (FieldRecord<Type>) {
    const JsonVariant value(std::in_place_type<CJsonObj>,
                            ToJsonObj(record->*Field));
    target[key] = value;
  } else {
    const JsonVariant value(std::in_place_type<Type>, record->*Field);
    target[key] = value;
  }
}

template <auto& Keys, auto... Fields, typename R, std::size_t... Index>
void RegisterRows(R& record, std::index_sequence<Index...>) {
  (RegisterField(record.registry, Keys[Index],
                 &WriteField<R, Keys, Index, Fields>),
   ...);
}

}  // namespace field_registry_internal

// Registers each of the record's Fields under the key in the same row of
// Keys. Keys is the record type's one static table of key texts, in field
// order: rows of one array lie at ascending addresses, so a walk over the
// registry visits the fields in declaration order on every compiler, which
// separate constants would not promise.
template <auto& Keys, auto... Fields, FieldRecord R>
void RegisterFields(R& record) {
  static_assert(sizeof...(Fields) == std::size(Keys),
                "one field for each row of the key table");
  field_registry_internal::RegisterRows<Keys, Fields...>(
      record, std::index_sequence_for<decltype(Fields)...>());
}
