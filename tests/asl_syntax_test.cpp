// The macro-assembler syntax: one table per rule (numbers, operators, directives, errors, limits),
// programs for macros, includes and conditional assembly, and the two published sources that
// must come out byte for byte as their authors' assembler makes them.
#include "asl_syntax/assembler.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Included files from a table, by path.
class TableFiles final : public asl::FileReader {
public:
  TableFiles(std::initializer_list<std::pair<const std::string, std::string>> files)
      : files_(files) {}
  Text Read(const std::string& path) override {
    Text text;
    const auto found = files_.find(path);
    if (found == files_.end()) {
      text.missing = true;
    } else {
      text.bytes = found->second;
    }
    return text;
  }

private:
  std::map<std::string, std::string> files_;
};

// Included files from the disk.
class DiskFiles final : public asl::FileReader {
public:
  Text Read(const std::string& path) override {
    Text text;
    if (!fs::is_regular_file(path)) {
      text.missing = true;
    } else {
      text.bytes = ReadFileBytes(path);
    }
    return text;
  }
};

asl::Outcome Assemble(const std::string& source, asl::FileReader* files = nullptr) {
  return asl::Assemble({"main.asm", source, {}, files, 0});
}

// The errors of an outcome, one "FILE:LINE: error: TEXT" line each, notes after them.
std::string Errors(const asl::Outcome& outcome) {
  std::string text;
  for (const asl::Diagnostic& diagnostic : outcome.diagnostics) {
    text += asl::DiagnosticText(diagnostic);
  }
  return text;
}

using Bytes = std::vector<std::uint8_t>;

// The value of each expression, as "The Macro Assembler AS" 1.42 gives it (checked against its
// listing): precedence that differs from C, 64-bit two's complement, strings as numbers.
TEST(AslExpressions, ValuesAndPrecedenceAreThoseOfTheMacroAssembler) {
  const struct {
    const char* expression;
    std::int64_t value;
  } cases[] = {
      {"2+3*4", 14},
      {"(2+3)*4", 20},
      {"-2*3", -6},
      {"-2+3", 1},
      {"2^3^2", 64},
      {"2*3^2", 18},
      {"7/2", 3},
      {"-7/2", -3},
      {"7#3", 1},
      {"-7#3", -1},
      {"10-2-3", 5},
      {"100/10/5", 2},
      {"1<<4", 16},
      {"80h>>2", 0x20},
      {"-16>>2", -4},
      {"1+2<<1", 5},
      {"7><3", 7},
      {"1><8", 0x80},
      {"0ABh><8", 0xD5},
      {"6&3", 2},
      {"3|4", 7},
      {"3|4&1", 3},
      {"5!3", 6},
      {"~0", -1},
      {"~1&0Fh", 0x0E},
      {"~~0", 1},
      {"~~5", 0},
      {"1&&0", 0},
      {"1||0", 1},
      {"1!!1", 0},
      {"0!!1", 1},
      {"2<3", 1},
      {"3<=3", 1},
      {"4>5", 0},
      {"4>=5", 0},
      {"1=1", 1},
      {"1==2", 0},
      {"1<>2", 1},
      {"1!=1", 0},
      {"1+2=3", 1},
      {"\"a\"<\"b\"", 1},
      {"\"abc\"=\"abc\"", 1},
      {"'AB'", 0x4142},
      {"'A'*2", 0x82},
      {"lo(1234h)", 0x34},
      {"hi(1234h)", 0x12},
      {"mask(2,3)", 0x1C},
      {"invmask(0,4)&0FFh", 0xF0},
      {"cutout(0F0h,4,4)", 0xF0},
      {"hiword(12345678h)", 0x1234},
      {"loword(12345678h)", 0x5678},
      {"odd(3)", 1},
      {"even(3)", 0},
      {"getbit(8,3)", 1},
      {"shln(3,2,8)", 0},
      {"shrn(80h,3,8)", 0},
      {"rotln(81h,8,1)", 3},
      {"rotrn(81h,8,1)", 0xC0},
      {"abs(-3)", 3},
      {"sgn(-3)", -1},
      {"strlen(\"hello\")", 5},
      {"strstr(\"hello\",\"ll\")", 2},
      {"charfromstr(\"abc\",1)", 0x62},
      {"val(\"12+1\")", 13},
      {"firstbit(8)", 3},
      {"lastbit(0Ch)", 3},
      {"bitcnt(0FFh)", 8},
      {"upstring(\"ab\")=\"AB\"", 1},
      {"lowstring(\"AB\")=\"ab\"", 1},
      {"substr(\"hello\",1,3)=\"ell\"", 1},
      {"strlen(substr(\"hello\",2,10))", 3},
      {"charfromstr(upstring(\"xy\"),1)", 0x59},
      {"strstr(\"hello\",\"z\")", -1},
      {"val(substr(\"x12+3\",1,4))", 0x0F},
      {"int(7)", 7},
      {"sq(3)+1", 10},
      {"$+2", 0x102},
  };
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(" cpu 4004\nsq function x, x*x\n org 100h\nv equ " +
                                          std::string(c.expression) + "\n");
    ASSERT_TRUE(outcome.ok) << c.expression << "\n" << Errors(outcome);
    const auto symbol = std::find_if(outcome.symbols.begin(), outcome.symbols.end(),
                                     [](const asl::Symbol& s) { return s.name == "V"; });
    ASSERT_NE(symbol, outcome.symbols.end()) << c.expression;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%03llX",
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(c.value)));
    EXPECT_EQ(symbol->value, expected) << c.expression;
  }
}

