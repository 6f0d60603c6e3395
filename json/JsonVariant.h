#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class CJsonObj;

// One JSON value. The order of the alternatives is part of the contract:
// index() is the value's kind, the JSON writer dispatches on it, and every
// array alternative has an odd index right after its element type. A variant
// left valueless by an exception is the "empty union": it renders as "" and
// is written as null.
//
// Usable once "json/CJsonObj.h" has completed CJsonObj; include that.
//
// Moving a value nested inside a variant into that variant is safe when both
// hold objects, since CJsonObj takes its source before it frees. For other
// alternatives std::variant destroys the old one before it reads the source:
// move the source into a local first, or assign through CJsonValue, which
// copies.
using JsonVariant = std::variant<std::monostate,               // 0 null
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
                                 CJsonObj,                     // 12
                                 std::vector<CJsonObj>>;       // 13

static_assert(std::variant_size_v<JsonVariant> == 14);
