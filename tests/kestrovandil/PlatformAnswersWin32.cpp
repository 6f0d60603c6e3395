#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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

// Nothing lists a process's handles under Wine either, so every value a
// handle can take is tried: multiples of 4, the lowest free one handed out
// first, so that a process holding fewer than 16 384 has none beyond them.
// The file is known by its volume and index, opened in the \\?\ form, which
// reaches past MAX_PATH and takes its path as it is, hence normalised first.
bool InheritedByChildren(const std::string& path) {
  const std::wstring full =
      L"\\\\?\\" + std::filesystem::absolute(path).lexically_normal().wstring();
  const HANDLE own = CreateFileW(
      full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION wanted{};
  const bool known =
      own != INVALID_HANDLE_VALUE && GetFileInformationByHandle(own, &wanted);
  const DWORD error = GetLastError();
  if (own != INVALID_HANDLE_VALUE) CloseHandle(own);
  if (!known) {
    throw std::system_error(static_cast<int>(error), std::system_category(),
                            "GetFileInformationByHandle");
  }
  for (std::uintptr_t value = 4; value < 4 * 16384; value += 4) {
    const auto handle = reinterpret_cast<HANDLE>(value);
    DWORD flags = 0;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetHandleInformation(handle, &flags) &&
        (flags & HANDLE_FLAG_INHERIT) != 0 &&
        GetFileType(handle) == FILE_TYPE_DISK &&
        GetFileInformationByHandle(handle, &info) &&
        info.dwVolumeSerialNumber == wanted.dwVolumeSerialNumber &&
        info.nFileIndexHigh == wanted.nFileIndexHigh &&
        info.nFileIndexLow == wanted.nFileIndexLow) {
      return true;
    }
  }
  return false;
}

// A file object that was never opened holds INVALID_HANDLE_VALUE, which is
// also the process's own pseudo-handle, and closing that does nothing. Every
// handle value tried, as above, would also list those that a start makes
// for the system's own use and keeps.
std::vector<int> OpenDescriptors() { return {}; }

// None is known: a disk file reads as far as its size says.
std::string FileThatReadsNothing() { return {}; }

void HoldDescriptorZero() {}