// Numbers and characters as DATA writes them; a malformed one is an error.
TEST(AslExpressions, NumbersCharactersAndStrings) {
  const struct {
    const char* operands;
    Bytes bytes; // empty: an error
  } cases[] = {
      {"12, 0Ch, 0ch, 1100b, 14o, 14q, 12d", {12, 12, 12, 12, 12, 12, 12}},
      {"0FFh, -1, -128", {0xFF, 0xFF, 0x80}},
      {"'A', '\\r', '\\n', '\\t', '\\\\', '\\'', '\\x41'", {'A', 13, 10, 9, '\\', '\'', 'A'}},
      {"\"a\\\"b\", 0", {'a', '"', 'b', 0}},
      {"\"AB\" + \"C\", \"\"", {'A', 'B', 'C'}},
      {"FFh", {}},
      {"0x12", {}},
      {"12ab", {}},
      {"102b", {}},
      {"256", {}},
      {"-129", {}},
      {"\"abc", {}},
      {"'\\q'", {}},
  };
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(" cpu 4004\n data " + std::string(c.operands) + "\n");
    if (c.bytes.empty()) {
      EXPECT_FALSE(outcome.ok) << c.operands;
    } else {
      ASSERT_TRUE(outcome.ok) << c.operands << "\n" << Errors(outcome);
      EXPECT_EQ(outcome.image, c.bytes) << c.operands;
    }
  }
}

