#include "assembly/assembler.h"
#include "boards/board.h"
#include "simulate/step.h"
#include "translate/instruction_table.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// Whole programs, assembled and run: what the processor's rules add up to.
namespace {

using simulate::Machine;
using simulate::Processor;

// The assembled program's labels, by name.
std::map<std::string, int> labels;

Machine Load(const std::string& source, Processor cpu = Processor::I4004) {
  translate::LoadMnemonicTable();
  auto store = std::make_unique<assembly::ProgramStore>();
  const assembly::AssemblyOutcome outcome = assembly::Assemble(*store, source);
  EXPECT_TRUE(outcome.Completed()) << outcome.Message << ": " << outcome.LineText;
  labels.clear();
  for (int i = 0; i <= store->LabelPos; ++i) {
    const assembly::LabelEntry& label = store->Labels[static_cast<std::size_t>(i)];
    labels.emplace(label.Name, std::stoi(label.Address));
  }
  Machine machine = simulate::MakeMachine(cpu);
  EXPECT_EQ(simulate::LoadImage(machine, assembly::BinaryImage(*store)), "");
  return machine;
}

// Runs until the next instruction is at the label `label` (or a million cycles have gone).
void RunTo(Machine& machine, simulate::Peripherals& board, const std::string& label) {
  ASSERT_TRUE(labels.contains(label)) << label;
  simulate::RunLimits limits;
  limits.cycleLimit = machine.cycles + 1'000'000;
  limits.until = labels[label];
  const simulate::RunOutcome outcome = simulate::Run(machine, board, limits);
  ASSERT_EQ(outcome.end, simulate::RunEnd::Address);
}

TEST(Programs, BcdAdditionOverRamCharacters) {
  // 0459 + 0786 = 1245: digits least significant first in characters 0-3 of RAM registers 0
  // and 1 of chip 0; the sum replaces register 0.
  Machine machine = Load(R"(
        FIM 0, 00       ; first number, register 0
        FIM 1, 10       ; second number, register 1
        LDM C           ; four digits: R6 counts C, D, E, F
        XCH 6
        CLC
DIGIT:
        SRC 1
        RDM             ; digit of the second number
        SRC 0
        ADM             ; plus the digit of the first, plus the carry
        DAA
        WRM
        INC 1
        INC 3
        ISZ 6, DIGIT
DONE:
        JUN DONE
)");
  const int digits[2][4] = {{9, 5, 4, 0}, {6, 8, 7, 0}};
  for (int reg = 0; reg < 2; ++reg) {
    for (int c = 0; c < 4; ++c) {
      machine.ram[simulate::RamIndex(0, 0, static_cast<std::size_t>(reg),
                                     static_cast<std::size_t>(c))] =
          static_cast<std::uint8_t>(digits[reg][c]);
    }
  }
  simulate::NoPeripherals board;
  RunTo(machine, board, "DONE");
  std::vector<int> sum;
  for (int c = 0; c < 4; ++c) {
    sum.push_back(machine.ram[simulate::RamIndex(0, 0, 0, static_cast<std::size_t>(c))]);
  }
  EXPECT_EQ(sum, (std::vector<int>{5, 4, 2, 1}));
}

TEST(Programs, CallsDeeperThanTheStackOverwriteTheOldestReturn) {
  // Four nested calls. The 4004 has three levels besides the program counter, so the fourth
  // call overwrites the first return address (002) with its own; returning from all four ends
  // after the innermost BBL instead of at 002. The 4040's seven levels hold all four.
  const std::string source = R"(
        JMS A
        JUN DONE
A:
        JMS B
        BBL 4
B:
        JMS C
        BBL 3
C:
        JMS D
        BBL 2
D:
        BBL 1
LOST:
        JUN LOST
DONE:
        JUN DONE
)";
  Machine i4004 = Load(source);
  simulate::NoPeripherals board;
  RunTo(i4004, board, "LOST");
  EXPECT_EQ(i4004.acc, 4);
  Machine i4040 = Load(source, Processor::I4040);
  RunTo(i4040, board, "DONE");
  EXPECT_EQ(i4040.acc, 4);
  EXPECT_EQ(i4040.pointer, 0);
}

