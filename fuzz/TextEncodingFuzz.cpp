// Utf8ToWide, WideToUtf8 and WideToAnsi on arbitrary bytes: the same input
// is read once as UTF-8 and once as UTF-16 code units (little-endian pairs;
// an odd last byte is dropped). Each result must be well-formed and equal
// to that of an independent reference conversion, and well-formed text must
// survive a round trip.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "json/TextEncoding.h"

namespace {

void CheckUtf8ToWide(std::string_view bytes) {
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  bool wellFormed = true;
  const std::u16string expected = fuzz::DecodeUtf8(text, &wellFormed);
  const std::u16string wide = Utf8ToWide(bytes);
  fuzz::Check(fuzz::IsWellFormedUtf16(wide),
              "Utf8ToWide returned an unpaired surrogate");
  fuzz::Check(wide.find(u'\0') == std::u16string::npos,
              "Utf8ToWide returned a NUL unit");
  fuzz::Check(wide == expected,
              "Utf8ToWide differs from one U+FFFD per maximal subpart");

  const std::string back = WideToUtf8(wide);
  fuzz::Check(fuzz::IsWellFormedUtf8(back),
              "WideToUtf8 of Utf8ToWide is not well-formed UTF-8");
  if (wellFormed) {
    fuzz::Check(back == text, "well-formed UTF-8 does not round-trip");
  } else {
    // The substitutes are real characters: a second pass keeps them.
    fuzz::Check(Utf8ToWide(back) == wide,
                "repaired UTF-8 changes on a second conversion");
  }
}

void CheckWideToUtf8(std::string_view bytes) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wide +=
        static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                              static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  const std::string utf8 = WideToUtf8(wide);
  fuzz::Check(fuzz::IsWellFormedUtf8(utf8),
              "WideToUtf8 returned ill-formed UTF-8");
  fuzz::Check(utf8.find('\0') == std::string::npos,
              "WideToUtf8 returned a NUL byte");
  fuzz::Check(utf8 == fuzz::EncodeUtf8(wide),
              "WideToUtf8 differs from U+FFFD per unpaired surrogate, cut at "
              "the first U+0000");

  // Up to its first U+0000, with each unpaired surrogate replaced, the text
  // comes back unit for unit.
  fuzz::Check(Utf8ToWide(utf8) == fuzz::DecodeUtf8(utf8),
              "Utf8ToWide of WideToUtf8 differs from the reference");
  if (const std::u16string_view head =
          std::u16string_view(wide).substr(0, wide.find(u'\0'));
      fuzz::IsWellFormedUtf16(head)) {
    fuzz::Check(Utf8ToWide(utf8) == head,
                "well-formed UTF-16 does not round-trip");
  }

  const std::string ansi = WideToAnsi(wide);
  fuzz::Check(ansi.find('\0') == std::string::npos,
              "WideToAnsi returned a NUL byte");
#ifndef _WIN32
  // Off Windows the console's narrow encoding is UTF-8.
  fuzz::Check(ansi == utf8, "WideToAnsi differs from WideToUtf8");
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const fuzz::CAllocationLimit limit(size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckUtf8ToWide(bytes);
  CheckWideToUtf8(bytes);
  return 0;
}
