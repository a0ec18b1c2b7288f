#include "debugger/commands.h"

#include "assembly/intel_hex.h"
#include "boards/board_file.h"
#include "translate/hex_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <variant>

namespace debugger {

namespace {

// The clock of a file that has none of its own, its board's or one remembered.
constexpr double kDefaultClockHz = 740000;
// The settings remembered for a file, under its canonical path.
std::string SerialKey(const std::string& path) { return "serial/" + path; }
std::string BoardKey(const std::string& path) { return "board/" + path; }
std::string SyntaxKey(const std::string& path) { return "syntax/" + path; }
std::string ClockKey(const std::string& path) { return "clock/" + path; }
std::string CpuKey(const std::string& path) { return "cpu/" + path; }

// The files a source in the macro-assembler syntax includes, read through the services.
class IncludedFiles final : public asl::FileReader {
public:
  explicit IncludedFiles(services::DebuggerServices& services) : services_(services) {}
  Text Read(const std::string& path) override {
    file_io::FileContent content = services_.ReadFile(path);
    Text text;
    if (content.error) {
      text.error = *content.error;
      text.missing = content.missing;
    } else {
      text.bytes = std::move(content.bytes);
    }
    return text;
  }

private:
  services::DebuggerServices& services_;
};

std::int64_t SecondsSince1970() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

DebuggerCommands::DebuggerCommands(services::DebuggerServices& services)
    : services_(services), shown_(std::make_unique<simulate::Machine>(session_.machine())) {}

void DebuggerCommands::OpenDialog() {
  if (const auto path = services_.ChooseProgram()) {
    Open(*path);
  }
}

bool DebuggerCommands::Open(const std::string& path) { return Load(path, false); }

void DebuggerCommands::Reload() {
  if (session_.HasProgram()) {
    Load(session_.program().path, true);
  }
}

void DebuggerCommands::FileChanged() {
  if (!session_.HasProgram()) {
    return;
  }
  // One question at a time, answered for every change so far: changes while it is open only
  // make a note.
  if (asking_) {
    changedWhileAsking_ = true;
    return;
  }
  // Editors that save by renaming leave a new file behind the name: watch that one.
  services_.WatchFiles(WatchedFiles());
  const std::string path = session_.program().path;
  const file_io::FileContent file = services_.ReadFile(path);
  if (file.error && file.missing) {
    // Removed, perhaps to be written anew: the folder is watched for its return.
    SetStatus("\"" + path +
              "\" is gone from the disk; the program stays loaded, and it is "
              "loaded again when the file comes back.");
    return;
  }
  asking_ = true;
  changedWhileAsking_ = false;
  const bool reload = services_.AskReload(path);
  asking_ = false;
  if (reload) {
    Reload();
  }
}

std::vector<std::string> DebuggerCommands::WatchedFiles() const {
  const Program& program = session_.program();
  return program.files.empty() ? std::vector<std::string>{program.path} : program.files;
}

Syntax DebuggerCommands::ChosenSyntax(const std::string& path, std::string_view bytes) {
  if (const auto remembered = services_.LoadSetting(SyntaxKey(SettingsPath(path)))) {
    return *remembered == "asl" ? Syntax::Asl : Syntax::Classic;
  }
  return GuessSyntax(bytes);
}

void DebuggerCommands::SetSyntax(Syntax syntax) {
  if (!session_.HasProgram() || session_.program().image) {
    return;
  }
  const std::string path = session_.program().path;
  const std::optional<std::string> before = services_.LoadSetting(SyntaxKey(path));
  services_.SaveSetting(SyntaxKey(path), syntax == Syntax::Asl ? "asl" : "classic");
  if (!Load(path, true)) {
    // The file does not assemble in that syntax: keep the one that worked.
    services_.SaveSetting(
        SyntaxKey(path),
        before.value_or(session_.program().syntax == Syntax::Asl ? "asl" : "classic"));
  }
}

std::string DebuggerCommands::SettingsPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path canonical =
      std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error || canonical.empty() ? path : canonical.string();
}

void DebuggerCommands::UseRememberedSettings(const std::string& path) {
  const std::string key = SettingsPath(path);
  // A file starts from the defaults, then the board's clock and processor, then its own.
  session_.SetClock(kDefaultClockHz);
  if (session_.program().bytes.size() <= simulate::kBankSize) {
    session_.SetCpu(simulate::Processor::I4004);
  }
  // Its own serial line, as it was the last time the file was open.
  const auto remembered = services_.LoadSetting(SerialKey(key));
  const SerialSettings serial = remembered ? SerialSettingsFromText(*remembered) : SerialSettings{};
  if (!session_.SetSerial(serial).empty()) {
    (void)session_.SetSerial(SerialSettings{});
  }
  // Its own board; a board file that has gone is said so.
  const std::string board = services_.LoadSetting(BoardKey(key)).value_or("");
  if (!UseBoard(board, true)) {
    (void)UseBoard("", true);
    services_.ShowError("The board \"" + board + "\" that \"" + path +
                        "\" ran on last time cannot be used (its file is gone or broken); it "
                        "runs on the serial line alone. Choose a board in the Board menu.");
  }
  // And the clock and processor the user chose for it, over the board's.
  if (const auto clock = services_.LoadSetting(ClockKey(key))) {
    const double hz = std::strtod(clock->c_str(), nullptr);
    if (hz >= 1000 && hz <= 1e8) {
      session_.SetClock(hz);
    }
  }
  if (const auto cpu = services_.LoadSetting(CpuKey(key))) {
    if (const auto chosen = simulate::ParseProcessor(*cpu);
        chosen && !(*chosen == simulate::Processor::I4004 &&
                    session_.program().bytes.size() > simulate::kBankSize)) {
      session_.SetCpu(*chosen);
    }
  }
}

bool DebuggerCommands::Load(const std::string& path, bool reloading) {
  const file_io::FileContent file = services_.ReadFile(path);
  if (file.error) {
    services_.ShowError("Cannot open \"" + path + "\": " + *file.error + ".");
    return false;
  }
  const bool image = LooksLikeImage(path) || LooksLikeIntelHex(path);
  const Syntax syntax = image ? Syntax::Classic : ChosenSyntax(path, file.bytes);
  IncludedFiles included(services_);
  std::string bytes = file.bytes;
  std::string filled;
  if (LooksLikeIntelHex(path)) {
    const assembly::HexImage hex =
        assembly::ReadIntelHex(file.bytes, simulate::kBanks * simulate::kBankSize);
    if (!hex.error.empty()) {
      services_.ShowError("Cannot open \"" + path + "\" as Intel HEX: " + hex.error + ".");
      return false;
    }
    bytes.assign(hex.bytes.begin(), hex.bytes.end());
    filled = assembly::FilledRanges(hex.filled);
  }
  auto made = MakeProgram(path, bytes, image, syntax, &included, SecondsSince1970());
  if (const auto* error = std::get_if<LoadError>(&made)) {
    const bool open = session_.HasProgram() && session_.program().path == path;
    std::string text = "\"" + path + "\" does not assemble";
    if (image) {
      text = "Cannot open \"" + path + "\": " + error->message + ".";
    } else if (error->line > 0) {
      text += ": line " + std::to_string(error->line) + ": " + error->message + "\n\n" +
              error->lineText;
    } else if (syntax == Syntax::Asl) {
      text += " in the macro-assembler syntax (Syntax menu):\n\n" + error->message;
    } else {
      text += ": " + error->message + ".";
    }
    if (open) {
      // The file changed and went wrong: the program from before stays, and the listing shows
      // where the new text fails.
      loadProblem_ = LoadProblem{{}, error->line, error->message};
      text += "\n\nThe program loaded before stays until the source assembles again.";
      SetStatus("\"" + path + "\" does not assemble; the program from before is still loaded.");
    }
    services_.ShowError(text);
    return false;
  }
  const Program& loaded = std::get<Program>(made);
  if (session_.cpu() == simulate::Processor::I4004 && loaded.bytes.size() > simulate::kBankSize &&
      !loaded.cpu4040) {
    services_.ShowError("Cannot open \"" + path + "\": the image has " +
                        std::to_string(loaded.bytes.size()) +
                        " bytes; the 4004's program memory holds 4096. Choose the 4040, which "
                        "has two banks, and open it again.");
    return false;
  }
  Stop();
  loadProblem_.reset();
  const bool sameFile = reloading && session_.program().path == path;
  const bool wants4040 = loaded.cpu4040;
  session_.Load(std::move(std::get<Program>(made)));
  if (!sameFile) {
    UseRememberedSettings(path);
    terminal_.clear();
    ++resetVersion_;
    stopwatchStart_ = 0;
  }
  // A source that chose the 4040 with its cpu directive runs on one.
  if (wants4040 && session_.cpu() == simulate::Processor::I4004) {
    session_.SetCpu(simulate::Processor::I4040);
  }
  services_.WatchFiles(WatchedFiles());
  *shown_ = session_.machine();
  ++programVersion_;
  SetStatus(std::string(session_.program().image ? "Image" : "Source") +
            " loaded: " + std::to_string(session_.program().bytes.size()) + " bytes" +
            (filled.empty() ? std::string(".") : "; the Intel HEX records fill " + filled + "."));
  return true;
}

void DebuggerCommands::SetCpu(simulate::Processor cpu) {
  if (cpu == simulate::Processor::I4004 && session_.program().bytes.size() > simulate::kBankSize) {
    services_.ShowError("The program has " + std::to_string(session_.program().bytes.size()) +
                        " bytes; the 4004's program memory holds 4096.");
    return;
  }
  Stop();
  session_.SetCpu(cpu);
  *shown_ = session_.machine();
  if (session_.HasProgram()) {
    services_.SaveSetting(CpuKey(SettingsPath(session_.program().path)),
                          std::string(simulate::ProcessorName(cpu)));
  }
  SetStatus(std::string(simulate::ProcessorName(cpu)) + " selected; the machine was reset.");
}

void DebuggerCommands::SetClock(double hz) {
  if (hz == session_.clock()) {
    return;
  }
  session_.SetClock(hz);
  if (session_.HasProgram()) {
    services_.SaveSetting(ClockKey(SettingsPath(session_.program().path)), std::to_string(hz));
  }
}

void DebuggerCommands::SetSerial(const SerialSettings& settings) {
  const std::string problem = session_.SetSerial(settings);
  if (!problem.empty()) {
    services_.ShowError(problem);
    return;
  }
  if (session_.HasProgram()) {
    services_.SaveSetting(SerialKey(SettingsPath(session_.program().path)), ToText(settings));
  }
}

bool DebuggerCommands::UseBoard(const std::string& choice, bool quiet) {
  std::optional<boards::BoardDescription> description;
  if (!choice.empty()) {
    boards::LoadedBoard loaded;
    if (const auto builtIn = boards::BuiltInBoard(choice)) {
      loaded = boards::ParseBoard(*builtIn, choice);
    } else if (boards::LooksLikeBoardFile(choice)) {
      const file_io::FileContent file = services_.ReadFile(choice);
      if (file.error) {
        loaded.error = "Cannot open \"" + choice + "\": " + *file.error;
      } else {
        loaded = boards::ParseBoard(file.bytes, choice);
      }
    } else {
      loaded.error = "There is no board called \"" + choice + "\"";
    }
    if (!loaded.board) {
      if (!quiet) {
        services_.ShowError(loaded.error + ".");
      }
      return false;
    }
    description = std::move(loaded.board);
  }
  Stop();
  // The board's own clock and processor, where it says.
  const double clock = description ? description->clockHz.value_or(0) : 0;
  const simulate::Processor cpu =
      description ? description->cpu.value_or(session_.cpu()) : session_.cpu();
  session_.SetBoard(std::move(description));
  if (clock > 0) {
    session_.SetClock(clock);
  }
  if (cpu != session_.cpu() && !(cpu == simulate::Processor::I4004 &&
                                 session_.program().bytes.size() > simulate::kBankSize)) {
    session_.SetCpu(cpu);
  }
  *shown_ = session_.machine();
  boardChoice_ = choice;
  ++boardVersion_;
  return true;
}

bool DebuggerCommands::ChooseBoard(const std::string& name) {
  if (!UseBoard(name, false)) {
    return false;
  }
  if (session_.HasProgram()) {
    services_.SaveSetting(BoardKey(SettingsPath(session_.program().path)), name);
  }
  const auto& board = session_.boardDescription();
  // A keyboard is for a person: its board runs at the processor's own speed, the printer's drum
  // turning as fast as the real one.
  if (!session_.board().Keys().empty()) {
    realSpeed_ = true;
  }
  SetStatus(board ? "Board: " + (board->title.empty() ? board->name : board->title) +
                        "; the machine was reset."
                  : std::string("Board: the serial line alone; the machine was reset."));
  return true;
}

void DebuggerCommands::OpenBoardDialog() {
  if (const auto path = services_.ChooseBoardFile()) {
    OpenBoardFile(*path);
  }
}

bool DebuggerCommands::OpenBoardFile(const std::string& path) {
  // A path without a folder could be taken for a board's name.
  return ChooseBoard(boards::LooksLikeBoardFile(path) ? path : "./" + path);
}

void DebuggerCommands::MarkShown() { *shown_ = session_.machine(); }

std::string DebuggerCommands::TakeTerminalOutput() {
  terminal_ += session_.TakeOutput();
  return std::exchange(terminal_, std::string());
}

} // namespace debugger
