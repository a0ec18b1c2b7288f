#pragma once

#include <cstdio>
#include <cstring>

// The options the window programs answer before Qt starts, so that they work without a display:
// --help prints `usage`, --version the version. Returns true when the program should end.
inline bool AnswerInformationOptions(int argc, char** argv, const char* program,
                                     const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", program, BRINDLEWICK_VERSION);
      return true;
    }
  }
  return false;
}
