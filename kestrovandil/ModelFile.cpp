#include "kestrovandil/ModelFile.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "kestrovandil/CInputFile.h"
#include "kestrovandil/CStatus.h"

namespace kestrovandil {

CStatus CheckModelFile(const std::string& path) {
  const auto failure = [&path](const char* what) {
    return CStatus(ResultCode::kModelUnreadable,
                   std::string("model file ") + what + path);
  };
  CInputFile file;
  switch (file.OpenRegular(path)) {
    case CInputFile::OpenResult::kNotFound:
      return failure("not found: ");
    case CInputFile::OpenResult::kDirectory:
    case CInputFile::OpenResult::kNotRegular:
      return failure("is not a regular file: ");
    case CInputFile::OpenResult::kFailed:
      return failure("cannot be read: ");
    case CInputFile::OpenResult::kOpened:
      break;
  }
  if (file.size() == 0) return failure("is empty: ");
  std::array<char, 1> first{};
  if (file.Read(first) != std::optional<std::size_t>(1)) {
    return failure("cannot be read: ");
  }
  return {};
}

}  // namespace kestrovandil
