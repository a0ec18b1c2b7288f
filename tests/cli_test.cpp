#include "assembly/intel_hex.h"
#include "cli/asm.h"
#include "command_line.h"
#include "failing_finish.h"
#include "test_files.h"
#include "translate/latin1.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string kExample = std::string(BRINDLEWICK_EXAMPLES) + "/blink.asm";

// The example's listing, worked out by hand from the 4004 opcode map.
const std::string kExampleListing = "000    20 1A\r\n"
                                    "002    22 00\r\n"
                                    "004    DC\r\n"
                                    "005    B6\r\n"
                                    "006    34\r\n"
                                    "007    23\r\n"
                                    "008    A5\r\n"
                                    "009    E2\r\n"
                                    "00A    50 13\r\n"
                                    "00C    61\r\n"
                                    "00D    76 06\r\n"
                                    "00F    11 0F\r\n"
                                    "011    40 00\r\n"
                                    "013    2E 00\r\n"
                                    "015    7E 15\r\n"
                                    "017    7F 15\r\n"
                                    "019    C0\r\n"
                                    "01A    01\r\n"
                                    "01B    02\r\n"
                                    "01C    04\r\n"
                                    "01D    08\r\n";
const Bytes kExampleImage = {0x20, 0x1A, 0x22, 0x00, 0xDC, 0xB6, 0x34, 0x23, 0xA5, 0xE2,
                             0x50, 0x13, 0x61, 0x76, 0x06, 0x11, 0x0F, 0x40, 0x00, 0x2E,
                             0x00, 0x7E, 0x15, 0x7F, 0x15, 0xC0, 0x01, 0x02, 0x04, 0x08};

Bytes ReadBytes(const fs::path& path) {
  const std::string text = ReadFileBytes(path);
  return {text.begin(), text.end()};
}

// The assembler, run as a user runs it.
class Assembler : public CommandLine {
protected:
  ToolResult Tool(const std::string& arguments, const std::string& prefix = "") {
    return Run(BRINDLEWICK_ASM, arguments, prefix);
  }
};

TEST_F(Assembler, AssemblesTheExampleToImageAndListing) {
  const ToolResult result = Tool("'" + kExample + "' -o out.bin -l out.lst");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadBytes(dir / "out.bin"), kExampleImage);
  EXPECT_EQ(ReadFileBytes(dir / "out.lst"), kExampleListing);
}

TEST_F(Assembler, ListingGoesToStandardOutput) {
  std::string withLineFeeds = kExampleListing;
  std::erase(withLineFeeds, '\r');
  ToolResult result = Tool("'" + kExample + "'");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, withLineFeeds);

  result = Tool("--listing - '" + kExample + "'");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kExampleListing);

  // Standard input as the source, read like a file.
  result = Tool("- < '" + kExample + "'");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, withLineFeeds);
}

TEST_F(Assembler, WritesIntelHex) {
  WriteFileBytes(dir / "p.asm", "FIM 0, 12\nDATA 34\n");
  const ToolResult result = Tool("p.asm --hex=p.hex");
  ASSERT_EQ(result.status, 0) << result.err;
  // 03 bytes at 0000, type 00: 20 12 34; checksum 100 - (03+20+12+34) = 97.
  EXPECT_EQ(ReadFileBytes(dir / "p.hex"), ":0300000020123497\n:00000001FF\n");
}

TEST_F(Assembler, SourceErrorsNameFileLineAndMessageAndWriteNothing) {
  struct Case {
    std::string source;
    std::string diagnostic;
  };
  const Case cases[] = {
      {"NOP\r\nJMP AWAY\r\nNOP\r\n", "p.asm:2: error: Undefined instruction\nJMP AWAY\n"},
      {"NOP\nX:\nJZ X\nJUN NOWHERE ; far\n",
       "p.asm:4: error: Undefined Label\nJUN NOWHERE ; far\n"},
      // ISO-8859-1 bytes come out as the characters they stand for.
      {"; caf\xE9\rFIM 9 ; \xA9", "p.asm:2: error: Register out of range\nFIM 9 ; \xC2\xA9\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.diagnostic);
    WriteFileBytes(dir / "p.asm", c.source);
    WriteFileBytes(dir / "old.bin", "old image");
    const ToolResult result = Tool("p.asm -o old.bin -l new.lst --hex new.hex");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.diagnostic);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");
    EXPECT_EQ(Files(), (std::vector<std::string>{"old.bin", "p.asm"}));
  }
}

