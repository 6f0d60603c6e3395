#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

// A narrow path means the ANSI code page to the Win32 calls; the path built
// from UTF-8 code units gives the wide form with every character kept.
std::filesystem::path WidePath(const std::string& utf8Path) {
  return std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()));
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

CInputFile::~CInputFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

// The attributes come from the file system's directory entry, without
// opening the file.
CInputFile::PathInfo CInputFile::Look(const std::string& utf8Path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WidePath(utf8Path).c_str(), GetFileExInfoStandard,
                            &data)) {
    return {IsNotFound(GetLastError()) ? PathInfo::Kind::kNotFound
                                       : PathInfo::Kind::kFailed};
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return {PathInfo::Kind::kDirectory};
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
    return {PathInfo::Kind::kOther};
  }
  return {PathInfo::Kind::kRegular};
}

// Backup semantics let a directory swapped in after the look open, so that
// it is told apart rather than refused as inaccessible; a pipe client opens
// or fails at once. Without an identity from the look, the kind is all
// there is to confirm.
CInputFile::OpenResult CInputFile::Open(const std::string& utf8Path,
                                        const PathInfo& /*seen*/) {
  const HANDLE file = CreateFileW(
      WidePath(utf8Path).c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
      nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return IsNotFound(GetLastError()) ? OpenResult::kNotFound
                                      : OpenResult::kFailed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  if (GetFileType(file) != FILE_TYPE_DISK) return OpenResult::kNotRegular;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return OpenResult::kFailed;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return OpenResult::kNotRegular;
  }
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
