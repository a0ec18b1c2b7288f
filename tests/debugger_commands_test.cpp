#include "debugger/commands.h"
#include "debugger/views.h"
#include "fake_debugger_services.h"

#include <gtest/gtest.h>

#include <string>

// The debugger's commands with a scripted fake of its services: what a user does, and what the
// views then show.
namespace {

using debugger::DebuggerCommands;

// A main line that calls a subroutine with a loop in it, then loops for ever.
const std::string kProgram = "START:\n"      // 1
                             "LDM 5\n"       // 2   000
                             "XCH 2\n"       // 3   001
                             "JMS SUB\n"     // 4   002
                             "INC 3\n"       // 5   004
                             "JUN START\n"   // 6   005
                             "SUB:\n"        // 7
                             "FIM 7, E0\n"   // 8   007
                             "LOOP:\n"       // 9
                             "ISZ E, LOOP\n" // 10 009
                             "BBL 0\n";      // 11  00B

class Commands : public ::testing::Test {
protected:
  Commands() { fake.files["/p/prog.asm"] = kProgram; }

  // The row of the listing for a 1-based source line.
  static int Row(int line) { return line - 1; }

  // Ticks the run until it ends (or a thousand ticks have gone).
  void RunOut() {
    for (int i = 0; i < 1000 && commands.Running(); ++i) {
      commands.Tick();
    }
  }

  int Pc() const { return simulate::ProgramCounter(commands.session().machine()); }

  FakeDebuggerServices fake;
  DebuggerCommands commands{fake};
};

TEST_F(Commands, OpensASourceAndShowsEachLineWithItsInstruction) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  EXPECT_EQ(fake.watched, std::vector<std::string>{"/p/prog.asm"});
  const debugger::Program& program = commands.session().program();
  ASSERT_EQ(program.rows.size(), 11u);
  EXPECT_EQ(program.rows[Row(1)].address, -1) << "a label holds no instruction";
  EXPECT_EQ(program.rows[Row(4)].address, 0x002);
  EXPECT_EQ(program.rows[Row(4)].bytes, (std::vector<std::uint8_t>{0x50, 0x07}));
  EXPECT_EQ(program.rows[Row(4)].text, "JMS SUB");
  EXPECT_EQ(program.RowOf(0x009), Row(10));
}

TEST_F(Commands, StepShowsWhatChanged) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.Step(); // LDM 5
  commands.MarkShown();
  commands.Step(); // XCH 2
  const debugger::ProcessorView view = debugger::MakeProcessorView(
      commands.session().machine(), commands.shown(), commands.session().clock());
  EXPECT_EQ(view.registers[2].text, "5");
  EXPECT_TRUE(view.registers[2].changed);
  EXPECT_EQ(view.acc.text, "0");
  EXPECT_TRUE(view.acc.changed) << "5 before the step was shown, 0 after";
  EXPECT_FALSE(view.carry.changed);
  EXPECT_EQ(view.pc.text, "002");
  EXPECT_EQ(view.cycles.text, "2");
  EXPECT_EQ(view.time.text, "21.6 us") << "2 cycles of 8 periods at 740 kHz";
  commands.MarkShown();
  const debugger::ProcessorView again = debugger::MakeProcessorView(
      commands.session().machine(), commands.shown(), commands.session().clock());
  EXPECT_FALSE(again.registers[2].changed);
}

TEST_F(Commands, RunStopsAtABreakpointAndGoesOnFromIt) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.ToggleBreakpointAtRow(Row(5)); // INC 3
  EXPECT_TRUE(commands.session().HasBreakpoint(0x004));
  commands.Run();
  RunOut();
  EXPECT_FALSE(commands.Running());
  EXPECT_EQ(Pc(), 0x004);
  EXPECT_EQ(commands.status(), "Stopped at the breakpoint at 004.");
  // Run again: the breakpoint under the next instruction does not hold it; the next pass does.
  const std::uint64_t cycles = commands.session().machine().cycles;
  commands.Run();
  RunOut();
  EXPECT_EQ(Pc(), 0x004);
  EXPECT_EQ(commands.session().machine().cycles, cycles + 14) << "once round the main line";
  EXPECT_EQ(commands.session().machine().registers[3], 1);
  // A line without an instruction takes no breakpoint.
  commands.ToggleBreakpointAtRow(Row(1));
  EXPECT_EQ(commands.status(), "That line holds no instruction.");
}

