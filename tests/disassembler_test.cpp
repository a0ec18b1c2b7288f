#include "assembly/assembler.h"
#include "assembly/disassembler.h"
#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class Disassembler : public ::testing::Test {
protected:
  void SetUp() override { translate::LoadMnemonicTable(); }

  // Assembles `source` and returns its image; fails the test when it does not assemble.
  Bytes Assemble(const std::string& source) {
    const assembly::AssemblyOutcome outcome = assembly::Assemble(*store, source);
    EXPECT_TRUE(outcome.Completed())
        << outcome.Message << " at line " << outcome.Line << ": " << outcome.LineText;
    return outcome.Completed() ? assembly::BinaryImage(*store) : Bytes{};
  }

  // Disassembles `image`, checks that the source assembles back to it, and returns the source.
  std::string RoundTrip(const Bytes& image) {
    const assembly::Disassembly disassembly = assembly::Disassemble(image);
    EXPECT_EQ(disassembly.Error, "");
    EXPECT_EQ(Assemble(disassembly.Source), image) << disassembly.Source;
    return disassembly.Source;
  }

  std::unique_ptr<assembly::ProgramStore> store = std::make_unique<assembly::ProgramStore>();
};

// The statements of a disassembly, without comments, indentation and the heading.
std::vector<std::string> Statements(const std::string& source) {
  std::vector<std::string> statements;
  std::size_t start = 0;
  while (start < source.size()) {
    const std::size_t end = source.find('\n', start);
    std::string line = source.substr(start, end - start);
    start = end + 1;
    line = line.substr(0, line.find(';'));
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    if (!line.empty()) {
      statements.push_back(line);
    }
  }
  return statements;
}

TEST_F(Disassembler, WritesInstructionsLabelsAndData) {
  struct Case {
    const char* what;
    Bytes image;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"every kind of operand",
       {0x2E, 0xFF, 0x27, 0x3A, 0x3D, 0x6B, 0x82, 0xC4, 0xDF, 0x0C, 0xFD},
       {"FIM 7, FF", "SRC 3", "FIN 5", "JIN 6", "INC B", "ADD 2", "BBL 4", "LDM F", "SEI", "DCL"}},
      {"jumps to instruction starts",
       {0x14, 0x00, 0x50, 0x04, 0x79, 0x02},
       {"L000:", "JZ L000", "L002:", "JMS L004", "L004:", "ISZ 9, L002"}},
      {"bytes no instruction writes",
       {0x0F, 0xFE, 0xFF, 0x13, 0x00},
       {"DATA 0F", "DATA FE", "DATA FF", "DATA 13", "NOP"}},
      {"a two-byte instruction cut off", {0x00, 0x40}, {"NOP", "DATA 40"}},
      {"a target inside an instruction", {0x40, 0x01, 0x00}, {"DATA 40", "DATA 01", "NOP"}},
      {"a target past the image", {0x1C, 0x05, 0x00}, {"DATA 1C", "DATA 05", "NOP"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Statements(RoundTrip(c.image)), c.statements);
  }
}

TEST_F(Disassembler, BlockLocalTargetsAreInTheBlockAfterTheJump) {
  Bytes image(0xFE, 0x00);                       // NOPs up to 0FD
  image.insert(image.end(), {0x14, 0x00, 0x00}); // JZ at 0FE, NOP at 100
  const std::vector<std::string> statements = Statements(RoundTrip(image));
  ASSERT_GE(statements.size(), 3u);
  EXPECT_EQ(statements[statements.size() - 3], "JZ L100");
  EXPECT_EQ(statements[statements.size() - 2], "L100:");
}

TEST_F(Disassembler, CommentsGiveEachLinesAddressAndBytes) {
  const std::string source = assembly::Disassemble(Bytes{0x40, 0x02, 0xE2}).Source;
  EXPECT_NE(source.find("JUN L002            ; 000: 40 02\n"), std::string::npos) << source;
  EXPECT_NE(source.find("WRR                 ; 002: E2\n"), std::string::npos) << source;
}

