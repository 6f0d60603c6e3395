#include "PlatformAnswers.h"

const char kQuotedAudioPathAnswer[] = "audio file not found: ";
