// The session's watches, step out, and the way back: stepping back gives exactly the states the
// run went through, board and output included; running backwards stops where a forward run
// would have; the trace, the coverage and the edits that Undo takes back.
#include "boards/board_file.h"
#include "debugger/session.h"
#include "debugger/views.h"
#include "simulate/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace {

using debugger::Halt;
using debugger::Session;

// RAM and ROM I/O, then a register counting up for ever.
const std::string kIo = "FIM 0, 12\n" // 000 P0 = 12: chip 0, register 1, character 2
                        "SRC 0\n"     // 002
                        "LDM 5\n"     // 003
                        "WRM\n"       // 004 RAM 0:0:1:2 = 5
                        "WMP\n"       // 005 RAM port 0:0 = 5
                        "FIM 2, 30\n" // 006 P2 = 30: ROM port 3
                        "SRC 2\n"     // 008
                        "WRR\n"       // 009 ROM port 3 = 5
                        "XCH 5\n"     // 00A R5 = 5
                        "LOOP:\n"
                        "INC 5\n"     // 00B
                        "JUN LOOP\n"; // 00C

// A subroutine called from a loop.
const std::string kCalls = "START:\n"
                           "JMS SUB\n"   // 000
                           "INC 3\n"     // 002
                           "JUN START\n" // 003
                           "SUB:\n"
                           "FIM 7, E0\n" // 005
                           "LOOP:\n"
                           "ISZ E, LOOP\n" // 007
                           "BBL 0\n";      // 009

void Load(Session& session, const std::string& source, const std::string& path = "/p.asm") {
  auto made = debugger::MakeProgram(path, source, false);
  ASSERT_TRUE(std::holds_alternative<debugger::Program>(made));
  session.Load(std::get<debugger::Program>(std::move(made)));
}

std::uint16_t Pc(const Session& session) { return simulate::ProgramCounter(session.machine()); }

// Each kind of watch stops the run where it says: before the instruction for I/O and addresses,
// after it for values; conditions and counts hold it back.
TEST(SessionWatches, EachStopsWhereItSays) {
  const struct {
    const char* watch;
    int stopsAt; // the next instruction when it stops, or -1 for not at all
  } cases[] = {
      {"io ram 0:0", 0x004},
      {"io ram 0:0:1:2", 0x004},
      {"io ram 0:0:1:3", -1},
      {"io ram 0:1", -1},
      {"io rom 3", 0x009},
      {"io rom 2", -1},
      {"watch ram 0:0:1:2", 0x005},
      {"watch ram-port 0:0", 0x006},
      {"watch rom-port 3", 0x00A},
      {"watch r5", 0x00B},
      {"watch r5 = 8", 0x00C},
      {"watch p2", 0x008},
      {"watch acc if r5 = 0", 0x004},
      {"watch r5 after 2", 0x00C},
      {"io ram 0:0 if acc = 6", -1},
  };
  for (const auto& c : cases) {
    Session session;
    Load(session, kIo);
    ASSERT_EQ(session.AddWatch(c.watch), "") << c.watch;
    session.BeginRun();
    const Halt halt = session.Run(200);
    if (c.stopsAt < 0) {
      EXPECT_EQ(halt, Halt::Budget) << c.watch;
    } else {
      EXPECT_EQ(halt, Halt::Breakpoint) << c.watch;
      EXPECT_EQ(Pc(session), c.stopsAt) << c.watch;
    }
  }
  // A breakpoint at an address with a condition and a count.
  Session session;
  Load(session, kIo);
  session.ToggleBreakpoint(0x00B);
  ASSERT_EQ(session.SetWatchCondition(0, "if r5 > 6 after 1"), "");
  session.BeginRun();
  EXPECT_EQ(session.Run(200), Halt::Breakpoint);
  EXPECT_EQ(session.machine().registers[5], 8) << "the second time that r5 > 6 at 00B";

  const struct {
    const char* text;
    const char* problem;
  } wrong[] = {
      {"io ram 4:0", "a RAM chip is L:C"},
      {"watch r16", "watch what?"},
      {"watch acc if acc => 3", "after acc comes"},
      {"watch acc if bogus = 1", "\"bogus\" is none of"},
      {"watch acc after", "after needs a number"},
      {"look acc", "begins with io or watch"},
  };
  for (const auto& w : wrong) {
    EXPECT_NE(session.AddWatch(w.text).find(w.problem), std::string::npos) << w.text;
  }
}

TEST(SessionWatches, StepOutRunsToTheReturn) {
  Session session;
  Load(session, kCalls);
  session.Step(); // JMS SUB
  session.Step(); // FIM
  ASSERT_TRUE(session.StepOut());
  session.BeginRun();
  EXPECT_EQ(session.Run(100000), Halt::Target);
  EXPECT_EQ(Pc(session), 0x002);
  EXPECT_EQ(session.machine().pointer, 0);
  EXPECT_FALSE(session.StepOut()) << "at the top level there is nothing to step out of";
}

