#include <windows.h>

#include <cstddef>
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

CBytesBeforeGuardPage::CBytesBeforeGuardPage(std::size_t size) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const std::size_t page = system.dwPageSize;
  const std::size_t readable = (size + page - 1) / page * page;
  pagesSize_ = readable + page;
  pages_ = VirtualAlloc(nullptr, pagesSize_, MEM_RESERVE | MEM_COMMIT,
                        PAGE_READWRITE);
  if (pages_ == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()),
                            std::system_category(), "VirtualAlloc");
  }
  char* const guard = static_cast<char*>(pages_) + readable;
  DWORD previous = 0;
  if (!VirtualProtect(guard, page, PAGE_NOACCESS, &previous)) {
    const DWORD error = GetLastError();
    VirtualFree(pages_, 0, MEM_RELEASE);
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            "VirtualProtect");
  }
  data_ = guard - size;
}

CBytesBeforeGuardPage::~CBytesBeforeGuardPage() {
  VirtualFree(pages_, 0, MEM_RELEASE);
}
