#pragma once

#include <string>

// Sources at the assembler's limits, shared by the benchmarks.

// 2001 instructions, a label reference in every other one, and 1001 labels; CR LF line ends.
inline std::string MaximumProgram() {
  std::string source;
  int labels = 0;
  for (int i = 0; i < 2001; ++i) {
    if (i % 2 == 0 && labels < 1001) {
      source += "L" + std::to_string(labels++) + ":\r\n";
    }
    source += i % 2 == 0 ? "LDM 5\r\n" : "JUN L" + std::to_string((i * 7) % 1001) + "\r\n";
  }
  return source;
}

// The maximum program followed by comment lines of 1000 characters, 1 MiB in all.
inline std::string MebibyteSource() {
  std::string source = MaximumProgram();
  const std::string comment = "; " + std::string(1000, '-') + "\r\n";
  while (source.size() < (1u << 20)) {
    source += comment;
  }
  return source;
}
