#include "driver/OutputSignals.h"

// Windows raises no signal for a broken pipe or a full disk: a failed write
// is already an error.
void IgnoreOutputSignals() {}
