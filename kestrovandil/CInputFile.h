#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrovandil {

// A file opened for reading by its path. Opening never waits: a FIFO without
// a writer, or a device, opens at once or fails, and what was opened is then
// told apart by the open file itself, never by a look at the path taken
// before opening it. One implementation per platform.
class CInputFile {
 public:
  enum class OpenResult { kOpened, kNotFound, kFailed };
  enum class Kind { kRegular, kDirectory, kOther };

  CInputFile() = default;
  CInputFile(const CInputFile&) = delete;
  CInputFile& operator=(const CInputFile&) = delete;
  ~CInputFile();

  // Opens the path, UTF-8, as given. Only an opened file has a kind and size.
  [[nodiscard]] OpenResult Open(const std::string& utf8Path);

  [[nodiscard]] Kind kind() const noexcept { return kind_; }
  // The size in bytes when it was opened.
  [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

  // Reads up to dest.size() bytes: fewer only at the end of the file, 0
  // there; std::nullopt on a read error.
  [[nodiscard]] std::optional<std::size_t> Read(std::span<char> dest);

 private:
  // A POSIX descriptor or a Windows HANDLE; -1 is invalid for both.
  std::intptr_t handle_ = -1;
  Kind kind_ = Kind::kOther;
  std::uint64_t size_ = 0;
};

}  // namespace kestrovandil
