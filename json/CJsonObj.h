#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "json/CJsonValue.h"
#include "json/JsonVariant.h"

// The JSON object and document type. Members are ordered by key in UTF-16
// code-unit order (a shorter prefix first); each key is unique, the empty key
// included. Every member lives in its own map node, so its address, and any
// CJsonValue handle onto it, survives later insertions. The object owns its
// whole tree: copies are deep.
class CJsonObj {
 public:
  using Members = std::map<std::u16string, JsonVariant, std::less<>>;
  using const_iterator = Members::const_iterator;

  CJsonObj() = default;
  CJsonObj(const CJsonObj&) = default;
  // Takes the source's members, nodes and all; the source is left empty. As
  // noexcept as the map's move, which allocates in some standard libraries.
  CJsonObj(CJsonObj&&) noexcept(std::is_nothrow_move_constructible_v<Members>) =
      default;
  // Copies before it frees, so the source may be an object nested inside
  // this one, and a failed copy leaves this object as it was.
  CJsonObj& operator=(const CJsonObj& other);
  // Takes the source's members before it frees its own, so the source may be
  // an object nested inside this one; a self-move keeps the members. As
  // noexcept as the map's move, the one step here that may throw.
  CJsonObj& operator=(CJsonObj&& other) noexcept(
      std::is_nothrow_move_constructible_v<Members>);
  ~CJsonObj() = default;

  // Item access for each pair in list order, then assignment of its value: a
  // repeated key keeps its place and takes the later value.
  CJsonObj(std::initializer_list<std::pair<std::u16string, JsonVariant>> pairs);

  // Item access: the member's handle, after inserting a null member when the
  // key is absent. Allocates only for a new key.
  CJsonValue operator[](std::u16string_view key);
  // The same after converting the key from UTF-8 with Utf8ToWide.
  CJsonValue operator[](std::string_view key);

  // The member's value, or null when the key is absent. Never inserts.
  [[nodiscard]] const JsonVariant* Find(std::u16string_view key) const;
  // The member's value; throws std::out_of_range("invalid map<K, T> key")
  // when the key is absent.
  [[nodiscard]] const JsonVariant& At(std::u16string_view key) const;
  [[nodiscard]] JsonVariant& At(std::u16string_view key);

  [[nodiscard]] std::size_t size() const noexcept { return members_.size(); }
  [[nodiscard]] bool empty() const noexcept { return members_.empty(); }
  // Ordered traversal: (key, value) pairs in ascending key order.
  [[nodiscard]] const_iterator begin() const noexcept {
    return members_.begin();
  }
  [[nodiscard]] const_iterator end() const noexcept { return members_.end(); }

  // Compact UTF-8 JSON text. A member under the empty key that holds an
  // array makes the object stand for that array alone; an object without
  // members and an array alternative without elements are written null (an
  // array of nulls is written []); members come out in UTF-8 byte order of
  // their names, which can differ from the object's own key order.
  [[nodiscard]] std::string ToJsonText() const;

  friend bool operator==(const CJsonObj&, const CJsonObj&) = default;

 private:
  Members members_;
};

// True for the array alternatives (odd indices); false for the empty union.
[[nodiscard]] inline bool HoldsArray(const JsonVariant& value) noexcept {
  return !value.valueless_by_exception() && value.index() % 2 == 1;
}
