#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrovandil {

// A regular file opened for reading by its path, in two steps, so that
// nothing else is ever opened: opening a FIFO waits for a writer, a terminal
// can become the caller's controlling terminal, a tape or serial device acts
// on being opened. Look tells what the path names without opening it; Open
// then opens what the look saw, without waiting, and confirms from the open
// file that it is still that one, so that a path swapped in between is
// refused too. On Windows, where even a look at a named pipe connects to it,
// a path that names a device or a pipe is refused by its name before either
// step calls anything. One implementation per platform.
class CInputFile {
 public:
  // What a path named when it was looked at.
  struct PathInfo {
    // kNotFound also when a directory on the way is missing or is a file;
    // kFailed for any other failure, such as a loop of links.
    enum class Kind { kNotFound, kFailed, kRegular, kDirectory, kOther };
    Kind kind = Kind::kNotFound;
    // Which file it is, for the open to confirm: st_dev and st_ino on POSIX.
    // Windows tells a file's identity only through an open handle, so there
    // both stay 0 and the open confirms the kind alone.
    std::uint64_t device = 0;
    std::uint64_t file = 0;
  };
  // kNotFound when the file has gone since the look, kNotRegular when
  // something else than a regular file has taken its place, kFailed when it
  // cannot be opened or another regular file has taken its place.
  // kDirectory comes only from OpenRegular's look.
  enum class OpenResult {
    kOpened,
    kNotFound,
    kDirectory,
    kNotRegular,
    kFailed
  };

  CInputFile() = default;
  CInputFile(const CInputFile&) = delete;
  CInputFile& operator=(const CInputFile&) = delete;
  ~CInputFile();

  // The path is UTF-8, used as given: relative to the working directory
  // unless absolute.
  [[nodiscard]] static PathInfo Look(const std::string& utf8Path);

  // REQUIRES: seen is what Look gave for this path, of kind kRegular.
  [[nodiscard]] OpenResult Open(const std::string& utf8Path,
                                const PathInfo& seen);

  // Both steps: a path that the look finds to be no regular file is refused
  // unopened, a directory as kDirectory, anything else as kNotRegular; a
  // failed look is kFailed.
  [[nodiscard]] OpenResult OpenRegular(const std::string& utf8Path);

  // The size in bytes when it was opened.
  [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

  // Reads up to dest.size() bytes: fewer only at the end of the file, 0
  // there; std::nullopt on a read error.
  [[nodiscard]] std::optional<std::size_t> Read(std::span<char> dest);

 private:
  // A POSIX descriptor or a Windows HANDLE; -1 is invalid for both.
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace kestrovandil
