#include <cstddef>

#include "WineDeviation.h"

namespace {

// Whether byte may follow lead as its first continuation byte; the leads of
// three- and four-byte forms narrow the range to shut out overlong forms,
// surrogates and points past U+10FFFF.
bool ContinuationAllowed(unsigned char lead, unsigned char byte) {
  switch (lead) {
    case 0xE0:
      return byte >= 0xA0 && byte <= 0xBF;
    case 0xED:
      return byte >= 0x80 && byte <= 0x9F;
    case 0xF0:
      return byte >= 0x90 && byte <= 0xBF;
    case 0xF4:
      return byte >= 0x80 && byte <= 0x8F;
    default:
      return true;
  }
}

}  // namespace

// The target reads its input as UTF-8 up to the first NUL byte.
std::string_view WineDeviationOn(std::string_view input) {
  const std::string_view text = input.substr(0, input.find('\0'));
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (next >= 0x80 && next <= 0xBF && !ContinuationAllowed(lead, next)) {
      return "Wine's MultiByteToWideChar gives one U+FFFD fewer than Windows "
             "for a lead byte followed by a continuation byte it does not "
             "allow (E0 80 AF: two, not three)";
    }
  }
  return {};
}
