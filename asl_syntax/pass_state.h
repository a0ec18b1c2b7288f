#pragma once

#include "asl_syntax/pass.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The state of one pass and the work of each kind of line, shared by the files that carry it
// out: pass.cpp (lines, symbols, includes), statements.cpp (directives and definitions),
// conditions.cpp (conditional assembly and macros) and encode.cpp (instructions and data).
namespace asl::detail {

// `text` without the blanks around it.
[[nodiscard]] inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// An address or value for a message: in hex with at least three digits ("0F0", "12345"), a
// negative one in decimal with its sign ("-16").
[[nodiscard]] std::string HexText(std::int64_t value);

class Pass final : public Scope {
public:
  Pass(const Request& request, FileCache& cache, const Symbols& previous, int pass);
  PassResult Run();

  std::optional<Value> Symbol(const std::string& name) override;
  std::int64_t Here() override { return here_; }
  const Function* FindFunction(const std::string& name) override;

private:
  // Where lines come from: a file, or the expansion of a macro.
  struct Frame {
    enum class Kind : std::uint8_t { File, Macro };
    Kind kind = Kind::File;
    std::shared_ptr<const std::vector<std::string>> body; // a macro's lines
    std::vector<std::string_view> lines;                  // a macro's, or a file's in the cache
    CachedFile* cached = nullptr;                         // a file's
    const std::string* file = nullptr;                    // the file the lines are in
    std::string name;                                     // the macro's name
    std::size_t firstLine = 1;
    std::size_t next = 0;
    std::vector<std::string> parameters; // a macro's, upper case
    std::vector<std::string> arguments;
    Location call; // the include or the macro call that began this frame
  };

  // An IF or SWITCH that is open.
  struct OpenBlock {
    bool isSwitch = false;
    bool parentActive = true;
    bool active = true;
    bool taken = false; // a branch was taken
    bool elseSeen = false;
    Value switchValue;
    Location where;
  };

  // pass.cpp
  void PushFile(std::pair<const std::string, CachedFile>& file, Location from);
  void EndFrame();
  void Line(std::string_view text, const SplitLine& line);
  std::vector<std::string> Notes() const;
  void Report(Diagnostic::Kind kind, std::string text, const Location& where);
  void Error(std::string text);
  void Error(std::string text, const Location& where);
  void Fatal(std::string text);
  std::optional<Value> Special(const std::string& name) const;
  std::optional<Value> Evaluate(std::span<const Token> tokens, std::string_view what);
  std::optional<std::int64_t> Integer(std::span<const Token> tokens, std::string_view what);
  // The tokens of `text`, the current line's operands; null after an error. They stay until the
  // next line.
  const std::vector<Token>* Tokens(std::string_view text);
  // The cached file that `name` names, or null (with `missing` set when there is none).
  std::pair<const std::string, CachedFile>* ResolveInclude(const std::string& name, bool& missing);

  // statements.cpp
  void Statement(const SplitLine& line);
  bool Directive(const SplitLine& line);
  void DefineLabel(const std::string& name);
  void DefineValue(const std::string& name, SymbolEntry::Kind kind, std::string_view operands);
  void DefineRegister(const std::string& name, std::string_view operands);
  void DefineFunction(const std::string& name, std::string_view operands);
  void Cpu(std::string_view operands);
  void Org(std::string_view operands);
  void Reserve(std::string_view operands);
  void Include(std::string_view operands);
  void Say(Diagnostic::Kind kind, std::string_view operands);
  std::optional<RegisterSymbol> Register(const std::string& name);

  // conditions.cpp
  bool Active() const { return conditions_.empty() || conditions_.back().active; }
  bool Conditional(const SplitLine& line);
  void If(std::string_view operands, bool negate, bool defined);
  void ElseIf(std::string_view operands);
  void Else(const char* opener);
  void EndIf(bool isSwitch);
  void Switch(std::string_view operands);
  void Case(std::string_view operands);
  bool Defined(const std::string& name) const;
  void BeginMacro(const std::string& name, std::string_view operands);
  void Record(std::string_view text, const SplitLine& line);
  void Expand(const std::string& name, const Macro& macro, std::string_view operands);
  std::string Substitute(std::string_view line, const Frame& frame) const;

  // encode.cpp
  void Instruction(const Mnemonic& mnemonic, std::string_view operands);
  void Encode(const Mnemonic& mnemonic, std::string_view operands);
  void Data(std::string_view operands);
  void Emit(std::uint8_t byte);
  std::optional<std::uint8_t> RegisterOperand(std::span<const Token> tokens, bool pair);
  std::optional<std::uint8_t> Nibble(std::span<const Token> tokens, std::string_view what);
  std::optional<std::uint8_t> Byte(std::span<const Token> tokens, std::string_view what);
  std::optional<std::uint8_t> NearTarget(std::span<const Token> tokens, std::int64_t next);
  std::optional<std::uint8_t> Condition(std::span<const Token> tokens);
  std::int64_t LastAddress() const { return cpu4040_ ? kLastAddress4040 : kLastAddress4004; }

  const Request& request_;
  FileCache& cache_;
  const Symbols& previous_;
  int pass_;
  PassResult result_;
  std::vector<std::size_t> owners_; // by address: 1 + the listing row that wrote it
  Symbols symbols_;
  std::unordered_map<std::string, Function, NameHash, std::equal_to<>> functions_;
  std::unordered_map<std::string, Macro, NameHash, std::equal_to<>> macros_;
  std::vector<Frame> frames_;
  std::vector<OpenBlock> conditions_;
  std::int64_t pc_ = 0;
  std::int64_t here_ = 0;
  Location line_;
  bool cpu4040_ = false;
  bool usedUndefined_ = false; // the last expression evaluated used a symbol not defined (yet)
  bool ended_ = false;
  bool pastEnd_ = false; // the error for bytes past the program memory is given once
  int macroDepth_ = 0;
  std::size_t expandedLines_ = 0;
  std::size_t expandedBytes_ = 0;
  std::size_t reported_ = 0;   // errors, warnings and messages of this pass
  bool droppedErrors_ = false; // errors among those past kMostMessages
  std::optional<std::vector<Token>>* lineTokens_ = nullptr; // the current file line's, cached
  std::string_view lineOperands_;                           // and the operands they are of
  std::deque<std::vector<Token>> scratch_; // the tokens of a macro's line, until the next line
  std::string date_;
  std::string time_;

  // A macro definition being recorded.
  bool recording_ = false;
  int recordNesting_ = 0;
  std::string recordName_;
  Location recordWhere_;
  Macro recorded_;
};

} // namespace asl::detail
