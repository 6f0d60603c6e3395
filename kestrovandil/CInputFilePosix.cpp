#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <sys/stat.h>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {
namespace {

bool IsNotFound(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

CInputFile::~CInputFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

CInputFile::PathInfo CInputFile::Look(const std::string& utf8Path) {
  struct stat info {};
  if (stat(utf8Path.c_str(), &info) != 0) {
    return {IsNotFound(errno) ? PathInfo::Kind::kNotFound
                              : PathInfo::Kind::kFailed};
  }
  const PathInfo::Kind kind = S_ISREG(info.st_mode) ? PathInfo::Kind::kRegular
                              : S_ISDIR(info.st_mode)
                                  ? PathInfo::Kind::kDirectory
                                  : PathInfo::Kind::kOther;
  return {kind, static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino)};
}

// O_NONBLOCK keeps a FIFO or a device swapped in after the look from making
// the open wait, and O_NOCTTY a terminal from becoming ours. The flag stays
// set: reads of a regular file ignore it, except those of the few kernel
// files that wait for data, such as /proc/kmsg, which then fail at once
// rather than hang.
CInputFile::OpenResult CInputFile::Open(const std::string& utf8Path,
                                        const PathInfo& seen) {
  const int fd =
      open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return IsNotFound(errno) ? OpenResult::kNotFound : OpenResult::kFailed;
  }
  handle_ = fd;
  struct stat info {};
  if (fstat(fd, &info) != 0) return OpenResult::kFailed;
  if (!S_ISREG(info.st_mode)) return OpenResult::kNotRegular;
  if (static_cast<std::uint64_t>(info.st_dev) != seen.device ||
      static_cast<std::uint64_t>(info.st_ino) != seen.file) {
    return OpenResult::kFailed;
  }
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