TEST_F(Commands, StepOverRunsACallToItsReturnAndRunToCursorStopsThere) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.Step();
  commands.Step();
  ASSERT_TRUE(commands.session().NextIsCall());
  commands.StepOver();
  RunOut();
  EXPECT_EQ(Pc(), 0x004) << "after the JMS, with the whole subroutine run";
  EXPECT_EQ(commands.session().machine().pointer, 0);
  EXPECT_EQ(commands.session().machine().registers[0xE], 0);
  // Step over an instruction that is no call is a step.
  commands.StepOver();
  EXPECT_EQ(Pc(), 0x005);
  commands.RunToRow(Row(11)); // BBL 0, inside the subroutine
  RunOut();
  EXPECT_EQ(Pc(), 0x00B);
  EXPECT_EQ(commands.session().machine().pointer, 1);
}

TEST_F(Commands, StopEndsARunAndRealSpeedKeepsToTheClock) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.SetRealSpeed(true);
  fake.tick = 0; // the clock moves only when the test moves it
  commands.Run();
  EXPECT_TRUE(commands.Running());
  fake.now += 0.010; // 10 ms at 740 kHz: 925 cycles
  commands.Tick();
  const std::uint64_t cycles = commands.session().machine().cycles;
  EXPECT_GE(cycles, 925u);
  EXPECT_LE(cycles, 927u);
  commands.Stop();
  EXPECT_FALSE(commands.Running());
  fake.now += 1;
  commands.Tick();
  EXPECT_EQ(commands.session().machine().cycles, cycles) << "no cycle after Stop";
}

TEST_F(Commands, BadFilesAreReportedAndTheWindowKeepsWhatItHad) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.Step();
  fake.files["/p/bad.asm"] = "NOP\nNOP\nJMP AWAY\n";
  fake.files["/p/big.bin"] = std::string(5000, '\0');
  fake.files["/p/huge.bin"] = std::string(9000, '\0');
  struct Case {
    std::string path;
    std::string message;
  };
  const Case cases[] = {
      {"/p/bad.asm", "\"/p/bad.asm\" does not assemble: line 3: Undefined instruction\n\nJMP AWAY"},
      {"/p/missing.asm", "Cannot open \"/p/missing.asm\": No such file or directory."},
      {"/p/big.bin", "Cannot open \"/p/big.bin\": the image has 5000 bytes; the 4004's program "
                     "memory holds 4096. Choose the 4040, which has two banks, and open it "
                     "again."},
      {"/p/huge.bin", "Cannot open \"/p/huge.bin\": the image has 9000 bytes; program memory "
                      "holds at most 8192 (two 4 KB banks of the 4040)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    fake.errors.clear();
    EXPECT_FALSE(commands.Open(c.path));
    ASSERT_EQ(fake.errors.size(), 1u);
    EXPECT_EQ(fake.errors[0], c.message);
    EXPECT_EQ(commands.session().program().path, "/p/prog.asm");
    EXPECT_EQ(Pc(), 0x001) << "the machine as it was";
  }
  // The 4040 takes the larger image into its two banks.
  commands.SetCpu(simulate::Processor::I4040);
  EXPECT_TRUE(commands.Open("/p/big.bin"));
  EXPECT_TRUE(commands.session().program().image);
  fake.errors.clear();
  commands.SetCpu(simulate::Processor::I4004);
  EXPECT_EQ(fake.errors.size(), 1u) << "the 4004 cannot hold it";
  EXPECT_EQ(commands.session().cpu(), simulate::Processor::I4040);
}

TEST_F(Commands, RunningIntoAByteThatIsNoInstructionStopsWithAMessage) {
  fake.files["/p/run.asm"] = "NOP\nNOP\nDATA FF\n";
  ASSERT_TRUE(commands.Open("/p/run.asm"));
  commands.Run();
  RunOut();
  EXPECT_FALSE(commands.Running());
  ASSERT_EQ(fake.errors.size(), 1u);
  EXPECT_EQ(fake.errors[0], "Stopped at 002: the byte FF is not an instruction of the 4004 (the "
                            "program may have run into data).");
  EXPECT_EQ(Pc(), 0x002);
}

