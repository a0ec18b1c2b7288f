#include "assembly/assembler.h"
#include "translate/instruction_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes AssembleLine(const std::string& line) {
  translate::LoadMnemonicTable();
  auto store = std::make_unique<assembly::ProgramStore>();
  // The label T lies just past the instruction: address 2 for a two-byte one.
  const auto outcome = assembly::Assemble(*store, line + "\r\nT:\r\n");
  EXPECT_TRUE(outcome.Completed()) << outcome.Message;
  return assembly::BinaryImage(*store);
}

// Every mnemonic once, with the bytes that the Intel MCS-4/MCS-40 opcode maps give for it.
// Written out from the processor manuals, not derived from the assembler's own table.
TEST(InstructionSet, EveryMnemonicEncodesAsTheOpcodeMapSays) {
  struct Case {
    const char* line;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      // 4040 additions in the 0x row; SEI/CLI are the 4040's EIN (0C) and DIN (0D).
      {"NOP", {0x00}},
      {"HLT", {0x01}},
      {"BBS", {0x02}},
      {"LCR", {0x03}},
      {"OR4", {0x04}},
      {"OR5", {0x05}},
      {"AN6", {0x06}},
      {"AN7", {0x07}},
      {"DB0", {0x08}},
      {"DB1", {0x09}},
      {"SB0", {0x0A}},
      {"SB1", {0x0B}},
      {"SEI", {0x0C}},
      {"CLI", {0x0D}},
      {"RPM", {0x0E}},
      // Input/output and RAM group.
      {"WRM", {0xE0}},
      {"WMP", {0xE1}},
      {"WRR", {0xE2}},
      {"WPM", {0xE3}},
      {"WR0", {0xE4}},
      {"WR1", {0xE5}},
      {"WR2", {0xE6}},
      {"WR3", {0xE7}},
      {"SBM", {0xE8}},
      {"RDM", {0xE9}},
      {"RDR", {0xEA}},
      {"ADM", {0xEB}},
      {"RD0", {0xEC}},
      {"RD1", {0xED}},
      {"RD2", {0xEE}},
      {"RD3", {0xEF}},
      // Accumulator group.
      {"CLB", {0xF0}},
      {"CLC", {0xF1}},
      {"IAC", {0xF2}},
      {"CMC", {0xF3}},
      {"CMA", {0xF4}},
      {"RAL", {0xF5}},
      {"RAR", {0xF6}},
      {"TCC", {0xF7}},
      {"DAC", {0xF8}},
      {"TCS", {0xF9}},
      {"STC", {0xFA}},
      {"DAA", {0xFB}},
      {"KBP", {0xFC}},
      {"DCL", {0xFD}},
      // JCN 1C AA with the condition bits: 8 invert, 4 accumulator zero, 2 carry, 1 test.
      {"JZ T", {0x14, 0x02}},
      {"JNZ T", {0x1C, 0x02}},
      {"JC T", {0x12, 0x02}},
      {"JNC T", {0x1A, 0x02}},
      {"JT T", {0x11, 0x02}},
      {"JNT T", {0x19, 0x02}},
      // Register-pair instructions: FIM 2p DD, SRC 2p+1, FIN 3p, JIN 3p+1 (p = 2 x pair).
      {"FIM 3, A5", {0x26, 0xA5}},
      {"SRC 3", {0x27}},
      {"FIN 5", {0x3A}},
      {"JIN 6", {0x3D}},
      // Jumps with a full 12-bit address: JUN 4A AA, JMS 5A AA.
      {"JUN T", {0x40, 0x02}},
      {"JMS T", {0x50, 0x02}},
      // Register and data instructions.
      {"INC B", {0x6B}},
      {"ISZ 9, T", {0x79, 0x02}},
      {"ADD 2", {0x82}},
      {"SUB F", {0x9F}},
      {"LDA 7", {0xA7}},
      {"XCH C", {0xBC}},
      {"BBL 4", {0xC4}},
      {"LDM 9", {0xD9}},
      {"DATA 3F", {0x3F}},
  };
  std::set<std::string> mnemonics;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(AssembleLine(c.line), c.bytes);
    const std::string line = c.line;
    mnemonics.insert(line.substr(0, line.find(' ')));
  }
  EXPECT_EQ(mnemonics.size(), translate::kInstructionCount) << "every mnemonic is covered";
}

TEST(InstructionSet, PositionsAreTheInstructionCodes) {
  translate::LoadMnemonicTable();
  const std::pair<std::size_t, const char*> cases[] = {
      {0, "NOP"}, {14, "RPM"}, {15, "WRM"}, {44, "DCL"}, {45, "JZ"}, {64, "LDM"}, {65, "DATA"}};
  for (const auto& [position, mnemonic] : cases) {
    EXPECT_EQ(translate::Mnemonics[position], mnemonic);
  }
}

} // namespace
