#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

CInputFile::~CInputFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

// A narrow path means the ANSI code page to the Win32 calls; the path built
// from UTF-8 code units gives the wide form with every character kept.
// Backup semantics let a directory open, so that it is told apart rather
// than refused as inaccessible; a pipe client opens or fails at once.
CInputFile::OpenResult CInputFile::Open(const std::string& utf8Path) {
  const std::filesystem::path path(
      std::u8string(utf8Path.begin(), utf8Path.end()));
  const HANDLE file = CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
      nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? OpenResult::kNotFound
               : OpenResult::kFailed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  if (GetFileType(file) != FILE_TYPE_DISK) return OpenResult::kOpened;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return OpenResult::kFailed;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    kind_ = Kind::kDirectory;
    return OpenResult::kOpened;
  }
  kind_ = Kind::kRegular;
  size_ =
      static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return OpenResult::kOpened;
}

std::optional<std::size_t> CInputFile::Read(std::span<char> dest) {
  std::size_t done = 0;
  while (done < dest.size()) {
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(dest.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), dest.data() + done, wanted, &got,
                  nullptr)) {
      return std::nullopt;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace kestrovandil
