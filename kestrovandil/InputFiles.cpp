#include "kestrovandil/InputFiles.h"

#include <array>
#include <cstddef>
#include <ios>
#include <istream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <utility>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {
namespace {

// A read-only stream buffer over an opened file. A read error is thrown, so
// the stream reading through it turns bad rather than seeing an early end.
class CInputFileBuf : public std::streambuf {
 public:
  explicit CInputFileBuf(std::unique_ptr<CInputFile> file)
      : file_(std::move(file)) {}

 protected:
  int_type underflow() override {
    const std::optional<std::size_t> got = file_->Read(buffer_);
    if (!got) throw std::ios_base::failure("read error");
    if (*got == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + *got);
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  std::unique_ptr<CInputFile> file_;
  std::array<char, 64 * 1024> buffer_{};
};

// An input stream that owns its buffer, and so the file.
class CInputFileStream : public std::istream {
 public:
  explicit CInputFileStream(std::unique_ptr<CInputFile> file)
      : std::istream(nullptr), buffer_(std::move(file)) {
    rdbuf(&buffer_);
  }

 private:
  CInputFileBuf buffer_;
};

}  // namespace

CStatus OpenAudioFile(const std::string& path, AudioInput& audio) {
  auto file = std::make_unique<CInputFile>();
  switch (file->Open(path)) {
    case CInputFile::OpenResult::kNotFound:
      return {ResultCode::kAudioUnreadable, "audio file not found: " + path};
    case CInputFile::OpenResult::kFailed:
      return {ResultCode::kAudioUnreadable,
              "audio file cannot be opened: " + path};
    case CInputFile::OpenResult::kOpened:
      break;
  }
  if (file->kind() == CInputFile::Kind::kDirectory) {
    return {ResultCode::kAudioUnreadable, "audio file is a directory: " + path};
  }
  if (file->kind() != CInputFile::Kind::kRegular) {
    return {ResultCode::kAudioUnreadable,
            "audio file cannot be opened: " + path};
  }
  audio.size = file->size();
  audio.stream = std::make_unique<CInputFileStream>(std::move(file));
  return {};
}

CStatus CheckModelFile(const std::string& path) {
  CInputFile file;
  switch (file.Open(path)) {
    case CInputFile::OpenResult::kNotFound:
      return {ResultCode::kModelUnreadable, "model file not found: " + path};
    case CInputFile::OpenResult::kFailed:
      return {ResultCode::kModelUnreadable,
              "model file cannot be read: " + path};
    case CInputFile::OpenResult::kOpened:
      break;
  }
  if (file.kind() != CInputFile::Kind::kRegular) {
    return {ResultCode::kModelUnreadable,
            "model file is not a regular file: " + path};
  }
  if (file.size() == 0) {
    return {ResultCode::kModelUnreadable, "model file is empty: " + path};
  }
  std::array<char, 1> first{};
  if (file.Read(first) != std::optional<std::size_t>(1)) {
    return {ResultCode::kModelUnreadable, "model file cannot be read: " + path};
  }
  return {};
}

}  // namespace kestrovandil
