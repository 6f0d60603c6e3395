// The conversions through the Win32 code-page calls.

#include <windows.h>

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

#include "json/TextEncoding.h"

namespace {

// The calls take signed 32-bit lengths.
constexpr std::size_t kMaxUnits = INT_MAX - 1;

// The converted text ends at its first NUL, as a C string would.
template <typename Text>
Text UpToFirstNul(Text text) {
  if (const auto nul = text.find(typename Text::value_type{});
      nul != Text::npos) {
    text.resize(nul);
  }
  return text;
}

std::string WideToCodePage(std::u16string_view wide, UINT codePage) {
  if (wide.size() > kMaxUnits) return {};
  const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
  const int length = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(codePage, 0, units, length, nullptr, 0,
                                         nullptr, nullptr);
  std::string buffer(static_cast<std::size_t>(needed) + 1, '\0');
  WideCharToMultiByte(codePage, 0, units, length, buffer.data(), needed,
                      nullptr, nullptr);
  return UpToFirstNul(buffer);
}

}  // namespace

std::u16string Utf8ToWide(std::string_view utf8) {
  const std::string terminated(utf8.substr(0, utf8.find('\0')));
  if (terminated.size() > kMaxUnits) return {};
  const int length = static_cast<int>(terminated.size()) + 1;
  const int needed =
      MultiByteToWideChar(CP_UTF8, 0, terminated.c_str(), length, nullptr, 0);
  std::u16string buffer(static_cast<std::size_t>(needed) + 1, u'\0');
  MultiByteToWideChar(CP_UTF8, 0, terminated.c_str(), length,
                      reinterpret_cast<wchar_t*>(buffer.data()), needed);
  return UpToFirstNul(buffer);
}

std::string WideToUtf8(std::u16string_view wide) {
  return WideToCodePage(wide, CP_UTF8);
}

// CP_ACP is the system's ANSI code page, the one that the C runtime's narrow
// file and string functions and the Win32 "A" calls read narrow text in. The
// line goes out through the runtime's narrow standard output, which passes
// its bytes on unchanged, so a file it is redirected to, and the program that
// reads that file with the narrow calls, get text in that page. A console
// shows the bytes in its own output code page instead (GetConsoleOutputCP,
// often the OEM page), which this does not switch.
std::string WideToAnsi(std::u16string_view wide) {
  return WideToCodePage(wide, CP_ACP);
}
