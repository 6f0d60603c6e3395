#include "kestrovandil/AudioSource.h"

#include <memory>
#include <string>
#include <utility>

#include "kestrovandil/CInputFile.h"
#include "kestrovandil/CInputFileStream.h"
#include "kestrovandil/CStatus.h"

namespace kestrovandil {

CStatus OpenAudioFile(const std::string& path, AudioInput& audio) {
  const auto failure = [&path](const char* what) {
    return CStatus(ResultCode::kAudioUnreadable,
                   std::string("audio file ") + what + path);
  };
  auto file = std::make_unique<CInputFile>();
  switch (file->OpenRegular(path)) {
    case CInputFile::OpenResult::kNotFound:
      return failure("not found: ");
    case CInputFile::OpenResult::kDirectory:
      return failure("is a directory: ");
    case CInputFile::OpenResult::kNotRegular:
      return failure("is not a regular file: ");
    case CInputFile::OpenResult::kFailed:
      return failure("cannot be opened: ");
    case CInputFile::OpenResult::kOpened:
      break;
  }
  audio.size = file->size();
  audio.stream = std::make_unique<CInputFileStream>(std::move(file));
  return {};
}

}  // namespace kestrovandil
