#pragma once

#include "asl_syntax/assembler.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A program as the debugger shows it: its image and a listing of rows.
namespace debugger {

// The language a source is written in: the project's own, or the macro-assembler syntax of
// published 4004 sources.
enum class Syntax : std::uint8_t { Classic, Asl };

// One row of the listing: a source line with the instruction it holds, if any, or one
// disassembled instruction of an image.
struct ListingRow {
  std::size_t line = 0; // 1-based line in its file; for an image, the row number
  std::string text;     // the source line, or the instruction written as source
  int address = -1;     // of the instruction on this row (with the ROM bank in bit 12), or -1
  std::vector<std::uint8_t> bytes;
  // The macro-assembler syntax: the file the line is in (empty for the program's own file), and
  // whether it comes from an included file or a macro's expansion, or lies in a branch of
  // conditional assembly that was not taken.
  std::string file;
  asl::ListingRow::Origin origin = asl::ListingRow::Origin::Source;
  bool skipped = false;

  friend bool operator==(const ListingRow&, const ListingRow&) = default;
};

struct Program {
  std::string path;
  bool image = false; // a binary image rather than source
  Syntax syntax = Syntax::Classic;
  bool cpu4040 = false;           // the source chose the 4040 (cpu 4040)
  std::vector<std::string> files; // the files it was made from: its own, then each included one
  std::vector<std::uint8_t> bytes;
  std::vector<ListingRow> rows;
  std::vector<int> rowOfAddress; // the row of each address that starts an instruction, or -1

  // The row that shows the instruction at `address`, or -1.
  [[nodiscard]] int RowOf(int address) const {
    return address >= 0 && static_cast<std::size_t>(address) < rowOfAddress.size()
               ? rowOfAddress[static_cast<std::size_t>(address)]
               : -1;
  }
};

// Why a program could not be made: the message, and for a source error the line and its text.
// The macro-assembler syntax gives its messages whole, as the command line writes them.
struct LoadError {
  std::string message;
  std::size_t line = 0;
  std::string lineText;
};

// A file's bytes as a program: source (ISO-8859-1, assembled in `syntax`, its includes read
// through `files`, DATE and TIME at `time` seconds since 1970) or, with `image`, a binary image
// loaded at 000, disassembled for the listing.
[[nodiscard]] std::variant<Program, LoadError>
MakeProgram(std::string path, std::string_view bytes, bool image, Syntax syntax = Syntax::Classic,
            asl::FileReader* files = nullptr, std::int64_t time = 0);

// The syntax to read a source in when nothing chose one: the macro-assembler syntax when the
// source has a cpu directive.
[[nodiscard]] Syntax GuessSyntax(std::string_view bytes);

// True for the file names that the debugger opens as images rather than source: .bin, .rom, .img.
[[nodiscard]] bool LooksLikeImage(std::string_view path);
// True for the names of Intel HEX files: .hex, .ihx.
[[nodiscard]] bool LooksLikeIntelHex(std::string_view path);

} // namespace debugger
