#include "PlatformAnswers.h"

// CreateFileW fails with ERROR_INVALID_NAME, not "file not found".
const char kQuotedAudioPathAnswer[] = "audio file cannot be opened: ";