// With more distinct targets than labels may be written, only the jumps to the least used
// targets become DATA. `targets` JUNs at 000, 002, ...: jumps 2t and 2t+1 go to the jump at 2t,
// so every target is used twice but the last, used once.
TEST_F(Disassembler, MoreTargetsThanLabelsAreWrittenAsData) {
  constexpr std::size_t kLimit = 1001;
  for (const int targets : {1001, 1002}) {
    SCOPED_TRACE(targets);
    Bytes image;
    for (int jump = 0; jump < 2 * targets - 1; ++jump) {
      const int target = 2 * (jump / 2);
      image.push_back(static_cast<std::uint8_t>(0x40 | (target >> 8)));
      image.push_back(static_cast<std::uint8_t>(target & 0xFF));
    }
    const assembly::Disassembly disassembly = assembly::Disassemble(image, kLimit);
    ASSERT_EQ(disassembly.Error, "");
    const std::vector<std::string> statements = Statements(disassembly.Source);
    const auto labels = std::count_if(statements.begin(), statements.end(),
                                      [](const std::string& s) { return s.back() == ':'; });
    EXPECT_EQ(labels, 1001);
    // 1002 targets: the one jump to the once-used target is written as its two bytes.
    const std::vector<std::string> data = {"DATA " + translate::FormatByte(image[image.size() - 2]),
                                           "DATA " + translate::FormatByte(image.back())};
    std::vector<std::string> dataLines;
    std::copy_if(statements.begin(), statements.end(), std::back_inserter(dataLines),
                 [](const std::string& s) { return s.starts_with("DATA"); });
    EXPECT_EQ(dataLines, targets == 1002 ? data : std::vector<std::string>{});
    EXPECT_EQ(Assemble(disassembly.Source), image);
  }
}

TEST_F(Disassembler, EveryImageThatFitsProgramMemoryIsAProgram) {
  EXPECT_EQ(assembly::Disassemble(Bytes(4097, 0x00)).Error,
            "the image has 4097 bytes; program memory holds at most 4096");
  RoundTrip(Bytes(4096, 0xFF));
  // 2048 two-byte instructions, and a conditional jump at FFE that reaches block 000.
  Bytes full;
  for (int i = 0; i < 2047; ++i) {
    full.insert(full.end(), {0x20, static_cast<std::uint8_t>(i)});
  }
  full.insert(full.end(), {0x1C, 0x02});
  const std::vector<std::string> statements = Statements(RoundTrip(full));
  EXPECT_EQ(statements[statements.size() - 1], "JNZ L002");
}

TEST_F(Disassembler, RandomImagesRoundTrip) {
  std::mt19937 random(4004);
  for (int round = 0; round < 300; ++round) {
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 4096)(random);
    Bytes image(size);
    for (std::uint8_t& byte : image) {
      byte = static_cast<std::uint8_t>(random());
    }
    // Point some jumps at instruction-like places, so that labels appear too.
    for (std::size_t i = 0; i + 1 < size; i += 7) {
      if ((image[i] & 0xE0) == 0x40) {
        const std::size_t target = random() % size;
        image[i] = static_cast<std::uint8_t>((image[i] & 0xF0) | (target >> 8));
        image[i + 1] = static_cast<std::uint8_t>(target);
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    RoundTrip(image);
    if (HasFailure()) {
      break;
    }
  }
}

TEST_F(Disassembler, RandomProgramsRoundTrip) {
  std::mt19937 random(4040);
  const auto pick = [&](int below) { return static_cast<int>(random() % below); };
  const auto digit = [&](int below) { return std::string(1, "0123456789ABCDEF"[pick(below)]); };
  for (int round = 0; round < 100; ++round) {
    const int lines = pick(600) + 1;
    // Labels are defined here and there; jumps go back to one of them or forward to END.
    std::string source;
    std::vector<std::string> labels = {"END"};
    const int registerInstructions[] = {57, 59, 60, 61, 62, 63, 64}; // all but ISZ
    for (int line = 0; line < lines; ++line) {
      if (pick(10) == 0) {
        labels.push_back(std::string("L").append(std::to_string(line)));
        source += labels.back() + ":\n";
      }
      switch (pick(6)) {
      case 0:
        source += std::string(translate::kInstructionSet[pick(45)].mnemonic) + "\n";
        break;
      case 1:
        source += "FIM " + digit(8) + ", " + digit(16) + digit(16) + "\n";
        break;
      case 2:
        source += std::string(translate::kInstructionSet[registerInstructions[pick(7)]].mnemonic) +
                  " " + digit(16) + "\n";
        break;
      case 3:
        source += "DATA " + digit(16) + digit(16) + "\n";
        break;
      default:
        source += std::string(pick(2) ? "JUN " : "JMS ") +
                  labels[static_cast<std::size_t>(pick(static_cast<int>(labels.size())))] + "\n";
        break;
      }
    }
    source += "END:\nNOP\n";
    SCOPED_TRACE(source);
    RoundTrip(Assemble(source));
    if (HasFailure()) {
      break;
    }
  }
}

} // namespace
