// A whole assembly on arbitrary text, repeated up to 1 MiB when the first byte asks for it.
#include "fuzz/fuzz_target.h"

std::string CheckInput(std::string_view input) {
  return fuzz::CheckAssembly(fuzz::ExpandInput(input));
}