TEST_F(Assembler, ZeroBytesAreLeftOutOfTheSource) {
  WriteFileBytes(dir / "p.asm", std::string("N\0OP\r\nDATA 4\0"
                                            "2",
                                            14));
  const ToolResult result = Tool("p.asm -l -");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "000    00\r\n001    42\r\n");
}

TEST_F(Assembler, BadUsageAndUnreadableFilesExitWithStatusTwo) {
  WriteFileBytes(dir / "p.asm", "NOP\n");
  fs::create_directory(dir / "folder");
  struct Case {
    std::string arguments;
    std::string message;
  };
  const Case cases[] = {
      {"", "no SOURCE given"},
      {"p.asm other.asm", "more than one SOURCE given"},
      {"--frobnicate p.asm", "unknown option '--frobnicate'"},
      {"p.asm -o", "option '-o' needs a PATH"},
      {"p.asm -l - --hex -", "only one output can go to standard output"},
      {"missing.asm", "cannot read 'missing.asm': No such file or directory"},
      {"folder", "cannot read 'folder': Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ToolResult result = Tool(c.arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(Assembler, DisassemblyAssemblesBackToTheImage) {
  ToolResult result = Tool("'" + kExample + "' -o blink.bin");
  ASSERT_EQ(result.status, 0) << result.err;
  result = Tool("--disassemble blink.bin -o again.asm");
  ASSERT_EQ(result.status, 0) << result.err;
  result = Tool("again.asm -o again.bin");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(dir / "again.bin"), kExampleImage);

  // Without -o, the source goes to standard output.
  result = Tool("--disassemble blink.bin");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, ReadFileBytes(dir / "again.asm"));

  WriteFileBytes(dir / "huge.bin", std::string(4097, '\xFF'));
  result = Tool("--disassemble huge.bin -o huge.asm");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "huge.bin: error: cannot write the image as a program: the image has "
                        "4097 bytes; program memory holds at most 4096\n");
  EXPECT_FALSE(fs::exists(dir / "huge.asm"));

  result = Tool("--disassemble blink.bin -l out.lst");
  EXPECT_EQ(result.status, 2);

  // A disassembly that cannot be written is a failure to write, not an error in the image.
  fs::create_directory(dir / "folder");
  result = Tool("--disassemble blink.bin -o folder");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "brindlewick-asm: cannot write 'folder': Is a directory (nothing was "
                        "written)\n");
}

TEST_F(Assembler, HelpAndVersion) {
  ToolResult result = Tool("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("Usage: brindlewick-asm [options] SOURCE\n"));
  result = Tool("--version");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.out.starts_with("brindlewick-asm "));
}

