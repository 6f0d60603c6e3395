#pragma once

#include <ostream>

#include <gtest/gtest.h>

#include "json/CJsonObj.h"
#include "json/JsonVariant.h"

// GoogleTest shows a std::variant by its alternative but a class derived
// from one as raw bytes; show a JsonVariant as the variant it is.
inline void PrintTo(const JsonVariant& value, std::ostream* os) {
  *os << ::testing::PrintToString(static_cast<const JsonVariant::Base&>(value));
}
