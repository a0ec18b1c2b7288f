// ParseLine on arbitrary bytes.
#include "fuzz/fuzz_target.h"

std::string CheckInput(std::string_view input) { return fuzz::CheckParseLine(input); }