// How a line is taken apart: a name in the first column is a label, with or without a colon;
// elsewhere a label needs its colon; a definition may be indented; case does not matter.
TEST(AslLines, LabelsOperationsAndCommentsWhereTheyStand) {
  const struct {
    const char* source;
    Bytes image;
    const char* label; // the symbol the line defines, if any
    const char* value; // its value
  } cases[] = {
      {"here nop", {0x00}, "HERE", "000"},
      {"here: nop", {0x00}, "HERE", "000"},
      {" nop\n there: nop", {0x00, 0x00}, "THERE", "001"},
      {"\tnop\nThere:\tNOP", {0x00, 0x00}, "THERE", "001"},
      {"nop", {}, "NOP", "000"}, // in the first column, a name is a label
      {"  five equ 5\n ldm FIVE", {0xD5}, "FIVE", "005"},
      {"five = 5\n ldm five", {0xD5}, "FIVE", "005"},
      {"six := 6\nsix := six\n ldm six", {0xD6}, "SIX", "006"},
      {" ldm 1 ; ldm 2", {0xD1}, nullptr, nullptr},
      {" data \"a;b\", ';' ; comment", {'a', ';', 'b', ';'}, nullptr, nullptr},
      {"\r\n nop\r nop\n", {0x00, 0x00}, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(std::string(" cpu 4004\n") + c.source);
    ASSERT_TRUE(outcome.ok) << c.source << "\n" << Errors(outcome);
    EXPECT_EQ(outcome.image, c.image) << c.source;
    if (c.label != nullptr) {
      const auto symbol = std::find_if(outcome.symbols.begin(), outcome.symbols.end(),
                                       [&c](const asl::Symbol& s) { return s.name == c.label; });
      ASSERT_NE(symbol, outcome.symbols.end()) << c.source;
      EXPECT_EQ(symbol->value, c.value) << c.source;
    }
  }
}

// Each directive and each kind of operand, with the bytes it gives.
TEST(AslDirectives, EachGivesItsBytes) {
  const struct {
    const char* source;
    Bytes image;
  } cases[] = {
      {" org 2\n nop", {0xFF, 0xFF, 0x00}},
      {" nop\n ds 2\n nop", {0x00, 0xFF, 0xFF, 0x00}},
      {"x equ 5\n ldm x", {0xD5}},
      {"x set 1\nx set x+1\n ldm x", {0xD2}},
      {"x = 3\ny := 4\n ldm x+y", {0xD7}},
      {"p reg r2r3\nr reg rb\n fim p, 12h\n xch r", {0x22, 0x12, 0xBB}},
      {"R10 reg RA\n ld R10", {0xAA}},
      {"f function a,b, a*16+b\n data f(1,2)", {0x12}},
      {"lo function x, 7\n data lo(1234h)", {0x07}},
      {" data 1\n end\n data 2", {0x01}},
      {" ifdef x\n data 1\n elseif 1\n data 2\n endif\nx equ 0", {0x02}},
      {" page\n listing off\n title \"t\"\n newpage\n nop", {0x00}},
      {" message \"hello\"\n nop", {0x00}},
      {" warning \"careful\"\n nop", {0x00}},
      {"l1 nop\nl2: nop\n  l3: nop\n jun l3", {0x00, 0x00, 0x00, 0x40, 0x02}},
      {" jcn tz, $\n jcn zt, $\n jcm nz, $\n jcn 10, $\n jcn c, $",
       {0x15, 0x00, 0x15, 0x02, 0x1C, 0x04, 0x1A, 0x06, 0x12, 0x08}},
      {" isz r15, $\n fin r6r7\n jin R4P\n src r8r9", {0x7F, 0x00, 0x36, 0x39, 0x29}},
      {" ad0\n ad3\n rd1", {0xEC, 0xEF, 0xED}},
      {" JMS 123h\n Jun 0FFFh", {0x51, 0x23, 0x4F, 0xFF}},
      {" cpu 4040\n hlt\n ein\n din\n bbs\n lcr\n rpm", {0x01, 0x0C, 0x0D, 0x02, 0x03, 0x0E}},
  };
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(c.source);
    ASSERT_TRUE(outcome.ok) << c.source << "\n" << Errors(outcome);
    EXPECT_EQ(outcome.image, c.image) << c.source;
  }
  // A message goes out in every pass, as that assembler's do; a warning once, and the source
  // still assembles.
  const asl::Outcome said =
      Assemble(" message \"hello\"\n warning \"careful\"\n jun later\nlater:");
  ASSERT_TRUE(said.ok);
  EXPECT_EQ(Errors(said), "hello\nhello\nmain.asm:2: warning: careful\n");
}

