#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The second front end: sources in the syntax of the macro assembler that 4004 hobbyists use
// ("The Macro Assembler AS"), assembled into the same kind of image as the project's own
// language: org, equ and set, expressions, include, user functions, macros with parameters,
// conditional assembly, and Intel's mnemonics with JCN's condition letters.
namespace asl {

// Reads the files that a source includes.
class FileReader {
public:
  virtual ~FileReader() = default;
  struct Text {
    std::optional<std::string> bytes;
    std::string error;    // why it could not be read
    bool missing = false; // there is no file at that path
  };
  [[nodiscard]] virtual Text Read(const std::string& path) = 0;
};

struct Request {
  std::string path;      // the main source, as messages and the listing name it
  std::string_view text; // its bytes, one character each (copied: it need not outlive the call)
  std::vector<std::string> includeFolders; // searched after the including file's own folder
  FileReader* files = nullptr;             // null: no file can be included
  std::int64_t time = 0; // seconds since 1970 (UTC), for the DATE and TIME symbols
  bool listing = true;   // false: leave the outcome's rows and symbols empty, for speed
};

struct Diagnostic {
  enum class Kind : std::uint8_t { Error, Warning, Message };
  Kind kind = Kind::Error;
  std::string file;
  std::size_t line = 0;
  std::string text;
  // The way to the line, innermost first: "FILE:LINE: note: in the expansion of macro M".
  std::vector<std::string> notes;
};

// One line of the listing, as the last pass read it.
struct ListingRow {
  enum class Origin : std::uint8_t { Source, Included, Macro };
  std::string file;     // the file the line is in (a macro's line: the file of its definition)
  std::size_t line = 0; // 1-based, in that file
  std::string text;     // the line; a macro's line with its arguments in place
  Origin origin = Origin::Source;
  int depth = 0;    // how deep in includes and macro expansions
  int address = -1; // where its bytes (or its reserved bytes) begin, or -1
  std::vector<std::uint8_t> bytes;
  bool skipped = false; // in a branch of conditional assembly that was not taken
};

struct Symbol {
  std::string name;
  std::string value; // "0F00" for a number, "\"text\"" for a string, "RA" for a register
  std::string kind;  // "label", "equ", "set", "reg", "function", "macro"
};

struct Outcome {
  bool ok = false; // no error
  std::vector<Diagnostic> diagnostics;
  std::vector<std::uint8_t> image; // from 000 to the last byte written; gaps are FF
  std::vector<bool> written;       // by address: whether a byte was written there
  std::vector<ListingRow> rows;
  std::vector<Symbol> symbols;
  bool cpu4040 = false;           // the source chose the 4040
  std::vector<std::string> files; // the files read: the main source, then each include
  int passes = 0;
};

[[nodiscard]] Outcome Assemble(const Request& request);

// The listing: every line with its address and bytes, included lines and macro expansions
// marked, and the symbol table at the end. Lines end with CR LF, as the classic listing's do.
[[nodiscard]] std::string ListingText(const Outcome& outcome);

// "FILE:LINE: error: TEXT" (or warning, or the message alone), then the note lines.
[[nodiscard]] std::string DiagnosticText(const Diagnostic& diagnostic);

// True when the source has a `cpu` directive: what --syntax auto looks for.
[[nodiscard]] bool HasCpuDirective(std::string_view text);

// The limits that keep any input from running away: how deep macros and includes nest, how
// many lines (and characters) the macro expansions of a pass may produce and how long such a
// line may grow, and how many passes may be run.
inline constexpr int kMostMacroNesting = 256;
inline constexpr int kMostIncludeNesting = 32;
inline constexpr std::size_t kMostExpandedLines = 50'000;
inline constexpr std::size_t kMostExpandedBytes = 4u << 20;
inline constexpr std::size_t kLongestExpandedLine = 65'536;
inline constexpr int kMostPasses = 20;
// The messages a pass keeps; past them, one more says how many were left out.
inline constexpr std::size_t kMostMessages = 100;

} // namespace asl