TEST_F(Commands, ReloadingKeepsBreakpointsOnTheirLines) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.ToggleBreakpointAtRow(Row(5));  // INC 3 at 004
  commands.ToggleBreakpointAtRow(Row(10)); // ISZ at 009
  // A new line 3 moves everything after it by one byte and one line.
  fake.files["/p/prog.asm"] = "START:\nLDM 5\nNOP\n" + kProgram.substr(kProgram.find("XCH"));
  fake.reloadAnswer = false;
  commands.FileChanged();
  EXPECT_EQ(fake.reloadQuestions, 1);
  EXPECT_TRUE(commands.session().HasBreakpoint(0x004)) << "not reloaded: nothing changes";
  fake.reloadAnswer = true;
  commands.FileChanged();
  EXPECT_EQ(commands.session().program().rows[2].text, "NOP");
  // INC 3 is now on line 6 at 005, the ISZ on line 11 at 00A: the breakpoints went with them.
  EXPECT_TRUE(commands.session().HasBreakpoint(0x005));
  EXPECT_TRUE(commands.session().HasBreakpoint(0x00A));
  EXPECT_EQ(commands.session().breakpoints().count(), 2u);
  // A line whose text is gone keeps its breakpoint where the same line number holds an
  // instruction.
  fake.files["/p/prog.asm"] =
      "START:\nLDM 5\nNOP\nXCH 2\nJMS SUB\nINC 4\n" + kProgram.substr(kProgram.find("JUN START"));
  commands.Reload();
  EXPECT_TRUE(commands.session().HasBreakpoint(0x005)) << "INC 4 on line 6";
}

TEST_F(Commands, SerialSettingsAreRememberedPerFileAndTheTerminalEchoes) {
  // Copies TEST to ROM port 0 bit 0: what is typed comes back.
  fake.files["/p/echo.asm"] =
      "FIM 0, 00\nSRC 0\nLDM 1\nWRR\nL:\nJT LOW\nLDM 1\nWRR\nJUN L\nLOW:\nLDM 0\nWRR\nJUN L\n";
  ASSERT_TRUE(commands.Open("/p/echo.asm"));
  debugger::SerialSettings serial;
  serial.enabled = true;
  serial.baud = 1200;
  commands.SetSerial(serial);
  EXPECT_EQ(fake.settings["serial//p/echo.asm"], debugger::ToText(serial));
  commands.Run();
  commands.Tick();
  commands.Type("hi\r");
  for (int i = 0; i < 20; ++i) {
    commands.Tick();
  }
  EXPECT_EQ(commands.TakeTerminalOutput(), "hi\r");
  commands.Stop();

  // Another file has its own line; the first one's comes back with it.
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  EXPECT_FALSE(commands.session().serial().enabled);
  ASSERT_TRUE(commands.Open("/p/echo.asm"));
  EXPECT_EQ(commands.session().serial(), serial);

  serial.pin = "rom:0:9";
  fake.errors.clear();
  commands.SetSerial(serial);
  ASSERT_EQ(fake.errors.size(), 1u);
  EXPECT_EQ(fake.errors[0], "The serial pin must be rom:P:B or ram:L:C:B, not \"rom:0:9\".");
}

} // namespace

