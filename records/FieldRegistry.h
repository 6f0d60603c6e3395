#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <type_traits>
#include <utility>

#include "json/CJsonObj.h"

// A record is a plain class whose first member, `registry`, maps each field's
// key to the serializer that writes that field. The constructor fills the
// registry and nothing changes it afterwards; writing is the only direction.

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
