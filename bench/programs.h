#pragma once

#include <string>

// Sources at the assembler's limits, shared by the benchmarks.

// The largest program: 2048 jumps fill the 4096 bytes of program memory, each refers to a label,
// and 4097 labels name every address and the one after the end (two names for each jump, whose
// second byte no instruction starts at). CR LF line ends.
inline std::string LargestProgram() {
  std::string source;
  for (int i = 0; i < 2048; ++i) {
    for (const char* prefix : {"A", "B"}) {
      source += prefix;
      source += std::to_string(i);
      source += ":\r\n";
    }
    source += "JUN A";
    source += std::to_string((i * 7) % 2048);
    source += "\r\n";
  }
  source += "END:\r\n";
  return source;
}

// 4096 one-byte instructions.
inline std::string OneByteProgram() {
  std::string source;
  for (int i = 0; i < 4096; ++i) {
    source += "LDM 5\r\n";
  }
  return source;
}

// The largest program followed by comment lines of 1000 characters, 1 MiB in all.
inline std::string MebibyteSource() {
  std::string source = LargestProgram();
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

// A mix of what 4004 programs do most, for ever: BCD arithmetic over RAM, register loops, calls.
inline const char* const kBusyProgram = R"(START:
        FIM 0, 00
        FIM 1, 10
        LDM C
        XCH 6
        CLC
DIGIT:
        SRC 1
        RDM
        SRC 0
        ADM
        DAA
        WRM
        INC 1
        INC 3
        ISZ 6, DIGIT
        JMS WAIT
        JUN START
WAIT:
        FIM 7, F0
LOOP:
        ISZ F, LOOP
        ISZ E, LOOP
        BBL 0
)";
