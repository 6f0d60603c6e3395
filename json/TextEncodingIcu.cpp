// The conversions through ICU, everywhere but Windows.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <unicode/ustring.h>
#include <unicode/utypes.h>

#include "json/TextEncoding.h"

namespace {

// ICU takes signed 32-bit lengths.
constexpr std::size_t kMaxUnits = INT_MAX - 1;

// ICU substitutes U+FFFD for each malformed sequence, as the Windows calls
// do when given no flags.
constexpr UChar32 kReplacement = 0xFFFD;

}  // namespace

std::u16string Utf8ToWide(std::string_view utf8) {
  utf8 = utf8.substr(0, utf8.find('\0'));
  if (utf8.empty() || utf8.size() > kMaxUnits) return {};
  const auto length = static_cast<int32_t>(utf8.size());
  int32_t needed = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(nullptr, 0, &needed, utf8.data(), length, kReplacement,
                       nullptr, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR) return {};
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(wide.data(), needed, nullptr, utf8.data(), length,
                       kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  return wide;
}

std::string WideToUtf8(std::u16string_view wide) {
  // U+0000 is the only unit that yields a NUL byte, so cutting the input
  // there cuts the result at its first NUL.
  wide = wide.substr(0, wide.find(u'\0'));
  if (wide.empty() || wide.size() > kMaxUnits) return {};
  const auto length = static_cast<int32_t>(wide.size());
  int32_t needed = 0;
  UErrorCode status = U_ZERO_ERROR;
  // Every key and string of a document passes through here, mostly short:
  // one pass into a stack buffer saves ICU's measuring pass. A UTF-16 unit
  // never takes more than three UTF-8 bytes, so the buffer cannot overflow.
  constexpr std::size_t kStackBytes = 256;
  if (wide.size() <= kStackBytes / 3) {
    char buffer[kStackBytes];
    u_strToUTF8WithSub(buffer, static_cast<int32_t>(kStackBytes), &needed,
                       wide.data(), length, kReplacement, nullptr, &status);
    if (U_FAILURE(status)) return {};
    return std::string(buffer, static_cast<std::size_t>(needed));
  }
  u_strToUTF8WithSub(nullptr, 0, &needed, wide.data(), length, kReplacement,
                     nullptr, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR) return {};
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), needed, nullptr, wide.data(), length,
                     kReplacement, nullptr, &status);
  if (U_FAILURE(status)) return {};
  return utf8;
}

// UTF-8 is the console's encoding here.
std::string WideToAnsi(std::u16string_view wide) { return WideToUtf8(wide); }
