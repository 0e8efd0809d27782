#include <unistd.h>

#include <iostream>

#include "driver/command_line.h"
#include "driver/program.h"

// Without arguments: the dialogue. With any: the command line.
int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc > 1) {
    const qv::Terminal terminal{std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1,
                                STDIN_FILENO};
    return qv::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), terminal);
  }
  qv::Program program(std::cin, std::cout);
  const int status = program.main();
  std::cout.flush();
  return status;
}
