#include "boards/board.h"
#include "boards/check.h"
#include "simulate/parts/drum_printer.h"
#include "simulate/parts/key_matrix.h"
#include "simulate/parts/program_ram.h"
#include "simulate/parts/pulse_train.h"
#include "simulate/parts/shift_register.h"
#include "simulate/parts/timeline.h"
#include "simulate/step.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The parts of boards, each on its own, and program RAM as the processor reaches it.
namespace {

using simulate::ShiftRegister;

// Clocks `bits` into `chain`, highest bit first, so that afterwards bit i of the chain is bit i
// of `bits`.
void Load(ShiftRegister& chain, std::uint64_t bits) {
  for (unsigned i = chain.Length(); i-- > 0;) {
    const bool data = ((bits >> i) & 1) != 0;
    chain.Inputs(false, data);
    chain.Inputs(true, data);
  }
  chain.Inputs(false, false);
}

TEST(ShiftRegister, ShiftsOnRisingClockEdgesAndCascadesIntoTheNextChip) {
  struct Case {
    const char* name;
    unsigned chips;
    std::vector<std::pair<bool, bool>> inputs; // clock, data
    std::uint64_t bits;
  };
  std::vector<std::pair<bool, bool>> oneThenTenZeros{{true, true}, {false, true}};
  for (int i = 0; i < 10; ++i) {
    oneThenTenZeros.insert(oneThenTenZeros.end(), {{true, false}, {false, false}});
  }
  std::vector<std::pair<bool, bool>> elevenClocks;
  for (int i = 0; i < 11; ++i) {
    elevenClocks.insert(elevenClocks.end(), {{true, true}, {false, true}});
  }
  const Case cases[] = {
      {"a rising edge takes the data in", 1, {{true, true}}, 0b1},
      {"a held clock shifts once", 1, {{true, true}, {true, false}, {true, true}}, 0b1},
      {"a falling edge does not shift", 1, {{true, false}, {false, true}}, 0b0},
      {"data follows on each rise", 1, {{true, true}, {false, true}, {true, false}}, 0b10},
      {"the eleventh bit leaves a single chip", 1, elevenClocks, 0x3FF},
      {"the eleventh bit enters the second chip", 2, oneThenTenZeros, 1u << 10},
      {"two chips hold 20 bits", 2, elevenClocks, 0x7FF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShiftRegister chain(c.chips);
    EXPECT_EQ(chain.Length(), c.chips * 10);
    for (const auto& [clock, data] : c.inputs) {
      chain.Inputs(clock, data);
    }
    EXPECT_EQ(chain.Bits(), c.bits);
  }
}

TEST(KeyMatrix, ReadsTheRowsThatTheSelectedColumnClosesWhenTheyClose) {
  ShiftRegister columns(1);
  simulate::KeyMatrix low(true);
  simulate::KeyMatrix high(false);
  for (simulate::KeyMatrix* matrix : {&low, &high}) {
    matrix->Contact(matrix->AddContact(0)).Pulse(100, 200, 0b0010); // a key held 100-200
    matrix->Contact(matrix->AddContact(2)).Set(0, 0b1000);          // a key held throughout
    matrix->Contact(matrix->AddContact(9)).Set(0, 0b0101);          // a switch in its position
  }
  struct Case {
    std::uint64_t columnBits; // the shift register's outputs
    std::uint64_t cycle;
    std::uint8_t activeLowRows;
    std::uint8_t activeHighRows;
  };
  const Case cases[] = {
      {0x3FE, 150, 0b0010, 0b1101}, // column 0 selected low; all others selected high
      {0x3FE, 99, 0b0000, 0b1101},  // before the key goes down
      {0x3FE, 200, 0b0000, 0b1101}, // once it is let go
      {0x3FB, 150, 0b1000, 0b0111}, // column 2
      {0x1FF, 150, 0b0101, 0b1010}, // column 9: the switch
      {0x3FF, 150, 0b0000, 0b1111}, // nothing selected low
      {0x000, 150, 0b1111, 0b0000}, // every column selected low: the rows of all contacts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.columnBits << " at " << std::dec << c.cycle);
    Load(columns, c.columnBits);
    ASSERT_EQ(columns.Bits(), c.columnBits);
    EXPECT_EQ(low.Rows(columns, c.cycle), c.activeLowRows);
    EXPECT_EQ(high.Rows(columns, c.cycle), c.activeHighRows);
  }
}

TEST(PulseTrain, KeepsItsPeriodWidthPhaseAndIndex) {
  const simulate::PulseTrain drum(100, 20, 50, 13);
  struct Case {
    std::uint64_t cycle;
    bool level;
    bool index;
    unsigned position;
  };
  const Case cases[] = {
      {0, false, false, 12},    {49, false, false, 12},  {50, true, true, 0},
      {69, true, true, 0},      {70, false, false, 0},   {150, true, false, 1},
      {1249, false, false, 11}, {1250, true, false, 12}, {1349, false, false, 12},
      {1350, true, true, 0},    {1369, true, true, 0},   {1370, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cycle);
    EXPECT_EQ(drum.Level(c.cycle), c.level);
    EXPECT_EQ(drum.Index(c.cycle), c.index);
    EXPECT_EQ(drum.Position(c.cycle), c.position);
  }
  // A period that is no whole number of cycles does not drift: pulse 1000 starts on time.
  const simulate::PulseTrain fine(2590.5, 10, 0, 13);
  EXPECT_FALSE(fine.Level(2'590'499));
  EXPECT_TRUE(fine.Level(2'590'500));
  EXPECT_EQ(fine.Position(2'590'500), 1000u % 13);
}

TEST(DrumPrinter, RecordsWhatTheHammersStrikeAtEachDrumPosition) {
  ShiftRegister hammers(2);
  const simulate::PulseTrain drum(10, 2, 0, 13); // position n from cycle 10n on
  std::vector<unsigned> columns{17, 18, 0};
  for (unsigned column = 1; column <= 15; ++column) {
    columns.push_back(column);
  }
  const std::vector<simulate::PrinterColumns> groups{
      {17, 17, 2, 0, {"<>", "+", "-", "X", "/", "M+", "M-", "^", "=", "SQ", "%", "C", "R"}},
      {1, 15, 1, 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ".", ".", "-"}},
      {18, 18, 3, 1, {"#", "*", "I", "II", "III", "M+", "M-", "T", "K", "E", "Ex", "C", "M"}},
      {16, 16, 1, 0, {}},
  };
  simulate::DrumPrinter printer(columns, groups);
  const auto strike = [&](std::uint64_t bits, std::uint64_t cycle) {
    Load(hammers, bits);
    printer.Fire(true, cycle, hammers, drum);
    printer.Fire(false, cycle + 1, hammers, drum);
  };
  const auto feed = [&](std::uint64_t cycle) {
    printer.Advance(true, cycle);
    printer.Advance(false, cycle + 1);
  };

  strike(0b1, 12);                     // column 17 at position 1: "+"
  strike((1u << 16) | (1u << 17), 40); // columns 14 and 15 at position 4
  strike(1u << 15, 100);               // column 13 at position 10: "."
  strike(0b10, 103);                   // column 18 at position 10: "Ex"
  EXPECT_EQ(printer.LastActivity(), 103u);
  feed(120);
  feed(130);             // a line with nothing on it
  printer.Ribbon(true);  // red until the paper moves
  strike(1u << 17, 150); // column 15 at position 2
  printer.Ribbon(false);
  feed(160);
  strike(1u << 17, 180);

  const std::vector<simulate::PaperLine>& fed = printer.Fed();
  ASSERT_EQ(fed.size(), 3u);
  EXPECT_EQ(printer.Text(fed[0]), "            .44 +  Ex");
  EXPECT_EQ(printer.Text(fed[1]), "");
  EXPECT_EQ(printer.Text(fed[2]), "              2  [red]");
  EXPECT_TRUE(fed[1].Blank());
  EXPECT_EQ(printer.Text(printer.Current()), "              5");
  EXPECT_EQ(printer.LastActivity(), 180u);
}

// Every WPM and RPM flips the half-byte counter; Intel's 4008/4009 write the upper half first and
// set the counter back only at RESET, a board of one's own may differ in both.
TEST(ProgramRam, WritesAndReadsHalfBytesInTheBoardsOrderAndSwitchesBanks) {
  struct Case {
    bool lowFirst;
    bool srcStarts;
    std::uint8_t afterTwo;   // the byte after WPM 5, WPM A
    std::uint8_t afterThree; // after a third WPM 3, which begins the next byte
    std::uint8_t reads[2];   // two RPMs after an SRC
  };
  const Case cases[] = {
      {false, false, 0x5A, 0x3A, {0xA, 0x3}}, // Intel's: the counter stays on the second half
      {false, true, 0x5A, 0x3A, {0x3, 0xA}},
      {true, false, 0xA5, 0xA3, {0xA, 0x3}},
      {true, true, 0xA5, 0xA3, {0x3, 0xA}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.lowFirst ? "low" : "high") << " half first, "
                                    << (c.srcStarts ? "SRC" : "RESET") << " starts a byte");
    simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
    simulate::ProgramRam ram(0xF, 2, {c.lowFirst, c.srcStarts});
    machine.src = 0x10;
    ram.Designate();
    ram.Write(machine, 0x5);
    ram.Write(machine, 0xA);
    EXPECT_EQ(machine.rom[0xF10], c.afterTwo);
    ram.Write(machine, 0x3);
    EXPECT_EQ(machine.rom[0xF10], c.afterThree);
    ram.Designate();
    EXPECT_EQ(ram.Read(machine), c.reads[0]);
    EXPECT_EQ(ram.Read(machine), c.reads[1]);

    // Bank 1 is empty; bank 0 comes back as it was.
    ram.SelectBank(1);
    ram.Sync(machine);
    EXPECT_EQ(machine.rom[0xF10], 0x00);
    ram.SelectBank(0);
    ram.Sync(machine);
    EXPECT_EQ(machine.rom[0xF10], c.afterThree);
    EXPECT_EQ(machine.rom[0xE10], 0x00); // nothing outside the page
  }
}

