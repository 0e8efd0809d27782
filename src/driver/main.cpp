#include <iostream>

#include "driver/program.h"

int main() {
  std::ios::sync_with_stdio(false);
  qv::Program program(std::cin, std::cout);
  const int status = program.main();
  std::cout.flush();
  return status;
}
