#include "asl_syntax/assembler.h"

#include "asl_syntax/pass.h"
#include "asl_syntax/pass_state.h"
#include "translate/hex_text.h"

#include <algorithm>

namespace asl {

namespace {

using detail::SymbolEntry;
using detail::Symbols;

bool SameSymbols(const Symbols& a, const Symbols& b) {
  return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&b](const auto& entry) {
           const auto other = b.find(entry.first);
           return other != b.end() && other->second.SameAs(entry.second);
         });
}

// The rows of the last pass as the listing gives them.
std::vector<ListingRow> ListingRows(const detail::PassResult& result) {
  std::vector<ListingRow> rows;
  rows.reserve(result.rows.size());
  for (const detail::Row& row : result.rows) {
    ListingRow listed;
    listed.file = row.file != nullptr ? *row.file : std::string();
    listed.line = row.line;
    listed.text = row.text;
    listed.origin = row.origin;
    listed.depth = row.depth;
    listed.address = row.address;
    const auto first = result.bytes.begin() + row.firstByte;
    listed.bytes.assign(first, first + row.byteCount);
    listed.skipped = row.skipped;
    rows.push_back(std::move(listed));
  }
  return rows;
}

// The symbols whose values differ between two passes, for the message when they never settle.
std::string Moving(const Symbols& now, const Symbols& before) {
  std::vector<std::string> moving;
  for (const auto& [name, entry] : now) {
    const auto old = before.find(name);
    if (old == before.end() || !old->second.SameAs(entry)) {
      moving.push_back(name);
    }
  }
  std::sort(moving.begin(), moving.end());
  std::string names;
  for (std::size_t i = 0; i < moving.size() && i < 5; ++i) {
    names += (names.empty() ? "" : ", ") + moving[i];
  }
  return moving.size() > 5 ? names + ", ..." : names;
}

std::string HexText(std::int64_t value, int width) {
  std::string text;
  for (int shift = 60; shift >= 0; shift -= 4) {
    const auto digit = static_cast<std::size_t>((static_cast<std::uint64_t>(value) >> shift) & 0xF);
    if (!text.empty() || digit != 0 || shift < 4 * width) {
      text.push_back(translate::kHexDigits[digit]);
    }
  }
  return text;
}

std::vector<Symbol> SymbolTable(const detail::PassResult& result) {
  std::vector<Symbol> symbols;
  for (const auto& [name, entry] : result.symbols) {
    Symbol symbol{name, {}, {}};
    switch (entry.kind) {
    case SymbolEntry::Kind::Label:
      symbol.kind = "label";
      break;
    case SymbolEntry::Kind::Equ:
      symbol.kind = "equ";
      break;
    case SymbolEntry::Kind::Set:
      symbol.kind = "set";
      break;
    case SymbolEntry::Kind::Reg:
      symbol.kind = "reg";
      break;
    }
    symbol.value = entry.kind == SymbolEntry::Kind::Reg ? RegisterText(entry.reg)
                   : entry.value.isString               ? "\"" + entry.value.text + "\""
                                                        : HexText(entry.value.number, 3);
    symbols.push_back(std::move(symbol));
  }
  for (const auto& [name, function] : result.functions) {
    symbols.push_back(
        {name, std::to_string(function.parameters.size()) + " parameter(s)", "function"});
  }
  for (const auto& [name, macro] : result.macros) {
    symbols.push_back({name, std::to_string(macro.parameters.size()) + " parameter(s)", "macro"});
  }
  std::sort(symbols.begin(), symbols.end(),
            [](const Symbol& a, const Symbol& b) { return a.name < b.name; });
  return symbols;
}

} // namespace

