// DecimalCommaLocale from a German locale compiled for the test by localedef,
// so that no locale needs to be generated system-wide beforehand.

#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include <sys/wait.h>

#include "tests/support/DecimalCommaLocale.h"

namespace {

constexpr char kName[] = "de_DE.UTF-8";

void Restore(const std::string& locale,
             const std::optional<std::string>& locPath,
             const std::filesystem::path& scratch) {
  std::setlocale(LC_ALL, locale.c_str());
  if (locPath) {
    setenv("LOCPATH", locPath->c_str(), 1);
  } else {
    unsetenv("LOCPATH");
  }
  std::error_code error;
  std::filesystem::remove_all(scratch, error);
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("no decimal-comma locale: " + what);
}

}  // namespace

DecimalCommaLocale::DecimalCommaLocale() {
  const char* current = std::setlocale(LC_ALL, nullptr);
  previous_ = current ? current : "C";
  if (const char* path = std::getenv("LOCPATH")) previousLocPath_ = path;

  std::error_code error;
  std::string pattern =
      (std::filesystem::temp_directory_path(error) / "decimal-comma-XXXXXX")
          .string();
  if (error || mkdtemp(pattern.data()) == nullptr) {
    Fail("cannot create a directory like " + pattern);
  }
  scratch_ = pattern;
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + (scratch_ / kName).string() + "' 2>&1";
  // localedef also reports mere warnings by a status of 1, so the status
  // alone does not tell; the locale it wrote does.
  const int status = std::system(command.c_str());
  const std::string outcome =
      status != -1 && WIFEXITED(status)
          ? "exit status " + std::to_string(WEXITSTATUS(status))
          : "status " + std::to_string(status);
  if (!std::filesystem::exists(scratch_ / kName / "LC_NUMERIC", error)) {
    Restore(previous_, previousLocPath_, scratch_);
    Fail("`" + command + "` wrote nothing (" + outcome +
         "); localedef and the de_DE source come with the Debian package "
         "locales (make test-deps)");
  }
  setenv("LOCPATH", scratch_.c_str(), 1);
  if (std::setlocale(LC_ALL, kName) == nullptr ||
      std::localeconv()->decimal_point != std::string(",")) {
    Restore(previous_, previousLocPath_, scratch_);
    Fail(std::string(kName) + " from " + scratch_.string() +
         " did not make ',' the decimal point");
  }
}

DecimalCommaLocale::~DecimalCommaLocale() {
  Restore(previous_, previousLocPath_, scratch_);
}