// Each error names the file and line and says what is wrong; nothing is truncated silently.
TEST(AslErrors, EachNamesItsLineAndCause) {
  const struct {
    const char* source;
    const char* message;
  } cases[] = {
      {" ldm 16", "main.asm:1: error: LDM's operand must be 0 to 15, not 16"},
      {" fim r0r1, 256", "FIM's data must be a byte, -128 to 255, not 256"},
      {" jun 1000h", "the jump's target 1000 is beyond 000-FFF"},
      {" jun 12345h", "the jump's target 12345 is beyond 000-FFF"},
      {" jms -1", "the jump's target -1 is beyond 000-FFF"},
      {" org 0F0h\n jcn z, 100h", "main.asm:2: error: the jump's target 100 is not in the block"},
      {" isz r0, 200h", "the jump's target 200 is not in the block 000-0FF"},
      {" jcn xz, 0", "symbol XZ is not defined"},
      {" jcn 16, 0", "the condition must be 0 to 15, not 16"},
      {" ld r16", "\"R16\" is not a register (R0-R15)"},
      {" fim r1r2, 0", "\"R1R2\" is not a register pair"},
      {" src 5", "the operand must be a register pair"},
      {" data 1/0", "division by zero"},
      {" data 1 >< 33", "a bit mirror takes 1 to 32 bits, not 33"},
      {" data undefined", "symbol UNDEFINED is not defined"},
      {"a equ b\nb equ a", "symbol B is not defined"},
      {" foo", "unknown instruction or directive \"FOO\""},
      {" rept 3\n nop\n endm", "main.asm:1: error: the directive \"REPT\" is not supported"},
      {" binclude \"x.bin\"", "the directive \"BINCLUDE\" is not supported"},
      {" fatal \"no more\"\n data undefined", "main.asm:1: error: no more"},
      {" hlt", "HLT is an instruction of the 4040, not of the 4004"},
      {" cpu 8080", "CPU can be 4004 or 4040 here"},
      {" nop\n org 0\n nop", "main.asm:3: error: address 000 is written twice: by this line and by "
                             "main.asm:1"},
      {" org 0FFFh\n nop\n nop", "the program goes past FFF"},
      {" cpu 4040\n org 2001h", "ORG 2001 is outside the program memory of the 4040"},
      {"x equ 1\nx equ 2", "main.asm:2: error: X is already defined at main.asm:1"},
      {"x: nop\nx: nop", "X is already defined"},
      {" if 1", "IF has no ENDIF"},
      {" endif", "ENDIF without IF"},
      {" else", "ELSE without IF"},
      {" endm", "ENDM without MACRO"},
      {"m macro\n nop", "MACRO M has no ENDM"},
      {" error \"stop here\"", "main.asm:1: error: stop here"},
      {" include \"missing.inc\"", "cannot find the include file \"missing.inc\""},
      {" ldm", "LDM takes one operand, not 0"},
      {" nop 1", "NOP takes no operand, not 1"},
      {" ds -1", "DS reserves 0 or more bytes, not -1"},
      {"x reg 5", "REG needs a name and a register or register pair"},
      {"x reg r20", "\"R20\" is no register or register pair"},
      {"m macro a\n nop\n endm\n m 1,2", "macro M takes 1 argument(s), not 2"},
  };
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(c.source);
    EXPECT_FALSE(outcome.ok) << c.source;
    EXPECT_NE(Errors(outcome).find(c.message), std::string::npos) << c.source << "\n"
                                                                  << Errors(outcome);
  }
}

