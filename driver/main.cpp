#include <iostream>

#include "driver/ConversionRun.h"
#include "driver/OutputSignals.h"
#include "driver/PollWait.h"

int main(int, char**) {
  IgnoreOutputSignals();
  return RunConversion(std::cout, std::cerr, WaitOnePollInterval);
}
