#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class CJsonObj;

// The alternatives of a JSON value. Object is always CJsonObj; it is a
// parameter so that nothing here needs CJsonObj complete.
template <typename Object>
using JsonAlternatives = std::variant<std::monostate,               // 0 null
                                      std::vector<std::monostate>,  // 1
                                      std::uint32_t,                // 2
                                      std::vector<std::uint32_t>,   // 3
                                      std::int32_t,                 // 4
                                      std::vector<std::int32_t>,    // 5
                                      double,                       // 6
                                      std::vector<double>,          // 7
                                      bool,                         // 8
                                      std::vector<bool>,            // 9 packed
                                      std::u16string,               // 10
                                      std::vector<std::u16string>,  // 11
                                      Object,                       // 12
                                      std::vector<Object>>;         // 13

// A value, other than Variant itself, that assigns to one of the
// alternatives of Variant's std::variant base.
template <typename Value, typename Variant>
concept AssignableAlternative =
    !std::is_same_v<std::remove_cvref_t<Value>, Variant> &&
    std::is_assignable_v<typename Variant::Base&, Value>;

// One JSON value. The order of the alternatives is part of the contract:
// index() is the value's kind, the JSON writer dispatches on it, and every
// array alternative has an odd index right after its element type. A variant
// left valueless by an exception is the "empty union": it renders as "" and
// is written as null. std::get, std::get_if, std::holds_alternative and
// std::visit take it as the std::variant it is.
//
// Usable once "json/CJsonObj.h" has completed CJsonObj; include that.
//
// Every assignment (a copy, a move, or from an alternative's value) first
// takes the source into a local and only then replaces the old value, so the
// source may live anywhere inside the target, as a member, an element or
// deeper, of any alternative; self-assignment keeps the value, and a copy
// that fails leaves the old value. Moving the local in cannot fail, since
// every alternative moves without throwing.
template <typename Object>
class BasicJsonVariant : public JsonAlternatives<Object> {
 public:
  using Base = JsonAlternatives<Object>;
  using Base::Base;

  BasicJsonVariant() = default;
  BasicJsonVariant(const BasicJsonVariant&) = default;
  BasicJsonVariant(BasicJsonVariant&&) = default;
  ~BasicJsonVariant() = default;

  BasicJsonVariant& operator=(const BasicJsonVariant& other) {
    Base copy(other);
    Base::operator=(std::move(copy));
    return *this;
  }

  // As noexcept as Base's move assignment, whose condition (every
  // alternative move-constructs and move-assigns without throwing) covers
  // the local too.
  BasicJsonVariant& operator=(BasicJsonVariant&& other) noexcept(
      std::is_nothrow_move_assignable_v<Base>) {
    Base taken(std::move(other));
    Base::operator=(std::move(taken));
    return *this;
  }

  // Selects the alternative as std::variant's converting assignment does.
  template <AssignableAlternative<BasicJsonVariant> Value>
  BasicJsonVariant& operator=(Value&& value) {
    Base converted(std::forward<Value>(value));
    Base::operator=(std::move(converted));
    return *this;
  }
};

using JsonVariant = BasicJsonVariant<CJsonObj>;

// The size and the alternatives of the std::variant base, so that generic
// code that asks std::variant_size or std::variant_alternative of a
// JsonVariant (as std::visit's own machinery may) sees the fourteen kinds.
namespace std {

template <typename Object>
struct variant_size<BasicJsonVariant<Object>>
    : variant_size<JsonAlternatives<Object>> {};

template <size_t Index, typename Object>
struct variant_alternative<Index, BasicJsonVariant<Object>>
    : variant_alternative<Index, JsonAlternatives<Object>> {};

}  // namespace std

static_assert(std::variant_size_v<JsonAlternatives<CJsonObj>> == 14);
