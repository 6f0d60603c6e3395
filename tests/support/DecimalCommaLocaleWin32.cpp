// DecimalCommaLocale from the C runtime's own German locale, which every
// Windows knows under one of these names.

#include <clocale>
#include <stdexcept>
#include <string>

#include "tests/support/DecimalCommaLocale.h"

DecimalCommaLocale::DecimalCommaLocale() {
  const char* current = std::setlocale(LC_ALL, nullptr);
  previous_ = current ? current : "C";
  for (const char* name : {"German_Germany", "de-DE"}) {
    if (std::setlocale(LC_ALL, name) != nullptr &&
        std::localeconv()->decimal_point == std::string(",")) {
      return;
    }
  }
  std::setlocale(LC_ALL, previous_.c_str());
  throw std::runtime_error(
      "no decimal-comma locale: setlocale knows neither German_Germany nor "
      "de-DE");
}

DecimalCommaLocale::~DecimalCommaLocale() {
  std::setlocale(LC_ALL, previous_.c_str());
}
