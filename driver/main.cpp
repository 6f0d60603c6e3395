#include <iostream>

#include "driver/ConversionRun.h"

int main(int, char**) { return RunConversion(std::cout, std::cerr); }
