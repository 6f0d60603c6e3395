#pragma once

#include <cstdint>
#include <string>
#include <variant>

// The numbers that CJsonValue::ToString renders, each as printf's "%u",
// "%d" and "%f" write it in the C locale.
using PrintfNumber = std::variant<std::uint32_t, std::int32_t, double>;

// The number's text in UTF-16, the same in every locale and on every
// platform: the decimal point is always '.', a real has six decimals, and
// no value is cut short (1e20 has 21 integer digits). A real that is not a
// number is "nan" or "-nan", an infinite one "inf" or "-inf".
[[nodiscard]] std::u16string FormatNumber(PrintfNumber number);
