#include "kestrovandil/CInputFileStream.h"

#include <cstddef>
#include <ios>
#include <istream>
#include <memory>
#include <optional>
#include <utility>

#include "kestrovandil/CInputFile.h"

namespace kestrovandil {

CInputFileBuf::CInputFileBuf(std::unique_ptr<CInputFile> file)
    : file_(std::move(file)) {}

CInputFileBuf::int_type CInputFileBuf::underflow() {
  const std::optional<std::size_t> got = file_->Read(buffer_);
  if (!got) throw std::ios_base::failure("read error");
  if (*got == 0) return traits_type::eof();
  setg(buffer_.data(), buffer_.data(), buffer_.data() + *got);
  return traits_type::to_int_type(buffer_[0]);
}

CInputFileStream::CInputFileStream(std::unique_ptr<CInputFile> file)
    : std::istream(nullptr), buffer_(std::move(file)) {
  rdbuf(&buffer_);
}

}  // namespace kestrovandil
