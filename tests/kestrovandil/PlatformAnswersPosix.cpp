#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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

// Without the one that the listing itself held.
std::vector<int> OpenDescriptors() {
  std::vector<int> open;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    open.push_back(std::stoi(fd.path().filename()));
  }
  std::erase_if(open, [](int fd) { return fcntl(fd, F_GETFD) < 0; });
  std::ranges::sort(open);
  return open;
}
