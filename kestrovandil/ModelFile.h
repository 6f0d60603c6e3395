#pragma once

#include <string>

#include "kestrovandil/CStatus.h"

namespace kestrovandil {

// Checks that the model file, a path as UTF-8 text used as given (relative
// to the working directory unless absolute), is a non-empty regular file
// whose first byte can be read: code 4 otherwise, with a message that names
// the path. Nothing but a regular file is ever opened (see CInputFile), so a
// FIFO or a device is refused at once.
[[nodiscard]] CStatus CheckModelFile(const std::string& path);

}  // namespace kestrovandil
