#include "cli/asm.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  // A file-size limit then makes a write fail with an error that is reported, instead of
  // ending the program halfway through an output.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::RunAssembler(args, std::cin, std::cout, std::cerr);
}
