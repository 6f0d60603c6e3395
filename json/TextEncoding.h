#pragma once

#include <string>
#include <string_view>

// Conversions between narrow text and UTF-16. None of them fails: malformed
// input (invalid UTF-8, unpaired surrogates) becomes U+FFFD, and text that
// cannot be converted at all (longer than INT32_MAX - 1 units) becomes "".
// A NUL ends the text: Utf8ToWide reads only up to the first NUL byte, and
// the other two cut their result at the first NUL.

[[nodiscard]] std::u16string Utf8ToWide(std::string_view utf8);
[[nodiscard]] std::string WideToUtf8(std::u16string_view wide);
// The program's narrow text: the system's active ANSI code page (CP_ACP) on
// Windows, UTF-8 elsewhere. Characters the code page lacks become its
// default character.
[[nodiscard]] std::string WideToAnsi(std::u16string_view wide);
