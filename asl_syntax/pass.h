#pragma once

#include "asl_syntax/assembler.h"
#include "asl_syntax/expression.h"
#include "asl_syntax/instructions.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// One pass over a source in the macro-assembler syntax. The assembler runs passes until the
// symbols keep their values; a pass sees the values the pass before it ended with for the
// symbols it has not defined yet.
namespace asl::detail {

// A line of a file: `file` points at the file's name in the FileCache, which outlives the
// passes, so that a location is copied without copying the name.
struct Location {
  const std::string* file = nullptr;
  std::size_t line = 0;

  [[nodiscard]] const std::string& FileName() const {
    static const std::string kNone;
    return file != nullptr ? *file : kNone;
  }
};

struct SymbolEntry {
  enum class Kind : std::uint8_t { Label, Equ, Set, Reg };
  Kind kind = Kind::Label;
  Value value;
  RegisterSymbol reg;
  Location where;
  bool definedThisPass = false;
  // Its value came from a symbol that was not defined (yet): it counts as not defined, so a
  // circle such as "a equ b" and "b equ a" never settles on a made-up value.
  bool uncertain = false;

  // The same meaning: what decides whether another pass is needed.
  [[nodiscard]] bool SameAs(const SymbolEntry& other) const {
    return kind == other.kind && value == other.value && reg == other.reg &&
           uncertain == other.uncertain;
  }
};
// Names hashed as text of any kind, so that a lookup by string_view needs no copy.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
  }
};
using Symbols = std::unordered_map<std::string, SymbolEntry, NameHash, std::equal_to<>>;

struct Macro {
  std::vector<std::string> parameters;
  // Shared with the expansions under way, which go on reading it if the macro is defined anew.
  std::shared_ptr<std::vector<std::string>> body = std::make_shared<std::vector<std::string>>();
  Location where; // of the MACRO line; the body follows it
};

// The directives and the definitions, told apart once per line.
enum class Keyword : std::uint8_t {
  None, // an instruction, a macro's name, or nothing
  Equ,  // also "="
  Set,  // also ":="
  Reg,
  Function,
  Macro,
  Endm,
  Org,
  Data,
  Ds,
  Cpu,
  Include,
  End,
  Message,
  Warning,
  Error,
  Fatal,
  NoEffect, // the directives of listings
  If,
  Ifdef,
  Ifndef,
  Elseif,
  Else,
  Endif,
  Switch, // also SELECT
  Case,
  Elsecase,
  Endcase,
};
[[nodiscard]] Keyword KeywordOf(std::string_view operation);

// A line taken apart: `[label[:]] [operation operands] [; comment]`.
struct SplitLine {
  std::string label;     // upper case; empty for none
  std::string operation; // upper case; empty for none
  Keyword keyword = Keyword::None;
  std::string_view operands;
};
[[nodiscard]] SplitLine Split(std::string_view line);

// The lines of `text`, each without its line end (LF, CR LF or CR alone).
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// A file read once and kept over the passes, split into lines, each taken apart.
struct CachedFile {
  std::string text;
  std::vector<std::string_view> lines; // into `text`, without their line ends
  std::vector<SplitLine> split;        // of each line
  // The tokens of each line's operands, once a pass has read them: they are the same in every
  // pass.
  std::vector<std::optional<std::vector<Token>>> tokens;
};

// Every file read, by the path it was read from. Its nodes stay where they are, so the names and
// lines of the files may be pointed at for as long as the cache lives.
struct FileCache {
  std::map<std::string, CachedFile, std::less<>> files;
  std::vector<std::string> order; // in the order first read

  // Adds a file; returns its entry.
  std::pair<const std::string, CachedFile>& Add(const std::string& path, std::string text);
};

// One line of the listing as a pass reads it; turned into a ListingRow for the last pass only.
struct Row {
  const std::string* file = nullptr;
  std::size_t line = 0;
  std::string_view text; // in the FileCache, or for a macro's line in PassResult::expanded
  ListingRow::Origin origin = ListingRow::Origin::Source;
  int depth = 0;
  int address = -1;
  std::uint32_t firstByte = 0; // in PassResult::bytes
  std::uint32_t byteCount = 0;
  bool skipped = false;
};

struct PassResult {
  Symbols symbols;
  std::unordered_map<std::string, Function, NameHash, std::equal_to<>> functions;
  std::unordered_map<std::string, Macro, NameHash, std::equal_to<>> macros;
  std::vector<Diagnostic> diagnostics;
  std::vector<std::int16_t> memory; // by address, -1 where nothing was written
  std::vector<Row> rows;
  std::vector<std::uint8_t> bytes;  // of the rows, one after another
  std::deque<std::string> expanded; // the macros' lines with their arguments in place
  bool cpu4040 = false;
  bool fatal = false; // a limit was hit: the passes end here
};

// The largest address a program may fill: one bank of the 4004, two of the 4040.
inline constexpr std::int64_t kLastAddress4004 = 0xFFF;
inline constexpr std::int64_t kLastAddress4040 = 0x1FFF;

[[nodiscard]] PassResult RunPass(const Request& request, FileCache& cache, const Symbols& previous,
                                 int pass);

} // namespace asl::detail