namespace {

TEST_F(Commands, BoardsAreChosenRememberedPerFileAndTakeKeysOneAfterAnother) {
  fake.files["/p/other.asm"] = "NOP\n";
  fake.files["/p/broken.json"] = R"({"board": "b", "parts": [{"name": "l", "kind": "lamp"}]})";
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  ASSERT_TRUE(commands.ChooseBoard("busicom-141pf"));
  EXPECT_EQ(commands.session().boardDescription()->name, "busicom-141pf");
  EXPECT_EQ(commands.session().clock(), 740000);
  EXPECT_TRUE(commands.RealSpeed()) << "a board with a keyboard runs at the processor's speed";
  EXPECT_EQ(fake.settings["board//p/prog.asm"], "busicom-141pf");

  EXPECT_FALSE(commands.ChooseBoard("calculator"));
  commands.OpenBoardFile("/p/broken.json");
  EXPECT_EQ(fake.errors,
            (std::vector<std::string>{"There is no board called \"calculator\".",
                                      "/p/broken.json: part \"l\": missing wire \"pin\"."}));
  EXPECT_EQ(commands.boardChoice(), "busicom-141pf") << "a refused board changes nothing";

  // Another file has its own board; the first gets its own back.
  ASSERT_TRUE(commands.Open("/p/other.asm"));
  EXPECT_FALSE(commands.session().boardDescription().has_value());
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  EXPECT_EQ(commands.boardChoice(), "busicom-141pf");

  // Keys typed at once go down one after another as the program runs: 0.1 s held, then 0.3 s
  // let go (92,500 cycles a second at 740 kHz; the printer is still).
  EXPECT_TRUE(commands.TypeKey("7"));
  EXPECT_TRUE(commands.TypeKey("\r"));
  EXPECT_FALSE(commands.TypeKey("Q"));
  const boards::Board& board = commands.session().board();
  const std::size_t seven = *board.FindKey("7");
  const std::size_t equals = *board.FindKey("=");
  EXPECT_TRUE(board.KeyDown(seven, 0));
  EXPECT_FALSE(board.KeyDown(seven, 9250));
  std::uint64_t down = 0;
  while (down == 0 && commands.session().machine().cycles < 50000) {
    commands.Step();
    const std::uint64_t now = commands.session().machine().cycles;
    down = board.KeyDown(equals, now) ? now : 0;
  }
  while (down > 0 && board.KeyDown(equals, down - 1)) {
    --down; // the cycle it went down
  }
  EXPECT_GE(down, 37000u);
  EXPECT_LE(down, 37002u);
  EXPECT_TRUE(board.KeyDown(equals, down + 9249));
  EXPECT_FALSE(board.KeyDown(equals, down + 9250));
}

} // namespace

// The file changing on disk: one question for any number of changes while it is open; a source
// that no longer assembles leaves the program from before loaded and says where it fails.
TEST_F(Commands, ChangesOnDiskAskOnceAndABrokenSourceKeepsTheProgram) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  fake.whileAsking = [this] {
    commands.FileChanged();
    commands.FileChanged();
  };
  fake.files["/p/prog.asm"] = "NOP\n" + kProgram;
  commands.FileChanged();
  EXPECT_EQ(fake.reloadQuestions, 1);
  EXPECT_EQ(commands.session().program().rows.size(), 12u);
  fake.whileAsking = nullptr;

  fake.files["/p/prog.asm"] = "NOP\nJUN NOWHERE\n";
  commands.FileChanged();
  ASSERT_EQ(fake.errors.size(), 1u);
  EXPECT_NE(fake.errors[0].find("\"/p/prog.asm\" does not assemble: line 2: Undefined Label"),
            std::string::npos)
      << fake.errors[0];
  EXPECT_NE(fake.errors[0].find("The program loaded before stays"), std::string::npos);
  EXPECT_EQ(commands.session().program().rows.size(), 12u);
  ASSERT_TRUE(commands.loadProblem());
  EXPECT_EQ(commands.loadProblem()->line, 2u);
  fake.files["/p/prog.asm"] = kProgram;
  commands.FileChanged();
  EXPECT_FALSE(commands.loadProblem());

  // A file that is gone for a moment, as when an editor writes it anew: no question yet.
  fake.files.erase("/p/prog.asm");
  commands.FileChanged();
  EXPECT_EQ(fake.reloadQuestions, 3);
  EXPECT_NE(commands.status().find("is gone from the disk"), std::string::npos);
}

