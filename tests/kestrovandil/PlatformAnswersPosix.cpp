#include <fcntl.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "PlatformAnswers.h"

const char kQuotedAudioPathAnswer[] = "audio file not found: ";

bool HeldOpen(const std::string& path) {
  const std::filesystem::path file = std::filesystem::canonical(path);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    // One that another thread closes meanwhile is passed over.
    std::error_code gone;
    if (std::filesystem::read_symlink(fd.path(), gone) == file) return true;
  }
  return false;
}

bool InheritedByChildren(const std::string& path) {
  const std::filesystem::path file = std::filesystem::canonical(path);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code gone;
    if (std::filesystem::read_symlink(fd.path(), gone) != file) continue;
    const int flags = fcntl(std::stoi(fd.path().filename()), F_GETFD);
    if (flags >= 0 && (flags & FD_CLOEXEC) == 0) return true;
  }
  return false;
}
