#pragma once

#include <string>

// Sources at the assembler's limits, shared by the benchmarks.

// 2001 instructions, a label reference in every other one, and 1001 labels; CR LF line ends.
inline std::string MaximumProgram() {
  std::string source;
  int labels = 0;
  for (int i = 0; i < 2001; ++i) {
    if (i % 2 == 0 && labels < 1001) {
      source += 'L';
      source += std::to_string(labels++);
      source += ":\r\n";
    }
    if (i % 2 == 0) {
      source += "LDM 5\r\n";
    } else {
      source += "JUN L";
      source += std::to_string((i * 7) % 1001);
      source += "\r\n";
    }
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

// A source file as a command-line run meets it: about 13,000 short lines, 1 MiB, most of them
// comments, with 2000 instructions among them.
struct CommandLineSource {
  std::string text;
  std::size_t lines = 0;
  std::size_t imageLength = 0;
};

inline CommandLineSource MebibyteOfShortLines() {
  CommandLineSource source;
  std::string line;
  for (;;) {
    line = source.lines % 7 == 0 && source.imageLength < 2000
               ? "        LDM 5        ; load the next digit of the number\r\n"
               : "; comment " + std::to_string(source.lines) +
                     ": what the program does at this point, said in a few plain words\r\n";
    if (source.text.size() + line.size() > (1u << 20)) {
      return source;
    }
    source.imageLength += line.starts_with(' ') ? 1 : 0;
    source.text += line;
    ++source.lines;
  }
}
