#pragma once

#include <array>
#include <istream>
#include <memory>
#include <streambuf>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {

// A read-only stream buffer over an opened file. A read error is thrown, so
// the stream reading through it turns bad rather than seeing an early end.
class CInputFileBuf : public std::streambuf {
 public:
  explicit CInputFileBuf(std::unique_ptr<CInputFile> file);

 protected:
  int_type underflow() override;

 private:
  std::unique_ptr<CInputFile> file_;
  std::array<char, 64 * 1024> buffer_{};
};

// An input stream that owns its buffer, and so the file.
class CInputFileStream : public std::istream {
 public:
  explicit CInputFileStream(std::unique_ptr<CInputFile> file);

 private:
  CInputFileBuf buffer_;
};

}  // namespace kestrovandil
