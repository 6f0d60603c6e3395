#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// ERROR_DIRECTORY is NTFS's answer for a path through a file (a.wav\x).
bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_DIRECTORY;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view lower) {
  return std::ranges::equal(text, lower, [](wchar_t a, wchar_t b) {
    return (a >= L'A' && a <= L'Z' ? a - L'A' + L'a' : a) == b;
  });
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view lower) {
  return text.size() >= lower.size() &&
         EqualsIgnoringCase(text.substr(0, lower.size()), lower);
}

// The path's components, either slash separating them, empty ones skipped.
std::vector<std::wstring_view> Components(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  while (!path.empty()) {
    const auto end = std::ranges::find_if(path, IsSeparator);
    const auto length = static_cast<std::size_t>(end - path.begin());
    if (length > 0) parts.push_back(path.substr(0, length));
    path.remove_prefix(std::min(length + 1, path.size()));
  }
  return parts;
}

// Whether Win32 takes the name for a DOS device in any folder: CON, PRN,
// AUX, NUL, COM1-COM9 and LPT1-LPT9 with a digit or a superscript one, two
// or three, in any case, whatever follows the first dot or colon (an
// extension, a stream) and with the spaces before it ignored, which covers
// trailing spaces and dots too; and CONIN$ and CONOUT$, which CreateFile
// opens as the console. COM0 and LPT0 are ordinary names.
bool IsDosDeviceName(std::wstring_view name) {
  name = name.substr(0, name.find_first_of(L".:"));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  for (const std::wstring_view device :
       {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"}) {
    if (EqualsIgnoringCase(name, device)) return true;
  }
  if (name.size() != 4 || !(StartsWithIgnoringCase(name, L"com") ||
                            StartsWithIgnoringCase(name, L"lpt"))) {
    return false;
  }
  const wchar_t digit = name[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' ||
         digit == L'\u00B2' || digit == L'\u00B3';
}

// A UNC path's share named PIPE or MAILSLOT reaches a server's named pipes
// or mailslots, not its files.
bool IsIpcShare(std::span<const std::wstring_view> serverAndShare) {
  return serverAndShare.size() >= 2 &&
         (EqualsIgnoringCase(serverAndShare[1], L"pipe") ||
          EqualsIgnoringCase(serverAndShare[1], L"mailslot"));
}

// Whether the path names something else than a file or directory by its
// name alone, so that it is refused before anything looks at it: even
// GetFileAttributesExW opens what it is given, which connects to a named
// pipe. The \\.\ and \\?\ prefixes (and the NT \??\) lead into the object
// namespace, where only a drive's folders (\\.\C:\...), a share's
// (\\?\UNC\server\share\...) and a volume's (\\?\Volume{...}\...) are
// files; anything else there is a device: \\.\pipe\x, \\.\C: (the volume
// itself), \\?\GLOBALROOT\Device\Null, \\.\COM10. The last component must
// be no DOS device name, whatever the form of the path.
bool NamesADevice(std::wstring_view path) {
  const std::vector<std::wstring_view> parts = Components(path);
  std::wstring_view last = parts.empty() ? path : parts.back();
  if (parts.size() == 1 && last.size() >= 2 && IsAsciiLetter(last[0]) &&
      last[1] == L':' && !IsSeparator(path[0])) {
    last.remove_prefix(2);  // C:name, relative to that drive's folder
  }
  if (IsDosDeviceName(last)) return true;
  const bool twoSeparators =
      path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  const bool objectNamespace =
      (twoSeparators && path.size() >= 4 &&
       (path[2] == L'.' || path[2] == L'?') && IsSeparator(path[3])) ||
      path.starts_with(L"\\??\\");
  if (!objectNamespace) return twoSeparators && IsIpcShare(parts);
  const std::wstring_view rest = path.substr(4);
  const std::vector<std::wstring_view> inside = Components(rest);
  if (inside.empty()) return true;
  const std::wstring_view root = inside.front();
  if (root.size() == 2 && IsAsciiLetter(root[0]) && root[1] == L':') {
    return rest.size() < 3 || !IsSeparator(rest[2]);
  }
  if (EqualsIgnoringCase(root, L"unc")) {
    return inside.size() < 3 || IsIpcShare(std::span(inside).subspan(1));
  }
  const bool volume = StartsWithIgnoringCase(root, L"volume{") &&
                      root.back() == L'}' && inside.size() >= 2;
  return !volume;
}

// What a path is given to the Win32 calls as.
struct Win32Path {
  enum class Form { kFile, kDevice, kNotFound, kFailed };
  Form form = Form::kFailed;
  std::wstring path;
};

// The path in the \\?\ form, which no MAX_PATH limit applies to, made
// absolute first: that form is used as it is given, so the slashes, the
// . and .. components and the trailing dots and spaces are resolved as any
// other path's would be, by GetFullPathNameW, which opens nothing. A path
// in that form already is taken as it is. The UTF-8 path becomes UTF-16
// with every character kept; a narrow path would mean the ANSI code page to
// the calls.
Win32Path ToWin32Path(const std::string& utf8Path) {
  using Form = Win32Path::Form;
  const std::wstring given =
      std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()))
          .native();
  if (given.empty()) return {Form::kNotFound, {}};
  if (NamesADevice(given)) return {Form::kDevice, {}};
  if (given.starts_with(L"\\\\?\\") || given.starts_with(L"\\??\\")) {
    return {Form::kFile, given};
  }
  std::wstring full;
  DWORD length = 0;
  do {
    full.resize(length);
    length = GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                              full.data(), nullptr);
    if (length == 0) {
      return {IsNotFound(GetLastError()) ? Form::kNotFound : Form::kFailed, {}};
    }
  } while (length >= full.size());
  full.resize(length);
  if (NamesADevice(full)) return {Form::kDevice, {}};
  if (full.starts_with(L"\\\\?\\")) return {Form::kFile, full};
  if (full.starts_with(L"\\\\.\\")) {
    return {Form::kFile, L"\\\\?\\" + full.substr(4)};
  }
  if (full.starts_with(L"\\\\")) {
    return {Form::kFile, L"\\\\?\\UNC\\" + full.substr(2)};
  }
  return {Form::kFile, L"\\\\?\\" + full};
}

}  // namespace

