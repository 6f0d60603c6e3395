// WideToAnsi in the active code page of a Windows process. Western Windows,
// and Wine in an English or C locale, run in code page 1252; a page that
// the rows do not know fails the test, so that its rows get written.

#include <windows.h>

#include <string_view>

#include <gtest/gtest.h>

#include "json/TextEncoding.h"

namespace {

using namespace std::string_view_literals;

TEST(WideToAnsi, WritesTheActiveCodePage) {
  const struct {
    UINT page;
    std::u16string_view wide;
    std::string_view ansi;
  } kRows[] = {
      // What the page holds becomes its byte, what it cannot hold its
      // default character, and a NUL ends the text.
      {1252, u"\u00E9t\u00E9"sv, "\xE9t\xE9"sv},
      {1252, u"\u20AC\u00FF"sv, "\x80\xFF"sv},
      {1252, u"\u4E2D"sv, "?"sv},
      {1252, u"\u00E9\0\u4E2D"sv, "\xE9"sv},
      {65001, u"\u00E9\u4E2D"sv, "\xC3\xA9\xE4\xB8\xAD"sv},
      {65001, u"\u00E9\0\u4E2D"sv, "\xC3\xA9"sv},
  };
  const UINT page = GetACP();
  bool known = false;
  for (const auto& row : kRows) {
    if (row.page != page) continue;
    known = true;
    SCOPED_TRACE(row.ansi);
    EXPECT_EQ(WideToAnsi(row.wide), row.ansi);
  }
  EXPECT_TRUE(known) << "no rows for the active code page " << page;
}

}  // namespace
