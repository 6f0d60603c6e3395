#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>

#include <sys/mman.h>

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
