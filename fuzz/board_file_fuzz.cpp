// An arbitrary board file through the reader, and the board it gives at work.
#include "fuzz/fuzz_target.h"

std::string CheckInput(std::string_view input) { return fuzz::CheckBoardFile(input); }