TEST_F(Assembler, FailedWritesLeaveTheOldFileIntact) {
  std::string big;
  for (int i = 0; i < 2001; ++i) {
    big += "JUN 0\r\n";
  }
  WriteFileBytes(dir / "big.asm", big + "0:\r\n");
  WriteFileBytes(dir / "old.bin", "old image");
  fs::create_directory(dir / "folder");
  fs::create_directory(dir / "folder" / "keep");

  // A file-size limit of one 512-byte block: the 4002-byte image cannot be written.
  ToolResult result = Tool("big.asm -o old.bin", "ulimit -f 1 && ");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot write 'old.bin': File too large"), std::string::npos)
      << result.err;
  EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");

  // A target that is a folder, and a path under a regular file.
  result = Tool("big.asm -o folder");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot write 'folder': Is a directory"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir / "folder" / "keep"));
  result = Tool("big.asm -o old.bin/inner");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("cannot write 'old.bin/inner': Not a directory"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");

  // No temporary file is left behind.
  EXPECT_EQ(Files(), (std::vector<std::string>{"big.asm", "folder", "old.bin"}));
}

TEST_F(Assembler, OutputsAreWrittenAllOrNone) {
  // 200 bytes of image, about 560 bytes of Intel HEX.
  std::string source;
  for (int i = 0; i < 200; ++i) {
    source += "DATA FF\n";
  }
  WriteFileBytes(dir / "p.asm", source);
  WriteFileBytes(dir / "old.bin", "old image");
  WriteFileBytes(dir / "old.lst", "old listing");
  struct Case {
    std::string arguments;
    std::string prefix;
    std::string message;
  };
  const Case cases[] = {
      // The second output cannot be written: the first, written already, is not put in place.
      {"p.asm -o old.bin -l old.bin/inner", "",
       "brindlewick-asm: cannot write 'old.bin/inner': Not a directory (nothing was written)\n"
       "brindlewick-asm: no output file was changed\n"},
      // A file-size limit of one 512-byte block: the image fits, the Intel HEX does not.
      {"p.asm -o new.bin --hex old.lst", "ulimit -f 1 && ",
       "brindlewick-asm: cannot write 'old.lst': File too large (the file is left as it was)\n"
       "brindlewick-asm: no output file was changed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ToolResult result = Tool(c.arguments, c.prefix);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, c.message);
    EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");
    EXPECT_EQ(ReadFileBytes(dir / "old.lst"), "old listing");
    EXPECT_EQ(Files(), (std::vector<std::string>{"old.bin", "old.lst", "p.asm"}));
  }
}

// The temporary file must be on the disk and closed, both checked, before it replaces the
// target: a failing flush or close leaves the old file, reports the error, and leaves no
// temporary behind.
TEST_F(Assembler, AFailedFlushCloseOrRenameLeavesTheOldFiles) {
  WriteFileBytes(dir / "p.asm", "NOP\n");
  WriteFileBytes(dir / "old.bin", "old image");
  WriteFileBytes(dir / "old.lst", "old listing");
  const std::string bin = (dir / "old.bin").string();
  const std::string lst = (dir / "old.lst").string();
  const std::string fresh = (dir / "new.bin").string();
  struct Case {
    std::string call;
    std::vector<std::string> outputs;
    std::string err;
  };
  const Case cases[] = {
      {"fsync",
       {"-o", bin},
       "cannot write '" + bin + "': Input/output error (the file is left as it was)\n"},
      {"close",
       {"-o", bin},
       "cannot write '" + bin + "': Input/output error (the file is left as it was)\n"},
      // The image is renamed into place, then the listing's rename fails: the image goes back.
      {"second rename",
       {"-o", bin, "-l", lst},
       "cannot write '" + lst +
           "': Input/output error (the file is left as it was)\n"
           "brindlewick-asm: no output file was changed\n"},
      // A new image that was put in place goes again.
      {"second rename",
       {"-o", fresh, "-l", lst},
       "cannot write '" + lst +
           "': Input/output error (the file is left as it was)\n"
           "brindlewick-asm: no output file was changed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call + " " + c.outputs.back());
    const FailingFinish failing(c.call);
    std::vector<std::string> args = {(dir / "p.asm").string()};
    args.insert(args.end(), c.outputs.begin(), c.outputs.end());
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(cli::RunAssembler(args, in, out, err), 2);
    EXPECT_EQ(err.str(), "brindlewick-asm: " + c.err);
    EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");
    EXPECT_EQ(ReadFileBytes(dir / "old.lst"), "old listing");
    EXPECT_EQ(Files(), (std::vector<std::string>{"old.bin", "old.lst", "p.asm"}));
  }
}

TEST_F(Assembler, ReplacingAFileKeepsItsPermissions) {
  WriteFileBytes(dir / "p.asm", "NOP\n");
  WriteFileBytes(dir / "out.bin", "longer old content");
  fs::permissions(dir / "out.bin", fs::perms::owner_read | fs::perms::owner_write);
  const ToolResult result = Tool("p.asm -o out.bin");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadBytes(dir / "out.bin"), Bytes{0x00});
  EXPECT_EQ(fs::status(dir / "out.bin").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

// The macro-assembler syntax through the command line: chosen by --syntax or by a cpu directive,
// include folders from -I, Intel HEX with only the bytes written, and errors that change no file.
TEST_F(Assembler, SourcesInTheMacroAssemblerSyntax) {
  fs::create_directories(dir / "inc");
  WriteFileBytes(dir / "inc" / "defs.inc", "start equ 2\n");
  WriteFileBytes(dir / "p.asm", " cpu 4004\n include \"defs.inc\"\n org start\n ldm 5\n org 20h\n"
                                " data 1\n");
  ToolResult result = Tool("--syntax auto -I inc p.asm -o p.bin --hex p.hex -l p.lst");
  ASSERT_EQ(result.status, 0) << result.err;
  Bytes image(0x21, 0xFF);
  image[2] = 0xD5;
  image[0x20] = 0x01;
  EXPECT_EQ(ReadBytes(dir / "p.bin"), image);
  // D5 at 0002 (checksum 100 - (01+02+D5) = 28), then 01 at 0020.
  EXPECT_EQ(ReadFileBytes(dir / "p.hex"), ":01000200D528\n:0100200001DE\n:00000001FF\n");
  EXPECT_NE(ReadFileBytes(dir / "p.lst").find("    1I                   start equ 2\r\n"),
            std::string::npos);

  // The classic language stays the default: the same file is no source of it.
  result = Tool("-I inc p.asm -o p.bin");
  EXPECT_EQ(result.status, 1);

  WriteFileBytes(dir / "p.asm", " cpu 4004\nm macro\n ldm 16\n endm\n m\n");
  WriteFileBytes(dir / "old.bin", "old image");
  result = Tool("--syntax asl p.asm -o old.bin --hex new.hex");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "p.asm:3: error: LDM's operand must be 0 to 15, not 16\n"
                        "p.asm:5: note: in the expansion of macro M\n");
  EXPECT_EQ(ReadFileBytes(dir / "old.bin"), "old image");
  EXPECT_FALSE(fs::exists(dir / "new.hex"));

  result = Tool("--syntax masm p.asm");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("--syntax must be classic, asl or auto, not 'masm'"),
            std::string::npos);
}

TEST(IntelHex, RecordsOfSixteenBytesThenTheEnd) {
  std::vector<std::uint8_t> image(17);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i);
  }
  // Checksums: 100 - (10 + 78) = 78 for the first record, 100 - (01 + 10 + 10) = DF.
  EXPECT_EQ(assembly::IntelHex(image), ":10000000000102030405060708090A0B0C0D0E0F78\n"
                                       ":0100100010DF\n"
                                       ":00000001FF\n");
  EXPECT_EQ(assembly::IntelHex({}), ":00000001FF\n");
}