TEST(Programs, FinAtTheEndOfABlockReadsTheNextBlock) {
  // FIN at 0FF takes its address from the block after it: 1xx, where the table is.
  std::string source = "        FIM 0, 05\r\n        JUN READ\r\n";
  for (int i = 4; i < 0xFF; ++i) {
    source += "        DATA 11\r\n"; // 004-0FE: what FIN must not read
  }
  source += "READ:\r\n        FIN 2\r\n";    // 0FF
  source += "DONE:\r\n        JUN DONE\r\n"; // 100-101
  source += "        DATA 00\r\n        DATA 00\r\n        DATA 00\r\n";
  source += "        DATA A7\r\n"; // 105
  Machine machine = Load(source);
  simulate::NoPeripherals board;
  RunTo(machine, board, "DONE");
  EXPECT_EQ(machine.registers[4], 0xA);
  EXPECT_EQ(machine.registers[5], 0x7);
}

// Sends HELLO on bit 0 of ROM port 0, 8N1, with its bits 8 instruction cycles apart: 9600 baud
// at a clock of 614.4 kHz.
const char* const kHello = R"(
        FIM 7, 00       ; P7: ROM port 0
        SRC 7
        LDM 1
        WRR             ; the line rests at 1
        FIM 0, [TEXT]   ; P0: the next character (the text stays within 16 bytes)
NEXT:
        FIN 1           ; the character into P1 (R2 R3)
        LDA 2
        JNZ SEND
        LDA 3
        JZ DONE
SEND:
        JMS PUTCHAR
        INC 1
        JUN NEXT
DONE:
        JUN DONE
TEXT:
        DATA 48
        DATA 45
        DATA 4C
        DATA 4C
        DATA 4F
        DATA 00
PUTCHAR:
        CLB
        WRR             ; start bit
)";

std::string HelloSource() {
  std::string source = kHello;
  // Each data bit: the next bit of R3, then of R2, into the carry and out, 8 cycles apart.
  for (int bit = 0; bit < 8; ++bit) {
    const char reg = bit < 4 ? '3' : '2';
    source += std::string("        LDA ") + reg + "\n        RAR\n        XCH " + reg +
              "\n        TCC\n        NOP\n        NOP\n        NOP\n        WRR\n";
  }
  source += "        LDM 1\n";
  for (int i = 0; i < 7; ++i) {
    source += "        NOP\n";
  }
  source += "        WRR             ; stop bit\n";
  for (int i = 0; i < 4; ++i) {
    source += "        NOP\n";
  }
  source += "        BBL 0\n";
  return source;
}

TEST(Programs, HelloAt9600BaudIsDecodedExactly) {
  Machine machine = Load(HelloSource());
  ASSERT_DOUBLE_EQ(simulate::CyclesPerBit(614400, 9600), 8.0);
  boards::SerialLine line;
  line.baud = 9600;
  line.transmit = boards::OutputPin{boards::OutputPin::Kind::Rom, 0, 0, 0};
  boards::Board board(boards::SerialBoard(line), 614400);
  simulate::RunLimits limits;
  limits.cycleLimit = 5000;
  simulate::Run(machine, board, limits);
  std::string text;
  for (const simulate::SerialCharacter& character : board.TakeOutput(machine.cycles).serial) {
    EXPECT_FALSE(character.framingError);
    text += static_cast<char>(character.value);
  }
  EXPECT_EQ(text, "HELLO");
}

// Copies TEST to bit 0 of ROM port 0 as fast as it can: every 6 cycles.
const char* const kLoopback = R"(
        FIM 0, 00
        SRC 0
LOOP:
        JT LOW
        LDM 1
        WRR
        JUN LOOP
