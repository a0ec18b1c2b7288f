#include "boards/board.h"
#include "boards/board_file.h"
#include "boards/key_script.h"

#include <gtest/gtest.h>

#include <string>

// Board files as users write them: every board that comes with the program reads cleanly, and a
// broken file is refused with a message that names the fault.
namespace {

boards::BoardDescription BuiltIn(const std::string& name) {
  const auto text = boards::BuiltInBoard(name);
  EXPECT_TRUE(text.has_value()) << name;
  const boards::LoadedBoard loaded = boards::ParseBoard(text.value_or(""), name);
  EXPECT_EQ(loaded.error, "");
  return loaded.board.value_or(boards::BoardDescription{});
}

// Each board reads under its own name, and a key script can reach each of its keys by the key's
// name and by every alias, and each switch position by its name.
TEST(BoardFile, TheBoardsThatComeWithTheProgramReadAndTheirKeysAnswerToTheirNames) {
  for (const std::string& name : boards::BuiltInBoardNames()) {
    SCOPED_TRACE(name);
    const boards::BoardDescription description = BuiltIn(name);
    EXPECT_EQ(description.name, name);
    const boards::Board board(description, description.clockHz.value_or(740000));
    for (std::size_t key = 0; key < board.Keys().size(); ++key) {
      EXPECT_EQ(board.FindKey(board.Keys()[key].name), key) << board.Keys()[key].name;
      for (const std::string& alias : board.Keys()[key].aliases) {
        EXPECT_EQ(board.FindKey(alias), key) << alias;
      }
    }
    for (std::size_t index = 0; index < board.Switches().size(); ++index) {
      const boards::Board::Switch& each = board.Switches()[index];
      EXPECT_EQ(board.FindSwitch(each.name), index);
      for (std::size_t position = 0; position < each.positions.size(); ++position) {
        EXPECT_EQ(board.FindPosition(index, each.positions[position]), position);
      }
    }
  }
}

TEST(BoardFile, FaultsAreNamed) {
  // A board with one shift register, to which each case adds a part or changes a field.
  const auto board = [](const std::string& parts) {
    return R"({"board": "b", "parts": [
      {"name": "sr", "kind": "shift-register", "clock": "rom:0:0", "data": "rom:0:1"})" +
           parts + "]}";
  };
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"{\"board\": \"b\",\n \"parts\": [}", "b.json: not a board file: parse error at line 2"},
      {"[]", "b.json: the board must be an object"},
      {R"({"board": "b", "clock_hz": 1e999, "parts": []})",
       "b.json: not a board file: number overflow parsing '1e999'"},
      {R"({"parts": []})", "b.json: the board: missing field \"board\""},
      {R"({"board": "b", "parts": [], "colour": 1})",
       "b.json: the board: unknown field \"colour\""},
      {R"({"board": "b", "cpu": "8080", "parts": []})", "\"cpu\" must be \"4004\" or \"4040\""},
      {board(R"(, {"name": "x", "kind": "keymatrix"})"),
       "b.json: part \"x\": unknown part \"keymatrix\" (the parts are shift-register, "
       "key-matrix, "},
      {board(R"(, {"name": "l", "kind": "lamp"})"), "b.json: part \"l\": missing wire \"pin\""},
      {board(R"(, {"name": "l", "kind": "lamp", "pin": "rom:0:4"})"),
       "part \"l\": \"pin\" must be an output pin, rom:P:B or ram:L:C:B, not \"rom:0:4\""},
      {board(R"(, {"name": "l", "kind": "lamp", "pin": "ram:0:0:1", "colour": "red"})"),
       "part \"l\": unknown field \"colour\""},
      {board(R"(, {"name": "sr", "kind": "lamp", "pin": "ram:0:0:1"})"),
       "b.json: the part name \"sr\" is used twice"},
      {board(R"(, {"name": "p", "kind": "pulse-train", "output": "test", "period_ms": 28,
                   "width_ms": 5},
                  {"name": "q", "kind": "button", "input": "test"})"),
       "b.json: pin test is used twice: by parts \"p\" and \"q\""},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "nothing", "rows": ["rom:1:0"],
                   "keys": []})"),
       "part \"k\" refers to \"nothing\" for \"columns\", but there is no such part"},
      {board(R"(, {"name": "p", "kind": "pulse-train", "output": "test", "period_ms": 28,
                   "width_ms": 5},
                  {"name": "k", "kind": "key-matrix", "columns": "p", "rows": ["rom:1:0"],
                   "keys": []})"),
       "part \"k\" refers to \"p\" for \"columns\", which is no shift-register"},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "sr", "keys": []})"),
       "part \"k\": missing wire \"rows\""},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "sr", "rows": ["rom:1:0"],
                   "keys": [{"name": "A", "column": 0, "row": 0},
                            {"name": "B", "column": 0, "row": 0}]})"),
       "part \"k\" keys \"A\" and \"B\" are both on column 0, row 0"},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "sr", "rows": ["rom:1:0"],
                   "keys": [{"name": "A", "column": 10, "row": 0}]})"),
       "part \"k\" key \"A\" is on column 10, but \"sr\" has 10 bits"},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "sr", "rows": ["rom:1:0"],
                   "keys": [{"name": "A", "column": 1, "row": 0}, {"name": "a", "column": 2,
                   "row": 0}]})"),
       "the key or switch name \"a\" is used twice"},
      {board(R"(, {"name": "k", "kind": "key-matrix", "columns": "sr", "rows": ["rom:1:0"],
                   "keys": []},
                  {"name": "S", "kind": "switch", "matrix": "k", "column": 9,
                   "positions": {"on": 1, "also on": 1}})"),
       "part \"S\" positions \"on\" and \"also on\" close the same rows"},
      {board(R"(, {"name": "p", "kind": "pulse-train", "output": "test", "period_ms": 28,
                   "width_ms": 28})"),
       "part \"p\" needs a period above 0, a width above 0 and below the period"},
      {board(R"(, {"name": "o1", "kind": "serial-out", "pin": "rom:1:0", "baud": 9600},
                  {"name": "o2", "kind": "serial-out", "pin": "rom:1:1", "baud": 9600})"),
       "b.json: a board has at most one serial-out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const boards::LoadedBoard loaded = boards::ParseBoard(c.text, "b.json");
    EXPECT_FALSE(loaded.board.has_value());
    EXPECT_NE(loaded.error.find(c.message), std::string::npos) << loaded.error;
  }
}