CInputFile::~CInputFile() {
  if (AsHandle(handle_) != INVALID_HANDLE_VALUE) CloseHandle(AsHandle(handle_));
}

// The attributes come from the file system's directory entry, once the
// name has shown that the path leads to one.
CInputFile::PathInfo CInputFile::Look(const std::string& utf8Path) {
  const Win32Path path = ToWin32Path(utf8Path);
  switch (path.form) {
    case Win32Path::Form::kDevice:
      return {PathInfo::Kind::kOther};
    case Win32Path::Form::kNotFound:
      return {PathInfo::Kind::kNotFound};
    case Win32Path::Form::kFailed:
      return {PathInfo::Kind::kFailed};
    case Win32Path::Form::kFile:
      break;
  }
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.path.c_str(), GetFileExInfoStandard, &data)) {
    return {IsNotFound(GetLastError()) ? PathInfo::Kind::kNotFound
                                       : PathInfo::Kind::kFailed};
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return {PathInfo::Kind::kDirectory};
  }
  return {PathInfo::Kind::kRegular};
}

// The name is judged again, as the open may be the first call. Nothing is
// created (OPEN_EXISTING), and nothing waited for: a pipe client opens or
// fails at once, with all instances busy, and then lets the server know
// nothing of the caller (SECURITY_ANONYMOUS). Backup semantics let a
// directory swapped in after the look open, so that it is told apart rather
// than refused as inaccessible. What was opened decides: a file on a disk,
// not a directory. Without an identity from the look, the kind is all there
// is to confirm.
CInputFile::OpenResult CInputFile::Open(const std::string& utf8Path,
                                        const PathInfo& /*seen*/) {
  const Win32Path path = ToWin32Path(utf8Path);
  switch (path.form) {
    case Win32Path::Form::kDevice:
      return OpenResult::kNotRegular;
    case Win32Path::Form::kNotFound:
      return OpenResult::kNotFound;
    case Win32Path::Form::kFailed:
      return OpenResult::kFailed;
    case Win32Path::Form::kFile:
      break;
  }
  const HANDLE file =
      CreateFileW(path.path.c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN |
                      SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS,
                  nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return IsNotFound(GetLastError()) ? OpenResult::kNotFound
                                      : OpenResult::kFailed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
    return OpenResult::kFailed;
  }
  if (type != FILE_TYPE_DISK) return OpenResult::kNotRegular;
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