// Intel HEX read back gives the image written, gaps and all; broken text says where.
TEST(IntelHex, ReadsWhatItWritesAndNamesWhatIsBroken) {
  std::vector<std::uint8_t> image(0x130, 0);
  std::vector<bool> written(image.size(), false);
  for (std::size_t at : {0x000, 0x001, 0x0FF, 0x100, 0x12F}) {
    image[at] = static_cast<std::uint8_t>(at * 7);
    written[at] = true;
  }
  const assembly::HexImage read = assembly::ReadIntelHex(assembly::IntelHex(image, written), 8192);
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.bytes, image);
  EXPECT_EQ(read.filled, written);
  EXPECT_EQ(assembly::FilledRanges(read.filled), "000-001, 0FF-100, 12F-12F");
  const struct {
    const char* text;
    const char* error;
  } broken[] = {
      {":0100000000FF\n", "the end-of-file record is missing"},
      {":0200000000FE\n:00000001FF\n", "line 1: the record's length does not match its count"},
      {":0100000000FE\n:00000001FF\n", "line 1: the checksum does not match"},
      {"\n:xyz\n", "line 2: not an Intel HEX record"},
      {":02FFFF0001FF00\n:00000001FF\n", "the data at FFFF lies beyond"},
      {"hello\n", "line 1: not an Intel HEX record"},
  };
  for (const auto& b : broken) {
    EXPECT_NE(assembly::ReadIntelHex(b.text, 8192).error.find(b.error), std::string::npos)
        << b.text;
  }
}

TEST(Latin1, EveryNonzeroByteIsOneCharacter) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    bytes.push_back(static_cast<char>(b));
  }
  const std::string text = translate::Latin1ToUtf8(bytes);
  EXPECT_EQ(text.size(), 127u + 2u * 128u);
  EXPECT_EQ(text.substr(0, 3), "\x01\x02\x03");
  EXPECT_EQ(text.substr(text.size() - 4), "\xC3\xBE\xC3\xBF");
  EXPECT_EQ(text.find("\xC2\xA0"), 127u + 2u * (0xA0 - 0x80));
}

} // namespace
