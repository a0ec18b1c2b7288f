// A source in the macro-assembler syntax, with the files it includes, assembled twice.
#include "fuzz/fuzz_target.h"

std::string CheckInput(std::string_view input) { return fuzz::CheckAslSource(input); }
