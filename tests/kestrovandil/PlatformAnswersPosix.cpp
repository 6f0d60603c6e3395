#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>

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

CBytesBeforeGuardPage::CBytesBeforeGuardPage(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t readable = (size + page - 1) / page * page;
  pagesSize_ = readable + page;
  pages_ = mmap(nullptr, pagesSize_, PROT_READ | PROT_WRITE,
                MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages_ == MAP_FAILED) {
    throw std::system_error(errno, std::generic_category(), "mmap");
  }
  char* const guard = static_cast<char*>(pages_) + readable;
  if (mprotect(guard, page, PROT_NONE) != 0) {
    const int error = errno;
    munmap(pages_, pagesSize_);
    throw std::system_error(error, std::generic_category(), "mprotect");
  }
  data_ = guard - size;
}

CBytesBeforeGuardPage::~CBytesBeforeGuardPage() { munmap(pages_, pagesSize_); }

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
  std::vector<int> held;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    held.push_back(std::stoi(fd.path().filename()));
  }
  std::erase_if(held, [](int fd) { return fcntl(fd, F_GETFD) < 0; });
  std::ranges::sort(held);
  return held;
}

// Every sysfs attribute claims a page; the uevent of a device that sends no
// variables, as these roots of the CPUs, clock sources and NUMA nodes, reads
// empty, for anyone.
std::string FileThatReadsNothing() {
  for (const char* path : {"/sys/devices/system/cpu/uevent",
                           "/sys/devices/system/clocksource/uevent",
                           "/sys/devices/system/node/uevent"}) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info {};
    char byte = 0;
    const bool empty = fd >= 0 && fstat(fd, &info) == 0 &&
                       S_ISREG(info.st_mode) && info.st_size > 0 &&
                       read(fd, &byte, 1) == 0;
    if (fd >= 0) close(fd);
    if (empty) return path;
  }
  return {};
}

void HoldDescriptorZero() {
  if (fcntl(0, F_GETFD) >= 0) return;
  const int fd = open("/dev/null", O_RDONLY);
  if (fd != 0) {
    if (fd >= 0) close(fd);
    throw std::system_error(errno, std::generic_category(), "open /dev/null");
  }
}