// No input runs away: each limit stops the assembly with a message that names it.
TEST(AslErrors, LimitsStopRunawayInput) {
  std::string growing = " cpu 4004\nd1 macro a\n data a\n endm\n";
  for (int level = 2; level <= 7; ++level) {
    growing.append("d").append(std::to_string(level)).append(" macro a\n d");
    growing.append(std::to_string(level - 1)).append(" a a a a a a a a\n endm\n");
  }
  growing += " d7 1\n";
  const struct {
    std::string source;
    const char* message;
  } cases[] = {
      {"m macro\n m\n endm\n m", "macros nest more than 256 deep"},
      {"m macro\n nop\n nop\n m\n endm\n m", "macros nest more than 256 deep"},
      {"a macro\n b\n b\n b\n b\n b\n b\n b\n b\n b\n b\n endm\n"
       "b macro\n c\n c\n c\n c\n c\n c\n c\n c\n c\n c\n endm\n"
       "c macro\n d\n d\n d\n d\n d\n d\n d\n d\n d\n d\n endm\n"
       "d macro\n e\n e\n e\n e\n e\n e\n e\n e\n e\n e\n endm\n"
       "e macro\n if 0\n endif\n if 0\n endif\n if 0\n endif\n if 0\n endif\n if 0\n endif\n endm\n"
       " a",
       "the macro expansions give more than 50000 lines"},
      {growing, "grows past 65536 characters"},
      {std::string(" cpu 4004\n") +
           [] {
             std::string lines;
             for (int i = 0; i < 150; ++i) {
               lines += " ldm 16\n";
             }
             return lines;
           }(),
       "main.asm: error: 50 more messages are not shown"},
      {" include \"main.asm\"", "is included again while it is being read"},
  };
  TableFiles files{};
  for (const auto& c : cases) {
    const asl::Outcome outcome = Assemble(c.source, &files);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(Errors(outcome).find(c.message), std::string::npos) << Errors(outcome);
    EXPECT_LT(Errors(outcome).size(), 65536u) << "a deep nest lists only its ends, and a "
                                                 "hundred messages are kept at most";
  }
}

// Macros with parameters that call macros, conditional assembly inside them, and the listing
// that shows the expansion in place.
TEST(AslPrograms, MacrosExpandWithTheirArgumentsInPlace) {
  const asl::Outcome outcome = Assemble(" cpu 4004\n"
                                        "load macro pair, value\n"
                                        " fim pair, value ; PAIR stays in the comment\n"
                                        " endm\n"
                                        "both macro n\n"
                                        " load r0r1, n\n"
                                        " if n > 5\n"
                                        " data \"big\"\n"
                                        " elseif n = 5\n"
                                        " data \"five!\"\n"
                                        " else\n"
                                        " data 'n'\n" // a parameter in quotes stays as it is
                                        " endif\n"
                                        " endm\n"
                                        " both 3\n"
                                        " both 9\n"
                                        " both 5\n");
  ASSERT_TRUE(outcome.ok) << Errors(outcome);
  EXPECT_EQ(outcome.image,
            (Bytes{0x20, 3, 'n', 0x20, 9, 'b', 'i', 'g', 0x20, 5, 'f', 'i', 'v', 'e', '!'}));
  const std::string listing = asl::ListingText(outcome);
  EXPECT_NE(listing.find("\n    3M 000  20 03         fim r0r1, 3 ; PAIR stays"), std::string::npos)
      << listing;
  EXPECT_NE(listing.find("\n    8M-                   data \"big\"\r\n"), std::string::npos);
  EXPECT_NE(listing.find("\n       00E  21\r\n"), std::string::npos) << "bytes past four go on";
  EXPECT_NE(listing.find("BOTH                    1 parameter(s)  macro"), std::string::npos);
}

// Includes are read relative to the including file, then the include folders; an error in one
// names its file and the way there; bitfuncs.inc is built in.
TEST(AslPrograms, IncludesAreFoundMarkedAndNamed) {
  TableFiles files{{"lib/a.inc", " data 1\n include \"b.inc\"\n"},
                   {"lib/b.inc", " data 2\n"},
                   {"more/c.inc", "size equ 3\n data 300\n"}};
  asl::Outcome outcome = asl::Assemble({"main.asm",
                                        " cpu 4004\n include \"lib/a.inc\"\n include bitfuncs\n"
                                        " include \"c.inc\"\n",
                                        {"more"},
                                        &files,
                                        0});
  EXPECT_EQ(outcome.image, (Bytes{1, 2}));
  EXPECT_EQ(Errors(outcome), "more/c.inc:2: error: DATA takes bytes, -128 to 255, not 300\n"
                             "main.asm:4: note: in the file included from here\n");
  EXPECT_EQ(outcome.files,
            (std::vector<std::string>{"main.asm", "lib/a.inc", "lib/b.inc", "more/c.inc"}));
  asl::ListingRow expected{"lib/b.inc", 1, " data 2", asl::ListingRow::Origin::Included,
                           2,           1, {2},       false};
  const auto row = std::find_if(outcome.rows.begin(), outcome.rows.end(),
                                [](const asl::ListingRow& r) { return r.file == "lib/b.inc"; });
  ASSERT_NE(row, outcome.rows.end());
  EXPECT_EQ(row->text, expected.text);
  EXPECT_EQ(row->origin, expected.origin);
  EXPECT_EQ(row->depth, expected.depth);
  EXPECT_EQ(row->address, expected.address);
}

