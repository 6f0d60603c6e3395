#pragma once

#include "json/CJsonObj.h"

// The fixed request of every run: the audio file, the recognition model
// file, the language "zh" and an empty prompt, all as strings. Written, it
// is 152 bytes of compact JSON.
[[nodiscard]] CJsonObj BuildConversionRequest();