// What is remembered for a file is found by its canonical path: the serial line, the board,
// the clock and the processor; a remembered board file that is gone is said so.
TEST_F(Commands, SettingsFollowTheFileWhateverItsPathLooksLike) {
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.SetClock(614400);
  commands.SetCpu(simulate::Processor::I4040);
  fake.files["/p/other.asm"] = "NOP\n";
  ASSERT_TRUE(commands.Open("/p/other.asm"));
  EXPECT_EQ(commands.session().clock(), 740000);
  EXPECT_EQ(commands.session().cpu(), simulate::Processor::I4004);
  fake.files["/p/./sub/../prog.asm"] = kProgram; // the same file, by another path
  ASSERT_TRUE(commands.Open("/p/./sub/../prog.asm"));
  EXPECT_EQ(commands.session().clock(), 614400);
  EXPECT_EQ(commands.session().cpu(), simulate::Processor::I4040);

  fake.settings["board//p/other.asm"] = "/p/gone.json";
  ASSERT_TRUE(commands.Open("/p/other.asm"));
  ASSERT_EQ(fake.errors.size(), 1u);
  EXPECT_NE(fake.errors[0].find("The board \"/p/gone.json\""), std::string::npos);
  EXPECT_FALSE(commands.session().boardDescription());
}

// A source in the macro-assembler syntax: chosen by its cpu directive, its included file's lines
// in the listing with their file, a breakpoint on one of them that holds over a reload, the
// included file watched too, and the choice of syntax remembered for the file.
TEST(AslCommands, SourcesInTheMacroAssemblerSyntaxOpenRunAndReload) {
  FakeDebuggerServices fake;
  fake.files["/p/main.asm"] = " cpu 4040\n include \"sub.inc\"\n jms twice\n hlt\n";
  fake.files["/p/sub.inc"] = "twice: iac\n iac\n bbl 0\n";
  DebuggerCommands commands{fake};
  ASSERT_TRUE(commands.Open("/p/main.asm")) << (fake.errors.empty() ? "" : fake.errors[0]);
  const debugger::Program* program = &commands.session().program();
  EXPECT_EQ(program->syntax, debugger::Syntax::Asl);
  EXPECT_EQ(commands.session().cpu(), simulate::Processor::I4040) << "from cpu 4040";
  EXPECT_EQ(fake.watched, (std::vector<std::string>{"/p/main.asm", "/p/sub.inc"}));
  // Rows: cpu, include, three included lines, jms, hlt.
  ASSERT_EQ(program->rows.size(), 7u);
  const debugger::ListingRow& second = program->rows[3];
  EXPECT_EQ(second.file, "/p/sub.inc");
  EXPECT_EQ(second.line, 2u);
  EXPECT_EQ(second.origin, asl::ListingRow::Origin::Included);
  EXPECT_EQ(second.address, 0x001);

  commands.ToggleBreakpointAtRow(3);
  commands.Run();
  for (int i = 0; i < 100 && commands.Running(); ++i) {
    commands.Tick();
  }
  EXPECT_EQ(commands.session().NextAddress(), 0x001) << commands.status();

  // A line added to the included file moves the breakpoint's line with it.
  fake.files["/p/sub.inc"] = "twice: iac\n nop\n iac\n bbl 0\n";
  commands.FileChanged();
  program = &commands.session().program();
  ASSERT_EQ(program->rows.size(), 8u);
  EXPECT_TRUE(commands.session().HasBreakpoint(0x002)) << "still on \" iac\", now line 3";
  EXPECT_FALSE(commands.session().HasBreakpoint(0x001));

  // The classic language, chosen from the menu, cannot read it: the program stays, the choice
  // too.
  commands.SetSyntax(debugger::Syntax::Classic);
  EXPECT_EQ(fake.errors.size(), 1u);
  EXPECT_EQ(commands.session().program().syntax, debugger::Syntax::Asl);
  EXPECT_EQ(fake.settings["syntax//p/main.asm"], "asl");

  // A source without a cpu directive is classic unless the file's remembered choice says asl:
  // "ldm 10" loads 1 in the classic language (its digit stands at a fixed place), 10 in asl.
  fake.files["/p/plain.asm"] = " ldm 10\n";
  ASSERT_TRUE(commands.Open("/p/plain.asm"));
  EXPECT_EQ(commands.session().program().bytes, (std::vector<std::uint8_t>{0xD1}));
  EXPECT_EQ(commands.session().cpu(), simulate::Processor::I4004) << "another file, the defaults";
  fake.settings["syntax//p/plain.asm"] = "asl";
  ASSERT_TRUE(commands.Open("/p/plain.asm"));
  EXPECT_EQ(commands.session().program().bytes, (std::vector<std::uint8_t>{0xDA}));
}

