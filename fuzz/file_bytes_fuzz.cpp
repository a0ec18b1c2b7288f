// The command-line assembler's path from a file's bytes to image, listing and Intel HEX.
#include "fuzz/fuzz_target.h"

std::string CheckInput(std::string_view input) {
  return fuzz::CheckFileBytes(fuzz::ExpandInput(input));
}
