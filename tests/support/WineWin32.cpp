#include <windows.h>

#include "tests/support/Wine.h"

namespace testing_support {

// Wine's ntdll exports wine_get_version; Windows' never has.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr &&
         GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace testing_support
