#include "records/CDevConfig.h"

// Dynamically initialised before main. The constructor reads only constant
// tables, so the order among other translation units' globals cannot matter.
CDevConfig g_devConfig;