TEST(ProgramRam, TheProcessorFetchesWhatWpmWrote) {
  boards::BoardDescription description;
  description.parts.push_back({"ram", boards::ProgramRamPart{0xF, 2, boards::RamPort{0, 0}, true}});
  ASSERT_EQ(boards::CheckBoard(description), "");
  boards::Board board(description, 740000);
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  // Writes LDM 9 (D9) at F00, low half first, and jumps there.
  const std::vector<std::uint8_t> program{0x20, 0x00, 0x21, 0xD9, 0xE3, 0xDD, 0xE3, 0x4F, 0x00};
  ASSERT_EQ(simulate::LoadImage(machine, program), "");
  for (int i = 0; i < 7; ++i) {
    const simulate::StepResult step = simulate::Step(machine, board);
    ASSERT_EQ(step.stop, simulate::Stop::None);
  }
  EXPECT_EQ(machine.acc, 0xD);
  EXPECT_EQ(simulate::ProgramCounter(machine), 0xF00);
  simulate::Step(machine, board);
  EXPECT_EQ(machine.acc, 0x9);
}

} // namespace

// A part wired to the output port of a RAM chip on any CM-RAM line sees what WMP writes there,
// and only that: DCL chooses the line, SRC the chip.
TEST(Board, LampsOnEveryRamLineSeeTheirOwnPort) {
  boards::BoardDescription description;
  for (const char* pin : {"ram:0:2:0", "ram:1:2:0", "ram:2:1:0", "ram:3:3:0"}) {
    description.parts.push_back(
        {pin, boards::LampPart{*boards::ParseOutputPin(pin), std::string(pin)}});
  }
  ASSERT_EQ(boards::CheckBoard(description), "");
  boards::Board board(description, 740000);
  // For each line L (DCL 0, 1, 2, 4) and chip C: LDM dcl, DCL, FIM 0 C<<6, SRC 0, LDM 1, WMP.
  const struct {
    std::uint8_t dcl;
    std::uint8_t chip;
    std::size_t lamp; // the lamp that lights, or 4 for none
  } writes[] = {{2, 2, 4}, {2, 1, 2}, {1, 2, 1}, {0, 2, 0}, {4, 3, 3}, {4, 1, 4}};
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  std::vector<bool> lit(4, false);
  for (const auto& write : writes) {
    SCOPED_TRACE(testing::Message() << "DCL " << int(write.dcl) << ", chip " << int(write.chip));
    const std::vector<std::uint8_t> program{static_cast<std::uint8_t>(0xD0 | write.dcl),
                                            0xFD,
                                            0x20,
                                            static_cast<std::uint8_t>(write.chip << 6),
                                            0x21,
                                            0xD1,
                                            0xE1};
    ASSERT_EQ(simulate::LoadImage(machine, program), "");
    machine.addresses[machine.pointer] = 0;
    for (std::size_t i = 0; i < 6; ++i) {
      ASSERT_EQ(simulate::Step(machine, board).stop, simulate::Stop::None);
    }
    if (write.lamp < 4) {
      lit[write.lamp] = true;
    }
    for (std::size_t lamp = 0; lamp < 4; ++lamp) {
      EXPECT_EQ(board.LampLit(lamp), lit[lamp]) << board.Lamps()[lamp].name;
    }
  }
}