// Stepping back gives, one by one, exactly the states stepping forward went through, serial
// line and output included; going forward again gives them again.
TEST(SessionHistory, StepBackRetracesEveryState) {
  const std::filesystem::path hello = std::filesystem::path(BRINDLEWICK_EXAMPLES) / "hello.asm";
  std::ifstream file(hello);
  std::stringstream text;
  text << file.rdbuf();
  Session session;
  Load(session, text.str());
  session.SetClock(614400);
  debugger::SerialSettings serial;
  serial.enabled = true;
  ASSERT_EQ(session.SetSerial(serial), "");
  // Far enough for a copy of the history to be taken on the way, and for output.
  session.BeginRun();
  session.Run(200000);
  std::vector<simulate::Machine> states;
  std::vector<std::size_t> transcript;
  for (int i = 0; i < 300; ++i) {
    states.push_back(session.machine());
    transcript.push_back(session.transcript().size());
    session.Step();
  }
  const std::string output = session.transcript();
  EXPECT_NE(output.find("HELLO"), std::string::npos);
  (void)session.TakeOutput();
  for (int i = 299; i >= 0; --i) {
    ASSERT_TRUE(session.StepBack());
    ASSERT_EQ(session.machine(), states[static_cast<std::size_t>(i)]) << "step " << i;
    ASSERT_EQ(session.transcript().size(), transcript[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(session.TakeRewound(), transcript[0] < output.size());
  for (int i = 0; i < 300; ++i) {
    session.Step();
  }
  EXPECT_EQ(session.transcript(), output);
}

// Running backwards stops at the last place where a forward run would have stopped, over more
// than a million instructions, in bounded memory.
TEST(SessionHistory, RunBackwardsFindsTheLastStopOverAMillionInstructions) {
  Session session;
  Load(session, kCalls);
  session.BeginRun();
  while (session.machine().cycles < 2'500'000) {
    ASSERT_EQ(session.Run(100000), Halt::Budget);
  }
  const std::uint64_t end = session.machine().cycles;
  EXPECT_LE(session.HistoryStart() + 2'000'000, end) << "two million cycles back at least";
  EXPECT_LT(session.HistoryBytes(), 8u << 20);

  // The last time the main loop counted R3 up.
  session.ToggleBreakpoint(0x002);
  ASSERT_EQ(session.RunBackwards(), Halt::Breakpoint);
  EXPECT_EQ(Pc(session), 0x002);
  const simulate::Machine found = session.machine();
  // From there, forward to the end, the breakpoint is not met again.
  session.ToggleBreakpoint(0x002);
  while (session.machine().cycles < end) {
    session.Step();
    ASSERT_FALSE(session.machine().cycles < end && Pc(session) == 0x002);
  }
  ASSERT_EQ(session.machine().cycles, end);
  // Back to it once more: the same state as found the first time.
  session.ToggleBreakpoint(0x002);
  ASSERT_EQ(session.RunBackwards(), Halt::Breakpoint);
  session.ToggleBreakpoint(0x002);
  EXPECT_EQ(session.machine(), found) << "forward again, the same states";
  // With nothing to stop at, running backwards goes over every instruction to the start.
  ASSERT_EQ(session.RunBackwards(), Halt::None);
  EXPECT_EQ(session.machine().cycles, session.HistoryStart());
  EXPECT_EQ(session.HistoryStart(), 0u);
}

// Keys that go down on their own while a run goes on (one after another, as a person types)
// are down again when the run goes back to a moment they were held.
TEST(SessionHistory, KeysHeldGoBackWithTheRun) {
  Session session;
  Load(session, kCalls);
  const auto loaded = boards::ParseBoard(*boards::BuiltInBoard("busicom-141pf"), "busicom-141pf");
  ASSERT_TRUE(loaded.board);
  session.SetBoard(loaded.board);
  const std::size_t one = *session.board().FindKey("1");
  const std::size_t two = *session.board().FindKey("2");
  session.PressKey(one);
  session.PressKey(two); // goes down 0.4 s later, once the 1 has been let go
  session.BeginRun();
  while (session.machine().cycles < 100000) {
    session.Run(10000);
  }
  session.ToggleBreakpoint(0x002);
  ASSERT_EQ(session.SetWatchCondition(0, "if cycles < 40000"), "");
  ASSERT_EQ(session.RunBackwards(), Halt::Breakpoint);
  const std::uint64_t cycle = session.machine().cycles;
  EXPECT_LT(cycle, 40000u);
  EXPECT_GT(cycle, 39000u);
  EXPECT_TRUE(session.board().KeyDown(two, cycle)) << "0.4 s after the 1 went down";
  EXPECT_FALSE(session.board().KeyDown(one, cycle));
}

TEST(SessionHistory, TraceCoverageAndUndo) {
  Session session;
  Load(session, kIo);
  std::vector<std::string> lines;
  for (int i = 0; i < 12; ++i) {
    const simulate::Machine before = session.machine();
    const simulate::StepResult step = session.Step();
    lines.push_back(simulate::TraceLine(before, session.machine(), step));
  }
  EXPECT_EQ(session.Trace(5), std::vector<std::string>(lines.end() - 5, lines.end()));
  EXPECT_TRUE(session.executed().test(0x00A));
  EXPECT_FALSE(session.executed().test(0x00E));
  session.ClearCoverage();
  EXPECT_TRUE(session.executed().none());

  const simulate::Machine before = session.machine();
  session.Edit([](simulate::Machine& machine, boards::Board&) { machine.registers[5] = 9; });
  session.Edit([](simulate::Machine& machine, boards::Board&) { machine.acc = 3; });
  EXPECT_EQ(session.machine().acc, 3);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.machine().registers[5], 9);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(session.machine(), before);
  EXPECT_FALSE(session.Undo());
  session.Edit([](simulate::Machine& machine, boards::Board&) { machine.acc = 1; });
  session.Step();
  EXPECT_FALSE(session.CanUndo()) << "a step leaves the edits behind";
  // Going back over an edit shows the machine as it was before it.
  ASSERT_TRUE(session.StepBack());
  EXPECT_EQ(session.machine().acc, 1);
}

} // namespace

namespace {

// Conditions as the Breakpoints list takes them: comparisons of the machine's values, "and"
// binding tighter than "or", numbers decimal or hexadecimal.
TEST(SessionWatches, ConditionsHoldAsWritten) {
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  machine.acc = 5;
  machine.carry = 1;
  machine.registers[3] = 0xA;
  machine.registers[4] = 0x1;
  machine.registers[5] = 0xF;
  machine.cycles = 1000;
  const struct {
    const char* text;
    bool holds;
  } cases[] = {
      {"acc = 5", true},
      {"acc == 6", false},
      {"acc != 6", true},
      {"acc <> 5", false},
      {"carry = 1 and acc = 5", true},
      {"carry = 0 and acc = 5", false},
      {"carry = 0 or acc = 5", true},
      {"acc = 1 or acc = 2 and carry = 1", false},
      {"acc = 5 or acc = 2 and carry = 0", true},
      {"r3 = 0Ah", true},
      {"rA = 0", true},
      {"r3 >= 10", true},
      {"p2 = 1Fh", true},
      {"p2 = 0x1f", true},
      {"cycles > 999", true},
      {"cycles < 1000", false},
      {"pc = 0 and src = 0 and dcl = 0", true},
  };
  for (const auto& c : cases) {
    auto condition = debugger::Condition::Parse(c.text);
    ASSERT_TRUE(std::holds_alternative<debugger::Condition>(condition)) << c.text;
    EXPECT_EQ(std::get<debugger::Condition>(condition).Holds(machine), c.holds) << c.text;
  }
  for (const char* wrong : {"", "acc", "acc =", "acc = x", "acc = 5 and", "r16 = 1", "p8 = 1"}) {
    EXPECT_TRUE(std::holds_alternative<std::string>(debugger::Condition::Parse(wrong))) << wrong;
  }
}

// However many inputs a run takes, the history stays within its copies, and going back still
// lands exactly.
TEST(SessionHistory, ManyInputsKeepTheHistoryBounded) {
  Session session;
  Load(session, kCalls);
  debugger::SerialSettings serial;
  serial.enabled = true;
  ASSERT_EQ(session.SetSerial(serial), "");
  for (int i = 0; i < 600; ++i) {
    session.SendInput("x");
    session.Step();
  }
  EXPECT_LE(session.HistoryBytes(),
            debugger::History::kMostCopies * (sizeof(debugger::RunState) + sizeof(boards::Board) +
                                              2 * sizeof(debugger::RunState)));
  const simulate::Machine before = session.machine();
  session.Step();
  ASSERT_TRUE(session.StepBack());
  EXPECT_EQ(session.machine(), before);
}

// Memory without source, written as instructions with labels where jumps land in view.
TEST(SessionWatches, MemoryWithoutSourceIsDisassembledAroundTheCounter) {
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  const std::uint8_t program[] = {0xD5, 0x20, 0x12, 0x14, 0x03, 0x40, 0x00, 0xFE};
  std::copy(std::begin(program), std::end(program), machine.rom.begin() + 0x100);
  // From 16 bytes before the counter: 0F3-0FF are NOPs, then the program.
  const auto rows = debugger::DisassembleAround(machine, 0x103, 20);
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows.front().address, 0x0F3);
  const auto program_start =
      std::find_if(rows.begin(), rows.end(), [](const auto& row) { return row.address == 0x100; });
  ASSERT_NE(program_start, rows.end());
  const char* texts[] = {"LDM 5", "FIM 0, 12", "JZ L103", "JUN 000", "DATA FE", "NOP"};
  const int addresses[] = {0x100, 0x101, 0x103, 0x105, 0x107, 0x108};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(program_start[static_cast<std::ptrdiff_t>(i)].text, texts[i]) << i;
    EXPECT_EQ(program_start[static_cast<std::ptrdiff_t>(i)].address, addresses[i]) << i;
  }
  EXPECT_EQ(program_start[2].label, "L103") << "JZ jumps to itself";
  EXPECT_EQ(program_start[3].label, "") << "000 is not in view";
}

} // namespace
