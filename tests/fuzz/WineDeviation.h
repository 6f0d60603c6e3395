#ifndef CONVERSION_TESTS_FUZZ_WINEDEVIATION_H_
#define CONVERSION_TESTS_FUZZ_WINEDEVIATION_H_

#include <string_view>

// The way in which Wine, unlike Windows, would break the target's
// properties on this input, or nothing: each target's replay links its own
// answer.
std::string_view WineDeviationOn(std::string_view input);

#endif  // CONVERSION_TESTS_FUZZ_WINEDEVIATION_H_
