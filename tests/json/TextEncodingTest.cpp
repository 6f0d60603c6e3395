#include "json/TextEncoding.h"

#include <initializer_list>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/Wine.h"

namespace {

using namespace std::string_view_literals;

// The same text in both encodings; only one direction is checked per test.
struct TextRow {
  std::string_view utf8;
  std::u16string_view wide;
};

void ExpectToWide(std::initializer_list<TextRow> rows) {
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(std::string(row.utf8)));
    EXPECT_EQ(Utf8ToWide(row.utf8), row.wide);
  }
}

void ExpectToUtf8(std::initializer_list<TextRow> rows) {
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(std::string(row.utf8)));
    EXPECT_EQ(WideToUtf8(row.wide), row.utf8);
  }
}

TEST(Utf8ToWide, ConvertsValidText) {
  ExpectToWide({{"data"sv, u"data"sv},
                {""sv, u""sv},
                {"\x7F"sv, u"\x7F"sv},
                {"\xC3\xA9"sv, u"\u00E9"sv},
                {"\xE4\xB8\xAD"sv, u"\u4E2D"sv},
                {"\xEF\xBF\xBF"sv, u"\uFFFF"sv},
                {"\xF0\x9F\x98\x80"sv, u"\xD83D\xDE00"sv},
                {"\xF4\x8F\xBF\xBF"sv, u"\xDBFF\xDFFF"sv}});
}

TEST(Utf8ToWide, StopsAtFirstNulByte) {
  ExpectToWide({{"a\0b"sv, u"a"sv},
                {"\0abc"sv, u""sv},
                {"\xE4\xB8\xAD\0\xE4\xB8\xAD"sv, u"\u4E2D"sv},
                // The malformed tail after the NUL must not be looked at.
                {"ok\0\xFF"sv, u"ok"sv}});
}

// One U+FFFD per maximal ill-formed subpart, the replacement practice that
// both ICU and the Windows converter follow.
TEST(Utf8ToWide, ReplacesMalformedSequences) {
  // Wine's converter, unlike Windows', takes a three- or four-byte lead and
  // the continuation byte that cannot follow it as one subpart.
  const bool wineJoinsLead = testing_support::RunningUnderWine();
  ExpectToWide({
      {"\x80"sv, u"\uFFFD"sv},            // lone continuation
      {"a\xBFz"sv, u"a\uFFFDz"sv},        // continuation inside text
      {"a\xE4\xB8"sv, u"a\uFFFD"sv},      // truncated at the end
      {"\xE4\xB8z"sv, u"\uFFFDz"sv},      // truncated before ASCII
      {"\xF0\x9F\x98"sv, u"\uFFFD"sv},    // truncated four-byte
      {"\xC0\x80"sv, u"\uFFFD\uFFFD"sv},  // overlong NUL
      {"\xC1\xAF"sv, u"\uFFFD\uFFFD"sv},  // overlong slash
      {"\xFF"sv, u"\uFFFD"sv},
      {"x\xFEy"sv, u"x\uFFFDy"sv},
  });
  if (wineJoinsLead) {
    GTEST_SKIP() << "Wine's MultiByteToWideChar gives one U+FFFD fewer than "
                    "Windows for a lead byte followed by a continuation byte "
                    "it does not allow (E0 80 AF: two, not three); those "
                    "rows run on Windows only";
  }
  ExpectToWide({
      {"\xE0\x80\xAF"sv, u"\uFFFD\uFFFD\uFFFD"sv},  // overlong three-byte
      {"\xED\xA0\x80"sv, u"\uFFFD\uFFFD\uFFFD"sv},  // encoded surrogate
      {"\xF4\x90\x80\x80"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"sv},  // > U+10FFFF
  });
}

TEST(WideToUtf8, ConvertsEveryEncodingLength) {
  ExpectToUtf8({{""sv, u""sv},
                {"data"sv, u"data"sv},
                {"\x7F"sv, u"\x7F"sv},
                {"\xC2\x80"sv, u"\x80"sv},
                {"\xDF\xBF"sv, u"\u07FF"sv},
                {"\xE0\xA0\x80"sv, u"\u0800"sv},
                {"\xE4\xB8\xAD"sv, u"\u4E2D"sv},
                {"\xEF\xBF\xBF"sv, u"\uFFFF"sv},
                {"\xF0\x9F\x98\x80"sv, u"\xD83D\xDE00"sv},
                {"\xF0\x90\x80\x80"sv, u"\xD800\xDC00"sv},
                {"\xF4\x8F\xBF\xBF"sv, u"\xDBFF\xDFFF"sv}});
}

TEST(WideToUtf8, ReplacesUnpairedSurrogates) {
  ExpectToUtf8({
      {"\xEF\xBF\xBD"sv, u"\xD800"sv},
      {"\xEF\xBF\xBD"sv, u"\xDC00"sv},
      {"\xEF\xBF\xBDz"sv, u"\xD800z"sv},
      {"a\xEF\xBF\xBD"sv, u"a\xDBFF"sv},
      {"\xEF\xBF\xBD\xEF\xBF\xBD"sv, u"\xDE00\xD83D"sv},  // pair reversed
      {"\xEF\xBF\xBD\xF0\x9F\x98\x80"sv, u"\xD83D\xD83D\xDE00"sv},
  });
}

TEST(WideToUtf8, CutsResultAtFirstNul) {
  ExpectToUtf8({{"a"sv, u"a\0b"sv},
                {""sv, u"\0"sv},
                {"\xE4\xB8\xAD"sv, u"\u4E2D\0\u4E2D"sv}});
}

TEST(WideToAnsi, MatchesUtf8ForAscii) {
  for (const TextRow& row :
       {TextRow{""sv, u""sv}, TextRow{"data"sv, u"data"sv},
        TextRow{" ~\t\x7F"sv, u" ~\t\x7F"sv}, TextRow{"a"sv, u"a\0b"sv}}) {
    SCOPED_TRACE(row.utf8);
    EXPECT_EQ(WideToAnsi(row.wide), row.utf8);
    EXPECT_EQ(WideToAnsi(row.wide), WideToUtf8(row.wide));
  }
}

TEST(TextEncoding, RoundTripsValidText) {
  // Longer than any fixed-size buffer a conversion might be tempted to use.
  std::u16string longText;
  for (int i = 0; i < 40000; ++i) longText += u"a\u00E9\u4E2D\xD83D\xDE00";

  for (const std::u16string& wide :
       {std::u16string(u"D:\\Common\\Destkop\\test.wav"),
        std::u16string(u"\u00E9t\u00E9 \u4E2D\u6587 \xD83D\xDE00"),
        std::u16string(u"\x01\x1F\uE000\uFFFD\uFFFF\xDBFF\xDFFF"), longText}) {
    SCOPED_TRACE(wide.size());
    const std::string utf8 = WideToUtf8(wide);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(utf8)), utf8);
  }
  EXPECT_EQ(WideToUtf8(longText).size(), 40000u * (1 + 2 + 3 + 4));
}

TEST(WideToUtf8, ConvertsEveryLengthAroundShortTextPath) {
  // Three-byte characters fill a small buffer fastest; a lone surrogate at
  // the end must still become a whole U+FFFD.
  for (std::size_t units = 80; units <= 90; ++units) {
    SCOPED_TRACE(units);
    std::u16string wide(units, u'\u4E2D');
    std::string utf8;
    for (std::size_t i = 0; i < units; ++i) utf8 += "\xE4\xB8\xAD";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    wide.back() = u'\xD800';
    utf8.replace(utf8.size() - 3, 3, "\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(wide), utf8);
  }
}

}  // namespace