Outcome Assemble(const Request& request) {
  detail::FileCache cache;
  cache.Add(request.path, std::string(request.text));
  Outcome outcome;
  std::vector<Diagnostic> messages; // of the passes before the last, as they were given
  Symbols previous;
  detail::PassResult result;
  for (int pass = 1; pass <= kMostPasses; ++pass) {
    result = detail::RunPass(request, cache, previous, pass);
    outcome.passes = pass;
    if (result.fatal || (pass >= 2 && SameSymbols(result.symbols, previous))) {
      break;
    }
    for (const Diagnostic& diagnostic : result.diagnostics) {
      if (diagnostic.kind == Diagnostic::Kind::Message) {
        messages.push_back(diagnostic);
      }
    }
    if (pass == kMostPasses) {
      Diagnostic error;
      error.file = request.path;
      error.text = "the values of " + Moving(result.symbols, previous) + " still change after " +
                   std::to_string(kMostPasses) + " passes";
      result.diagnostics.push_back(std::move(error));
      break;
    }
    previous = std::move(result.symbols);
    for (auto& [name, entry] : previous) {
      entry.definedThisPass = false;
    }
    result = {}; // the next pass starts with only the symbols
  }
  outcome.diagnostics = std::move(messages);
  outcome.diagnostics.insert(outcome.diagnostics.end(), result.diagnostics.begin(),
                             result.diagnostics.end());
  outcome.ok = std::none_of(outcome.diagnostics.begin(), outcome.diagnostics.end(),
                            [](const Diagnostic& d) { return d.kind == Diagnostic::Kind::Error; });
  std::size_t end = result.memory.size();
  while (end > 0 && result.memory[end - 1] < 0) {
    --end;
  }
  outcome.image.resize(end, 0xFF);
  outcome.written.resize(end, false);
  for (std::size_t address = 0; address < end; ++address) {
    if (result.memory[address] >= 0) {
      outcome.image[address] = static_cast<std::uint8_t>(result.memory[address]);
      outcome.written[address] = true;
    }
  }
  if (request.listing) {
    outcome.symbols = SymbolTable(result);
    outcome.rows = ListingRows(result);
  }
  outcome.cpu4040 = result.cpu4040;
  outcome.files = cache.order;
  return outcome;
}

std::string DiagnosticText(const Diagnostic& diagnostic) {
  std::string text;
  if (diagnostic.kind == Diagnostic::Kind::Message) {
    text = diagnostic.text + "\n";
  } else {
    text = diagnostic.file + (diagnostic.line > 0 ? ":" + std::to_string(diagnostic.line) : "") +
           (diagnostic.kind == Diagnostic::Kind::Error ? ": error: " : ": warning: ") +
           diagnostic.text + "\n";
  }
  for (const std::string& note : diagnostic.notes) {
    text += note + "\n";
  }
  return text;
}

std::string ListingText(const Outcome& outcome) {
  constexpr std::size_t kBytesPerLine = 4;
  const int digits = outcome.cpu4040 ? 4 : 3;
  // The address and up to four bytes from `first`, in columns.
  const auto addressAndBytes = [digits](const ListingRow& row, std::size_t first) {
    std::string columns =
        row.address >= 0 ? HexText(row.address + static_cast<int>(first), digits) : std::string();
    columns.resize(5, ' ');
    for (std::size_t i = first; i < row.bytes.size() && i < first + kBytesPerLine; ++i) {
      columns += translate::FormatByte(row.bytes[i]);
      columns += ' ';
    }
    columns.resize(5 + 3 * kBytesPerLine + 1, ' ');
    return columns;
  };
  std::string text;
  const std::string* file = nullptr;
  for (const ListingRow& row : outcome.rows) {
    // A line of its own names the file whenever the lines that follow come from another one.
    if (row.origin != ListingRow::Origin::Macro && (file == nullptr || *file != row.file)) {
      if (file != nullptr) {
        text += "              (" + row.file + ")\r\n";
      }
      file = &row.file;
    }
    // The mark: blank for the source, I for an included file's line, M for a macro's; then "-"
    // for a line in a branch of conditional assembly that was not taken.
    const char mark = row.origin == ListingRow::Origin::Macro      ? 'M'
                      : row.origin == ListingRow::Origin::Included ? 'I'
                                                                   : ' ';
    std::string line = std::to_string(row.line);
    line.insert(0, line.size() < 5 ? 5 - line.size() : 0, ' ');
    text += line + mark + (row.skipped ? '-' : ' ') + addressAndBytes(row, 0) + row.text + "\r\n";
    // The bytes that do not fit go on lines of their own.
    for (std::size_t first = kBytesPerLine; first < row.bytes.size(); first += kBytesPerLine) {
      text += std::string(7, ' ') + addressAndBytes(row, first);
      while (!text.empty() && text.back() == ' ') {
        text.pop_back();
      }
      text += "\r\n";
    }
  }
  text += "\r\nSymbols:\r\n";
  for (const Symbol& symbol : outcome.symbols) {
    std::string name = symbol.name;
    name.resize(std::max<std::size_t>(name.size() + 1, 24), ' ');
    std::string value = symbol.value;
    value.resize(std::max<std::size_t>(value.size() + 1, 16), ' ');
    text += name + value + symbol.kind + "\r\n";
  }
  return text;
}

bool HasCpuDirective(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const detail::SplitLine line = detail::Split(text.substr(start, end - start));
    if (line.keyword == detail::Keyword::Cpu) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

} // namespace asl