// Forward references settle over passes; a file guarded by IFNDEF is read in each pass; SWITCH
// takes the first matching case.
TEST(AslPrograms, ForwardReferencesGuardsAndSwitches) {
  TableFiles files{{"guard.inc", " ifndef GUARD\nGUARD equ 1\n data 0AAh\n endif\n"}};
  const asl::Outcome outcome = Assemble(" cpu 4004\n"
                                        " include \"guard.inc\"\n"
                                        " include \"guard.inc\"\n"
                                        " jcn z, ahead\n"
                                        "count equ ahead - $\n"
                                        " switch count\n"
                                        " case 1, 2\n"
                                        " data 11h\n"
                                        " case 1\n"
                                        " data 22h\n"
                                        " elsecase\n"
                                        " data 44h\n"
                                        " endcase\n"
                                        "ahead: data count\n",
                                        &files);
  ASSERT_TRUE(outcome.ok) << Errors(outcome);
  EXPECT_EQ(outcome.image, (Bytes{0xAA, 0x14, 0x04, 0x11, 0x01}));
  EXPECT_GE(outcome.passes, 2);
}

// Under the 4040 a program may fill the second bank; gaps read FF and are not written.
TEST(AslPrograms, The4040ReachesTheSecondBankAndGapsAreNotWritten) {
  const asl::Outcome outcome = Assemble(" cpu 4040\n nop\n org 1FFEh\n data 1, 2\n");
  ASSERT_TRUE(outcome.ok) << Errors(outcome);
  ASSERT_EQ(outcome.image.size(), 0x2000u);
  EXPECT_EQ(outcome.image[1], 0xFF);
  EXPECT_EQ(outcome.image[0x1FFF], 2);
  EXPECT_TRUE(outcome.written[0]);
  EXPECT_FALSE(outcome.written[1]);
  EXPECT_TRUE(outcome.cpu4040);
  EXPECT_TRUE(asl::HasCpuDirective("; a comment\n  CPU 4040\n"));
  EXPECT_FALSE(asl::HasCpuDirective("; cpu 4004\n data \"cpu\"\n"));
}

// The two published sources, byte for byte; DATE and TIME come from the request's time, here
// the moment at which the monitor's image was made.
TEST(AslPrograms, PublishedSourcesAssembleByteForByte) {
  const fs::path folder = fs::path(BRINDLEWICK_SOURCE_DIR) / ".." / "shared" / "firmware" / "asl";
  if (!fs::exists(folder / "sbc4004" / "firmware.asm")) {
    GTEST_SKIP() << "no published sources at " << folder;
  }
  const struct {
    fs::path source;
    fs::path image;
  } cases[] = {
      {folder / "test4004_calc" / "calc.asm", folder / "test4004_calc" / "calc.bin"},
      {folder / "sbc4004" / "firmware.asm", folder / "sbc4004" / "firmware.bin"},
  };
  DiskFiles files;
  for (const auto& c : cases) {
    const std::string text = ReadFileBytes(c.source);
    // 2026-12-07 15:14:11 UTC.
    const asl::Outcome outcome = asl::Assemble({c.source.string(), text, {}, &files, 1796656451});
    ASSERT_TRUE(outcome.ok) << Errors(outcome);
    const std::string expected = ReadFileBytes(c.image);
    EXPECT_EQ(std::string(outcome.image.begin(), outcome.image.end()), expected) << c.source;
  }
}

} // namespace
