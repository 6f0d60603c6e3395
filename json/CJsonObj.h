#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "json/CJsonValue.h"
#include "json/JsonVariant.h"
#include "json/LifetimeBound.h"

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
  // Copies by recursion down to kRecursiveDepth nested objects, and level
  // by level from a heap stack below, so no depth of nesting can exhaust the
  // machine stack.
  CJsonObj(const CJsonObj& other);
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
  // Frees the tree without recursing beyond kRecursiveDepth nested
  // objects: a deeper one is taken apart from a heap stack and, should
  // memory run out for it, from a pool that needs none, so a tree of any
  // depth is freed even when no memory is left.
  ~CJsonObj();

  // Item access for each pair in list order, then assignment of its value: a
  // repeated key keeps its place and takes the later value.
  CJsonObj(std::initializer_list<std::pair<std::u16string, JsonVariant>> pairs);

  // Item access: the member's handle, after inserting a null member when the
  // key is absent. Allocates only for a new key. Not on a temporary, whose
  // members are freed at the end of the statement while the handle lives
  // on: `CJsonValue data = MakeResult()["data"];` would read freed memory.
  CJsonValue operator[](std::u16string_view key) & CONVERSION_LIFETIME_BOUND;
  CJsonValue operator[](std::u16string_view key) && = delete;
  // The same after converting the key from UTF-8 with Utf8ToWide.
  CJsonValue operator[](std::string_view key) & CONVERSION_LIFETIME_BOUND;
  CJsonValue operator[](std::string_view key) && = delete;

  // The member's value, or null when the key is absent. Never inserts. On a
  // temporary, for use within the statement (`MakeResult().Find(u"data") !=
  // nullptr`): clang's -Wdangling flags a pointer kept beyond it.
  [[nodiscard]] const JsonVariant* Find(std::u16string_view key) const
      CONVERSION_LIFETIME_BOUND;
  // The member's value; throws std::out_of_range("invalid map<K, T> key")
  // when the key is absent. Not on a temporary, for the reason above.
  [[nodiscard]] const JsonVariant& At(
      std::u16string_view key) const& CONVERSION_LIFETIME_BOUND;
  [[nodiscard]] JsonVariant& At(std::u16string_view key) &
      CONVERSION_LIFETIME_BOUND;
  const JsonVariant& At(std::u16string_view key) const&& = delete;
  JsonVariant& At(std::u16string_view key) && = delete;

  [[nodiscard]] std::size_t size() const noexcept { return members_.size(); }
  [[nodiscard]] bool empty() const noexcept { return members_.empty(); }
  // Ordered traversal: (key, value) pairs in ascending key order. On a
  // temporary only within the statement, as Find.
  [[nodiscard]] const_iterator begin() const noexcept
      CONVERSION_LIFETIME_BOUND {
    return members_.begin();
  }
  [[nodiscard]] const_iterator end() const noexcept CONVERSION_LIFETIME_BOUND {
    return members_.end();
  }

  // Compact UTF-8 JSON text. A member under the empty key that holds an
  // array makes the object stand for that array alone; an object without
  // members and an array alternative without elements are written null (an
  // array of nulls is written []); members come out in UTF-8 byte order of
  // their names, which can differ from the object's own key order. Throws
  // JsonTooDeepError for a tree deeper than kJsonMaxWriteDepth.
  [[nodiscard]] std::string ToJsonText() const;

  // Member by member, in key order, at any depth (from a heap stack).
  friend bool operator==(const CJsonObj& left, const CJsonObj& right);

  // Objects nested this deep are copied and freed by plain recursion: the
  // common case, which is fastest so and allocates nothing while it frees.
  static constexpr std::size_t kRecursiveDepth = 64;

 private:
  // The iterative walks over a tree; defined in CJsonObj.cpp.
  struct Tree;

  Members members_;
};

// The deepest tree that ToJsonText and CJsonValue::ToJsonValue write. Every
// object and every array alternative is one level, the outermost level 1.
// jsoncpp builds, writes and frees its values by recursion, so a deeper tree
// is refused before the machine stack could run out. On a 1 MiB stack a
// chain of objects first overflowed at about 700 levels under
// ThreadSanitizer, 1 350 unoptimised, 2 400 under AddressSanitizer and 4 000
// optimised: this leaves ThreadSanitizer a margin of more than two.
inline constexpr std::size_t kJsonMaxWriteDepth = 256;

// Thrown by ToJsonText and CJsonValue::ToJsonValue for a tree deeper than
// kJsonMaxWriteDepth: "JSON tree nested deeper than 256 levels".
class JsonTooDeepError : public std::length_error {
 public:
  JsonTooDeepError();
};

// True for the array alternatives (odd indices); false for the empty union.
[[nodiscard]] inline bool HoldsArray(const JsonVariant& value) noexcept {
  return !value.valueless_by_exception() && value.index() % 2 == 1;
}