LOW:
        LDM 0
        WRR
        JUN LOOP
)";

TEST(Programs, SerialInputAndOutputInEveryFrameAndPolarity) {
  struct Case {
    const char* format;
    bool invert;
    std::string bytes;
  };
  const Case cases[] = {
      {"8N1", false, "Hi!\x7F\x80\xFF"},         {"7N1", true, "Hi!\x7F"},   {"7E1", false, "odd?"},
      {"8O2", true, std::string("\x00\x55", 2)}, {"5N1", false, "\x01\x1F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + (c.invert ? " inverted" : ""));
    Machine machine = Load(kLoopback);
    boards::SerialLine serial;
    serial.format = *simulate::ParseSerialFormat(c.format);
    serial.baud = 1200; // 48 cycles a bit at 460.8 kHz
    serial.transmit = boards::OutputPin{boards::OutputPin::Kind::Rom, 0, 0, 0};
    serial.receiveOnTest = true;
    // An inverted input reaches TEST inverted; the program copies TEST out as it is, so an
    // inverted output line gives back the original.
    serial.invertReceive = c.invert;
    serial.invertTransmit = c.invert;
    boards::Board board(boards::SerialBoard(serial), 460800);
    // The program sets its output to the resting level first; the bytes come after that.
    simulate::RunLimits limits;
    limits.cycleLimit = 100;
    simulate::Run(machine, board, limits);
    board.SendInput(c.bytes);
    limits.cycleLimit = 40'000;
    simulate::Run(machine, board, limits);
    EXPECT_TRUE(board.Input()->Finished(machine.cycles));
    std::string received;
    for (const simulate::SerialCharacter& character : board.TakeOutput(machine.cycles).serial) {
      EXPECT_FALSE(character.framingError);
      EXPECT_FALSE(character.parityError);
      received += static_cast<char>(character.value);
    }
    const unsigned mask = (1u << serial.format.dataBits) - 1;
    std::string expected;
    for (const char byte : c.bytes) {
      expected += static_cast<char>(static_cast<unsigned char>(byte) & mask);
    }
    EXPECT_EQ(received, expected);
  }
}

TEST(Serial, BrokenFramesAreReportedNotHidden) {
  // A start bit, then the line stays at 0: a framing error; a wrong parity bit: a parity error.
  simulate::SerialDecoder decoder(*simulate::ParseSerialFormat("8E1"), 10);
  decoder.Line(true, 0);
  decoder.Line(false, 100); // start of a character of all zeros, and no stop bit
  decoder.Advance(300);
  ASSERT_EQ(decoder.Received().size(), 1u);
  EXPECT_TRUE(decoder.Received()[0].framingError);
  decoder.Received().clear();
  // Back at 1, a character 01 with parity 0 where even parity needs 1.
  decoder.Line(true, 300);
  decoder.Line(false, 400);
  decoder.Line(true, 410);  // data bit 0 = 1
  decoder.Line(false, 420); // data bits 1-7 = 0, parity 0
  decoder.Line(true, 500);  // stop bit
  decoder.Advance(600);
  ASSERT_EQ(decoder.Received().size(), 1u);
  EXPECT_EQ(decoder.Received()[0].value, 0x01);
  EXPECT_TRUE(decoder.Received()[0].parityError);
  EXPECT_FALSE(decoder.Received()[0].framingError);
}

} // namespace

