#include "asl_syntax/pass_state.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <unordered_map>

namespace asl::detail {

Pass::Pass(const Request& request, FileCache& cache, const Symbols& previous, int pass)
    : request_(request), cache_(cache), previous_(previous), pass_(pass) {
  result_.memory.assign(static_cast<std::size_t>(kLastAddress4040) + 1, -1);
  owners_.assign(result_.memory.size(), 0);
  symbols_.reserve(previous.size()); // a pass defines what the pass before it did
  // DATE and TIME as the authors' assembler writes them: "12/07/26" and "15:14:11", in UTC.
  using namespace std::chrono;
  const sys_seconds moment{seconds{request.time}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss clock{moment - day};
  const auto twoDigits = [](long n) {
    n = ((n % 100) + 100) % 100;
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  };
  date_ = twoDigits(static_cast<unsigned>(date.month())) + "/" +
          twoDigits(static_cast<unsigned>(date.day())) + "/" +
          twoDigits(static_cast<int>(date.year()));
  time_ = twoDigits(clock.hours().count()) + ":" + twoDigits(clock.minutes().count()) + ":" +
          twoDigits(clock.seconds().count());
}

PassResult Pass::Run() {
  auto& main = *cache_.files.find(request_.path);
  result_.rows.reserve(main.second.lines.size());
  PushFile(main, Location{});
  while (!frames_.empty() && !ended_ && !result_.fatal) {
    Frame& frame = frames_.back();
    if (frame.next >= frame.lines.size()) {
      EndFrame();
      continue;
    }
    const std::size_t index = frame.next++;
    Row row;
    if (frame.kind == Frame::Kind::Macro) {
      if (++expandedLines_ > kMostExpandedLines) {
        line_ = frame.call;
        Fatal("the macro expansions give more than " + std::to_string(kMostExpandedLines) +
              " lines (the limit of lines that macros may produce)");
        break;
      }
      std::string expanded = Substitute(frame.lines[index], frame);
      if (expanded.size() > kLongestExpandedLine) {
        line_ = frame.call;
        Fatal("a line of macro " + frame.name + " grows past " +
              std::to_string(kLongestExpandedLine) +
              " characters with its arguments (the limit of a line's length)");
        break;
      }
      expandedBytes_ += expanded.size();
      if (expandedBytes_ > kMostExpandedBytes) {
        line_ = frame.call;
        Fatal("the macro expansions give more than " + std::to_string(kMostExpandedBytes >> 20) +
              " MB of text (the limit of what macros may produce)");
        break;
      }
      row.text = result_.expanded.emplace_back(std::move(expanded));
      row.origin = ListingRow::Origin::Macro;
    } else {
      row.text = frame.lines[index];
      row.origin = frames_.size() > 1 ? ListingRow::Origin::Included : ListingRow::Origin::Source;
    }
    here_ = pc_;
    line_ = Location{frame.file, frame.firstLine + index};
    row.file = frame.file;
    row.line = line_.line;
    row.depth = static_cast<int>(frames_.size()) - 1;
    result_.rows.push_back(row);
    const std::string_view text = row.text;
    scratch_.clear();
    if (frame.cached != nullptr) {
      lineTokens_ = &frame.cached->tokens[index];
      lineOperands_ = frame.cached->split[index].operands;
      Line(text, frame.cached->split[index]);
    } else {
      lineTokens_ = nullptr;
      Line(text, Split(text));
    }
  }
  while (!frames_.empty()) {
    EndFrame();
  }
  if (recording_) {
    Error("MACRO " + recordName_ + " has no ENDM", recordWhere_);
  }
  for (const OpenBlock& open : conditions_) {
    Error(std::string(open.isSwitch ? "SWITCH" : "IF") + " has no " +
              (open.isSwitch ? "ENDCASE" : "ENDIF"),
          open.where);
  }
  if (reported_ > kMostMessages) {
    Diagnostic more;
    more.kind = droppedErrors_ ? Diagnostic::Kind::Error : Diagnostic::Kind::Warning;
    more.file = request_.path;
    more.text = std::to_string(reported_ - kMostMessages) + " more messages are not shown";
    result_.diagnostics.push_back(std::move(more));
  }
  result_.symbols = std::move(symbols_);
  result_.functions = std::move(functions_);
  result_.macros = std::move(macros_);
  result_.cpu4040 = cpu4040_;
  return std::move(result_);
}

void Pass::PushFile(std::pair<const std::string, CachedFile>& file, Location from) {
  Frame frame;
  frame.kind = Frame::Kind::File;
  frame.lines = file.second.lines;
  frame.cached = &file.second;
  frame.file = &file.first;
  frame.firstLine = 1;
  frame.call = from;
  frames_.push_back(std::move(frame));
}

void Pass::EndFrame() {
  if (frames_.back().kind == Frame::Kind::Macro) {
    --macroDepth_;
  }
  frames_.pop_back();
}

std::vector<std::string> Pass::Notes() const {
  // A deep nest gives its innermost and outermost steps, and says how many lie between.
  constexpr std::size_t kInnermost = 6;
  constexpr std::size_t kOutermost = 4;
  const std::size_t steps = frames_.empty() ? 0 : frames_.size() - 1;
  std::vector<std::string> notes;
  for (std::size_t i = frames_.size(); i-- > 1;) {
    const std::size_t step = frames_.size() - 1 - i;
    if (steps > kInnermost + kOutermost + 1 && step >= kInnermost && step < steps - kOutermost) {
      if (step == kInnermost) {
        notes.push_back("note: ... " + std::to_string(steps - kInnermost - kOutermost) +
                        " more macro expansions and includes ...");
      }
      continue;
    }
    const Frame& frame = frames_[i];
    notes.push_back(frame.call.FileName() + ":" + std::to_string(frame.call.line) + ": note: " +
                    (frame.kind == Frame::Kind::Macro ? "in the expansion of macro " + frame.name
                                                      : "in the file included from here"));
  }
  return notes;
}

void Pass::Report(Diagnostic::Kind kind, std::string text, const Location& where) {
  // Past a hundred messages only their number is kept: a source that goes wrong everywhere
  // (or includes itself through a macro) must not fill the memory with them.
  if (++reported_ > kMostMessages) {
    droppedErrors_ = droppedErrors_ || kind == Diagnostic::Kind::Error;
    return;
  }
  Diagnostic diagnostic;
  diagnostic.kind = kind;
  diagnostic.file = where.FileName();
  diagnostic.line = where.line;
  diagnostic.text = std::move(text);
  diagnostic.notes = Notes();
  result_.diagnostics.push_back(std::move(diagnostic));
}

void Pass::Error(std::string text) { Report(Diagnostic::Kind::Error, std::move(text), line_); }
void Pass::Error(std::string text, const Location& where) {
  Report(Diagnostic::Kind::Error, std::move(text), where);
}

void Pass::Fatal(std::string text) {
  Error(std::move(text));
  result_.fatal = true;
}

void Pass::Line(std::string_view text, const SplitLine& line) {
  if (recording_) {
    Record(text, line);
    return;
  }
  if (Conditional(line)) {
    return;
  }
  if (!Active()) {
    result_.rows.back().skipped = true;
    return;
  }
  if (line.operation.empty()) {
    if (!line.label.empty()) {
      DefineLabel(line.label);
    }
    return;
  }
  Statement(line);
}

std::optional<Value> Pass::Symbol(const std::string& name) {
  const auto found = symbols_.find(name);
  if (found != symbols_.end() && found->second.definedThisPass) {
    if (found->second.kind == SymbolEntry::Kind::Reg || found->second.uncertain) {
      return std::nullopt;
    }
    return found->second.value;
  }
  const auto earlier = previous_.find(name);
  if (earlier != previous_.end() && earlier->second.kind != SymbolEntry::Kind::Reg &&
      !earlier->second.uncertain) {
    return earlier->second.value;
  }
  return Special(name);
}

std::optional<Value> Pass::Special(const std::string& name) const {
  if (name == "MOMPASS") {
    return Value::Number(pass_);
  }
  if (name == "TRUE") {
    return Value::Number(1);
  }
  if (name == "FALSE" || name == "CASESENSITIVE") {
    return Value::Number(0);
  }
  if (name == "MOMCPU") {
    return Value::Number(cpu4040_ ? 0x4040 : 0x4004);
  }
  if (name == "MOMCPUNAME") {
    return Value::String(cpu4040_ ? "4040" : "4004");
  }
  if (name == "DATE") {
    return Value::String(date_);
  }
  if (name == "TIME") {
    return Value::String(time_);
  }
  if (name == "MOMFILE") {
    return Value::String(line_.FileName());
  }
  if (name == "MOMLINE") {
    return Value::Number(static_cast<std::int64_t>(line_.line));
  }
  return std::nullopt;
}

const Function* Pass::FindFunction(const std::string& name) {
  const auto found = functions_.find(name);
  return found == functions_.end() ? nullptr : &found->second;
}

std::optional<Value> Pass::Evaluate(std::span<const Token> tokens, std::string_view what) {
  const Evaluation evaluation = asl::Evaluate(tokens, *this);
  usedUndefined_ = !evaluation.undefined.empty();
  if (!evaluation.error.empty()) {
    Error(std::string(what).append(": ").append(evaluation.error));
    return std::nullopt;
  }
  if (!evaluation.undefined.empty()) {
    std::string names;
    for (const std::string& name : evaluation.undefined) {
      names += (names.empty() ? "" : ", ") + name;
    }
    Error(std::string(evaluation.undefined.size() == 1 ? "symbol " : "symbols ") + names +
          (evaluation.undefined.size() == 1 ? " is" : " are") + " not defined");
    // Earlier passes go on with 0, so that forward references settle.
    return evaluation.value;
  }
  return evaluation.value;
}

std::optional<std::int64_t> Pass::Integer(std::span<const Token> tokens, std::string_view what) {
  const auto value = Evaluate(tokens, what);
  if (!value) {
    return std::nullopt;
  }
  if (!value->isString) {
    return value->number;
  }
  // A text of one to eight characters stands for the number its characters' codes make.
  if (value->text.empty() || value->text.size() > sizeof(std::int64_t)) {
    Error(std::string(what) + " must be a number, not the text \"" + value->text + "\"");
    return std::nullopt;
  }
  return TextAsNumber(value->text);
}

const std::vector<Token>* Pass::Tokens(std::string_view text) {
  const bool cached = lineTokens_ != nullptr && text.data() == lineOperands_.data() &&
                      text.size() == lineOperands_.size();
  if (cached && lineTokens_->has_value()) {
    return &**lineTokens_;
  }
  asl::Tokens tokens = Tokenize(text);
  if (!tokens.error.empty()) {
    Error(tokens.error);
    return nullptr;
  }
  if (cached) {
    tokens.tokens.shrink_to_fit(); // kept for the passes to come
    *lineTokens_ = std::move(tokens.tokens);
    return &**lineTokens_;
  }
  return &scratch_.emplace_back(std::move(tokens.tokens));
}

std::pair<const std::string, CachedFile>* Pass::ResolveInclude(const std::string& name,
                                                               bool& missing) {
  std::vector<std::filesystem::path> candidates;
  const std::filesystem::path wanted(name);
  if (wanted.is_absolute()) {
    candidates.push_back(wanted);
  } else {
    candidates.push_back(std::filesystem::path(line_.FileName()).parent_path() / wanted);
    for (const std::string& folder : request_.includeFolders) {
      candidates.push_back(std::filesystem::path(folder) / wanted);
    }
  }
  missing = true;
  for (const std::filesystem::path& candidate : candidates) {
    const std::string path = candidate.lexically_normal().string();
    if (const auto cached = cache_.files.find(path); cached != cache_.files.end()) {
      missing = false;
      return &*cached;
    }
    if (request_.files == nullptr) {
      continue;
    }
    FileReader::Text text = request_.files->Read(path);
    if (text.bytes) {
      missing = false;
      return &cache_.Add(path, std::move(*text.bytes));
    }
    if (!text.missing) {
      missing = false;
      Error("cannot read \"" + path + "\": " + text.error);
      return nullptr;
    }
  }
  return nullptr;
}

std::pair<const std::string, CachedFile>& FileCache::Add(const std::string& path,
                                                         std::string text) {
  auto [entry, added] = files.try_emplace(path);
  if (added) {
    entry->second.text = std::move(text);
    entry->second.lines = SplitLines(entry->second.text);
    entry->second.split.reserve(entry->second.lines.size());
    for (const std::string_view line : entry->second.lines) {
      entry->second.split.push_back(Split(line));
    }
    entry->second.tokens.resize(entry->second.lines.size());
    order.push_back(path);
  }
  return *entry;
}

PassResult RunPass(const Request& request, FileCache& cache, const Symbols& previous, int pass) {
  Pass run(request, cache, previous, pass);
  return run.Run();
}

} // namespace asl::detail