TEST(KeyScript, NamesKeysAndSwitchSettingsOfTheBoard) {
  const boards::Board board(BuiltIn("busicom-141pf"), 740000);
  const auto name = [&board](const boards::KeyAction& action) {
    return action.kind == boards::KeyAction::Kind::Press
               ? board.Keys()[action.index].name
               : board.Switches()[action.index].name + "=" +
                     board.Switches()[action.index].positions[action.position];
  };
  struct Case {
    std::string keys;
    std::vector<std::string> names; // or, for a script in error, the message
    bool error = false;
  };
  const Case cases[] = {
      {"12+34+=", {"1", "2", "+", "3", "4", "+", "="}},
      {"7 * 6 X c ce CE", {"7", "x", "6", "x", "C", "CE", "CE"}},
      {"[00][000][s][EX][<>][<>2][%][SQRT][M+][M-][M=+][M=-][CM][RM][feed]",
       {"00", "000", "S", "EX", "<>", "<>2", "%", "SQRT", "M+", "M-", "M=+", "M=-", "CM", "RM",
        "FEED"}},
      {"[DP=8]1[round=Trunc]", {"DP=8", "1", "ROUND=trunc"}},
      {"12Q", {"unknown key \"Q\""}, true},
      {"[M*]", {"unknown key \"[M*]\""}, true},
      {"CEE", {"unknown key \"CEE\""}, true},
      {"[DP=7]", {"switch DP has no position \"7\" (it has 0, 1, 2, 3, 4, 5, 6, 8)"}, true},
      {"[TONE=1]", {"unknown switch in \"[TONE=1]\""}, true},
      {"1[M+", {"\"[M+\" has no closing ]"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    const boards::KeyScript script = boards::ParseKeys(c.keys, board);
    if (c.error) {
      EXPECT_EQ(script.error, c.names.front());
      continue;
    }
    EXPECT_EQ(script.error, "");
    std::vector<std::string> names;
    for (const boards::KeyAction& action : script.actions) {
      names.push_back(name(action));
    }
    EXPECT_EQ(names, c.names);
  }
}

TEST(KeyScript, HoldsEachKeyAndLetsItGoBeforeTheNext) {
  boards::Board board(BuiltIn("busicom-141pf"), 740000);
  const boards::KeyScript script = boards::ParseKeys("1[DP=2]2", board);
  ASSERT_EQ(script.error, "");
  const std::uint64_t end = boards::ScheduleKeys(board, script.actions, 10, 100, 300);
  EXPECT_EQ(end, 510u); // 2 is let go at 410 + 100
  const std::size_t one = *board.FindKey("1");
  const std::size_t two = *board.FindKey("2");
  const std::size_t dp = *board.FindSwitch("dp");
  struct Case {
    std::uint64_t cycle;
    bool one;
    bool two;
    const char* dp;
  };
  const Case cases[] = {{9, false, false, "0"},   {10, true, false, "0"},   {109, true, false, "0"},
                        {110, false, false, "0"}, {409, false, false, "0"}, {410, false, true, "2"},
                        {509, false, true, "2"},  {510, false, false, "2"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cycle);
    EXPECT_EQ(board.KeyDown(one, c.cycle), c.one);
    EXPECT_EQ(board.KeyDown(two, c.cycle), c.two);
    EXPECT_EQ(board.Switches()[dp].positions[board.SwitchPosition(dp, c.cycle)], c.dp);
  }
}

} // namespace

// A key goes down only once the one before has been let go for the release time and the printer
// has been still for as long: a printer that prints moves the next key on.
TEST(KeyPacer, WaitsForTheKeyBeforeAndForThePrinter) {
  const boards::LoadedBoard loaded = boards::ParseBoard(R"({"board": "p", "parts": [
    {"name": "sr", "kind": "shift-register", "clock": "rom:0:0", "data": "rom:0:1"},
    {"name": "drum", "kind": "pulse-train", "output": "test", "period_ms": 28, "width_ms": 5},
    {"name": "printer", "kind": "drum-printer", "drum": "drum", "fire": "ram:0:0:1",
     "advance": "ram:0:0:3", "hammers": {"shift_register": "sr", "columns": [1]},
     "columns": [{"columns": "1", "symbols": ["0", "1"]}]},
    {"name": "k", "kind": "button", "input": "rom:1:0"},
    {"name": "j", "kind": "button", "input": "rom:1:1"}]})",
                                                        "p");
  ASSERT_EQ(loaded.error, "");
  boards::Board board(*loaded.board, 740000);
  const boards::KeyScript script = boards::ParseKeys("[k][j][k]", board);
  ASSERT_EQ(script.error, "");
  boards::KeyPacer pacer(100, 300);
  pacer.Queue(script.actions);
  EXPECT_EQ(pacer.Advance(board, 10), std::optional<std::uint64_t>(410)); // k at 10, up at 110
  EXPECT_TRUE(board.KeyDown(0, 10));
  EXPECT_FALSE(board.KeyDown(0, 110));
  // The printer strikes at 200: the next key waits until 200 + 300; it feeds at 500: until 800.
  board.RamOutput(0, 0, 0b0010, 200);
  board.RamOutput(0, 0, 0b0000, 250);
  EXPECT_EQ(pacer.Advance(board, 410), std::optional<std::uint64_t>(500));
  board.RamOutput(0, 0, 0b1000, 500);
  EXPECT_EQ(pacer.Advance(board, 550), std::optional<std::uint64_t>(800));
  EXPECT_FALSE(board.KeyDown(1, 799));
  EXPECT_EQ(pacer.Advance(board, 800), std::optional<std::uint64_t>(1200)); // j down until 900
  EXPECT_TRUE(board.KeyDown(1, 800));
  EXPECT_EQ(pacer.Remaining(), 1u);
  EXPECT_EQ(pacer.Advance(board, 1200), std::nullopt);
  EXPECT_TRUE(board.KeyDown(0, 1200));
  EXPECT_EQ(pacer.LastRelease(), 1300u);
  EXPECT_FALSE(pacer.Waiting());
}