namespace {

// Steps until the next instruction is at the label `label`, a step at a time.
void StepTo(Machine& machine, simulate::Peripherals& board, const std::string& label) {
  for (int i = 0; i < 10000 && simulate::ProgramCounter(machine) != labels[label]; ++i) {
    ASSERT_EQ(simulate::Step(machine, board).stop, simulate::Stop::None);
  }
  ASSERT_EQ(simulate::ProgramCounter(machine), labels[label]) << label;
}

// The 4040 as Intel's MCS-40 manual describes it: the SRC register that SRC in an interrupt
// routine leaves alone and BBS sends again, the register bank on an interrupt, no interrupt in
// the three cycles after DB0 or DB1, and the bank bit of LCR while a DB1 is taking effect.
TEST(Programs, The4040AsIntelDocumentsIt) {
  const boards::BoardDescription none;
  {
    SCOPED_TRACE("BBS outside an interrupt sends the last SRC again");
    Machine machine =
        Load("FIM 0, 3C\nSRC 0\nJMS SUB\nDONE:\nJUN DONE\nSUB:\nBBS\n", Processor::I4040);
    boards::Board board(none, 740000);
    StepTo(machine, board, "DONE");
    EXPECT_EQ(machine.src, 0x3C);
  }
  {
    SCOPED_TRACE("an interrupt routine runs in bank 0 and its SRC does not reach the register");
    Machine machine = Load(R"(
        JUN START
        NOP
        FIM 1, 77       ; 003: the routine's own SRC
        SRC 1
        LDM 9
        XCH 0           ; R0 of the bank the routine runs in
        BBS
START:
        SEI
        SB1
        FIM 0, 3C       ; R0' and R1' of bank 1
        SRC 0
WAIT:
        JUN WAIT
)",
                           Processor::I4040);
    boards::Board board(none, 740000);
    StepTo(machine, board, "WAIT");
    board.RequestInterrupt();
    EXPECT_TRUE(simulate::Step(machine, board).interrupt);
    EXPECT_EQ(machine.registerBank, 0);
    StepTo(machine, board, "WAIT");
    EXPECT_EQ(machine.src, 0x3C);
    EXPECT_EQ(machine.registerBank, 1);
    EXPECT_EQ(machine.registers[0], 9);
    EXPECT_EQ(machine.registers[16], 3);
  }
  {
    SCOPED_TRACE("no interrupt in the three cycles after DB0");
    Machine machine =
        Load("JUN START\nNOP\nBBS\nSTART:\nSEI\nDB0\nAFTER:\nNOP\nNOP\nNOP\n", Processor::I4040);
    boards::Board board(none, 740000);
    StepTo(machine, board, "AFTER");
    board.RequestInterrupt();
    EXPECT_FALSE(simulate::Step(machine, board).interrupt);
    EXPECT_FALSE(simulate::Step(machine, board).interrupt);
    EXPECT_TRUE(simulate::Step(machine, board).interrupt);
  }
  {
    SCOPED_TRACE("LCR gives the bank in effect, three cycles after DB1");
    Machine machine = Load("DB1\nLCR\nXCH 2\nLCR\nXCH 3\nDONE:\nJUN DONE\n", Processor::I4040);
    std::copy_n(machine.rom.begin(), simulate::kBankSize,
                machine.rom.begin() + simulate::kBankSize);
    boards::Board board(none, 740000);
    StepTo(machine, board, "DONE");
    EXPECT_EQ(machine.registers[2], 0);
    EXPECT_EQ(machine.registers[3], 8);
  }
}

// Every instruction of the table runs on the processor that has it: a row without its case in
// the decoder would stop as a byte that is no instruction.
TEST(Programs, EveryInstructionOfTheTableRuns) {
  boards::BoardDescription description;
  description.parts.push_back({"ram", boards::ProgramRamPart{}});
  for (const Processor cpu : {Processor::I4004, Processor::I4040}) {
    for (int byte = 0; byte < 256; ++byte) {
      if (translate::kFirstByteInstruction[static_cast<std::size_t>(byte)] < 0) {
        continue;
      }
      SCOPED_TRACE(testing::Message()
                   << std::string(simulate::ProcessorName(cpu)) << " byte " << std::hex << byte);
      boards::Board board(description, 740000);
      Machine machine = simulate::MakeMachine(cpu);
      machine.rom[0] = static_cast<std::uint8_t>(byte);
      EXPECT_EQ(simulate::Step(machine, board).stop, simulate::Stop::None);
    }
  }
}

} // namespace