namespace {

// Each edit of the machine changes what it says, and Undo takes them back in turn.
TEST(MachineCommands, EditsAndUndoInTurn) {
  FakeDebuggerServices fake;
  fake.files["/p/prog.asm"] = kProgram;
  DebuggerCommands commands{fake};
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  const simulate::Machine start = commands.session().machine();
  const struct {
    std::function<void(DebuggerCommands&)> edit;
    std::function<bool(const simulate::Machine&)> shows;
  } edits[] = {
      {[](DebuggerCommands& c) { c.SetRegister(7, 0xC); },
       [](const simulate::Machine& m) { return m.registers[7] == 0xC; }},
      {[](DebuggerCommands& c) { c.SetAccumulator(9); },
       [](const simulate::Machine& m) { return m.acc == 9; }},
      {[](DebuggerCommands& c) { c.SetCarry(true); },
       [](const simulate::Machine& m) { return m.carry == 1; }},
      {[](DebuggerCommands& c) { c.SetRamCharacter(simulate::RamIndex(1, 2, 3, 4), 5); },
       [](const simulate::Machine& m) { return m.ram[simulate::RamIndex(1, 2, 3, 4)] == 5; }},
      {[](DebuggerCommands& c) { c.SetStatusCharacter(simulate::StatusIndex(0, 1, 2, 3), 6); },
       [](const simulate::Machine& m) { return m.status[simulate::StatusIndex(0, 1, 2, 3)] == 6; }},
      {[](DebuggerCommands& c) { c.SetRomPort(3, 0xA); },
       [](const simulate::Machine& m) { return m.romPorts[3] == 0xA; }},
      {[](DebuggerCommands& c) { c.SetRamPort(5, 0x3); },
       [](const simulate::Machine& m) { return m.ramPorts[5] == 0x3; }},
      {[](DebuggerCommands& c) { c.SetNextRow(9); }, // ISZ E, LOOP at 009
       [](const simulate::Machine& m) { return simulate::ProgramCounter(m) == 0x009; }},
  };
  for (const auto& e : edits) {
    e.edit(commands);
    EXPECT_TRUE(e.shows(commands.session().machine())) << commands.status();
  }
  for (auto it = std::rbegin(edits); it != std::rend(edits); ++it) {
    EXPECT_TRUE(it->shows(commands.session().machine()));
    commands.Undo();
    EXPECT_FALSE(it->shows(commands.session().machine()));
  }
  EXPECT_EQ(commands.session().machine(), start);
}

// The trace goes to the file the user chooses; the stopwatch counts from its reset; an Intel HEX
// file opens as an image and says what it fills.
TEST(MachineCommands, TraceStopwatchAndIntelHex) {
  FakeDebuggerServices fake;
  fake.files["/p/prog.asm"] = kProgram;
  DebuggerCommands commands{fake};
  ASSERT_TRUE(commands.Open("/p/prog.asm"));
  commands.Step();
  commands.ResetStopwatch();
  for (int i = 0; i < 3; ++i) {
    commands.Step(); // XCH 2, JMS SUB, FIM 7, E0: 1 + 2 + 2 cycles
  }
  EXPECT_EQ(commands.StopwatchCycles(), 5u);
  fake.dialogAnswers.push_back("/p/trace.txt");
  commands.SaveTrace(2);
  EXPECT_EQ(fake.files["/p/trace.txt"], commands.Trace(2)[0] + "\n" + commands.Trace(2)[1] + "\n");
  EXPECT_NE(fake.files["/p/trace.txt"].find("FIM 7, E0"), std::string::npos);

  fake.files["/p/fw.hex"] = ":02010000D5C068\n:00000001FF\n";
  ASSERT_TRUE(commands.Open("/p/fw.hex")) << (fake.errors.empty() ? "" : fake.errors.back());
  EXPECT_TRUE(commands.session().program().image);
  EXPECT_EQ(commands.session().program().bytes.size(), 0x102u);
  EXPECT_EQ(commands.session().program().bytes[0x100], 0xD5);
  EXPECT_NE(commands.status().find("fill 100-101"), std::string::npos) << commands.status();
}

} // namespace
