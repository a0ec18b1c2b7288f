#include "boards/board_file.h"
#include "command_line.h"
#include "test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

// brindlewick-sim as scripts run it: options, stop conditions, exit statuses, the state as JSON,
// the trace and the serial line.
namespace {

namespace fs = std::filesystem;

const std::string kExamples = BRINDLEWICK_EXAMPLES;
const std::string kHelloOptions = "--serial-tx rom:0:0 --clock 614400 --baud 9600";

class Simulator : public CommandLine {
protected:
  ToolResult Sim(const std::string& arguments) { return Run(BRINDLEWICK_SIM, arguments); }
};

TEST_F(Simulator, BadUsageAndUnreadableFilesExitWithStatusTwo) {
  std::string boardNames;
  for (const std::string& name : boards::BuiltInBoardNames()) {
    boardNames += (boardNames.empty() ? "" : ", ") + name;
  }
  WriteFileBytes(dir / "p.asm", "NOP\n");
  WriteFileBytes(dir / "broken.json", "{\"board\": \"b\", \"parts\": [{\"name\": \"l\", "
                                      "\"kind\": \"lamp\"}]}");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"", "no PROGRAM given"},
      {"p.asm --cpu 8080", "--cpu must be 4004 or 4040"},
      {"p.asm --until 1000", "--until needs a hexadecimal address 000-FFF"},
      {"p.asm --rom-input 3", "--rom-input needs P=V"},
      {"p.asm --rom-input 3=10", "--rom-input needs P=V"},
      {"p.asm --test 2", "--test must be 0 or 1, not '2'"},
      {"p.asm --serial-format 9N1", "--serial-format needs"},
      {"p.asm --serial-tx rom:0:4", "--serial-tx needs rom:P:B or ram:L:C:B"},
      {"p.asm --serial-rx rom", "--serial-rx can only be 'test'"},
      {"p.asm --input x", "--input needs --serial-rx test"},
      {"p.asm --until-output x", "--until-output needs --serial-tx"},
      {"p.asm --frobnicate", "frobnicate"},
      {"missing.asm", "cannot read 'missing.asm': No such file or directory"},
      // Boards and keys.
      {"p.asm --board calculator",
       "unknown board 'calculator' (the boards are " + boardNames + "; or give a board file)"},
      {"p.asm --board missing.json", "cannot read 'missing.json': No such file or directory"},
      {"p.asm --board broken.json", "broken.json: part \"l\": missing wire \"pin\""},
      {"p.asm --board 4004-sbc --baud 300",
       "--baud cannot be used with --board: the board wires its own serial line"},
      {"p.asm --keys 1", "--keys needs a --board with keys"},
      {"p.asm --board busicom-141pf --keys '12Q'", "--keys: unknown key \"Q\""},
      {"p.asm --board busicom-141pf --input x", "--input needs a board with a serial input"},
      {"p.asm --board busicom-141pf --keys 1 --key-hold 0", "--key-hold must be above 0"},
      // Numbers: negative, too large and malformed ones name the option and its range.
      {"p.asm --cycles -5",
       "--cycles needs a whole number from 0 to 18446744073709551615, not '-5'"},
      {"p.asm --cycles=-1", "--cycles needs a whole number from 0 to 18446744073709551615"},
      {"p.asm --cycles 99999999999999999999999", "not '99999999999999999999999'"},
      {"p.asm --cycles 12k", "--cycles needs a whole number"},
      {"p.asm --clock -740000", "--clock needs a frequency in Hz from 1000 to 100000000"},
      {"p.asm --clock 1e999", "--clock needs a frequency in Hz"},
      {"p.asm --baud=-9600", "--baud needs a bit rate above 0"},
      {"p.asm --board busicom-141pf --keys 1 --key-release -1", "--key-release must be 0 to 60000"},
      {"p.asm --board busicom-141pf --keys 1 --key-hold 1e9", "--key-hold must be above 0"},
      {"p.asm --interrupt-every 0 --cpu 4040", "--interrupt-every needs a whole number"},
      {"p.asm --interrupt-every 100", "--interrupt-every needs the 4040"},
      // The source's language.
      {"p.asm --syntax masm", "--syntax must be classic, asl or auto, not 'masm'"},
      {"p.asm --image --syntax asl", "--syntax is for a source; --image loads a binary image"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ToolResult result = Sim(c.arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(Simulator, StopConditionsAndExitStatus) {
  WriteFileBytes(dir / "loop.asm", "L:\nISZ 0, L\nINC 1\nJUN L\n");
  WriteFileBytes(dir / "halt.asm", "LDM 3\nHLT\nE:\nJUN E\n");
  WriteFileBytes(dir / "bad.asm", "NOP\nJMP X\n");
  WriteFileBytes(dir / "data.asm", "NOP\nDATA FE\n");
  struct Case {
    std::string arguments;
    int status;
    std::string message; // in standard error; empty for none
  };
  const Case cases[] = {
      {"loop.asm --cycles 1000", 0, ""},
      {"loop.asm --until 002", 0, ""},
      {"loop.asm --until 100 --cycles 5000", 1, "no stop condition was met within 5000 cycles"},
      {"loop.asm", 1, "no stop condition was met within 10000000 cycles"},
      {"halt.asm --cpu 4040", 0, ""},
      {"bad.asm", 1, "bad.asm:2: error: Undefined instruction\nJMP X\n"},
      {"data.asm", 1, "stopped at 001: the byte FE is not an instruction of the 4004"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ToolResult result = Sim(c.arguments);
    EXPECT_EQ(result.status, c.status);
    if (c.message.empty()) {
      EXPECT_EQ(result.err, "");
    } else {
      EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
  }
}

TEST_F(Simulator, StateAsJson) {
  // SRC 23 on line 2 (DCL 2), write 7 to character 3 of chip 0, register 2, and to the RAM port;
  // RDR reads ROM port 2's input lines.
  WriteFileBytes(dir / "p.asm", "LDM 2\nDCL\nFIM 1, 23\nSRC 1\nLDM 7\nWRM\nWMP\nRDR\nJMS S\n"
                                "E:\nJUN E\nS:\nWR1\nJUN E\n");
  ToolResult result = Sim("p.asm --until 00E --rom-input 2=A --test 1 --state");
  ASSERT_EQ(result.status, 0) << result.err;
  const nlohmann::json state = nlohmann::json::parse(result.out);
  EXPECT_EQ(state["cpu"], "4004");
  EXPECT_EQ(state["pc"], 0x00E);
  EXPECT_EQ(state["acc"], 0xA);
  EXPECT_EQ(state["test"], 1);
  EXPECT_EQ(state["src"], 0x23);
  EXPECT_EQ(state["dcl"], 2);
  EXPECT_EQ(state["registers"][2], 2);
  EXPECT_EQ(state["registers"][3], 3);
  EXPECT_EQ(state["ram"][2][0][2][3], 7);
  EXPECT_EQ(state["ram"][2][0][2][16 + 1], 0xA) << "status character 1";
  EXPECT_EQ(state["ram_ports"][2][0], 7);
  // JMS at 009 stored 00B; the stack lists it first, the way BBL would return.
  EXPECT_EQ(state["stack"], nlohmann::json::parse("[11, 0, 0]"));
  EXPECT_FALSE(state.contains("halted"));
  // The fields keep their documented order.
  const std::string order = result.out.substr(0, result.out.find("\"registers\""));
  EXPECT_EQ(order, "{\"cpu\":\"4004\",\"cycles\":" + std::to_string(state["cycles"].get<int>()) +
                       ",\"pc\":14,\"stack\":[11,0,0],\"acc\":10,\"carry\":0,\"test\":1,");

  result = Sim("p.asm --cpu 4040 --until 00E --state");
  const nlohmann::json state4040 = nlohmann::json::parse(result.out);
  EXPECT_EQ(state4040["stack"].size(), 7u);
  EXPECT_EQ(state4040["registers_bank1"].size(), 8u);
  EXPECT_EQ(state4040["halted"], false);
  EXPECT_EQ(state4040["interrupts_enabled"], false);
}

// A device asks for an interrupt every 1000 cycles and holds INT until the 4040 takes it: the
// routine at 003 counts in R5, nine times in 10,000 cycles.
TEST_F(Simulator, AnInterruptEveryFewCyclesReachesTheRoutine) {
  WriteFileBytes(dir / "count.asm", "JUN START\nNOP\nINC 5\nBBS\nSTART:\nSEI\nL:\nJUN L\n");
  const ToolResult result =
      Sim("count.asm --cpu 4040 --interrupt-every 1000 --cycles 10000 --state");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(nlohmann::json::parse(result.out)["registers"][5], 9);
}

TEST_F(Simulator, TraceShowsEachInstructionAndWhatChanged) {
  WriteFileBytes(dir / "p.asm", "FIM 1, 3C\nSRC 1\nLDM 9\nWRM\n");
  const ToolResult result = Sim("p.asm --cycles 5 --trace");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "         0  000  22 3C  FIM 1, 3C     A=0 C=0  R2=3 R3=C\n"
                        "         2  002  23     SRC 1         A=0 C=0  SRC=3C\n"
                        "         3  003  D9     LDM 9         A=9 C=0\n"
                        "         4  004  E0     WRM           A=9 C=0  M0:0:3:C=9\n");
}

TEST_F(Simulator, SerialOutputAndInput) {
  const std::string hello = "'" + kExamples + "/hello.asm' " + kHelloOptions;
  ToolResult result = Sim(hello + " --cycles 20000");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "HELLO, 4004");
  // It stops as soon as the text has come, long before 20000 cycles.
  result = Sim(hello + " --until-output 'LO,' --state");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "HELLO,") << "with --state, the serial output goes to standard error";
  EXPECT_LT(nlohmann::json::parse(result.out)["cycles"].get<int>(), 1000);
  result = Sim(hello + " --until-output 'GOODBYE' --cycles 20000");
  EXPECT_EQ(result.status, 1);

  // A program that copies TEST to its output echoes the input, inverted on both lines here.
  WriteFileBytes(dir / "echo.asm", "FIM 0, 00\nSRC 0\nL:\nJT LOW\nLDM 1\nWRR\nJUN L\nLOW:\n"
                                   "LDM 0\nWRR\nJUN L\n");
  result = Sim("echo.asm --serial-tx rom:0:0 --serial-rx test --serial-invert --baud 1200 "
               "--clock 460800 --serial-format 7E1 --input 'ok\\r\\n' --until-output '\\n'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "ok\r\n");
}

// The monitor firmware of a public 4004 single-board computer (../shared/firmware), when it is
// there: 4800 baud, 7 data bits, output on RAM port 0 bit 0, input inverted on TEST, at 724 kHz.
TEST_F(Simulator, RunsTheSingleBoardComputerFirmware) {
  const fs::path firmware = fs::path(BRINDLEWICK_SOURCE_DIR) / ".." / "shared" / "firmware";
  if (!fs::exists(firmware / "sbc_whole.bin")) {
    GTEST_SKIP() << "no firmware at " << firmware;
  }
  const ToolResult result = Sim(
      "--image '" + (firmware / "sbc_whole.bin").string() +
      "' --clock 724000 --baud 4800 --serial-format 7N1 --serial-tx ram:0:0:0 --serial-rx "
      "test --serial-invert-rx --input '31234\\r5678\\r' --until-output 'Sum:            6912'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("Intel 4004 SBC"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Addition demo"), std::string::npos) << result.out;
}

} // namespace

namespace {

const fs::path kFirmware = fs::path(BRINDLEWICK_SOURCE_DIR) / ".." / "shared" / "firmware";

// A program that fires a printer's hammers without end: the run gives up 30 s after the keys.
TEST_F(Simulator, APrinterThatNeverStopsEndsTheRunWithStatusOne) {
  WriteFileBytes(dir / "printer.json", R"({"board": "p", "clock_hz": 740000, "parts": [
    {"name": "sr", "kind": "shift-register", "clock": "rom:0:0", "data": "rom:0:1"},
    {"name": "drum", "kind": "pulse-train", "output": "test", "period_ms": 28, "width_ms": 5},
    {"name": "printer", "kind": "drum-printer", "drum": "drum", "fire": "ram:0:0:1",
     "advance": "ram:0:0:3", "hammers": {"shift_register": "sr", "columns": [1]},
     "columns": [{"columns": "1", "symbols": ["0", "1"]}]}]})");
  WriteFileBytes(dir / "fire.asm", "FIM 0, 00\nSRC 0\nL:\nLDM 2\nWMP\nLDM 0\nWMP\nJUN L\n");
  const ToolResult result = Sim("fire.asm --board printer.json --keys ''");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "brindlewick-sim: the printer was still printing 30 s after the last key\n");
}

