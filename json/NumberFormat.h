#pragma once

#include <cstdint>
#include <string>
#include <variant>

// The numbers that CJsonValue::ToString renders, each by its printf format:
// "%u", "%d" and "%lf" in that order.
using PrintfNumber = std::variant<std::uint32_t, std::int32_t, double>;

// The number's text as the C runtime's printf writes it, in UTF-16. It is
// measured first and written into a buffer of that size, so no value is cut
// short (1e20 has 21 integer digits); "" when the runtime reports a failure.
// One file per platform defines it.
[[nodiscard]] std::u16string FormatNumber(PrintfNumber number);
