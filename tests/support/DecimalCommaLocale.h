#pragma once

#include <filesystem>
#include <optional>
#include <string>

// While it lives, the C locale of the whole process is German, whose
// decimal separator is a comma; then the previous locale is back. Throws
// std::runtime_error, saying what is missing, when it cannot switch. One file
// per platform defines it: the POSIX one builds the locale with localedef
// (Debian package locales) into a scratch directory named by LOCPATH.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale();
  ~DecimalCommaLocale();
  DecimalCommaLocale(const DecimalCommaLocale&) = delete;
  DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

 private:
  std::string previous_;
  // The POSIX file's: the locale's scratch directory and the LOCPATH it
  // replaced.
  std::filesystem::path scratch_;
  std::optional<std::string> previousLocPath_;
};
