#include "kestrovandil/CInputFile.h"

#include <string>

namespace kestrovandil {

CInputFile::OpenResult CInputFile::OpenRegular(const std::string& utf8Path) {
  const PathInfo seen = Look(utf8Path);
  switch (seen.kind) {
    case PathInfo::Kind::kNotFound:
      return OpenResult::kNotFound;
    case PathInfo::Kind::kFailed:
      return OpenResult::kFailed;
    case PathInfo::Kind::kDirectory:
      return OpenResult::kDirectory;
    case PathInfo::Kind::kOther:
      return OpenResult::kNotRegular;
    case PathInfo::Kind::kRegular:
      break;
  }
  return Open(utf8Path, seen);
}

}  // namespace kestrovandil
