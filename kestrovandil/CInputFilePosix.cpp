#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include <sys/stat.h>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {

CInputFile::~CInputFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

// O_NONBLOCK only for the open itself, which would otherwise wait for the
// writer of a FIFO; reads of a regular file never block anyway.
CInputFile::OpenResult CInputFile::Open(const std::string& utf8Path) {
  const int fd = open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT || errno == ENOTDIR ? OpenResult::kNotFound
                                               : OpenResult::kFailed;
  }
  handle_ = fd;
  struct stat info {};
  if (fstat(fd, &info) != 0) return OpenResult::kFailed;
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return OpenResult::kFailed;
  }
  kind_ = S_ISREG(info.st_mode)   ? Kind::kRegular
          : S_ISDIR(info.st_mode) ? Kind::kDirectory
                                  : Kind::kOther;
  size_ = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return OpenResult::kOpened;
}

std::optional<std::size_t> CInputFile::Read(std::span<char> dest) {
  std::size_t done = 0;
  while (done < dest.size()) {
    const ssize_t got =
        read(static_cast<int>(handle_), dest.data() + done, dest.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace kestrovandil
