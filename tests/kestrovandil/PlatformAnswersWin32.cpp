#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "PlatformAnswers.h"

// CreateFileW fails with ERROR_INVALID_NAME, not "file not found".
const char kQuotedAudioPathAnswer[] = "audio file cannot be opened: ";

// GetProcessHandleCount would count every handle, but under Wine it
// answers 0 whatever the process holds.
bool HeldOpen(const std::string& path) {
  const HANDLE file =
      CreateFileW(std::filesystem::path(path).c_str(), GENERIC_READ, 0, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  if (GetLastError() == ERROR_SHARING_VIOLATION) return true;
  throw std::system_error(static_cast<int>(GetLastError()),
                          std::system_category(), "CreateFileW");
}