// The Busicom 141-PF's own firmware on the calculator board: keys in, paper out.
TEST_F(Simulator, TheCalculatorPrintsWhatItIsGiven) {
  if (!fs::exists(kFirmware / "busicom141pf.bin")) {
    GTEST_SKIP() << "no firmware at " << kFirmware;
  }
  struct Case {
    std::string keys;
    std::string paper;
  };
  const Case cases[] = {
      {"12+34+=", "             12 +\n             34 +\n             46    *\n\n"},
      {"7x6=", "              7 X\n              6 =\n             42    *\n\n"},
      // A negative number prints in red; the decimal point switch fixes the places of a result.
      {"5[S]+2+=", "              5 +  [red]\n              2 +\n              3    *  [red]\n\n"},
      {"[DP=2][ROUND=round]10 / 3 =",
       "             10 /\n              3 =\n           3.33    *\n\n"},
      {"2[SQRT]", "              2 SQ\n1.4142135623730 SQ\n\n"},
      {"[FEED]", "\n"},
      // Ten products summed, each printing three lines and a blank one before the next comes:
      // 1 + 4 + 9 + ... + 100 = 385, every key seen.
      {"1x1=+2x2=+3x3=+4x4=+5x5=+6x6=+7x7=+8x8=+9x9=+10x10=+=", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    const ToolResult result = Sim("--image '" + (kFirmware / "busicom141pf.bin").string() +
                                  "' --board busicom-141pf --keys '" + c.keys + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    if (c.paper.empty()) {
      EXPECT_TRUE(result.out.ends_with("            100 +\n            385    *\n\n"))
          << result.out;
    } else {
      EXPECT_EQ(result.out, c.paper);
    }
    EXPECT_EQ(result.err, "");
  }
}

// The two serial boards run their firmware from their board files alone.
TEST_F(Simulator, TheSerialBoardsRunFromTheirBoardFiles) {
  if (!fs::exists(kFirmware / "sbc_whole.bin") || !fs::exists(kFirmware / "ryomuk_calc.bin")) {
    GTEST_SKIP() << "no firmware at " << kFirmware;
  }
  ToolResult result = Sim("--image '" + (kFirmware / "sbc_whole.bin").string() +
                          "' --board 4004-sbc --input '31234\\r5678\\r' --until-output "
                          "'Sum:            6912'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("Intel 4004 SBC"), std::string::npos) << result.out;

  // The test4004 monitor keeps a routine in program RAM at FFE and dumps the RAM through it.
  result = Sim("--image '" + (kFirmware / "ryomuk_calc.bin").string() +
               "' --board test4004 --input 'Dc12+34+' --until-output '=+46.0'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("Tiny Monitor"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("FF0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 32 C0"),
            std::string::npos)
      << result.out;
}

// The published sources in the macro-assembler syntax run from their own sources: the 4040
// monitor on its board, which picks the 4040 from the source's cpu directive, and the test4004
// calculator.
TEST_F(Simulator, PublishedSourcesRunFromTheirSources) {
  const fs::path folder = kFirmware / "asl";
  if (!fs::exists(folder / "sbc4004" / "firmware.asm")) {
    GTEST_SKIP() << "no published sources at " << folder;
  }
  ToolResult result = Sim("--syntax asl '" + (folder / "sbc4004" / "firmware.asm").string() +
                          "' --board 4040-sbc --input '312345\\r678\\r' --until-output "
                          "'Sum:            13023'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("Intel 4040 SBC"), std::string::npos) << result.out;

  result = Sim("--syntax auto '" + (folder / "test4004_calc" / "calc.asm").string() +
               "' --board test4004 --input 'c12+34+' --until-output '=+46.0'");
  EXPECT_EQ(result.status, 0) << result.err;

  // A source for the 4040 does not run on a 4004 that the command line chose.
  result = Sim("--syntax asl --cpu 4004 '" + (folder / "sbc4004" / "firmware.asm").string() +
               "' --cycles 10");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("is written for the 4040"), std::string::npos) << result.err;
}

} // namespace
