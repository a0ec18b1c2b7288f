#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A program as the debugger shows it: its image and a listing of rows.
namespace debugger {

// One row of the listing: a source line with the instruction it holds, if any, or one
// disassembled instruction of an image.
struct ListingRow {
  std::size_t line = 0; // 1-based source line; for an image, the row number
  std::string text;     // the source line, or the instruction written as source
  int address = -1;     // of the instruction on this row (with the ROM bank in bit 12), or -1
  std::vector<std::uint8_t> bytes;

  friend bool operator==(const ListingRow&, const ListingRow&) = default;
};

struct Program {
  std::string path;
  bool image = false; // a binary image rather than source
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
struct LoadError {
  std::string message;
  std::size_t line = 0;
  std::string lineText;
};

// A file's bytes as a program: source (ISO-8859-1, assembled) or, with `image`, a binary image
// loaded at 000, disassembled for the listing.
[[nodiscard]] std::variant<Program, LoadError> MakeProgram(std::string path, std::string_view bytes,
                                                           bool image);

// True for the file names that the debugger opens as images rather than source: .bin, .rom, .img.
[[nodiscard]] bool LooksLikeImage(std::string_view path);

} // namespace debugger
